#pragma once
// The bank view: the upper pane of the main window. A row of 129 tabs picks
// what the list below shows - tab 0 the document's own patches ("Virtual
// Bank") as a five-column report, tab t the 128 slots of card bank t - 1.
// Every user action becomes one call on the document; the view redraws only
// from the document's updates (the hint table in OnUpdate).
//
// Rows hold no patch of their own: a row's item data is the document patch
// it shows (or null for a slot that only shows the card's content), valid
// until the next update. The view owns only dropPatches, the patches of a
// drag over it.

#include "bank/DocumentObserver.h"
#include "bank/PatchItemList.h"
#include "ui/CommandTarget.h"

#include <QPoint>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class CReportList;
class CSlotList;
class CTamberlyDoc;
class QAbstractItemView;
class QItemSelection;
class QMimeData;
class QStackedWidget;
class QStandardItem;
class QStandardItemModel;
class QTabBar;
class QTimer;

class CTamberlyView final : public QWidget, public IDocumentObserver, public ICommandTarget
{
    Q_OBJECT

public:
    enum class ListType
    {
        Report, // the "Virtual Bank" report with five columns
        List,   // a card bank's slots in flowing columns
    };
    // Row states CollectPatches looks for.
    enum RowState : unsigned
    {
        StateSelected = 0x01,
        StateFocused = 0x02,
        StateDropHighlighted = 0x04,
    };
    static constexpr int kColumnCount = 5;
    static constexpr int kTabCount = 129;

    explicit CTamberlyView(CTamberlyDoc& document, QWidget* parent = nullptr);
    // Saves the report's column widths and leaves the document's observers.
    ~CTamberlyView() override;

    // For the first document and every new or opened one: the one-time
    // set-up the first time, then all tabs and the current bank's rows.
    void OnInitialUpdate();
    void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) override;

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Operations ---------------------------------------------------------
    void FillList(int bank);
    // All tabs (null), or tab 0 and the tabs of the patches' banks.
    void RefreshTabs(const CPatchItemList* patches);
    void RefreshRows(int bank, const CPatchItemList& patches);
    void SetRowColumns(int row, const CPatchItem& patch);
    void SetListType(ListType type);
    ListType GetListType() const { return listType; }
    // column -1 means 0; direction -1 toggles on the same column, else sets
    // the direction (non-zero ascending). A new column sorts ascending.
    void SortList(int column, int direction);
    // Orders rows: parameter holds the direction (upper 16 bits, non-zero
    // ascending) and the column (lower 16 bits). A null patch compares equal.
    static int ComparePatches(const CPatchItem* a, const CPatchItem* b, unsigned parameter);
    int GetSortColumn() const { return sortColumn; }
    bool IsSortAscending() const { return sortAscending; }
    // The patch behind a row: the row's patch on the "Virtual Bank" tab, the
    // document's slot patch (possibly a stand-alone description) on a card bank.
    CPatchItem* GetPatchAt(int row);
    // Appends GetPatchAt(row) for every row in any of the states, in row order.
    void CollectPatches(CPatchItemList& list, unsigned states);

    // Drop target -------------------------------------------------------
    // -1 clears every highlight; else from row first on (byNumbers false)
    // or the rows numbered like the dropped presets (byNumbers true).
    void HighlightDropRows(int first, bool byNumbers);
    void ResetDrop();
    // The drop a drag at pos (list viewport coordinates) would make.
    Qt::DropAction EvaluateDrop(QPoint pos, Qt::KeyboardModifiers modifiers);
    // Scrolls the list when pos (list viewport coordinates) is near its edges.
    void AutoScroll(QPoint pos);
    const CPatchItemList& GetDropPatches() const { return dropPatches; }

    // Drag source -------------------------------------------------------
    // Runs a drag of the given data and returns how it ended. By default a
    // QDrag; tests replace it to drop the data where they need.
    using DragRunner = std::function<Qt::DropAction(std::unique_ptr<QMimeData>)>;
    void SetDragRunner(DragRunner runner) { dragRunner = std::move(runner); }
    // A drag of the focused row (left button), as the list starts it.
    void BeginDrag();
    bool IsOwnDrag() const { return ownDrag; }

    // Parts, for the frame and the tests ---------------------------------
    QTabBar* GetTabs() const { return bankTabs; }
    CReportList* GetReport() const { return report; }
    CSlotList* GetSlotList() const { return slotList; }
    QAbstractItemView* GetCurrentList() const;
    QStandardItemModel* GetModel() const { return model; }
    int GetRowCount() const;
    bool IsRowSelected(int row) const;
    bool IsRowDropHighlighted(int row) const;
    QString GetRowText(int row, int column = 0) const;

Q_SIGNALS:
    // Right click or the menu key in the view: the frame shows the view's
    // popup menu there (global coordinates).
    void ContextMenuRequested(QPoint globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUp();
    void OnTabChanged(int index);
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnItemChanged(QStandardItem* item);
    void OnHeaderClicked(int column);
    void OnDoubleClicked();
    void OnClipboardChanged();
    void FillRow(int row, CPatchItem* patch, int bank);
    // Text, image, item data and flags of a row's first cell.
    void SetRowItem(QStandardItem& item, CPatchItem* patch, int bank);
    // The five report texts of a patch.
    static std::array<QString, kColumnCount> ColumnTexts(const CPatchItem& patch);
    static QStandardItem* MakeCell(int column, const QString& text);
    CPatchItem* ItemData(int row) const;
    bool HasSelectedDocumentPatch() const;
    CPatchItem* FocusedSelectedPatch() const;
    int RowAt(QPoint pos) const;
    bool HandleDragEvent(QEvent* event);
    void DropOnRows();
    void PlaceByNumbers();

    void OnNew();
    void OnCutCopy(bool cut);
    void OnPaste();
    void OnDelete();
    void OnProperties();

    CTamberlyDoc& document;

    bool sortAscending = true;
    int sortColumn = -1;
    bool initialized = false;
    bool ownDrag = false;
    CPatchItemList dropPatches; // owns its elements
    bool rightButtonDrop = false;
    bool dropByNumbers = false; // the drop over a card bank goes by preset numbers (right button or Shift)
    ListType listType = ListType::Report;

    QTabBar* bankTabs = nullptr;
    QStackedWidget* lists = nullptr;
    CReportList* report = nullptr;
    CSlotList* slotList = nullptr;
    QStandardItemModel* model = nullptr;
    QTimer* scrollTimer = nullptr;
    QAbstractItemView* dragOver = nullptr; // the list a drag is over
    DragRunner dragRunner;
    bool clipboardHasPatches = false;
    // Non-zero while the view itself changes rows or tabs, so that the
    // controls' change signals are not taken for the user's doing.
    int updating = 0;
};
