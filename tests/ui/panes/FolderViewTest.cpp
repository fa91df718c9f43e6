#include "ui/panes/PaneFixture.h"

#include "bank/CommandIds.h"
#include "platform/StringTable.h"
#include "ui/panes/FolderView.h"
#include "ui/panes/PaneMenu.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include <filesystem>

namespace fs = std::filesystem;

namespace
{
class FolderViewTest : public PaneTest
{
protected:
    FolderViewTest()
    {
        for (const char* folder : {"banks", "banks/b", "banks/A", "banks/A/deep", "banks/.hidden", "waves"})
            fs::create_directory(files.File(folder));
        Write("banks/PIANO.SBK", {});
    }

    void SaveRoots(const std::vector<std::pair<std::string, std::string>>& roots, int count)
    {
        for (std::size_t i = 0; i < roots.size(); ++i)
        {
            const QString n = QString::number(i + 1);
            Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Name") + n,
                                        QString::fromStdString(roots[i].first));
            Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Path") + n,
                                        QString::fromStdString(roots[i].second));
        }
        Profile::WriteProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, count);
    }
    std::string Saved(const char* name, int i)
    {
        return Profile::GetProfileString(IDS_PROFILE_PATHS, QString::fromLatin1(name) + QString::number(i))
            .toStdString();
    }
    static std::vector<std::string> Texts(const CFolderView& view, const QTreeWidgetItem* parent = nullptr)
    {
        std::vector<std::string> texts;
        const int count = parent ? parent->childCount() : view.topLevelItemCount();
        for (int i = 0; i < count; ++i)
            texts.push_back((parent ? parent->child(i) : view.topLevelItem(i))->text(0).toStdString());
        return texts;
    }
    static bool ShowsExpandButton(const QTreeWidgetItem* item)
    {
        return item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator || item->childCount() > 0;
    }
    static QTreeWidgetItem* Child(QTreeWidgetItem* parent, const char* text)
    {
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i)->text(0) == QLatin1String(text))
                return parent->child(i);
        return nullptr;
    }
    bool Enabled(CFolderView& view, int id)
    {
        CCmdUI ui(id);
        EXPECT_TRUE(view.OnUpdateCommand(ui));
        return ui.IsEnabled();
    }
};

TEST_F(FolderViewTest, FirstStartHasTheWorkingFolderAndSavesIt)
{
    const std::string here = fs::current_path().string();
    {
        CFolderView view(*document);
        ASSERT_EQ(view.topLevelItemCount(), 1);
        EXPECT_EQ(view.topLevelItem(0)->text(0).toStdString(), "Tamberly Folder");
        EXPECT_EQ(CFolderView::GetItemPath(view.topLevelItem(0)), here);
        // Nothing is selected by itself, so the current folder is unchanged.
        EXPECT_EQ(document->GetCurrentFolder(), "");
    }
    EXPECT_EQ(Profile::GetProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 0), 1);
    EXPECT_EQ(Saved("Name", 1), "Tamberly Folder");
    EXPECT_EQ(Saved("Path", 1), here);
}

TEST_F(FolderViewTest, SavedRootsComeBackSortedAndStaleEntriesAreIgnored)
{
    SaveRoots({{"Zeta", files.File("banks")}, {"alpha", files.File("waves") + "/"}, {"Stale", "/stale"}}, 2);
    {
        CFolderView view(*document);
        EXPECT_EQ(Texts(view), (std::vector<std::string>{"alpha", "Zeta"}));
        // A root that does not exist is simply empty.
        view.AddFolderItem(QStringLiteral("Gone"), files.File("gone"), nullptr);
        EXPECT_EQ(Texts(view), (std::vector<std::string>{"alpha", "Gone", "Zeta"}));
        QTreeWidgetItem* gone = view.topLevelItem(1);
        EXPECT_FALSE(ShowsExpandButton(gone));
        gone->setExpanded(true);
        EXPECT_EQ(gone->childCount(), 0);
        delete view.topLevelItem(0);
    }
    EXPECT_EQ(Profile::GetProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 0), 2);
    EXPECT_EQ(Saved("Name", 1), "Gone");
    EXPECT_EQ(Saved("Path", 2), files.File("banks"));
    EXPECT_EQ(Saved("Name", 3), "Stale"); // left in the profile, not read
    CFolderView again(*document);
    EXPECT_EQ(Texts(again), (std::vector<std::string>{"Gone", "Zeta"}));
}

