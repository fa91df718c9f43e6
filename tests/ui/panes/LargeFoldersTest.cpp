// The folder tree and the file list on folders of the size and shape real
// disks have: a tree 300 levels deep, a link back to a folder's own parent,
// folders that cannot be read, and a folder of 10,000 files. The tree reads a
// folder only when it is expanded, so each of these stays one level's work.

#include "ui/panes/PaneFixture.h"

#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "platform/ByteStream.h"
#include "platform/StringTable.h"
#include "ui/panes/FileListModel.h"
#include "ui/panes/FileView.h"
#include "ui/panes/FolderView.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PatchView.h"

#include <QSignalSpy>
#include <QTreeWidgetItemIterator>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
class LargeFoldersTest : public PaneTest
{
protected:
    void SaveRoot(const std::string& name, const std::string& path)
    {
        Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Name1"), QString::fromStdString(name));
        Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Path1"), QString::fromStdString(path));
        Profile::WriteProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 1);
    }
    // Every item of the tree, expanded or not.
    static int ItemCount(CFolderView& view)
    {
        int count = 0;
        for (QTreeWidgetItemIterator it(&view); *it; ++it)
            ++count;
        return count;
    }
    static std::set<std::string> ChildPaths(const QTreeWidgetItem* item)
    {
        std::set<std::string> paths;
        for (int i = 0; i < item->childCount(); ++i)
            paths.insert(CFolderView::GetItemPath(item->child(i)));
        return paths;
    }
    static QTreeWidgetItem* ChildWithPath(QTreeWidgetItem* item, const std::string& path)
    {
        for (int i = 0; i < item->childCount(); ++i)
            if (CFolderView::GetItemPath(item->child(i)) == path)
                return item->child(i);
        return nullptr;
    }
    static bool ShowsExpandButton(const QTreeWidgetItem* item)
    {
        return item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator || item->childCount() > 0;
    }
    static std::vector<std::string> FileNames(const CFileView& view)
    {
        std::vector<std::string> names;
        for (int row = 0; row < view.GetModel()->rowCount(); ++row)
            names.push_back(view.GetModel()->GetEntry(row)->fileName);
        return names;
    }
    // An empty file, then made size bytes long without writing (sparse:
    // sizes of GB and TB cost nothing). False when the file system refuses the
    // size; the file stays empty then.
    static bool MakeFile(const std::string& path, std::uintmax_t size)
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file)
            return false;
        std::fclose(file);
        return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0;
    }
};

// A folder on a memory file system when there is one (else a temporary
// folder): there 10,000 files are made in a tenth of the time a disk's
// journal takes.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        if (::access("/dev/shm", W_OK) == 0)
        {
            std::string pattern = "/dev/shm/tamberly-folders-XXXXXX";
            if (::mkdtemp(pattern.data()))
                path = pattern;
        }
        if (path.empty())
            path = fallback.File("scratch");
        fs::create_directories(path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (path.rfind("/dev/shm/", 0) == 0)
            fs::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return path + "/" + name; }

    std::string path;

private:
    TempDir fallback;
};

// Puts modes back so that the temporary folders can be removed.
class ModeGuard
{
public:
    ~ModeGuard()
    {
        for (const auto& [path, mode] : modes)
            ::chmod(path.c_str(), mode);
    }
    void Set(const std::string& path, mode_t mode, mode_t restore)
    {
        modes.emplace_back(path, restore);
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    }

private:
    std::vector<std::pair<std::string, mode_t>> modes;
};

