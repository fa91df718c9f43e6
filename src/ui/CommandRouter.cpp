#include "ui/CommandRouter.h"

#include <QAction>

CCommandRouter::CCommandRouter(QObject* parent) : QObject(parent) {}

void CCommandRouter::SetChain(Chain value)
{
    chain = std::move(value);
}

void CCommandRouter::AddAction(int id, QAction* action)
{
    actions[id] = action;
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
}

QAction* CCommandRouter::GetAction(int id) const
{
    const auto it = actions.find(id);
    return it == actions.end() ? nullptr : it->second;
}

bool CCommandRouter::Execute(int id)
{
    if (!chain)
        return false;
    // Ask the state first: a disabled command does nothing even when a
    // shortcut fires before the next idle update greys it.
    CCmdUI ui(id);
    if (!Update(ui) || !ui.IsEnabled())
        return false;
    for (ICommandTarget* target : chain())
    {
        if (target && target->OnCommand(id))
            return true;
    }
    return false;
}

bool CCommandRouter::Update(CCmdUI& ui) const
{
    if (!chain)
        return false;
    for (ICommandTarget* target : chain())
    {
        if (target && target->OnUpdateCommand(ui))
            return true;
    }
    return false;
}

void CCommandRouter::UpdateAll()
{
    for (const auto& [id, action] : actions)
    {
        CCmdUI ui(id);
        const bool claimed = Update(ui);
        action->setEnabled(claimed && ui.IsEnabled());
        if (ui.IsCheckable())
        {
            action->setCheckable(true);
            action->setChecked(ui.IsChecked());
        }
        if (ui.HasText())
            action->setText(ui.GetText());
    }
}
