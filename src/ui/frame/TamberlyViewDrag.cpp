// The bank view as drag source and drop target.

#include "bank/TamberlyDoc.h"
#include "ui/PatchMimeData.h"
#include "ui/WaitCursor.h"
#include "ui/frame/Images.h"
#include "ui/frame/ReportList.h"
#include "ui/frame/SlotList.h"
#include "ui/frame/TamberlyView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTimer>

#include <set>

namespace
{
constexpr int kDropRole = Qt::UserRole + 2;
constexpr int kScrollInset = 20;
constexpr int kScrollStepY = 20;
constexpr int kScrollStepX = 10;
constexpr int kLastSlot = 127;

Qt::DropAction RunQDrag(QWidget* source, std::unique_ptr<QMimeData> data)
{
    auto* drag = new QDrag(source);
    drag->setMimeData(data.release());
    drag->setPixmap(Images::PatchImage(1));
    return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}
} // namespace

// Drag out ------------------------------------------------------------------------

void CTamberlyView::BeginDrag()
{
    // Patches are not dragged out of the "Virtual Bank" report.
    if (document.GetCurrentBank() == -1)
        return;
    CPatchItemList list; // the focused row's patch: the document's, or a slot description
    CollectPatches(list, StateFocused);
    if (list.IsEmpty())
        return;
    std::unique_ptr<QMimeData> data(PatchMime::CreateMimeData(list));
    // The drag runs its own event loop; the idle pass stays away from it, so
    // the slot description in list is still alive when the drag returns.
    ownDrag = true;
    const Qt::DropAction result = dragRunner ? dragRunner(std::move(data)) : RunQDrag(this, std::move(data));
    ownDrag = false;
    if (result == Qt::MoveAction)
    {
        const CWaitCursor wait;
        document.RemovePatches(nullptr, list);
    }
}

// Drop in -------------------------------------------------------------------------

