#include "ui/frame/TamberlyView.h"

#include "bank/CommandIds.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/PatchMimeData.h"
#include "ui/RightButtonDrag.h"
#include "ui/WaitCursor.h"
#include "ui/frame/BankViewModel.h"
#include "ui/frame/Images.h"
#include "ui/frame/ReportList.h"
#include "ui/frame/SlotList.h"
#include "ui/panes/ColumnSizer.h"
#include "ui/sheets/Dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QHeaderView>
#include <QItemSelection>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int kTabCount = 129;

QString DisplayText(const std::string& stored)
{
    return QString::fromStdString(StoredTextToDisplay(stored));
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

    model = new CBankViewModel(document, this);

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
    report->header()->setSectionsClickable(true);
    report->header()->setSortIndicatorShown(false);
    report->header()->setSectionsMovable(false);

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
        new CRightButtonDrag(list, [this] { BeginDrag(); });
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
    // The header is clicked only on the report, the one list that shows it.
    connect(report->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { SortList(column, -1); });
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
        ShowReport(true);
        columnSizer->Save();
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
    // The source file's path is the column that narrows first: the
    // patch's own name matters more.
    columnSizer = new CColumnSizer(report, IDS_PROFILE_BANK_VIEW, CBankViewModel::ColumnCount,
                                   CBankViewModel::ColumnSourceFile);

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
    if ((hint & (HintPatchRows | HintPatchNames)) && patches)
    {
        // Patches added, removed or moved fill the report again, sorted by
        // location as when it is filled; names alone, and a card bank's
        // slots, are read again in place.
        const CWaitCursor wait;
        if (document.GetCurrentBank() == -1 && (hint & HintPatchRows))
            FillList(-1);
        else
            model->RefreshRows(*patches);
    }
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
        ShowReport(bank == -1);
        model->Fill(bank);
    }
    if (document.GetCurrentBank() == -1)
    {
        SortList(CBankViewModel::ColumnLocation, 1);
        columnSizer->Fit();
    }
}

void CTamberlyView::ShowReport(bool showReport)
{
    const bool hadFocus = GetCurrentList()->hasFocus();
    QAbstractItemView* list =
        showReport ? static_cast<QAbstractItemView*>(report) : static_cast<QAbstractItemView*>(slotList);
    lists->setCurrentWidget(list);
    setFocusProxy(list);
    if (hadFocus)
        list->setFocus();
}

QAbstractItemView* CTamberlyView::GetCurrentList() const
{
    return static_cast<QAbstractItemView*>(lists->currentWidget());
}

void CTamberlyView::SortList(int column, int direction)
{
    const CUpdating guard(updating);
    model->Sort(sortState.Apply(column, direction));
}

// Rows ------------------------------------------------------------------------------

std::vector<int> CTamberlyView::SelectedRows() const
{
    // The slot list selects the first column alone, the report whole rows.
    std::vector<int> rows;
    for (const QModelIndex& index : report->selectionModel()->selectedIndexes())
        if (index.column() == 0)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CTamberlyView::CollectSelectedPatches(CPatchItemList& list) const
{
    for (int row : SelectedRows())
        if (CPatchItem* patch = model->GetPatch(row))
            list.Add(patch);
}

CPatchItem* CTamberlyView::FocusedSelectedPatch() const
{
    const QModelIndex current = report->selectionModel()->currentIndex();
    if (!report->selectionModel()->isSelected(current.siblingAtColumn(0)))
        return nullptr;
    return model->GetDocumentPatch(current.row());
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
        document.SetCurrentPatch(this, model->GetPatch(row));
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
    {
        const std::vector<int> rows = SelectedRows();
        ui.Enable(std::any_of(rows.begin(), rows.end(),
                              [this](int row) { return model->GetDocumentPatch(row) != nullptr; }));
        return true;
    }
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
    CollectSelectedPatches(list);
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
    CollectSelectedPatches(selected);
    const CWaitCursor wait;
    if (!selected.IsEmpty())
        document.PlacePatches(nullptr, selected, pasted);
    else if (document.GetCurrentBank() == -1)
        document.AddPatches(nullptr, pasted);
}

void CTamberlyView::OnDelete()
{
    CPatchItemList list;
    CollectSelectedPatches(list);
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
