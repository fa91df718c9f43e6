// The file list and folder tree follow the disk: files and folders that come
// and go show without choosing the folder again, a large folder changes row
// by row instead of being listed anew, and F5 or a second click re-read.

#include "ui/panes/PaneFixture.h"

#include "bank/DocumentObserver.h"
#include "platform/StringTable.h"
#include "ui/ItemRoles.h"
#include "ui/panes/FileListModel.h"
#include "ui/panes/FileView.h"
#include "ui/panes/FolderView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace
{
namespace fs = std::filesystem;

void Touch(const fs::path& path, std::size_t bytes = 0)
{
    std::ofstream out(path, std::ios::binary);
    out << std::string(bytes, 'x');
}

// Runs the event loop until done() holds or 5 s pass; done()'s last answer.
template <typename Done> bool WaitFor(Done done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QTest::qWait(20);
    return done();
}

int RowOf(const CFileListModel& model, const std::string& name)
{
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.GetEntry(row)->fileName == name)
            return row;
    return -1;
}

FileEntry Entry(const std::string& name, std::int64_t kb)
{
    FileEntry entry;
    entry.displayName = entry.fileName = name;
    entry.folder = "/f/";
    entry.sizeKB = kb;
    entry.sizeText = std::to_string(kb) + " KB";
    entry.type = FileTypeSoundFont;
    return entry;
}

class LiveFoldersTest : public PaneTest
{
};
} // namespace

TEST(FileListMerge, RowsComeAndGoInPlaceAndTheSelectionStays)
{
    CFileListModel model;
    const auto checker = CheckModel(&model);
    model.SetEntries({Entry("A.SBK", 5), Entry("B.SBK", 1), Entry("C.SBK", 9), Entry("D.SBK", 3)});
    model.Sort(0x10000 + CFileListModel::ColumnSize); // ascending by size: B D A C
    QItemSelectionModel selection(&model);
    selection.select(model.index(RowOf(model, "A.SBK"), 0), QItemSelectionModel::Select);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    // B gone, E new (the largest), A grown past C, D unchanged.
    EXPECT_TRUE(model.Merge({Entry("A.SBK", 12), Entry("C.SBK", 9), Entry("D.SBK", 3), Entry("E.SBK", 20)}));
    std::vector<std::string> order;
    for (int row = 0; row < model.rowCount(); ++row)
        order.push_back(model.GetEntry(row)->fileName);
    EXPECT_EQ(order, (std::vector<std::string>{"D.SBK", "C.SBK", "A.SBK", "E.SBK"}));
    EXPECT_EQ(model.GetEntry(2)->sizeText, "12 KB");
    EXPECT_TRUE(selection.isSelected(model.index(2, 0))); // A, moved with its selection
    EXPECT_EQ(resets.count(), 0);
    // A moved rows; the selection of an unmoved row stays.
    selection.clearSelection();
    selection.select(model.index(RowOf(model, "C.SBK"), 0), QItemSelectionModel::Select);
    EXPECT_FALSE(model.Merge({Entry("A.SBK", 12), Entry("C.SBK", 9), Entry("D.SBK", 3), Entry("E.SBK", 20)}));
    EXPECT_TRUE(model.Merge({Entry("C.SBK", 9), Entry("E.SBK", 20), Entry("F.SBK", 0)}));
    EXPECT_TRUE(selection.isSelected(model.index(RowOf(model, "C.SBK"), 0)));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.GetEntry(0)->fileName, "F.SBK");

    // A listing unlike the last one is taken whole.
    std::vector<FileEntry> other;
    for (int i = 0; i < 600; ++i)
        other.push_back(Entry(std::string("N").append(std::to_string(1000 + i)).append(".SBK"), i % 7));
    EXPECT_TRUE(model.Merge(other));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.rowCount(), 600);
    for (int row = 1; row < model.rowCount(); ++row)
        ASSERT_LE(model.GetEntry(row - 1)->sizeKB, model.GetEntry(row)->sizeKB);
}

