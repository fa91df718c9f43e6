#include "ui/panes/PatchView.h"

#include "bank/CommandIds.h"
#include "bank/FileHelpers.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "platform/Exception.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/PatchMimeData.h"
#include "ui/Profile.h"
#include "ui/RightButtonDrag.h"
#include "ui/WaitCursor.h"
#include "ui/panes/ColumnSizer.h"
#include "ui/panes/PaneMenu.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PresetPreview.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>

CPatchView::CPatchView(CTamberlyDoc& doc, QWidget* parent)
    : QTreeView(parent), document(doc), model(new CPatchListModel(this)), preview(new CPresetPreview(this))
{
    setModel(model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);

    QHeaderView* columns = header();
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setMinimumSectionSize(10);
    columnSizer = new CColumnSizer(this, IDS_PROFILE_PATCH_VIEW, CPatchListModel::ColumnCount,
                                   CPatchListModel::ColumnName);
    connect(columns, &QHeaderView::sectionClicked, this, [this](int column) { SortList(column, -1); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { ReplaceCurrentPatch(); });
    new CRightButtonDrag(this, [this] { startDrag(Qt::CopyAction); });

    contextMenu = std::make_unique<CPaneMenu>(this, *this,
                                              std::initializer_list<CPaneMenu::Item>{
                                                  {ID_EDIT_COPY, IDS_MENU_PATCH_COPY},
                                                  {0, 0},
                                                  {ID_PATCH_REPLACE, IDS_MENU_PATCH_REPLACE},
                                              },
                                              ID_PATCH_REPLACE);

    document.AddObserver(this);
}

CPatchView::~CPatchView()
{
    document.RemoveObserver(this);
    columnSizer->Save();
}

void CPatchView::OnUpdate(IDocumentObserver*, unsigned hint, const CPatchItemList*)
{
    if (hint != HintFile)
        return;
    FillFromFile(document.GetCurrentFile());
    SortList(CPatchListModel::ColumnNumber, 1);
}

void CPatchView::FillFromFile(const std::string& path)
{
    const std::string shown = StoredTextToDisplay(GetPathPart(path, PathFileNameExt));
    model->SetHeading(QString::fromStdString(FormatString(IDS_PATCH_VIEW_HEADING, shown.c_str())));
    // A preset of the previous file is not heard after its list went away.
    preview->Cancel();
    model->Clear();

    CWaitCursor wait;
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    try
    {
        list.ReadFromFile(path, document.GetResolverSettings());
    }
    catch (const CException&)
    {
        // A bank document that is missing or damaged offers nothing; the
        // list is left empty rather than the error breaking off the
        // selection that caused it.
        list.DeleteAll();
    }
    model->TakeOver(list);
    columnSizer->Fit();
}

void CPatchView::SortList(int column, int direction)
{
    const int parameter = sortState.Apply(column, direction);
    model->Sort(parameter);
    header()->setSortIndicator(sortState.GetColumn(),
                               sortState.IsAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CPatchView::CollectPatches(CPatchItemList& list) const
{
    QModelIndexList selected = selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected)
        if (CPatchItem* patch = model->GetPatch(index.row()))
            list.Add(patch);
}

QMimeData* CPatchView::CreateDragData() const
{
    CPatchItemList list;
    CollectPatches(list);
    if (list.IsEmpty())
        return nullptr;
    QMimeData* data = PatchMime::CreateMimeData(list);
    // A drag offers the patches only: dropped on a text field they mean nothing.
    data->removeFormat(QStringLiteral("text/plain"));
    return data;
}

void CPatchView::startDrag(Qt::DropActions)
{
    QMimeData* data = CreateDragData();
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
    // The drag took the button's release: the note held since the press ends with it.
    preview->Release();
}

void CPatchView::ReplaceCurrentPatch()
{
    const int currentPatch = document.GetCurrentPatch();
    if (currentPatch == -1)
        return;
    CPatchItem* slotPatch = document.GetPatch(currentPatch, document.GetCurrentBank());
    if (!slotPatch)
        return;
    CPatchItemList selection;
    CollectPatches(selection);
    if (selection.IsEmpty())
        return;

    CPatchItemList oldList;
    oldList.Add(slotPatch);
    CPatchItemList newList;
    CPatchItemListGuard newGuard(newList); // a copy the document did not take
    newList.Add(new CPatchItem(*selection.GetItem(0)));
    CWaitCursor wait;
    document.PlacePatches(nullptr, oldList, newList);
}

bool CPatchView::OnCommand(int id)
{
    switch (id)
    {
    case ID_EDIT_COPY:
    {
        CPatchItemList list;
        CollectPatches(list);
        if (!list.IsEmpty())
            PatchMime::PutOnClipboard(list);
        return true;
    }
    case ID_PATCH_REPLACE:
        ReplaceCurrentPatch();
        return true;
    default:
        return false;
    }
}

bool CPatchView::OnUpdateCommand(CCmdUI& ui)
{
    switch (ui.GetId())
    {
    case ID_EDIT_COPY:
        ui.Enable(selectionModel()->hasSelection());
        return true;
    case ID_PATCH_REPLACE:
        ui.Enable(document.GetCurrentPatch() != -1);
        return true;
    default:
        return false;
    }
}

void CPatchView::contextMenuEvent(QContextMenuEvent* event)
{
    contextMenu->Popup(QCursor::pos());
    event->accept();
}

void CPatchView::mousePressEvent(QMouseEvent* event)
{
    QTreeView::mousePressEvent(event);
    const Qt::KeyboardModifiers choosing = Qt::ShiftModifier | Qt::ControlModifier;
    if (event->button() != Qt::LeftButton || (event->modifiers() & choosing))
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        PreviewRow(index.row());
}

void CPatchView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        preview->Release();
}

void CPatchView::keyPressEvent(QKeyEvent* event)
{
    const bool space = event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier;
    if (space && event->isAutoRepeat())
    {
        // The note started with the first press goes on while the key is held.
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
    if (space && currentIndex().isValid())
        PreviewRow(currentIndex().row());
}

void CPatchView::keyReleaseEvent(QKeyEvent* event)
{
    QTreeView::keyReleaseEvent(event);
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        preview->Release();
}

void CPatchView::PreviewRow(int row)
{
    // Read at every press: turning hearing off in the settings holds at once.
    if (!Profile::GetPreviewEnabled())
        return;
    const CPatchItem* patch = model->GetPatch(row);
    if (!patch || !patch->IsValid())
        return;
    preview->Press(patch->GetLoadPath(), patch->GetSourcePatch(),
                   QString::fromStdString(StoredTextToDisplay(patch->GetName())));
}
