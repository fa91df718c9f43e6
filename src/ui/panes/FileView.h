#pragma once
// The file list pane: the SoundFont bank files, wave files and bank
// documents of the document's current folder, with their sizes. Selecting a
// file makes it the document's current file (which fills the preset list).
// From here a SoundFont is loaded into the current user bank (Load), a file
// is opened in the desktop's application for it (Edit), and a SoundFont's
// information texts are shown (Properties).
//
// The pane observes the document from construction to destruction; the
// document must outlive it. Column widths are read from the profile at
// construction and written back at destruction.

#include "bank/DocumentObserver.h"
#include "ui/CommandTarget.h"
#include "ui/panes/SortState.h"

#include <QTreeView>

#include <functional>
#include <memory>
#include <string>

class CFileListModel;
class CColumnSizer;
class CPaneMenu;
class QFileSystemWatcher;
class QTimer;
class CSoundFontInfoDialog;
class CTamberlyDoc;
struct FileEntry;

class CFileView : public QTreeView, public IDocumentObserver, public ICommandTarget
{
    Q_OBJECT

public:
    // Opens a file in the desktop's application for it.
    using FileOpener = std::function<void(const QString& path)>;
    // Runs the information dialog, filled and ready.
    using InfoDialogRunner = std::function<void(CSoundFontInfoDialog& dialog)>;

    CFileView(CTamberlyDoc& document, QWidget* parent = nullptr);
    ~CFileView() override;

    // Replaces the desktop's "open" (tests record instead of launching).
    void SetFileOpener(FileOpener opener) { fileOpener = std::move(opener); }
    // What a double click on a MIDI file does: plays it through the card.
    void SetSongPlayer(FileOpener player) { songPlayer = std::move(player); }
    // Replaces the modal run of the information dialog.
    void SetInfoDialogRunner(InfoDialogRunner runner) { infoRunner = std::move(runner); }

    // Lists the usable files of folder (with or without a trailing "/").
    void FillFromFolder(const std::string& folder);
    // Reads the shown folder again, keeping the selection and the scroll
    // position (a change on disk, F5).
    void Reread();
    // How often the shown folder was read again since it was filled.
    int GetRereadCount() const { return rereads; }
    // The pause after a change on disk before the folder is read again;
    // changes within it are read together.
    static constexpr int kRereadDelayMs = 200;
    // Sorts by column (-1 counts as 0); direction -1 flips the direction of
    // the column already sorted, 0 or 1 sets it.
    void SortList(int column, int direction);

    CFileListModel* GetModel() const { return model; }
    const CSortState& GetSortState() const { return sortState; }
    // The context menu as it would open now.
    CPaneMenu& GetContextMenu() { return *contextMenu; }

    void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnSelectionChanged(const QItemSelection& selected);
    void OnLoad();
    void OnEdit();
    void OnProperties();
    bool HasSelection() const;
    // A row is selected and the current file is a SoundFont or wave file.
    bool CanEditCurrentFile() const;

    CTamberlyDoc& document;
    CFileListModel* model;
    CSortState sortState;
    std::unique_ptr<CPaneMenu> contextMenu;
    CColumnSizer* columnSizer = nullptr;
    // The shown folder on disk: a change re-reads it once the burst of
    // changes is over.
    QFileSystemWatcher* watcher = nullptr;
    QTimer* rereadTimer = nullptr;
    std::string shownFolder;
    int rereads = 0;
    FileOpener fileOpener;
    FileOpener songPlayer;
    InfoDialogRunner infoRunner;
};