TEST_F(FolderViewTest, SubfoldersAreReadOnFirstExpansionOnlyUntilARefresh)
{
    SaveRoots({{"Banks", files.File("banks")},
               {"Slash", files.File("banks") + "/"},
               {"Waves", files.File("waves")}},
              3);
    CFolderView view(*document);
    QTreeWidgetItem* banks = view.topLevelItem(0);
    QTreeWidgetItem* slash = view.topLevelItem(1);
    EXPECT_TRUE(ShowsExpandButton(banks));
    EXPECT_FALSE(ShowsExpandButton(view.topLevelItem(2))); // no subfolders in waves
    EXPECT_EQ(banks->childCount(), 0);

    banks->setExpanded(true);
    slash->setExpanded(true);
    // Sorted, hidden folders and files left out; a trailing separator changes nothing.
    EXPECT_EQ(Texts(view, banks), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(Texts(view, slash), (std::vector<std::string>{"A", "b"}));
    EXPECT_EQ(CFolderView::GetItemPath(Child(banks, "A")), files.File("banks") + "/A");
    EXPECT_EQ(CFolderView::GetItemPath(Child(slash, "A")), files.File("banks") + "/A");
    EXPECT_TRUE(ShowsExpandButton(Child(banks, "A")));
    EXPECT_FALSE(ShowsExpandButton(Child(banks, "b")));

    // The disk is not read again on the next expansions.
    fs::create_directory(files.File("banks/C"));
    banks->setExpanded(false);
    banks->setExpanded(true);
    EXPECT_EQ(Texts(view, banks), (std::vector<std::string>{"A", "b"}));
    view.OnUpdate(nullptr, HintFolder | HintFile, nullptr); // other hints change nothing
    EXPECT_EQ(banks->childCount(), 2);

    document->RefreshFolderTree();
    ASSERT_EQ(view.topLevelItemCount(), 3);
    banks = view.topLevelItem(0);
    EXPECT_EQ(banks->text(0).toStdString(), "Banks");
    EXPECT_FALSE(banks->isExpanded());
    EXPECT_EQ(banks->childCount(), 0);
    banks->setExpanded(true);
    EXPECT_EQ(Texts(view, banks), (std::vector<std::string>{"A", "b", "C"}));

    // A folder that vanished before its first expansion shows no children and no message.
    QTreeWidgetItem* a = Child(banks, "A");
    fs::remove_all(files.File("banks/A"));
    a->setExpanded(true);
    EXPECT_EQ(a->childCount(), 0);
    EXPECT_FALSE(ShowsExpandButton(a));
}

TEST_F(FolderViewTest, SelectionSetsTheCurrentFolder)
{
    SaveRoots({{"Banks", files.File("banks")}}, 1);
    CFolderView view(*document);
    QTreeWidgetItem* banks = view.topLevelItem(0);
    banks->setExpanded(true);
    view.setCurrentItem(banks);
    EXPECT_EQ(document->GetCurrentFolder(), files.File("banks"));
    view.setCurrentItem(Child(banks, "b"));
    EXPECT_EQ(document->GetCurrentFolder(), files.File("banks") + "/b");
    EXPECT_EQ(recorder.Count(HintFolder), 2);
    // Losing the selection keeps the folder.
    view.clearSelection();
    EXPECT_EQ(document->GetCurrentFolder(), files.File("banks") + "/b");
}

TEST_F(FolderViewTest, OnlyRootsAreRenamedAndNeverToNothing)
{
    SaveRoots({{"Banks", files.File("banks")}}, 1);
    {
        CFolderView view(*document);
        QTreeWidgetItem* root = view.topLevelItem(0);
        root->setExpanded(true);
        EXPECT_TRUE(root->flags() & Qt::ItemIsEditable);
        EXPECT_FALSE(Child(root, "A")->flags() & Qt::ItemIsEditable);

        const QModelIndex index = view.model()->index(0, 0);
        QLineEdit editor;
        editor.setText(QString());
        view.itemDelegate()->setModelData(&editor, view.model(), index);
        EXPECT_EQ(root->text(0).toStdString(), "Banks");
        editor.setText(QStringLiteral("My Banks"));
        view.itemDelegate()->setModelData(&editor, view.model(), index);
        EXPECT_EQ(root->text(0).toStdString(), "My Banks");
        EXPECT_EQ(CFolderView::GetItemPath(root), files.File("banks"));
    }
    CFolderView again(*document);
    EXPECT_EQ(again.topLevelItem(0)->text(0).toStdString(), "My Banks");
}

TEST_F(FolderViewTest, NewDeleteAndPropertiesWorkOnRoots)
{
    SaveRoots({{"Banks", files.File("banks")}, {"Waves", files.File("waves")}}, 2);
    CFolderView view(*document);
    std::vector<std::pair<QString, QString>> asked; // title, initial folder
    QString answer;
    view.SetFolderPicker(
        [&](QWidget*, const QString& title, const QString& initial)
        {
            asked.emplace_back(title, initial);
            return answer;
        });
    std::vector<QString> questions;
    bool yes = false;
    view.SetConfirmer(
        [&](QWidget*, const QString& question)
        {
            questions.push_back(question);
            return yes;
        });

    // New: always offered; Cancel adds nothing, a folder becomes a root named after it.
    EXPECT_TRUE(Enabled(view, ID_EDIT_NEW));
    view.OnCommand(ID_EDIT_NEW);
    EXPECT_EQ(view.topLevelItemCount(), 2);
    answer = QString::fromStdString(files.File("banks/A"));
    view.OnCommand(ID_EDIT_NEW);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].first, QStringLiteral("Choose Folder"));
    EXPECT_TRUE(asked[0].second.isEmpty());
    EXPECT_EQ(Texts(view), (std::vector<std::string>{"A", "Banks", "Waves"}));
    EXPECT_TRUE(ShowsExpandButton(view.topLevelItem(0)));

    // Delete and Properties need a root.
    EXPECT_FALSE(Enabled(view, ID_EDIT_DELETE));
    QTreeWidgetItem* banks = view.topLevelItem(1);
    banks->setExpanded(true);
    view.setCurrentItem(Child(banks, "b"));
    EXPECT_FALSE(Enabled(view, ID_EDIT_DELETE));
    EXPECT_FALSE(Enabled(view, ID_EDIT_PROPERTIES));
    view.setCurrentItem(banks);
    EXPECT_TRUE(Enabled(view, ID_EDIT_DELETE));
    EXPECT_TRUE(Enabled(view, ID_EDIT_PROPERTIES));

    // Properties: the root keeps its name, points at the chosen folder, sorts
    // among the roots by that name, and its old subfolders are gone.
    answer.clear();
    view.OnCommand(ID_EDIT_PROPERTIES);
    EXPECT_EQ(asked.back().second, QString::fromStdString(files.File("banks")));
    EXPECT_EQ(view.topLevelItem(1)->childCount(), 2);
    answer = QString::fromStdString(files.File("waves"));
    view.OnCommand(ID_EDIT_PROPERTIES);
    EXPECT_EQ(Texts(view), (std::vector<std::string>{"A", "Banks", "Waves"}));
    EXPECT_EQ(CFolderView::GetItemPath(view.topLevelItem(1)), files.File("waves"));
    EXPECT_EQ(view.topLevelItem(1)->childCount(), 0);

    // Delete asks first; No keeps the root.
    view.setCurrentItem(view.topLevelItem(2));
    view.OnCommand(ID_EDIT_DELETE);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], QStringLiteral("Are you shure to delete this path ?"));
    EXPECT_EQ(view.topLevelItemCount(), 3);
    yes = true;
    view.setCurrentItem(view.topLevelItem(2));
    view.OnCommand(ID_EDIT_DELETE);
    EXPECT_EQ(Texts(view), (std::vector<std::string>{"A", "Banks"}));

    // The context menu: New, Delete, a separator, Properties; no default.
    QMenu* menu = view.GetContextMenu().Prepare();
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&New ..."));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("&Delete ...\tDel"));
    EXPECT_EQ(menu->defaultAction(), nullptr);
    CCmdUI other(ID_EDIT_COPY);
    EXPECT_FALSE(view.OnUpdateCommand(other));
}
} // namespace