TEST_F(LargeFoldersTest, ATreeThreeHundredLevelsDeepIsReadNoFurtherThanItIsExpanded)
{
    constexpr int kDepth = 300;
    // Names of ten bytes: the deepest path is some 3,300 bytes, within PATH_MAX.
    const std::string root = files.File("deep");
    std::vector<std::string> chain;
    std::string path = root;
    for (int level = 1; level <= kDepth; ++level)
    {
        char name[16];
        std::snprintf(name, sizeof name, "/level-%03d", level);
        path += name;
        chain.push_back(path);
    }
    ASSERT_LT(chain.back().size() + 2, static_cast<std::size_t>(PATH_MAX));
    fs::create_directories(chain.back());
    Write(chain.back().substr(files.Path().size() + 1) + "/bottom.sbk", {});
    for (const std::string& folder : chain)
        Write(folder.substr(files.Path().size() + 1) + "/bank.sbk", {}); // files are no folders
    // Beside the chain: a folder with a tree of its own, one named in Latin-1
    // bytes (no UTF-8) and a hidden one.
    const std::string side = root + "/side";
    const std::string latin = root + "/\xE9t\xE9";
    fs::create_directories(side + "/inner/innermost");
    fs::create_directories(latin + "/sub");
    fs::create_directories(root + "/.hidden/sub");

    SaveRoot("Deep", root);
    CFolderView tree(*document);
    CFileView list(*document);
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    EXPECT_EQ(ItemCount(tree), 1);
    EXPECT_TRUE(ShowsExpandButton(top));

    // Expanding the root adds its folders and nothing below them.
    top->setExpanded(true);
    EXPECT_EQ(ChildPaths(top), (std::set<std::string>{chain.front(), side, latin}));
    EXPECT_EQ(ItemCount(tree), 4);
    for (int i = 0; i < top->childCount(); ++i)
    {
        EXPECT_EQ(top->child(i)->childCount(), 0);
        EXPECT_TRUE(ShowsExpandButton(top->child(i))) << CFolderView::GetItemPath(top->child(i));
    }
    // A folder made now is found when its parent is first expanded: nothing was read before.
    fs::create_directory(side + "/late");
    QTreeWidgetItem* sideItem = ChildWithPath(top, side);
    ASSERT_NE(sideItem, nullptr);
    sideItem->setExpanded(true);
    EXPECT_EQ(ChildPaths(sideItem), (std::set<std::string>{side + "/inner", side + "/late"}));
    EXPECT_EQ(ChildWithPath(sideItem, side + "/inner")->childCount(), 0);
    QTreeWidgetItem* latinItem = ChildWithPath(top, latin);
    ASSERT_NE(latinItem, nullptr);
    latinItem->setExpanded(true);
    EXPECT_EQ(ChildPaths(latinItem), (std::set<std::string>{latin + "/sub"})) << "the name's bytes are kept";
    EXPECT_EQ(ItemCount(tree), 7);

    // Down the chain one level at a time: each expansion adds one folder.
    QTreeWidgetItem* item = ChildWithPath(top, chain.front());
    ASSERT_NE(item, nullptr);
    for (int level = 1; level <= kDepth; ++level)
    {
        ASSERT_EQ(CFolderView::GetItemPath(item), chain[static_cast<std::size_t>(level - 1)]);
        EXPECT_EQ(ShowsExpandButton(item), level < kDepth) << level;
        const int before = ItemCount(tree);
        item->setExpanded(true);
        if (level == kDepth)
        {
            EXPECT_EQ(item->childCount(), 0);
            EXPECT_EQ(ItemCount(tree), before);
            break;
        }
        ASSERT_EQ(item->childCount(), 1) << level;
        EXPECT_EQ(ItemCount(tree), before + 1) << level;
        item = item->child(0);
    }
    EXPECT_EQ(ItemCount(tree), 7 + kDepth - 1);

    // The deepest folder is selected like any other and lists its files.
    tree.setCurrentItem(item);
    EXPECT_EQ(document->GetCurrentFolder(), chain.back());
    EXPECT_EQ(FileNames(list), (std::vector<std::string>{"bank.sbk", "bottom.sbk"}));
    EXPECT_EQ(list.GetModel()->GetEntry(0)->folder, chain.back() + "/");
}

