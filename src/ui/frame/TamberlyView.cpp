#include "ui/frame/TamberlyView.h"

#include "bank/CommandIds.h"
#include "ui/sheets/Dialogs.h"
#include "ui/Profile.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/PatchMimeData.h"
#include "ui/WaitCursor.h"
#include "ui/frame/Images.h"
#include "ui/frame/ReportList.h"
#include "ui/frame/SlotList.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHeaderView>
#include <QItemSelection>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace
{
constexpr int kPatchRole = Qt::UserRole + 1; // the row's document patch (quintptr), 0 for none
constexpr int kDropRole = Qt::UserRole + 2;  // the row has the drop highlight

struct ColumnSpec
{
    unsigned heading;
    Qt::Alignment alignment;
    int width;
};
constexpr ColumnSpec kColumns[CTamberlyView::kColumnCount] = {
    {IDS_COLUMN_PATCH, Qt::AlignLeft, 111},        {IDS_COLUMN_LOCATION, Qt::AlignLeft, 59},
    {IDS_COLUMN_SIZE, Qt::AlignRight, 63},         {IDS_COLUMN_SOURCE_FILE, Qt::AlignLeft, 211},
    {IDS_COLUMN_SOURCE_PATCH, Qt::AlignRight, 78},
};

QString Text(unsigned id)
{
    return QString::fromStdString(LoadString(id));
}

QString DisplayText(const std::string& stored)
{
    return QString::fromStdString(StoredTextToDisplay(stored));
}

int Sign(long long difference)
{
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

int CompareText(const std::string& a, const std::string& b)
{
    const int result = a.compare(b);
    return result < 0 ? -1 : result > 0 ? 1 : 0;
}

// Changes of the view's own making are not the user's: the controls' change
// signals see the counter and stay quiet.
class CUpdating
{
public:
    explicit CUpdating(int& counter) : count(counter) { ++count; }
    ~CUpdating() { --count; }
    CUpdating(const CUpdating&) = delete;
    CUpdating& operator=(const CUpdating&) = delete;

private:
    int& count;
};
} // namespace

CTamberlyView::CTamberlyView(CTamberlyDoc& doc, QWidget* parent) : QWidget(parent), document(doc)
{
    setObjectName(QStringLiteral("BankView"));

    bankTabs = new QTabBar(this);
    bankTabs->setUsesScrollButtons(true);
    bankTabs->setExpanding(false);
    bankTabs->setElideMode(Qt::ElideNone);
    bankTabs->setIconSize(QSize(Images::kPatchImageWidth, Images::kPatchImageHeight));
    bankTabs->setDrawBase(true);

    model = new QStandardItemModel(0, kColumnCount, this);
    for (int column = 0; column < kColumnCount; ++column)
    {
        model->setHeaderData(column, Qt::Horizontal, Text(kColumns[column].heading));
        model->setHeaderData(column, Qt::Horizontal,
                             QVariant::fromValue(kColumns[column].alignment | Qt::AlignVCenter),
                             Qt::TextAlignmentRole);
    }

    const QSize imageSize(Images::kPatchImageWidth, Images::kPatchImageHeight);
    report = new CReportList;
    report->setModel(model);
    report->setRootIsDecorated(false);
    report->setItemsExpandable(false);
    report->setUniformRowHeights(true);
    report->setAllColumnsShowFocus(true);
    report->setSelectionMode(QAbstractItemView::ExtendedSelection);
    report->setSelectionBehavior(QAbstractItemView::SelectRows);
    report->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    report->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    report->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    report->setIconSize(imageSize);
    report->setSortingEnabled(false);
    report->header()->setStretchLastSection(false);
    report->header()->setSectionsClickable(true);
    report->header()->setSortIndicatorShown(false);
    report->header()->setSectionsMovable(false);
    for (int column = 0; column < kColumnCount; ++column)
        report->header()->resizeSection(column, kColumns[column].width);

    slotList = new CSlotList;
    slotList->setModel(model);
    slotList->setSelectionModel(report->selectionModel());
    slotList->setViewMode(QListView::ListMode);
    slotList->setFlow(QListView::TopToBottom);
    slotList->setWrapping(true);
    slotList->setResizeMode(QListView::Adjust);
    slotList->setMovement(QListView::Static);
    slotList->setUniformItemSizes(false);
    slotList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    slotList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    slotList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    slotList->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    slotList->setIconSize(imageSize);
    slotList->setSpacing(1);

    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(report), static_cast<QAbstractItemView*>(slotList)})
    {
        list->setDragEnabled(true);
        list->setDropIndicatorShown(false);
        list->setFrameShape(QFrame::NoFrame);
        connect(list, &QAbstractItemView::doubleClicked, this, [this] { OnDoubleClicked(); });
    }
    report->onStartDrag = [this] { BeginDrag(); };
    slotList->onStartDrag = [this] { BeginDrag(); };

    lists = new QStackedWidget(this);
    lists->addWidget(report);
    lists->addWidget(slotList);
    lists->setFrameShape(QFrame::StyledPanel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bankTabs);
    layout->addWidget(lists, 1);
    setFocusProxy(report);

    scrollTimer = new QTimer(this);
    scrollTimer->setInterval(50);
    connect(scrollTimer, &QTimer::timeout, this,
            [this]
            {
                if (dragOver)
                    AutoScroll(dragOver->viewport()->mapFromGlobal(QCursor::pos()));
            });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this] { Q_EMIT ContextMenuRequested(QCursor::pos()); });
    connect(bankTabs, &QTabBar::currentChanged, this, &CTamberlyView::OnTabChanged);
    connect(report->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTamberlyView::OnSelectionChanged);
    connect(model, &QStandardItemModel::itemChanged, this, &CTamberlyView::OnItemChanged);
    connect(report->header(), &QHeaderView::sectionClicked, this, &CTamberlyView::OnHeaderClicked);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CTamberlyView::OnClipboardChanged);
    OnClipboardChanged();

    document.AddObserver(this);
}

