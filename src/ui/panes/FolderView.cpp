#include "ui/panes/FolderView.h"

#include "bank/CommandIds.h"
#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "ui/ItemRoles.h"
#include "ui/Profile.h"
#include "ui/UiText.h"
#include "ui/WaitCursor.h"
#include "ui/panes/PaneMenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace
{
QString EntryName(unsigned wordId, int position)
{
    return UiText(wordId) + QString::number(position);
}

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// A folder the tree shows: a directory (or a link to one) whose name does
// not begin with "." (hidden).
bool IsVisibleFolder(const std::filesystem::directory_entry& entry)
{
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.front() == '.')
        return false;
    std::error_code error;
    return entry.is_directory(error);
}

// Calls visit with each visible subfolder's name until it returns false.
template <typename Visit> void ForEachSubfolder(const std::string& folder, Visit visit)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
        if (IsVisibleFolder(*it) && !visit(it->path().filename().string()))
            return;
}

bool HasSubfolder(const std::string& folder)
{
    bool found = false;
    ForEachSubfolder(WithSlash(folder),
                     [&](const std::string&)
                     {
                         found = true;
                         return false;
                     });
    return found;
}

// The tree's sort order: names without regard to case, ties by case.
bool NameLess(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

// Label editing that keeps the old name when the new one is empty.
class CRootNameDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<const QLineEdit*>(editor);
        if (line && line->text().isEmpty())
            return;
        QStyledItemDelegate::setModelData(editor, model, index);
    }
};
} // namespace

CFolderView::CFolderView(CTamberlyDoc& doc, QWidget* parent) : QTreeWidget(parent), document(doc)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setItemDelegate(new CRootNameDelegate(this));
    // A closed folder, and an open one while selected.
    folderIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    folderIcon.addPixmap(style()->standardPixmap(QStyle::SP_DirOpenIcon), QIcon::Selected);

    watcher = new QFileSystemWatcher(this);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &CFolderView::SyncFolder);
    connect(this, &QTreeWidget::itemExpanded, this, &CFolderView::OnItemExpanded);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CFolderView::OnSelectionChanged);

    contextMenu = std::make_unique<CPaneMenu>(this, *this,
                                              std::initializer_list<CPaneMenu::Item>{
                                                  {ID_EDIT_NEW, IDS_MENU_FOLDER_NEW},
                                                  {ID_EDIT_DELETE, IDS_MENU_FOLDER_DELETE},
                                                  {0, 0},
                                                  {ID_EDIT_PROPERTIES, IDS_MENU_FOLDER_PROPERTIES},
                                              });

    folderPicker = [](QWidget* owner, const QString& title, const QString& initial)
    {
        const QString start =
            initial.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) : initial;
        return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    };
    confirmer = [](QWidget* owner, const QString& question)
    {
        return QMessageBox::question(owner, QApplication::applicationDisplayName(), question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };

    LoadRoots();
    document.AddObserver(this);
}

CFolderView::~CFolderView()
{
    document.RemoveObserver(this);
    SaveRoots();
}

std::string CFolderView::GetItemPath(const QTreeWidgetItem* item)
{
    return item ? item->data(0, ItemRoles::FolderPathRole).toByteArray().toStdString() : std::string();
}

QTreeWidgetItem* CFolderView::AddFolderItem(const QString& text, const std::string& path,
                                            QTreeWidgetItem* parent)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setIcon(0, folderIcon);
    item->setData(0, ItemRoles::FolderPathRole, QByteArray::fromStdString(path));
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!parent)
        flags |= Qt::ItemIsEditable; // only roots are renamed
    item->setFlags(flags);
    item->setChildIndicatorPolicy(HasSubfolder(path) ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);

    // Sorted insertion: after the last sibling that does not sort after the new one.
    const int count = parent ? parent->childCount() : topLevelItemCount();
    int low = 0;
    int high = count;
    while (low < high)
    {
        const int middle = (low + high) / 2;
        const QTreeWidgetItem* sibling = parent ? parent->child(middle) : topLevelItem(middle);
        if (NameLess(text, sibling->text(0)))
            high = middle;
        else
            low = middle + 1;
    }
    if (parent)
        parent->insertChild(low, item);
    else
        insertTopLevelItem(low, item);
    if (!parent)
        watcher->addPath(QString::fromStdString(path)); // a new subfolder shows its expand button
    return item;
}

