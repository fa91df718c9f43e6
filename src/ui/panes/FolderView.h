#pragma once
// The folder tree: root folders the user chose (with names of their own),
// each opening into its subfolders, which are read from disk only when a
// folder is first expanded. Selecting a folder makes it the document's
// current folder (which fills the file list). The roots are read from the
// profile section "Paths" at construction (first start: one root "Tamberly
// Folder" at the working directory) and written back at destruction.
//
// The pane observes the document from construction to destruction; the
// document must outlive it. It reads the folders again when the document
// asks (HintFolderTree).

#include "bank/DocumentObserver.h"
#include "ui/CommandTarget.h"

#include <QIcon>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string>

class CPaneMenu;
class QFileSystemWatcher;
class CTamberlyDoc;

class CFolderView : public QTreeWidget, public IDocumentObserver, public ICommandTarget
{
    Q_OBJECT

public:
    // Asks for a folder: the chosen folder's full path, empty on Cancel.
    // initial is the folder to start at (empty: the desktop).
    using FolderPicker =
        std::function<QString(QWidget* parent, const QString& title, const QString& initial)>;
    // Asks a yes/no question; true for Yes.
    using Confirmer = std::function<bool(QWidget* parent, const QString& question)>;

    CFolderView(CTamberlyDoc& document, QWidget* parent = nullptr);
    ~CFolderView() override; // SaveRoots

    // Replace the desktop's dialogs (tests answer instead of a person).
    void SetFolderPicker(FolderPicker picker) { folderPicker = std::move(picker); }
    void SetConfirmer(Confirmer confirm) { confirmer = std::move(confirm); }

    // Inserts a folder item with text under parent (null: a root) in sorted
    // order; it shows an expand button when the folder has a subfolder.
    QTreeWidgetItem* AddFolderItem(const QString& text, const std::string& path, QTreeWidgetItem* parent);
    // The number of visible subfolders of path; with item, they are also
    // inserted under it. A folder that cannot be read has none.
    int ScanFolder(const std::string& path, QTreeWidgetItem* item);
    void LoadRoots();
    void SaveRoots() const;
    // Reads every root again: the tree ends collapsed, subfolders unread.
    void RefreshTree();
    // Brings the items of path (a folder whose subfolders were read) to
    // what is on disk now: new subfolders added, vanished ones removed,
    // the rest left as they are (open, selected).
    void SyncFolder(const QString& path);

    // The folder path an item stands for.
    static std::string GetItemPath(const QTreeWidgetItem* item);
    CPaneMenu& GetContextMenu() { return *contextMenu; }

    void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnSelectionChanged();
    void OnNew();
    void OnDelete();
    void OnProperties();
    // The selected item when it is a root; null otherwise.
    QTreeWidgetItem* SelectedRoot() const;
    // The chosen folder's path and its name as the picker shows it; empty path on Cancel.
    std::pair<std::string, QString> BrowseForFolder(const std::string& initial);

    CTamberlyDoc& document;
    QIcon folderIcon;
    std::unique_ptr<CPaneMenu> contextMenu;
    FolderPicker folderPicker;
    Confirmer confirmer;
    // The roots and every folder whose subfolders are shown.
    QFileSystemWatcher* watcher = nullptr;
};