CTamberlyView::~CTamberlyView()
{
    document.RemoveObserver(this);
    if (initialized)
    {
        // The widths are the report's whichever tab is showing.
        SetListType(ListType::Report);
        Profile::SaveColumnWidths(IDS_PROFILE_DISPLAY, IDS_PROFILE_BANK_VIEW, report->header(), kColumnCount);
    }
    dropPatches.DeleteAll();
}

// Set-up and updates ----------------------------------------------------------

void CTamberlyView::OnInitialUpdate()
{
    if (!initialized)
        SetUp();
    RefreshTabs(nullptr);
    FillList(document.GetCurrentBank());
}

void CTamberlyView::SetUp()
{
    initialized = true;
    Profile::LoadColumnWidths(IDS_PROFILE_DISPLAY, IDS_PROFILE_BANK_VIEW, report->header(), kColumnCount);

    // Drops are taken by the view from either list's viewport.
    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(report), static_cast<QAbstractItemView*>(slotList)})
    {
        list->setAcceptDrops(true);
        list->viewport()->setAcceptDrops(true);
        list->viewport()->installEventFilter(this);
    }

    const CUpdating guard(updating);
    for (int bank = -1; bank < kTabCount - 1; ++bank)
    {
        bool inUse = false;
        const int tab = bankTabs->addTab(DisplayText(document.GetBankCaption(bank, &inUse)));
        bankTabs->setTabData(tab, bank);
    }
    // The strip had no tabs and so no height when the view was laid out.
    bankTabs->updateGeometry();
}

void CTamberlyView::OnUpdate(IDocumentObserver*, unsigned hint, const CPatchItemList* patches)
{
    if (!initialized)
        return;
    if (hint == HintEverything)
    {
        RefreshTabs(nullptr);
        FillList(document.GetCurrentBank());
        return;
    }
    if (hint & HintBankTabs)
        RefreshTabs(nullptr);
    if (hint & HintBankList)
        FillList(document.GetCurrentBank());
    if (hint & HintPatchTabs)
        RefreshTabs(patches);
    if ((hint & HintPatchRows) && patches)
        RefreshRows(document.GetCurrentBank(), *patches);
}