int CFolderView::ScanFolder(const std::string& path, QTreeWidgetItem* item)
{
    std::vector<std::string> names;
    const std::string folder = WithSlash(path);
    ForEachSubfolder(folder,
                     [&](const std::string& name)
                     {
                         names.push_back(name);
                         return true;
                     });
    if (item)
    {
        // Inserting in order keeps each insertion at the end of the siblings.
        std::vector<QString> texts;
        texts.reserve(names.size());
        for (const std::string& name : names)
            texts.push_back(QString::fromStdString(name));
        std::vector<std::size_t> order(names.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return NameLess(texts[a], texts[b]); });
        for (std::size_t i : order)
            AddFolderItem(texts[i], folder + names[i], item);
    }
    return static_cast<int>(names.size());
}

void CFolderView::OnItemExpanded(QTreeWidgetItem* item)
{
    if (!item || item->data(0, ItemRoles::FolderReadRole).toBool())
        return;
    item->setData(0, ItemRoles::FolderReadRole, true);
    CWaitCursor wait;
    ScanFolder(GetItemPath(item), item);
    watcher->addPath(QString::fromStdString(GetItemPath(item)));
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void CFolderView::LoadRoots()
{
    CWaitCursor wait;
    const int count = Profile::GetProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 0);
    if (count <= 0)
    {
        std::error_code error;
        const std::string here = std::filesystem::current_path(error).string();
        AddFolderItem(UiText(IDS_TAMBERLY_FOLDER), here, nullptr);
        return;
    }
    for (int i = 1; i <= count; ++i)
    {
        const QString name = Profile::GetProfileString(IDS_PROFILE_PATHS, EntryName(IDS_PROFILE_NAME, i));
        const QString path = Profile::GetProfileString(IDS_PROFILE_PATHS, EntryName(IDS_PROFILE_PATH, i));
        AddFolderItem(name, path.toStdString(), nullptr);
    }
}

void CFolderView::SaveRoots() const
{
    int i = 0;
    for (; i < topLevelItemCount(); ++i)
    {
        const QTreeWidgetItem* root = topLevelItem(i);
        Profile::WriteProfileString(IDS_PROFILE_PATHS, EntryName(IDS_PROFILE_NAME, i + 1), root->text(0));
        Profile::WriteProfileString(IDS_PROFILE_PATHS, EntryName(IDS_PROFILE_PATH, i + 1),
                                    QString::fromStdString(GetItemPath(root)));
    }
    Profile::WriteProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, i);
}

void CFolderView::RefreshTree()
{
    CWaitCursor wait;
    std::vector<std::pair<QString, std::string>> roots;
    for (int i = 0; i < topLevelItemCount(); ++i)
        roots.emplace_back(topLevelItem(i)->text(0), GetItemPath(topLevelItem(i)));
    clear();
    if (!watcher->directories().isEmpty())
        watcher->removePaths(watcher->directories());
    for (const auto& [text, path] : roots)
        AddFolderItem(text, path, nullptr);
}

void CFolderView::OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList*)
{
    // The tree's own call (a second click) asks the other panes only.
    if ((hint & HintFolderTree) && sender != this)
        RefreshTree();
}

void CFolderView::mousePressEvent(QMouseEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    const bool again = item && item->isSelected() && event->button() == Qt::LeftButton;
    QTreeWidget::mousePressEvent(event);
    // A click on the folder already shown reads its files again.
    if (again)
        document.UpdateViews(this, HintFolderTree);
}