TEST_F(LargeFoldersTest, ALinkToItsOwnParentIsWalkedOneLevelAtATimeUntilThePathGetsTooLong)
{
    // loop/<200 x L>/up -> .. (loop itself), beside links that lead nowhere.
    const std::string root = files.File("loop");
    const std::string name(200, 'L');
    const std::string inner = root + "/" + name;
    fs::create_directories(inner);
    ASSERT_EQ(::symlink("..", (inner + "/up").c_str()), 0);
    ASSERT_EQ(::symlink("missing", (inner + "/gone").c_str()), 0);
    ASSERT_EQ(::symlink("missing.sbk", (inner + "/gone.sbk").c_str()), 0);
    ASSERT_EQ(::symlink("pong", (inner + "/ping").c_str()), 0);
    ASSERT_EQ(::symlink("ping", (inner + "/pong").c_str()), 0);
    ASSERT_EQ(::symlink("ping.sbk", (inner + "/pong.sbk").c_str()), 0);
    ASSERT_EQ(::symlink("pong.sbk", (inner + "/ping.sbk").c_str()), 0);
    Write("loop/" + name + "/bank.sbk", Bytes(2048));
    ASSERT_EQ(::symlink("bank.sbk", (inner + "/alias.sbk").c_str()), 0);

    SaveRoot("Loop", root);
    CFolderView tree(*document);
    CFileView list(*document);
    QTreeWidgetItem* item = tree.topLevelItem(0);
    ASSERT_NE(item, nullptr);
    constexpr int kMostSteps = 100;
    int steps = 0;
    bool hadButton = true;
    for (; steps < kMostSteps; ++steps)
    {
        const std::string path = CFolderView::GetItemPath(item);
        const int before = ItemCount(tree);
        hadButton = ShowsExpandButton(item);
        item->setExpanded(true);
        if (item->childCount() == 0)
            break;
        // Round the loop: the long folder, then the link back up, and only them.
        const std::string next = path + (steps % 2 == 0 ? "/" + name : "/up");
        ASSERT_EQ(ChildPaths(item), std::set<std::string>{next}) << "step " << steps;
        EXPECT_EQ(ItemCount(tree), before + 1);
        item = item->child(0);
    }
    // The walk ends where the system no longer takes the path: within one
    // round of PATH_MAX, on a folder without an expand button.
    EXPECT_LT(steps, kMostSteps);
    const std::string last = CFolderView::GetItemPath(item);
    EXPECT_GT(last.size() + 2 * (name.size() + 4), static_cast<std::size_t>(PATH_MAX)) << steps << " steps";
    EXPECT_FALSE(hadButton);

    // The long folder lists its bank and the link to it; links that lead
    // nowhere or round in circles are no files.
    tree.setCurrentItem(tree.topLevelItem(0)->child(0));
    EXPECT_EQ(document->GetCurrentFolder(), inner);
    EXPECT_EQ(FileNames(list), (std::vector<std::string>{"alias.sbk", "bank.sbk"}));
    EXPECT_EQ(ColumnTexts(*list.GetModel(), 1), (std::vector<std::string>{"2 KB", "2 KB"}));
    // So does the same folder reached round the loop.
    tree.setCurrentItem(tree.topLevelItem(0)->child(0)->child(0)->child(0));
    EXPECT_EQ(document->GetCurrentFolder(), inner + "/up/" + name);
    EXPECT_EQ(FileNames(list), (std::vector<std::string>{"alias.sbk", "bank.sbk"}));
}

TEST_F(LargeFoldersTest, FoldersThatCannotBeReadShowNothingInside)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file modes do not hold for root";
    const std::string root = files.File("perm");
    fs::create_directories(root + "/locked/sub");
    fs::create_directories(root + "/nosearch/sub");
    fs::create_directories(root + "/open/sub");
    Write("perm/locked/in.sbk", Bytes(100));
    Write("perm/nosearch/in.sbk", Bytes(100));
    Write("perm/secret.sbk", BankBytes({{"Piano", 0}}));
    const std::size_t secretBytes = fs::file_size(root + "/secret.sbk");
    ModeGuard modes;
    modes.Set(root + "/locked", 0, 0755);
    modes.Set(root + "/nosearch", 0644, 0755); // names readable, nothing inside reachable
    modes.Set(root + "/secret.sbk", 0, 0644);

    SaveRoot("Perm", root);
    CFolderView tree(*document);
    CFileView list(*document);
    CPatchView presets(*document);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    top->setExpanded(true);
    EXPECT_EQ(ChildPaths(top), (std::set<std::string>{root + "/locked", root + "/nosearch", root + "/open"}));

    QTreeWidgetItem* locked = ChildWithPath(top, root + "/locked");
    ASSERT_NE(locked, nullptr);
    EXPECT_FALSE(ShowsExpandButton(locked));
    locked->setExpanded(true);
    EXPECT_EQ(locked->childCount(), 0);
    EXPECT_TRUE(ShowsExpandButton(ChildWithPath(top, root + "/open")));
    // Whatever the folder without search permission shows, nothing below it opens.
    QTreeWidgetItem* nosearch = ChildWithPath(top, root + "/nosearch");
    ASSERT_NE(nosearch, nullptr);
    nosearch->setExpanded(true);
    for (int i = 0; i < nosearch->childCount(); ++i)
    {
        EXPECT_FALSE(ShowsExpandButton(nosearch->child(i)));
        nosearch->child(i)->setExpanded(true);
        EXPECT_EQ(nosearch->child(i)->childCount(), 0);
    }

    // The unreadable bank is listed (its size is known) but offers no presets.
    tree.setCurrentItem(top);
    ASSERT_EQ(FileNames(list), (std::vector<std::string>{"secret.sbk"}));
    EXPECT_EQ(Cell(*list.GetModel(), 0, 1), std::to_string(secretBytes / 1024) + " KB");
    list.selectionModel()->select(list.GetModel()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(document->GetCurrentFile(), root + "/secret.sbk");
    EXPECT_EQ(presets.GetModel()->rowCount(), 0);

    // Folders that cannot be listed, or whose files cannot be reached, list nothing.
    tree.setCurrentItem(locked);
    EXPECT_EQ(document->GetCurrentFolder(), root + "/locked");
    EXPECT_EQ(list.GetModel()->rowCount(), 0);
    EXPECT_EQ(Heading(*list.GetModel(), 0), "'locked'");
    tree.setCurrentItem(nosearch);
    EXPECT_EQ(list.GetModel()->rowCount(), 0);
}