bool CTamberlyView::eventFilter(QObject* watched, QEvent* event)
{
    const bool overReport = watched == report->viewport();
    if (overReport || watched == slotList->viewport())
    {
        switch (event->type())
        {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            dragOver = overReport ? static_cast<QAbstractItemView*>(report)
                                  : static_cast<QAbstractItemView*>(slotList);
            return HandleDragEvent(event);
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool CTamberlyView::HandleDragEvent(QEvent* event)
{
    auto respond = [](QDropEvent* drop, Qt::DropAction action)
    {
        if (action == Qt::IgnoreAction)
        {
            drop->setDropAction(Qt::IgnoreAction);
            drop->ignore();
        }
        else
        {
            drop->setDropAction(action);
            drop->accept();
        }
    };

    switch (event->type())
    {
    case QEvent::DragEnter:
    {
        auto* enter = static_cast<QDragEnterEvent*>(event);
        ResetDrop();
        if (PatchMime::HasPatches(enter->mimeData()))
        {
            // A payload that does not decode leaves dropPatches empty: refused.
            PatchMime::ReadMimeData(enter->mimeData(), dropPatches);
            rightButtonDrop = (enter->buttons() & Qt::RightButton) != 0;
        }
        if (dropPatches.IsEmpty())
        {
            // Not ours (files from the file manager go on to the frame).
            enter->ignore();
            return true;
        }
        const Qt::DropAction action = EvaluateDrop(enter->position().toPoint(), enter->modifiers());
        // Entering is accepted so that the moves that follow are ours to judge.
        enter->setDropAction(action);
        enter->accept();
        scrollTimer->start();
        return true;
    }
    case QEvent::DragMove:
    {
        auto* move = static_cast<QDragMoveEvent*>(event);
        if (dropPatches.IsEmpty())
        {
            move->ignore();
            return true;
        }
        respond(move, EvaluateDrop(move->position().toPoint(), move->modifiers()));
        AutoScroll(move->position().toPoint());
        return true;
    }
    case QEvent::DragLeave:
        scrollTimer->stop();
        ResetDrop();
        dragOver = nullptr;
        event->accept();
        return true;
    case QEvent::Drop:
    {
        auto* drop = static_cast<QDropEvent*>(event);
        scrollTimer->stop();
        const Qt::DropAction action = dropPatches.IsEmpty()
                                          ? Qt::IgnoreAction
                                          : EvaluateDrop(drop->position().toPoint(), drop->modifiers());
        if (action != Qt::IgnoreAction)
        {
            const CWaitCursor wait;
            DropOnRows();
        }
        ResetDrop();
        dragOver = nullptr;
        respond(drop, action);
        return true;
    }
    default:
        return false;
    }
}

int CTamberlyView::RowAt(QPoint pos) const
{
    const QAbstractItemView* list = dragOver ? dragOver : GetCurrentList();
    const QModelIndex index = list->indexAt(pos);
    return index.isValid() ? index.row() : -1;
}

Qt::DropAction CTamberlyView::EvaluateDrop(QPoint pos, Qt::KeyboardModifiers modifiers)
{
    if (dropPatches.IsEmpty())
    {
        HighlightDropRows(-1, false);
        return Qt::IgnoreAction;
    }
    const int row = RowAt(pos);
    const bool virtualBank = document.GetCurrentBank() == -1;
    if (row >= 0 && virtualBank)
    {
        HighlightDropRows(row, false);
        return Qt::CopyAction;
    }
    if (row >= 0)
    {
        // Shift asks for the by-number drop too: on desktops where a drag
        // cannot start with the right button (the button opens the context
        // menu), it is the only way to reach it.
        const bool byNumbers = rightButtonDrop || (modifiers & Qt::ShiftModifier);
        if (byNumbers != dropByNumbers)
            HighlightDropRows(-1, false); // the other kind's highlight goes
        dropByNumbers = byNumbers;
        HighlightDropRows(row, dropByNumbers);
        if (ownDrag)
            return (modifiers & Qt::ControlModifier) ? Qt::CopyAction : Qt::MoveAction;
        return Qt::CopyAction;
    }
    HighlightDropRows(-1, false);
    // Below the rows of the report the patches are added; a card bank has no place for them there.
    return virtualBank ? Qt::CopyAction : Qt::IgnoreAction;
}

void CTamberlyView::HighlightDropRows(int first, bool byNumbers)
{
    const int count = model->rowCount();
    auto set = [this](int row, bool on)
    {
        QStandardItem* item = model->item(row, 0);
        if (!item || item->data(kDropRole).toBool() == on)
            return;
        QColor tint = palette().color(QPalette::Highlight);
        tint.setAlpha(90);
        for (int column = 0; column < kColumnCount; ++column)
            if (QStandardItem* cell = model->item(row, column))
                cell->setData(on ? QVariant(QBrush(tint)) : QVariant(), Qt::BackgroundRole);
        item->setData(on, kDropRole);
    };

    ++updating;
    if (first == -1)
    {
        for (int row = 0; row < count; ++row)
            set(row, false);
    }
    else if (!byNumbers)
    {
        int n = dropPatches.GetSize();
        if (first + n > count)
            n = count - first;
        for (int row = 0; row < count; ++row)
            set(row, row >= first && row < first + n);
    }
    else
    {
        // Each preset shows on the slot of its own number.
        for (const CPatchItem* patch : dropPatches)
        {
            const int row = patch->GetSourcePatch();
            if (row >= 0 && row < count)
                set(row, true);
        }
    }
    --updating;
}

void CTamberlyView::ResetDrop()
{
    dropPatches.DeleteAll();
    rightButtonDrop = false;
    dropByNumbers = false;
    HighlightDropRows(-1, false);
}

void CTamberlyView::DropOnRows()
{
    if (dropByNumbers && document.GetCurrentBank() >= 0)
    {
        PlaceByNumbers();
        return;
    }
    CPatchItemList highlighted; // row order
    CollectPatches(highlighted, StateDropHighlighted);
    // The document takes patches out of dropPatches; ResetDrop deletes the rest.
    if (!highlighted.IsEmpty())
        document.PlacePatches(nullptr, highlighted, dropPatches);
    else
        document.AddPatches(nullptr, dropPatches);
}

void CTamberlyView::PlaceByNumbers()
{
    // Each dropped preset goes to the slot of its own number, whatever order
    // the drag source listed them in (a list sorted by name, say). A number
    // seen before or outside the bank's slots is skipped.
    CPatchItemList slots;
    CPatchItemList incoming; // pointers of dropPatches, which keeps owning them
    std::vector<CPatchItem*> offered;
    std::set<int> used;
    for (CPatchItem* patch : dropPatches)
    {
        const int slot = patch->GetSourcePatch();
        if (slot < 0 || slot > kLastSlot || slot >= model->rowCount() || !used.insert(slot).second)
            continue;
        CPatchItem* old = GetPatchAt(slot);
        if (!old)
            continue;
        slots.Add(old);
        incoming.Add(patch);
        offered.push_back(patch);
    }
    if (slots.IsEmpty())
        return;
    document.PlacePatches(nullptr, slots, incoming);
    // Those the document took are its own now.
    for (CPatchItem* patch : offered)
        if (incoming.IndexOf(patch) < 0)
            dropPatches.RemoveAt(dropPatches.IndexOf(patch));
    incoming.RemoveAll();
}

void CTamberlyView::AutoScroll(QPoint pos)
{
    const QAbstractItemView* list = dragOver ? dragOver : GetCurrentList();
    const QSize size = list->viewport()->size();
    QScrollBar* vertical = list->verticalScrollBar();
    QScrollBar* horizontal = list->horizontalScrollBar();
    if (pos.y() < kScrollInset)
        vertical->setValue(vertical->value() - kScrollStepY);
    else if (pos.y() > size.height() - kScrollInset)
        vertical->setValue(vertical->value() + kScrollStepY);
    else if (pos.x() < kScrollInset)
        horizontal->setValue(horizontal->value() - kScrollStepX);
    else if (pos.x() > size.width() - kScrollInset)
        horizontal->setValue(horizontal->value() + kScrollStepX);
}