void CFolderView::SyncFolder(const QString& changed)
{
    const std::string path = WithSlash(changed.toStdString());
    std::vector<QTreeWidgetItem*> matches;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (WithSlash(GetItemPath(*it)) == path)
            matches.push_back(*it);
    if (matches.empty())
    {
        watcher->removePath(changed);
        return;
    }
    std::vector<std::string> onDisk;
    ForEachSubfolder(path,
                     [&](const std::string& name)
                     {
                         onDisk.push_back(name);
                         return true;
                     });
    for (QTreeWidgetItem* item : matches)
    {
        if (!item->data(0, ItemRoles::FolderReadRole).toBool())
        {
            // Subfolders not read yet: only whether there are any.
            item->setChildIndicatorPolicy(onDisk.empty() ? QTreeWidgetItem::DontShowIndicator
                                                         : QTreeWidgetItem::ShowIndicator);
            continue;
        }
        std::vector<std::string> shown;
        for (int i = item->childCount() - 1; i >= 0; --i)
        {
            const std::string childPath = GetItemPath(item->child(i));
            const std::string name = childPath.substr(std::min(childPath.size(), path.size()));
            if (std::find(onDisk.begin(), onDisk.end(), name) == onDisk.end())
                delete item->takeChild(i);
            else
                shown.push_back(name);
        }
        for (const std::string& name : onDisk)
            if (std::find(shown.begin(), shown.end(), name) == shown.end())
                AddFolderItem(QString::fromStdString(name), path + name, item);
        item->setChildIndicatorPolicy(item->childCount() == 0 ? QTreeWidgetItem::DontShowIndicator
                                                              : QTreeWidgetItem::ShowIndicator);
    }
}

void CFolderView::OnSelectionChanged()
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    document.SetCurrentFolder(this, GetItemPath(selected.first()));
}

QTreeWidgetItem* CFolderView::SelectedRoot() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty() || selected.first()->parent())
        return nullptr;
    return selected.first();
}

std::pair<std::string, QString> CFolderView::BrowseForFolder(const std::string& initial)
{
    const QString chosen = folderPicker(this, UiText(IDS_CHOOSE_FOLDER), QString::fromStdString(initial));
    if (chosen.isEmpty())
        return {};
    QString name = QFileInfo(chosen).fileName();
    if (name.isEmpty())
        name = chosen; // the file system's root has no name of its own
    return {chosen.toStdString(), name};
}

bool CFolderView::OnCommand(int id)
{
    switch (id)
    {
    case ID_EDIT_NEW:
        OnNew();
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

bool CFolderView::OnUpdateCommand(CCmdUI& ui)
{
    switch (ui.GetId())
    {
    case ID_EDIT_NEW:
        ui.Enable(true);
        return true;
    case ID_EDIT_DELETE:
    case ID_EDIT_PROPERTIES:
        ui.Enable(SelectedRoot() != nullptr);
        return true;
    default:
        return false;
    }
}

void CFolderView::OnNew()
{
    const auto [path, name] = BrowseForFolder({});
    if (!path.empty())
        AddFolderItem(name, path, nullptr);
}

void CFolderView::OnDelete()
{
    QTreeWidgetItem* root = SelectedRoot();
    if (!root || !confirmer(this, UiText(IDS_DELETE_PATH_QUESTION)))
        return;
    delete root;
}

void CFolderView::OnProperties()
{
    QTreeWidgetItem* root = SelectedRoot();
    if (!root)
        return;
    const auto [path, name] = BrowseForFolder(GetItemPath(root));
    if (path.empty())
        return;
    // The root keeps its name and now stands for the chosen folder.
    const QString text = root->text(0);
    delete root;
    AddFolderItem(text, path, nullptr);
}

void CFolderView::contextMenuEvent(QContextMenuEvent* event)
{
    contextMenu->Popup(QCursor::pos());
    event->accept();
}