TEST_F(LiveFoldersTest, TheFileListFollowsTheFolderOnDisk)
{
    const fs::path folder = files.Path();
    Write("KEEP.SBK", BankBytes({{"P", 0}}));
    Write("GONE.SBK", BankBytes({{"P", 0}}));
    CFileView view(*document);
    view.show();
    document->SetCurrentFolder(nullptr, folder.string());
    ASSERT_EQ(view.GetModel()->rowCount(), 2);
    const int keep = RowOf(*view.GetModel(), "KEEP.SBK");
    view.setCurrentIndex(view.GetModel()->index(keep, 0));
    QSignalSpy resets(view.GetModel(), &QAbstractItemModel::modelReset);

    Write("NEW.SBK", BankBytes({{"P", 0}}));
    fs::remove(folder / "GONE.SBK");
    ASSERT_TRUE(WaitFor([&] { return RowOf(*view.GetModel(), "NEW.SBK") >= 0; }));
    ASSERT_TRUE(WaitFor([&] { return RowOf(*view.GetModel(), "GONE.SBK") < 0; }));
    EXPECT_EQ(view.GetModel()->rowCount(), 2);
    EXPECT_TRUE(
        view.selectionModel()->isSelected(view.GetModel()->index(RowOf(*view.GetModel(), "KEEP.SBK"), 0)));
    EXPECT_EQ(resets.count(), 0);

    // F5 (the folder tree read again) reads the files too, changed or not.
    const int rereads = view.GetRereadCount();
    document->UpdateViews(nullptr, HintFolderTree);
    EXPECT_EQ(view.GetRereadCount(), rereads + 1);
}

TEST_F(LiveFoldersTest, ALargeFolderChangesRowByRowAndReadsOncePerBurst)
{
    const fs::path folder = files.Path();
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i)
        Touch(folder / (std::string("F").append(std::to_string(10000 + i)).append(".WAV")), 10);
    CFileView view(*document);
    view.resize(300, 400);
    view.show();
    document->SetCurrentFolder(nullptr, folder.string());
    ASSERT_EQ(view.GetModel()->rowCount(), kFiles);
    const int chosen = RowOf(*view.GetModel(), "F15000.WAV");
    // As a click selects: the current row too.
    view.setCurrentIndex(view.GetModel()->index(chosen, 0));
    view.scrollTo(view.GetModel()->index(chosen, 0));
    const int scrolled = view.verticalScrollBar()->value();
    QSignalSpy resets(view.GetModel(), &QAbstractItemModel::modelReset);
    QSignalSpy layouts(view.GetModel(), &QAbstractItemModel::layoutChanged);
    QSignalSpy inserted(view.GetModel(), &QAbstractItemModel::rowsInserted);

    // Five bursts, each of 40 new files and 20 removed.
    constexpr int kBursts = 5;
    int expected = kFiles;
    for (int burst = 0; burst < kBursts; ++burst)
    {
        for (int i = 0; i < 40; ++i)
            Touch(folder / (std::string("N")
                                .append(std::to_string(burst))
                                .append("_")
                                .append(std::to_string(i))
                                .append(".WAV")),
                  10);
        for (int i = 0; i < 20; ++i)
            fs::remove(folder /
                       (std::string("F").append(std::to_string(10000 + burst * 100 + i)).append(".WAV")));
        expected += 20;
        ASSERT_TRUE(WaitFor([&] { return view.GetModel()->rowCount() == expected; })) << "burst " << burst;
    }
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(layouts.count(), 0);
    EXPECT_EQ(inserted.count(), 40 * kBursts);
    // Changes that come together are read together: no more than twice a burst.
    EXPECT_LE(view.GetRereadCount(), 2 * kBursts);
    EXPECT_TRUE(
        view.selectionModel()->isSelected(view.GetModel()->index(RowOf(*view.GetModel(), "F15000.WAV"), 0)));
    // The rows above moved by what came and went above them, not the view back to the top.
    EXPECT_GT(view.verticalScrollBar()->value(), scrolled / 2);
}

TEST_F(LiveFoldersTest, TheFolderTreeFollowsSubfoldersAndASecondClickReadsTheFilesAgain)
{
    const fs::path root = files.Path();
    fs::create_directory(root / "alpha");
    Profile::WriteProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 1);
    Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Name1"), QStringLiteral("Root"));
    Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Path1"),
                                QString::fromStdString(root.string()));
    CFolderView tree(*document);
    CFileView list(*document);
    tree.show();
    list.show();
    QTreeWidgetItem* top = tree.topLevelItem(0);
    ASSERT_NE(top, nullptr);
    top->setExpanded(true);
    ASSERT_EQ(top->childCount(), 1);

    fs::create_directory(root / "beta");
    ASSERT_TRUE(WaitFor([&] { return top->childCount() == 2; }));
    EXPECT_EQ(top->child(1)->text(0), QStringLiteral("beta"));
    EXPECT_TRUE(top->isExpanded());
    fs::remove(root / "alpha");
    ASSERT_TRUE(WaitFor([&] { return top->childCount() == 1; }));
    EXPECT_EQ(top->child(0)->text(0), QStringLiteral("beta"));

    // The first click shows the folder; a second one reads it again, and
    // leaves the tree as it is.
    const QPoint at = tree.visualItemRect(top).center();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(document->GetCurrentFolder(), root.string());
    const int rereads = list.GetRereadCount();
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(list.GetRereadCount(), rereads + 1);
    EXPECT_TRUE(top->isExpanded());
    EXPECT_EQ(top->childCount(), 1);
}
