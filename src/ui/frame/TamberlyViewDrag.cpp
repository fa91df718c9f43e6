// The bank view as drag source and drop target.

#include "bank/DropPlan.h"
#include "bank/TamberlyDoc.h"
#include "ui/PatchMimeData.h"
#include "ui/RightButtonDrag.h"
#include "ui/WaitCursor.h"
#include "ui/frame/BankViewModel.h"
#include "ui/frame/Images.h"
#include "ui/frame/ReportList.h"
#include "ui/frame/SlotList.h"
#include "ui/frame/TamberlyView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>

namespace
{
constexpr int kScrollInset = 20;
constexpr int kScrollStepY = 20;
constexpr int kScrollStepX = 10;

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
    // The focused row's patch: the document's, or a slot description.
    CPatchItem* patch = model->GetPatch(report->selectionModel()->currentIndex().row());
    if (!patch)
        return;
    CPatchItemList list; // owns nothing
    list.Add(patch);
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
            rightButtonDrop =
                (enter->buttons() & Qt::RightButton) != 0 || CRightButtonDrag::IsRightDragRunning();
        }
        if (dropPatches.IsEmpty())
        {
            // Not ours (files from the file manager go on to the frame).
            enter->ignore();
            return true;
        }
        Qt::DropAction action = Qt::IgnoreAction;
        EvaluateDrop(*enter, action);
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
        Qt::DropAction action = Qt::IgnoreAction;
        EvaluateDrop(*move, action);
        respond(move, action);
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
        // The drop goes where the highlight said it would.
        Qt::DropAction action = Qt::IgnoreAction;
        const CDropPlan plan = EvaluateDrop(*drop, action);
        if (action != Qt::IgnoreAction)
        {
            const CWaitCursor wait;
            Drop(plan);
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

CDropPlan CTamberlyView::EvaluateDrop(const QDropEvent& event, Qt::DropAction& action)
{
    // Shift asks for the by-number drop too, for a drag begun with the left
    // button or coming from another program.
    const Qt::KeyboardModifiers keys = event.modifiers();
    const bool byNumbers = rightButtonDrop || (keys & Qt::ShiftModifier);
    CDropPlan plan(dropPatches, RowAt(event.position().toPoint()), model->rowCount(),
                   document.GetCurrentBank() == -1, byNumbers);

    QColor tint = palette().color(QPalette::Highlight);
    tint.setAlpha(90);
    model->SetDropRows(plan.GetRows(), tint);
    switch (plan.GetKind())
    {
    case CDropPlan::Kind::Refuse:
        action = Qt::IgnoreAction;
        break;
    case CDropPlan::Kind::Add:
        action = Qt::CopyAction;
        break;
    case CDropPlan::Kind::Place:
    {
        // A drag of the view's own moves between a card bank's slots unless
        // the control key copies.
        const bool move = ownDrag && document.GetCurrentBank() != -1 && !(keys & Qt::ControlModifier);
        action = move ? Qt::MoveAction : Qt::CopyAction;
        break;
    }
    }
    return plan;
}

void CTamberlyView::ResetDrop()
{
    dropPatches.DeleteAll();
    rightButtonDrop = false;
    model->SetDropRows({});
}

void CTamberlyView::Drop(const CDropPlan& plan)
{
    if (plan.GetKind() == CDropPlan::Kind::Add)
    {
        // The document takes patches out of dropPatches; ResetDrop deletes the rest.
        document.AddPatches(nullptr, dropPatches);
        return;
    }
    CPatchItemList slots;    // the document's patches and slot descriptions: owns nothing
    CPatchItemList incoming; // pointers of dropPatches, which keeps owning them
    for (const CDropPlan::Target& target : plan.GetTargets())
    {
        CPatchItem* old = model->GetPatch(target.row);
        if (!old)
            continue;
        slots.Add(old);
        incoming.Add(dropPatches.GetItem(target.patch));
    }
    const std::vector<CPatchItem*> offered(incoming.begin(), incoming.end());
    document.PlacePatches(nullptr, slots, incoming);
    // Those the document took are its own now; ResetDrop deletes the rest.
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
