#include "ui/panes/PaneMenu.h"

#include "platform/StringTable.h"
#include "ui/CommandTarget.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

CPaneMenu::CPaneMenu(QWidget* pane, ICommandTarget& commandTarget, std::initializer_list<Item> items,
                     int defaultId)
    : target(commandTarget), menu(new QMenu(pane))
{
    for (const Item& item : items)
    {
        if (item.id == 0)
        {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(LoadString(item.textId)));
        QObject::connect(action, &QAction::triggered, menu, [this, id = item.id] { Run(id); });
        actions[item.id] = action;
        if (item.id == defaultId)
            menu->setDefaultAction(action);
    }
}

QAction* CPaneMenu::GetAction(int id) const
{
    const auto it = actions.find(id);
    return it == actions.end() ? nullptr : it->second;
}

QMenu* CPaneMenu::Prepare()
{
    for (const auto& [id, action] : actions)
    {
        CCmdUI ui(id);
        action->setEnabled(target.OnUpdateCommand(ui) && ui.IsEnabled());
    }
    return menu;
}

void CPaneMenu::Popup(const QPoint& screenPosition)
{
    Prepare()->exec(screenPosition);
}

void CPaneMenu::Run(int id)
{
    // The state may have changed since the menu opened (or a test triggers
    // an item directly): a disabled command does nothing.
    CCmdUI ui(id);
    if (target.OnUpdateCommand(ui) && ui.IsEnabled())
        target.OnCommand(id);
}