// Tabs and rows -----------------------------------------------------------------

void CTamberlyView::RefreshTabs(const CPatchItemList* patches)
{
    const CUpdating guard(updating);
    auto refresh = [this](int tab)
    {
        if (tab < 0 || tab >= bankTabs->count())
            return;
        bool inUse = false;
        const QString caption = DisplayText(document.GetBankCaption(tab - 1, &inUse));
        // Only what changed: every change lays the whole tab row out again.
        if (bankTabs->tabText(tab) != caption)
            bankTabs->setTabText(tab, caption);
        if (bankTabs->tabIcon(tab).isNull() == inUse)
            bankTabs->setTabIcon(tab, inUse ? Images::PatchIcon(1) : QIcon());
    };
    if (!patches)
    {
        for (int tab = 0; tab < bankTabs->count(); ++tab)
            refresh(tab);
    }
    else
    {
        refresh(0);
        for (const CPatchItem* patch : *patches)
            refresh(patch->GetTargetBank() + 1);
    }
    bankTabs->setCurrentIndex(document.GetCurrentBank() + 1);
}

void CTamberlyView::FillList(int bank)
{
    const CWaitCursor wait;
    {
        const CUpdating guard(updating);
        model->removeRows(0, model->rowCount());
        SetListType(bank == -1 ? ListType::Report : ListType::List);
        // The rows go in complete and at once: the slot list takes its
        // common item size from the rows it is given.
        const int count = document.GetSlotCount(bank);
        QList<QStandardItem*> rows;
        rows.reserve(count);
        for (int row = 0; row < count; ++row)
        {
            CPatchItem* patch = document.GetPatch(row, bank);
            auto* item = new QStandardItem;
            SetRowItem(*item, patch, bank);
            if (bank == -1 && patch)
            {
                QList<QStandardItem*> cells{item};
                const std::array<QString, kColumnCount> texts = ColumnTexts(*patch);
                for (int column = 1; column < kColumnCount; ++column)
                    cells << MakeCell(column, texts[static_cast<std::size_t>(column)]);
                model->appendRow(cells);
            }
            else
            {
                rows << item;
            }
        }
        if (!rows.isEmpty())
            model->invisibleRootItem()->appendRows(rows);
    }
    if (document.GetCurrentBank() == -1)
        SortList(1, 1);
}

void CTamberlyView::FillRow(int row, CPatchItem* patch, int bank)
{
    const CUpdating guard(updating);
    QStandardItem* item = model->item(row, 0);
    if (!item)
    {
        item = new QStandardItem;
        model->setItem(row, 0, item);
    }
    SetRowItem(*item, patch, bank);
    if (bank == -1 && patch)
        SetRowColumns(row, *patch);
}

void CTamberlyView::SetRowItem(QStandardItem& item, CPatchItem* patch, int bank)
{
    const bool documentPatch = patch && patch->IsDocumentPatch();
    QString text;
    if (patch && bank == -1)
    {
        text = DisplayText(patch->GetName());
    }
    else if (patch)
    {
        const std::string name = StoredTextToDisplay(patch->GetName());
        text = QString::fromStdString(FormatString(IDS_SLOT_ROW, patch->GetTargetPatch(), name.c_str()));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
    }
    item.setText(text);
    item.setIcon(Images::PatchIcon(documentPatch && patch->IsLoaded() ? 1 : 0));
    item.setData(QVariant::fromValue<quintptr>(documentPatch ? reinterpret_cast<quintptr>(patch) : 0),
                 kPatchRole);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    if (bank == -1 && documentPatch)
        flags |= Qt::ItemIsEditable;
    item.setFlags(flags);
}

