#pragma once
// The preset list pane: what the document's current file offers as patches
// (the presets of a SoundFont, the conversion options of a wave file, the
// patches of a bank document). Selected patches go to the clipboard (Copy),
// are dragged into the bank view (copy only), or replace the patch of the
// bank view's current slot (Replace patch, double-click).
//
// A left click on a preset (without Shift or Ctrl, which only choose rows)
// or Space on the current row plays it through the preview (CPresetPreview)
// while the profile allows it: a short note, or as long as the button or the
// key is held.
//
// The pane observes the document from construction to destruction; the
// document must outlive it. Column widths are read from the profile at
// construction and written back at destruction.

#include "bank/DocumentObserver.h"
#include "ui/CommandTarget.h"
#include "ui/panes/SortState.h"

#include <QTreeView>

#include <memory>
#include <string>

class CColumnSizer;
class CPaneMenu;
class CPresetPreview;
class CPatchItemList;
class CPatchListModel;
class CTamberlyDoc;
class QMimeData;

class CPatchView : public QTreeView, public IDocumentObserver, public ICommandTarget
{
    Q_OBJECT

public:
    CPatchView(CTamberlyDoc& document, QWidget* parent = nullptr);
    ~CPatchView() override;

    // Fills the list with the patches of path and names the file in the
    // heading. A file that does not read (a damaged bank document
    // included) gives an empty list.
    void FillFromFile(const std::string& path);
    // Sorts by column (-1 counts as 0); direction -1 flips the direction of
    // the column already sorted, 0 or 1 sets it.
    void SortList(int column, int direction);

    // The selected rows' patches in row order; the rows keep them.
    void CollectPatches(CPatchItemList& list) const;
    // What a drag of the selection carries: the patches in the private
    // format only. The caller owns the result; null without a selection.
    QMimeData* CreateDragData() const;
    // The patch of the current slot becomes a copy of the first selected
    // patch; nothing without a current slot or a selection.
    void ReplaceCurrentPatch();

    CPatchListModel* GetModel() const { return model; }
    CPresetPreview& GetPreview() const { return *preview; }
    const CSortState& GetSortState() const { return sortState; }
    CPaneMenu& GetContextMenu() { return *contextMenu; }

    void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // Plays the row's patch unless the profile turned hearing presets off.
    void PreviewRow(int row);

    CTamberlyDoc& document;
    CPatchListModel* model;
    CSortState sortState;
    std::unique_ptr<CPaneMenu> contextMenu;
    CColumnSizer* columnSizer = nullptr;
    CPresetPreview* preview;
};