TEST_F(LargeFoldersTest, TenThousandFilesListExactlyAndSortWithoutTouchingThePresetList)
{
    constexpr int kFiles = 10000;
    const ScratchFolder scratch;
    const std::string big = scratch.File("big");
    fs::create_directory(big);
    struct Expected
    {
        std::int64_t kb;
        FileType type;
    };
    std::map<std::string, Expected> expected;
    static const std::pair<const char*, FileType> kExtensions[] = {
        {".sbk", FileTypeSoundFont}, {".wav", FileTypeWave},      {".tmb", FileTypeDocument},
        {".txt", FileTypeNone},      {".SBK", FileTypeSoundFont}, {".Wav", FileTypeWave},
        {"", FileTypeNone},          {".sbk.bak", FileTypeNone},  {".TmB", FileTypeDocument},
    };
    for (int i = 0; i < kFiles; ++i)
    {
        const auto& [extension, type] = kExtensions[i % 9];
        char number[16];
        std::snprintf(number, sizeof number, "%05d", i * 7919 % kFiles);
        std::string name = std::string("sound") + number;
        if (i % 50 == 7)
            name = std::string("sound\xE4\xF6") + number; // Latin-1 bytes, no UTF-8
        if (i % 50 == 13)
            name += std::string(255 - name.size() - std::string(extension).size(), 'x'); // NAME_MAX
        name += extension;
        const std::string path = big + "/" + name;
        if (i % 100 == 21)
        {
            fs::create_directory(path); // named like a file, but a folder
            continue;
        }
        if (i % 500 == 3)
        {
            ASSERT_EQ(::symlink("nowhere", path.c_str()), 0); // leads nowhere
            continue;
        }
        // Every third file empty; sizes around KB boundaries; a few beyond
        // 4 GB, and two of 3 and 4 TB, whose KB no longer fit 32 bits (where
        // the file system takes them).
        std::uintmax_t bytes = 0;
        if (i % 3 != 0)
            bytes = static_cast<std::uintmax_t>(i % 97) * 1024 + (i % 7 == 0 ? 1023 : i % 5);
        if (i % 1000 == 1)
            bytes = (std::uintmax_t{5} << 30) + static_cast<std::uintmax_t>(i);
        if (i == 3001 || i == 4001)
            bytes = (static_cast<std::uintmax_t>(i / 1000) << 40) + 1024 * static_cast<std::uintmax_t>(i);
        if (!MakeFile(path, bytes))
        {
            ASSERT_GT(bytes, std::uintmax_t{1} << 40) << path;
            bytes = 0;
        }
        if (type != FileTypeNone)
            expected[name] = {static_cast<std::int64_t>(bytes / 1024), type};
    }
    ASSERT_GT(expected.size(), 6000u);

    // A bank document of 10,000 patches in a folder of its own, for the preset list.
    const std::string areas = scratch.File("areas");
    fs::create_directory(areas);
    std::vector<FixturePreset> bankPresets;
    for (int preset = 0; preset < 128; ++preset)
        bankPresets.push_back({"Preset " + std::to_string(preset), static_cast<std::uint16_t>(preset)});
    const std::string bank = areas + "/presets.sbk";
    {
        const Bytes bytes = BankBytes(bankPresets);
        CFileSink sink;
        ASSERT_TRUE(sink.Create(bank) && sink.Write(bytes.data(), bytes.size()) && sink.Close());
    }
    {
        CPatchItemList patches;
        CPatchItemListGuard guard(patches);
        for (int i = 0; i < kFiles; ++i)
        {
            CPatchItem* patch = patches.AddNew();
            patch->SetName("Area " + std::to_string(i));
            patch->SetSourceFile(bank);
            patch->SetSourcePatch(i % 128);
        }
        CFileSink sink;
        ASSERT_TRUE(sink.Create(areas + "/area.tmb"));
        CDocumentFile::Store(sink, CDocumentFile::Header{}, patches, "");
        ASSERT_TRUE(sink.Close());
    }

    SaveRoot("Files", scratch.path);
    CFolderView tree(*document);
    CFileView list(*document);
    CPatchView presets(*document);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    top->setExpanded(true);
    QTreeWidgetItem* bigItem = ChildWithPath(top, big);
    QTreeWidgetItem* areasItem = ChildWithPath(top, areas);
    ASSERT_NE(bigItem, nullptr);
    ASSERT_NE(areasItem, nullptr);

    // The preset list shows the document's 10,000 patches.
    tree.setCurrentItem(areasItem);
    ASSERT_EQ(FileNames(list), (std::vector<std::string>{"area.tmb", "presets.sbk"}));
    list.selectionModel()->select(list.GetModel()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_EQ(presets.GetModel()->rowCount(), kFiles);
    std::vector<const CPatchItem*> rows;
    for (int row = 0; row < kFiles; ++row)
        rows.push_back(presets.GetModel()->GetPatch(row));
    presets.selectionModel()->select(presets.GetModel()->index(42, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QSignalSpy resets(presets.GetModel(), &QAbstractItemModel::modelAboutToBeReset);
    QSignalSpy layouts(presets.GetModel(), &QAbstractItemModel::layoutAboutToBeChanged);
    QSignalSpy removals(presets.GetModel(), &QAbstractItemModel::rowsAboutToBeRemoved);

    // Selecting the big folder lists exactly its sound files, with their types and sizes.
    tree.setCurrentItem(bigItem);
    EXPECT_EQ(document->GetCurrentFolder(), big);
    const CFileListModel& model = *list.GetModel();
    ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size()));
    std::map<std::string, Expected> listed;
    for (int row = 0; row < model.rowCount(); ++row)
    {
        const FileEntry& entry = *model.GetEntry(row);
        EXPECT_EQ(entry.folder, big + "/");
        EXPECT_EQ(Cell(model, row, 1), std::to_string(entry.sizeKB) + " KB") << entry.fileName;
        listed[entry.fileName] = {entry.sizeKB, entry.type};
    }
    EXPECT_TRUE(std::equal(listed.begin(), listed.end(), expected.begin(), expected.end(),
                           [](const auto& a, const auto& b) {
                               return a.first == b.first && a.second.kb == b.second.kb &&
                                      a.second.type == b.second.type;
                           }));

    // By name, byte by byte: the Latin-1 names after the ASCII ones.
    const auto names = FileNames(list);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.back().substr(0, 7), "sound\xE4\xF6");
    // By size, ascending then descending; equal sizes keep the name order.
    const auto bySize = [&](bool ascending)
    {
        for (int row = 1; row < model.rowCount(); ++row)
        {
            const FileEntry& a = *model.GetEntry(row - 1);
            const FileEntry& b = *model.GetEntry(row);
            const bool inOrder = ascending ? a.sizeKB < b.sizeKB : a.sizeKB > b.sizeKB;
            if (!inOrder && !(a.sizeKB == b.sizeKB && a.fileName < b.fileName))
                return row;
        }
        return 0;
    };
    list.SortList(CFileListModel::ColumnSize, -1);
    EXPECT_EQ(bySize(true), 0);
    const auto largest =
        std::max_element(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.second.kb < b.second.kb; });
    EXPECT_GT(largest->second.kb, std::int64_t{4} << 20);
    std::printf("10,000 files: %zu listed, the largest %lld KB\n", expected.size(),
                static_cast<long long>(largest->second.kb));
    EXPECT_EQ(model.GetEntry(model.rowCount() - 1)->sizeKB, largest->second.kb);
    list.SortList(CFileListModel::ColumnSize, -1);
    EXPECT_EQ(bySize(false), 0);
    list.SortList(CFileListModel::ColumnName, -1);
    EXPECT_EQ(FileNames(list), names);

    // The preset list was never touched by the folder: same rows, same selection.
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(layouts.count(), 0);
    EXPECT_EQ(removals.count(), 0);
    ASSERT_EQ(presets.GetModel()->rowCount(), kFiles);
    for (int row = 0; row < kFiles; ++row)
        ASSERT_EQ(presets.GetModel()->GetPatch(row), rows[static_cast<std::size_t>(row)]) << row;
    const QModelIndexList selected = presets.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().row(), 42);
    EXPECT_EQ(document->GetCurrentFile(), areas + "/area.tmb");

    // A Latin-1 name selected is the file's own path.
    const auto latin = std::find_if(names.begin(), names.end(),
                                    [](const std::string& n) { return n.find('\xE4') != std::string::npos; });
    ASSERT_NE(latin, names.end());
    list.selectionModel()->select(model.index(static_cast<int>(latin - names.begin()), 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(document->GetCurrentFile(), big + "/" + *latin);
    EXPECT_TRUE(fs::exists(document->GetCurrentFile()));
}
} // namespace