std::array<QString, CTamberlyView::kColumnCount> CTamberlyView::ColumnTexts(const CPatchItem& patch)
{
    return {
        DisplayText(patch.GetName()),
        patch.IsLoaded() ? QString::fromStdString(
                               FormatString(IDS_LOCATION, patch.GetTargetBank(), patch.GetTargetPatch()))
                         : Text(IDS_NONE),
        QString::fromStdString(FormatString(IDS_SIZE_KB, patch.GetLoadedKB())),
        DisplayText(patch.GetSourceFile()),
        patch.GetSourcePatch() == -1 ? Text(IDS_NONE) : QString::number(patch.GetSourcePatch()),
    };
}

QStandardItem* CTamberlyView::MakeCell(int column, const QString& text)
{
    auto* cell = new QStandardItem(text);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled);
    cell->setTextAlignment(kColumns[column].alignment | Qt::AlignVCenter);
    return cell;
}

void CTamberlyView::SetRowColumns(int row, const CPatchItem& patch)
{
    const CUpdating guard(updating);
    const std::array<QString, kColumnCount> texts = ColumnTexts(patch);
    for (int column = 1; column < kColumnCount; ++column)
    {
        const QString& text = texts[static_cast<std::size_t>(column)];
        if (QStandardItem* cell = model->item(row, column))
            cell->setText(text);
        else
            model->setItem(row, column, MakeCell(column, text));
    }
}

void CTamberlyView::RefreshRows(int bank, const CPatchItemList& patches)
{
    if (bank == -1)
    {
        FillList(-1);
        return;
    }
    const CWaitCursor wait;
    for (const CPatchItem* changed : patches)
    {
        if (changed->GetTargetBank() != bank)
            continue;
        const int slot = changed->GetTargetPatch();
        if (slot >= 0 && slot < model->rowCount())
            FillRow(slot, document.GetPatch(slot, bank), bank);
    }
}

void CTamberlyView::SetListType(ListType type)
{
    const bool hadFocus = GetCurrentList()->hasFocus();
    listType = type;
    QAbstractItemView* list = GetCurrentList();
    lists->setCurrentWidget(list);
    setFocusProxy(list);
    if (hadFocus)
        list->setFocus();
}

QAbstractItemView* CTamberlyView::GetCurrentList() const
{
    return listType == ListType::Report ? static_cast<QAbstractItemView*>(report)
                                        : static_cast<QAbstractItemView*>(slotList);
}

// Sorting -------------------------------------------------------------------------

void CTamberlyView::SortList(int column, int direction)
{
    if (column == -1)
        column = 0;
    if (column == sortColumn)
    {
        if (direction == -1)
            sortAscending = !sortAscending;
        else
            sortAscending = direction != 0;
    }
    else
    {
        sortAscending = true;
    }
    sortColumn = column;
    const unsigned parameter = (sortAscending ? 1u << 16 : 0u) | static_cast<unsigned>(column & 0xFFFF);

    const CUpdating guard(updating);
    struct Row
    {
        QList<QStandardItem*> items;
        bool selected;
        bool current;
    };
    const int count = model->rowCount();
    const int currentRow = report->selectionModel()->currentIndex().row();
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(count));
    std::vector<bool> selected(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        selected[static_cast<std::size_t>(row)] = IsRowSelected(row);
    for (int row = 0; row < count; ++row)
        rows.push_back({model->takeRow(0), selected[static_cast<std::size_t>(row)], row == currentRow});

    auto patchOf = [](const Row& row)
    {
        return row.items.isEmpty()
                   ? nullptr
                   : reinterpret_cast<CPatchItem*>(row.items.front()->data(kPatchRole).value<quintptr>());
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&](const Row& a, const Row& b)
                     { return ComparePatches(patchOf(a), patchOf(b), parameter) < 0; });

    QItemSelection selection;
    QModelIndex current;
    for (Row& row : rows)
    {
        model->appendRow(row.items);
        const int at = model->rowCount() - 1;
        if (row.selected)
            selection.select(model->index(at, 0), model->index(at, kColumnCount - 1));
        if (row.current)
            current = model->index(at, 0);
    }
    report->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (current.isValid())
        report->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

