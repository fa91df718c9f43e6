#pragma once
// The bank view's list of a card bank's 128 slots, laid out in columns that
// flow from top to bottom; drags are started by the bank view itself.

#include <QListView>

#include <functional>

class CSlotList final : public QListView
{
public:
    explicit CSlotList(QWidget* parent = nullptr) : QListView(parent) {}

    // Called instead of the item view's own drag.
    std::function<void()> onStartDrag;

protected:
    void startDrag(Qt::DropActions) override
    {
        if (onStartDrag)
            onStartDrag();
    }
};
