#pragma once
// Joins QActions to the command chain. Each command number has one QAction;
// triggering it routes the number along the chain, and UpdateAll asks the
// chain for every action's state. A command that no target claims is
// disabled, as the framework greys menu items nobody handles.

#include "ui/CommandTarget.h"

#include <QObject>

#include <functional>
#include <map>
#include <vector>

class QAction;

class CCommandRouter : public QObject
{
    Q_OBJECT

public:
    using Chain = std::function<std::vector<ICommandTarget*>()>;

    explicit CCommandRouter(QObject* parent = nullptr);

    // The targets in routing order, asked afresh for every command (the
    // active pane changes as focus moves).
    void SetChain(Chain chain);
    // Registers the action of a command number; the router connects its trigger.
    void AddAction(int id, QAction* action);
    QAction* GetAction(int id) const;

    // Routes a command; true when a target handled it.
    bool Execute(int id);
    // Asks the chain for a command's state; false when nobody claims it.
    bool Update(CCmdUI& ui) const;
    // Recomputes every registered action's enabled and checked state.
    void UpdateAll();

private:
    Chain chain;
    std::map<int, QAction*> actions;
};