int CTamberlyView::ComparePatches(const CPatchItem* a, const CPatchItem* b, unsigned parameter)
{
    if (!a || !b)
        return 0;
    int result = 0;
    switch (parameter & 0xFFFF)
    {
    case 0:
        result = CompareText(a->GetName(), b->GetName());
        break;
    case 1:
        result = a->GetTargetBank() == b->GetTargetBank()
                     ? Sign(0LL + a->GetTargetPatch() - b->GetTargetPatch())
                     : Sign(0LL + a->GetTargetBank() - b->GetTargetBank());
        break;
    case 2:
        result = Sign(0LL + a->GetLoadedKB() - b->GetLoadedKB());
        break;
    case 3:
        result = CompareText(a->GetSourceFile(), b->GetSourceFile());
        break;
    case 4:
        result = Sign(0LL + a->GetSourcePatch() - b->GetSourcePatch());
        break;
    default:
        break;
    }
    return (parameter >> 16) == 0 ? -result : result;
}

// Rows ------------------------------------------------------------------------------

int CTamberlyView::GetRowCount() const
{
    return model->rowCount();
}

CPatchItem* CTamberlyView::ItemData(int row) const
{
    const QStandardItem* item = model->item(row, 0);
    return item ? reinterpret_cast<CPatchItem*>(item->data(kPatchRole).value<quintptr>()) : nullptr;
}

CPatchItem* CTamberlyView::GetPatchAt(int row)
{
    if (row < 0 || row >= model->rowCount())
        return nullptr;
    const int bank = document.GetCurrentBank();
    return bank == -1 ? ItemData(row) : document.GetPatch(row, bank);
}

bool CTamberlyView::IsRowSelected(int row) const
{
    return report->selectionModel()->isSelected(model->index(row, 0));
}

bool CTamberlyView::IsRowDropHighlighted(int row) const
{
    const QStandardItem* item = model->item(row, 0);
    return item && item->data(kDropRole).toBool();
}

QString CTamberlyView::GetRowText(int row, int column) const
{
    const QStandardItem* item = model->item(row, column);
    return item ? item->text() : QString();
}

void CTamberlyView::CollectPatches(CPatchItemList& list, unsigned states)
{
    const int focused = report->selectionModel()->currentIndex().row();
    for (int row = 0; row < model->rowCount(); ++row)
    {
        const bool match = ((states & StateSelected) && IsRowSelected(row)) ||
                           ((states & StateFocused) && row == focused) ||
                           ((states & StateDropHighlighted) && IsRowDropHighlighted(row));
        if (!match)
            continue;
        if (CPatchItem* patch = GetPatchAt(row))
            list.Add(patch);
    }
}

bool CTamberlyView::HasSelectedDocumentPatch() const
{
    for (int row = 0; row < model->rowCount(); ++row)
        if (IsRowSelected(row) && ItemData(row))
            return true;
    return false;
}

CPatchItem* CTamberlyView::FocusedSelectedPatch() const
{
    const int row = report->selectionModel()->currentIndex().row();
    return row >= 0 && IsRowSelected(row) ? ItemData(row) : nullptr;
}

// Notifications ---------------------------------------------------------------------

void CTamberlyView::OnTabChanged(int index)
{
    if (updating || index < 0)
        return;
    document.SetCurrentBank(nullptr, bankTabs->tabData(index).toInt());
}

void CTamberlyView::OnSelectionChanged(const QItemSelection& selected, const QItemSelection&)
{
    if (updating)
        return;
    std::vector<int> rows;
    for (const QModelIndex& index : selected.indexes())
        if (index.column() == 0)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        document.SetCurrentPatch(this, GetPatchAt(row));
}

void CTamberlyView::OnItemChanged(QStandardItem* item)
{
    // Only the user's rename of a row of the "Virtual Bank" report gets here.
    if (updating || item->column() != 0 || document.GetCurrentBank() != -1)
        return;
    CPatchItem* patch = ItemData(item->row());
    if (!patch)
        return;
    patch->SetName(item->text().toStdString());
    {
        const CUpdating guard(updating);
        item->setText(DisplayText(patch->GetName()));
    }
    // The new name is part of the document: unsaved, it would be lost without a prompt.
    document.SetModifiedFlag(true);
}

