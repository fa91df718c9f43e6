#pragma once
// The context menu of a pane: its own items with the texts of the pane's
// menu, enabled by the pane's update handlers when the menu opens, each
// running its command on the pane (which is the active pane while its menu
// is open, so the result is what routing the command would give).

#include <QPoint>

#include <initializer_list>
#include <map>

class ICommandTarget;
class QAction;
class QMenu;
class QWidget;

class CPaneMenu
{
public:
    struct Item
    {
        int id;          // command number; 0 is a separator
        unsigned textId; // string-table text of the item
    };

    // The menu belongs to pane (a QWidget that is also the target).
    CPaneMenu(QWidget* pane, ICommandTarget& target, std::initializer_list<Item> items, int defaultId = 0);

    // Enables each item as the pane's update handler says (an item the pane
    // does not claim is disabled) and returns the menu, ready to show.
    QMenu* Prepare();
    // Prepare, then show the menu at a screen position until it closes.
    void Popup(const QPoint& screenPosition);

    QMenu* GetMenu() const { return menu; }
    QAction* GetAction(int id) const;

private:
    void Run(int id);

    ICommandTarget& target;
    QMenu* menu;
    std::map<int, QAction*> actions;
};
