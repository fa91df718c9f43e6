#include "ui/panes/FileView.h"

#include "bank/CommandIds.h"
#include "bank/FileHelpers.h"
#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "soundfont/SoundFontReader.h"
#include "ui/WaitCursor.h"
#include "ui/panes/ColumnSizer.h"
#include "ui/panes/FileListModel.h"
#include "ui/panes/PaneMenu.h"
#include "ui/panes/SoundFontInfoDialog.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QTimer>
#include <QUrl>

namespace
{
// The name the desktop shows for a folder: its last component ("/" for the root).
QString FolderDisplayName(const std::string& folderWithSlash)
{
    std::string path = folderWithSlash;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const QString name = QFileInfo(QString::fromStdString(path)).fileName();
    return name.isEmpty() ? QString::fromStdString(path) : name;
}
} // namespace

CFileView::CFileView(CTamberlyDoc& doc, QWidget* parent)
    : QTreeView(parent), document(doc), model(new CFileListModel(this))
{
    setModel(model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);

    QHeaderView* columns = header();
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setMinimumSectionSize(10);
    columnSizer = new CColumnSizer(this, IDS_PROFILE_FILE_VIEW, CFileListModel::ColumnCount,
                                   CFileListModel::ColumnName);
    connect(columns, &QHeaderView::sectionClicked, this, [this](int column) { SortList(column, -1); });

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) { OnSelectionChanged(selected); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this]
            {
                const std::string path = document.GetCurrentFile();
                if (songPlayer && HasSelection() && GetFileType(path) == FileTypeMidi)
                    songPlayer(QString::fromStdString(path));
                else
                    OnEdit();
            });

    contextMenu = std::make_unique<CPaneMenu>(this, *this,
                                              std::initializer_list<CPaneMenu::Item>{
                                                  {ID_FILE_LOAD, IDS_MENU_FILE_LOAD},
                                                  {ID_FILE_EDIT, IDS_MENU_FILE_EDIT},
                                                  {0, 0},
                                                  {ID_EDIT_PROPERTIES, IDS_MENU_FILE_PROPERTIES},
                                              },
                                              ID_FILE_EDIT);

    watcher = new QFileSystemWatcher(this);
    rereadTimer = new QTimer(this);
    rereadTimer->setSingleShot(true);
    rereadTimer->setInterval(kRereadDelayMs);
    // A copy of many files changes the folder many times: read once it settles.
    connect(watcher, &QFileSystemWatcher::directoryChanged, rereadTimer, qOverload<>(&QTimer::start));
    connect(rereadTimer, &QTimer::timeout, this, &CFileView::Reread);

    fileOpener = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    infoRunner = [](CSoundFontInfoDialog& dialog) { dialog.exec(); };

    document.AddObserver(this);
}

CFileView::~CFileView()
{
    document.RemoveObserver(this);
    columnSizer->Save();
}

void CFileView::OnUpdate(IDocumentObserver*, unsigned hint, const CPatchItemList*)
{
    if (hint == HintFolderTree)
    {
        // F5 (and a second click on the shown folder) read the files too.
        Reread();
        return;
    }
    if (hint != HintFolder)
        return;
    FillFromFolder(document.GetCurrentFolder());
    SortList(CFileListModel::ColumnName, 1);
}

void CFileView::FillFromFolder(const std::string& folder)
{
    CWaitCursor wait;
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    const std::string shown = FolderDisplayName(path).toStdString();
    model->SetHeading(QString::fromStdString(FormatString(IDS_FILE_VIEW_HEADING, shown.c_str())));
    model->SetEntries(CFileListModel::ListFolder(path));
    columnSizer->Fit();
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    shownFolder = path;
    rereads = 0;
    watcher->addPath(QString::fromStdString(path));
}

void CFileView::Reread()
{
    rereadTimer->stop();
    if (shownFolder.empty())
        return;
    ++rereads;
    const int rows = model->rowCount();
    if (model->Merge(CFileListModel::ListFolder(shownFolder)) && model->rowCount() > rows)
        columnSizer->Fit(); // a longer name may have come
    // A folder removed and made again is a new one to the watcher.
    if (watcher->directories().isEmpty())
        watcher->addPath(QString::fromStdString(shownFolder));
}

void CFileView::SortList(int column, int direction)
{
    const int parameter = sortState.Apply(column, direction);
    model->Sort(parameter);
    header()->setSortIndicator(sortState.GetColumn(),
                               sortState.IsAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CFileView::OnSelectionChanged(const QItemSelection& selected)
{
    // Only a row that has just become selected counts; losing the selection
    // (a new folder) leaves the current file as it is.
    for (const QModelIndex& index : selected.indexes())
    {
        if (const FileEntry* entry = model->GetEntry(index.row()))
        {
            document.SetCurrentFile(this, entry->folder + entry->fileName);
            return;
        }
    }
}

bool CFileView::HasSelection() const
{
    return selectionModel()->hasSelection();
}

bool CFileView::CanEditCurrentFile() const
{
    const FileType type = GetFileType(document.GetCurrentFile());
    return HasSelection() && (type == FileTypeSoundFont || type == FileTypeWave);
}

bool CFileView::OnCommand(int id)
{
    switch (id)
    {
    case ID_FILE_LOAD:
        OnLoad();
        return true;
    case ID_FILE_EDIT:
        OnEdit();
        return true;
    case ID_EDIT_PROPERTIES:
        OnProperties();
        return true;
    default:
        return false;
    }
}

bool CFileView::OnUpdateCommand(CCmdUI& ui)
{
    switch (ui.GetId())
    {
    case ID_FILE_LOAD:
        ui.Enable(document.GetCurrentBank() >= 1 &&
                  GetFileType(document.GetCurrentFile()) == FileTypeSoundFont);
        return true;
    case ID_FILE_EDIT:
    case ID_EDIT_PROPERTIES:
        ui.Enable(CanEditCurrentFile());
        return true;
    default:
        return false;
    }
}

void CFileView::OnLoad()
{
    CWaitCursor wait;
    document.LoadFileIntoCurrentBank(this, document.GetCurrentFile());
}

void CFileView::OnEdit()
{
    if (!CanEditCurrentFile())
        return;
    fileOpener(QString::fromStdString(document.GetCurrentFile()));
}

void CFileView::OnProperties()
{
    const std::string path = document.GetCurrentFile();
    CSoundFontReader reader;
    {
        CWaitCursor wait;
        reader.Open(path);
    }
    // A wave file, or a bank that does not read, shows nothing.
    if (!reader.IsValid())
        return;
    CSoundFontInfoDialog dialog(window());
    dialog.SetTexts(reader);
    dialog.path = path;
    infoRunner(dialog);
}

void CFileView::contextMenuEvent(QContextMenuEvent* event)
{
    // At the mouse cursor, also when the keyboard asked for the menu.
    contextMenu->Popup(QCursor::pos());
    event->accept();
}