void CTamberlyView::OnHeaderClicked(int column)
{
    if (listType == ListType::Report)
        SortList(column, -1);
}

void CTamberlyView::OnDoubleClicked()
{
    CCmdUI ui(ID_EDIT_PROPERTIES);
    if (OnUpdateCommand(ui) && ui.IsEnabled())
        OnProperties();
}

void CTamberlyView::OnClipboardChanged()
{
    clipboardHasPatches = PatchMime::HasPatches(QApplication::clipboard()->mimeData());
}

// Commands --------------------------------------------------------------------------

bool CTamberlyView::OnUpdateCommand(CCmdUI& ui)
{
    const bool anySelected = report->selectionModel()->hasSelection();
    switch (ui.GetId())
    {
    case ID_EDIT_NEW:
        ui.Enable(document.GetCurrentBank() == -1);
        return true;
    case ID_EDIT_CUT:
    case ID_EDIT_COPY:
        ui.Enable(anySelected);
        return true;
    case ID_EDIT_PASTE:
        ui.Enable(clipboardHasPatches && (anySelected || document.GetCurrentBank() == -1));
        return true;
    case ID_EDIT_DELETE:
        ui.Enable(HasSelectedDocumentPatch());
        return true;
    case ID_EDIT_PROPERTIES:
        ui.Enable(FocusedSelectedPatch() != nullptr);
        return true;
    default:
        return false;
    }
}

bool CTamberlyView::OnCommand(int id)
{
    switch (id)
    {
    case ID_EDIT_NEW:
        OnNew();
        return true;
    case ID_EDIT_CUT:
        OnCutCopy(true);
        return true;
    case ID_EDIT_COPY:
        OnCutCopy(false);
        return true;
    case ID_EDIT_PASTE:
        OnPaste();
        return true;
    case ID_EDIT_DELETE:
        OnDelete();
        return true;
    case ID_EDIT_PROPERTIES:
        OnProperties();
        return true;
    default:
        return false;
    }
}

void CTamberlyView::OnNew()
{
    if (document.GetCurrentBank() != -1)
        return;
    CPatchItemList list;
    const CPatchItemListGuard guard(list);
    auto patch = std::make_unique<CPatchItem>(true);
    patch->SetName(LoadString(IDS_EMPTY_PATCH));
    patch->SetSourceFile(LoadString(IDS_NONE));
    list.Add(patch.release());
    const CWaitCursor wait;
    document.AddPatches(nullptr, list);
}

void CTamberlyView::OnCutCopy(bool cut)
{
    CPatchItemList list; // the document's patches and slot descriptions: owns nothing
    CollectPatches(list, StateSelected);
    if (list.IsEmpty())
        return;
    PatchMime::PutOnClipboard(list);
    if (cut)
    {
        const CWaitCursor wait;
        document.RemovePatches(nullptr, list);
    }
}

void CTamberlyView::OnPaste()
{
    CPatchItemList pasted;
    // What the document does not take is deleted here, not left behind.
    const CPatchItemListGuard guard(pasted);
    if (!PatchMime::PasteFromClipboard(pasted) || pasted.IsEmpty())
        return;
    CPatchItemList selected;
    CollectPatches(selected, StateSelected);
    const CWaitCursor wait;
    if (!selected.IsEmpty())
        document.PlacePatches(nullptr, selected, pasted);
    else if (document.GetCurrentBank() == -1)
        document.AddPatches(nullptr, pasted);
}

void CTamberlyView::OnDelete()
{
    CPatchItemList list;
    CollectPatches(list, StateSelected);
    if (list.IsEmpty())
        return;
    const CWaitCursor wait;
    document.RemovePatches(nullptr, list);
}

void CTamberlyView::OnProperties()
{
    if (CPatchItem* patch = FocusedSelectedPatch())
        RunPatchPropertiesSheet(this, document, patch);
}
