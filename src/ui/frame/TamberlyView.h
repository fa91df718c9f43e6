#pragma once
// The bank view: the upper pane of the main window. A row of 129 tabs picks
// what the list below shows - tab 0 the document's own patches ("Virtual
// Bank") as a five-column report, tab t the 128 slots of card bank t - 1.
// The rows come from CBankViewModel; where a drop lands comes from
// CDropPlan. Every user action becomes one call on the document; the view
// redraws only from the document's updates (the hint table in OnUpdate).
//
// The view owns only dropPatches, the patches of a drag over it.

#include "bank/DocumentObserver.h"
#include "bank/PatchItemList.h"
#include "ui/CommandTarget.h"
#include "ui/panes/SortState.h"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class CBankViewModel;
class CColumnSizer;
class CDropPlan;
class CReportList;
class CSlotList;
class CTamberlyDoc;
class QAbstractItemView;
class QDropEvent;
class QItemSelection;
class QMimeData;
class QStackedWidget;
class QTabBar;
class QTimer;

class CTamberlyView final : public QWidget, public IDocumentObserver, public ICommandTarget
{
    Q_OBJECT

public:
    explicit CTamberlyView(CTamberlyDoc& document, QWidget* parent = nullptr);
    // Saves the report's column widths and leaves the document's observers.
    ~CTamberlyView() override;

    // For the first document and every new or opened one: the one-time
    // set-up the first time, then all tabs and the current bank's rows.
    void OnInitialUpdate();
    void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Runs a drag of the given data and returns how it ended. By default a
    // QDrag; tests replace it to drop the data where they need.
    using DragRunner = std::function<Qt::DropAction(std::unique_ptr<QMimeData>)>;
    void SetDragRunner(DragRunner runner) { dragRunner = std::move(runner); }
    // A drag of the focused row (left button), as the list starts it.
    void BeginDrag();

    QTabBar* GetTabs() const { return bankTabs; }
    // The report or the slot list, whichever shows.
    QAbstractItemView* GetCurrentList() const;
    CBankViewModel* GetModel() const { return model; }
    const CSortState& GetSortState() const { return sortState; }

Q_SIGNALS:
    // Right click or the menu key in the view: the frame shows the view's
    // popup menu there (global coordinates).
    void ContextMenuRequested(QPoint globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUp();
    // All tabs (null), or tab 0 and the tabs of the patches' banks.
    void RefreshTabs(const CPatchItemList* patches);
    void FillList(int bank);
    // Shows the report (bank -1) or the slot list.
    void ShowReport(bool report);
    // column -1 means 0; direction -1 toggles on the same column, else sets
    // the direction (non-zero ascending). A new column sorts ascending.
    void SortList(int column, int direction);

    void OnTabChanged(int index);
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void OnDoubleClicked();
    void OnClipboardChanged();
    // Selected rows, ascending.
    std::vector<int> SelectedRows() const;
    // Appends the patch behind every selected row, in row order.
    void CollectSelectedPatches(CPatchItemList& list) const;
    CPatchItem* FocusedSelectedPatch() const;

    // Drop target (TamberlyViewDrag.cpp)
    int RowAt(QPoint pos) const;
    bool HandleDragEvent(QEvent* event);
    // Where the drag of event would drop: highlights the plan's rows and
    // puts what the drop would do into action.
    CDropPlan EvaluateDrop(const QDropEvent& event, Qt::DropAction& action);
    void Drop(const CDropPlan& plan);
    void ResetDrop();
    // Scrolls the list when pos (list viewport coordinates) is near its edges.
    void AutoScroll(QPoint pos);

    void OnNew();
    void OnCutCopy(bool cut);
    void OnPaste();
    void OnDelete();
    void OnProperties();

    CTamberlyDoc& document;

    CSortState sortState;
    bool initialized = false;
    bool ownDrag = false;
    CPatchItemList dropPatches; // owns its elements
    bool rightButtonDrop = false;

    QTabBar* bankTabs = nullptr;
    QStackedWidget* lists = nullptr;
    CReportList* report = nullptr;
    CSlotList* slotList = nullptr;
    CBankViewModel* model = nullptr;
    CColumnSizer* columnSizer = nullptr;
    QTimer* scrollTimer = nullptr;
    QAbstractItemView* dragOver = nullptr; // the list a drag is over
    DragRunner dragRunner;
    bool clipboardHasPatches = false;
    // Non-zero while the view itself changes rows or tabs, so that the
    // controls' change signals are not taken for the user's doing.
    int updating = 0;
};
