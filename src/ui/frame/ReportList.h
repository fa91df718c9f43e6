#pragma once
// The bank view's report (the "Virtual Bank" tab): a tree view without
// branches whose drags are started by the bank view itself.

#include <QTreeView>

#include <functional>

class CReportList final : public QTreeView
{
public:
    explicit CReportList(QWidget* parent = nullptr) : QTreeView(parent) {}

    // Called instead of the item view's own drag.
    std::function<void()> onStartDrag;

protected:
    void startDrag(Qt::DropActions) override
    {
        if (onStartDrag)
            onStartDrag();
    }
};
