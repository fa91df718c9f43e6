#include "ui/panes/PaneFixture.h"

#include "ui/MouseDrive.h"

#include "bank/CommandIds.h"
#include "bank/PatchItemListGuard.h"
#include "platform/StringTable.h"
#include "ui/PatchMimeData.h"
#include "ui/panes/PaneMenu.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PatchView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>

namespace
{
class PatchViewTest : public PaneTest
{
protected:
    void Select(CPatchView& view, std::initializer_list<int> rows)
    {
        view.selectionModel()->clearSelection();
        for (int row : rows)
            view.selectionModel()->select(view.GetModel()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    bool Enabled(CPatchView& view, int id)
    {
        CCmdUI ui(id);
        EXPECT_TRUE(view.OnUpdateCommand(ui));
        return ui.IsEnabled();
    }
    std::vector<std::string> DocumentPatchNames() const
    {
        std::vector<std::string> names;
        for (const CPatchItem* item : document->GetPatches())
            names.push_back(item->GetName());
        return names;
    }
};

TEST_F(PatchViewTest, ShowsTheCurrentFilesPresetsSortedByNumber)
{
    const std::string bank = Write("A.SBK", BankBytes({{"Five", 5}, {"Zero", 0}, {"Three", 3}}));
    CPatchView view(*document);
    const auto check = CheckModel(view.GetModel());
    EXPECT_EQ(Heading(*view.GetModel(), 0), "Patches");
    EXPECT_EQ(Heading(*view.GetModel(), 1), "Number");
    EXPECT_EQ(Heading(*view.GetModel(), 2), "Samples");
    EXPECT_EQ(Heading(*view.GetModel(), 3), "Size");

    document->SetCurrentFile(nullptr, bank);
    EXPECT_EQ(Heading(*view.GetModel(), 0), "'A.SBK'");
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"0", "3", "5"}));
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0), (std::vector<std::string>{"Zero", "Three", "Five"}));
    EXPECT_EQ(Cell(*view.GetModel(), 0, 2), "1");
    EXPECT_EQ(Cell(*view.GetModel(), 0, 3), "200"); // 100 sample points of two bytes

    // Number again: descending; then the names, ascending.
    Q_EMIT view.header()->sectionClicked(1);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"5", "3", "0"}));
    Q_EMIT view.header()->sectionClicked(0);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0), (std::vector<std::string>{"Five", "Three", "Zero"}));

    // Other hints leave the list alone, a hint combining the file bit too.
    document->UpdateViews(nullptr, HintFile | HintFolder);
    document->SetCurrentFolder(nullptr, files.Path());
    EXPECT_EQ(view.GetModel()->rowCount(), 3);
    EXPECT_EQ(view.GetSortState().GetColumn(), 0);

    // The next file sorts by Number again.
    const std::string other = Write("B.SBK", BankBytes({{"Nine", 9}, {"Two", 2}}));
    document->SetCurrentFile(nullptr, other);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 1), (std::vector<std::string>{"2", "9"}));
    EXPECT_TRUE(view.GetSortState().IsAscending());
}

TEST_F(PatchViewTest, PercussionPresetsAndWaveOptions)
{
    const std::string drums =
        Write("DRUMS.SBK", BankBytes({{"Kit", 0, 128}, {"Piano", 1, 0}, {"Room", 8, 128}}));
    const std::string wave = Write("STEREO.WAV", StereoWaveBytes());
    CPatchView view(*document);

    document->SetCurrentFile(nullptr, drums);
    EXPECT_EQ(ColumnTexts(*view.GetModel(), 0),
              (std::vector<std::string>{"Drum Patch 1", "Piano", "Drum Patch 9"}));

    document->SetCurrentFile(nullptr, wave);
    ASSERT_EQ(view.GetModel()->rowCount(), 12);
    for (int row = 0; row < 12; ++row)
    {
        EXPECT_EQ(Cell(*view.GetModel(), row, 1), std::to_string(row));
        EXPECT_EQ(Cell(*view.GetModel(), row, 2), row % 4 == 0 ? "2" : "1") << row;
    }
    EXPECT_EQ(Cell(*view.GetModel(), 0, 0), "STEREO 44.1KHz st");
}

TEST_F(PatchViewTest, UnreadableFilesGiveAnEmptyListWithTheirName)
{
    CPatchView view(*document);
    document->SetCurrentFile(nullptr, Write("A.SBK", BankBytes({{"Piano", 0}})));
    ASSERT_EQ(view.GetModel()->rowCount(), 1);

    // A bank document whose archive is damaged: the error stays inside the pane.
    const std::string damaged = Write("DAMAGED.TMB", Bytes{0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x7F});
    EXPECT_NO_THROW(document->SetCurrentFile(nullptr, damaged));
    EXPECT_EQ(view.GetModel()->rowCount(), 0);
    EXPECT_EQ(Heading(*view.GetModel(), 0), "'DAMAGED.TMB'");

    EXPECT_NO_THROW(document->SetCurrentFile(nullptr, files.File("MISSING.TMB")));
    EXPECT_EQ(view.GetModel()->rowCount(), 0);
    document->SetCurrentFile(nullptr, Write("NOTES.TXT", {'x'}));
    EXPECT_EQ(view.GetModel()->rowCount(), 0);
    EXPECT_EQ(Heading(*view.GetModel(), 0), "'NOTES.TXT'");
}

TEST_F(PatchViewTest, DragAndCopyCarryTheSelectedPatchesInRowOrder)
{
    CPatchView view(*document);
    document->SetCurrentFile(nullptr,
                             Write("A.SBK", BankBytes({{"P0", 0}, {"P1", 1}, {"P2", 2}, {"P3", 3}})));
    EXPECT_EQ(view.CreateDragData(), nullptr);
    EXPECT_FALSE(Enabled(view, ID_EDIT_COPY));

    Select(view, {3, 0, 2});
    std::unique_ptr<QMimeData> dragged(view.CreateDragData());
    ASSERT_NE(dragged, nullptr);
    EXPECT_EQ(dragged->formats(), QStringList{PatchMime::MimeType()});
    CPatchItemList carried;
    CPatchItemListGuard carriedGuard(carried);
    ASSERT_TRUE(PatchMime::ReadMimeData(dragged.get(), carried));
    ASSERT_EQ(carried.GetSize(), 3);
    EXPECT_EQ(carried.GetItem(0)->GetName(), "P0");
    EXPECT_EQ(carried.GetItem(1)->GetName(), "P2");
    EXPECT_EQ(carried.GetItem(2)->GetName(), "P3");
    EXPECT_EQ(carried.GetItem(2)->GetSourcePatch(), 3);
    EXPECT_EQ(carried.GetItem(2)->GetSourceFile(), files.File("A.SBK"));
    // The rows still hold their patches.
    EXPECT_EQ(view.GetModel()->rowCount(), 4);

    ASSERT_TRUE(Enabled(view, ID_EDIT_COPY));
    EXPECT_TRUE(view.OnCommand(ID_EDIT_COPY));
    EXPECT_EQ(QApplication::clipboard()->mimeData()->text(), QStringLiteral("Tamberly Clipboard Object"));
    CPatchItemList pasted;
    CPatchItemListGuard pastedGuard(pasted);
    ASSERT_TRUE(PatchMime::PasteFromClipboard(pasted));
    ASSERT_EQ(pasted.GetSize(), 3);
    EXPECT_EQ(pasted.GetItem(1)->GetName(), "P2");
}

TEST_F(PatchViewTest, ReplaceNeedsACurrentSlotAndASelection)
{
    CPatchView view(*document);
    document->SetCurrentFile(nullptr, Write("A.SBK", BankBytes({{"Old", 0}, {"New", 7}, {"Other", 9}})));
    CPatchItemList first;
    CPatchItem* old = first.AddNew();
    old->SetName("Old");
    old->SetSourceFile(files.File("A.SBK"));
    old->SetSourcePatch(0);
    ASSERT_TRUE(document->AddPatches(nullptr, first));
    recorder.hints.clear();

    // No current slot: the command is off and Replace and double-click change nothing.
    Select(view, {1});
    ASSERT_EQ(document->GetCurrentPatch(), -1);
    EXPECT_FALSE(Enabled(view, ID_PATCH_REPLACE));
    view.ReplaceCurrentPatch();
    Q_EMIT view.doubleClicked(view.GetModel()->index(1, 0));
    EXPECT_EQ(DocumentPatchNames(), (std::vector<std::string>{"Old"}));
    EXPECT_TRUE(recorder.hints.empty());

    // The document's first patch current: the first selected row takes its place.
    document->SetCurrentPatch(nullptr, document->GetPatch(0, -1));
    ASSERT_EQ(document->GetCurrentPatch(), 0);
    EXPECT_TRUE(Enabled(view, ID_PATCH_REPLACE));
    Select(view, {}); // and without a selection, nothing
    view.ReplaceCurrentPatch();
    EXPECT_TRUE(recorder.hints.empty());

    Select(view, {2, 1});
    EXPECT_TRUE(view.OnCommand(ID_PATCH_REPLACE));
    EXPECT_EQ(DocumentPatchNames(), (std::vector<std::string>{"New"}));
    EXPECT_EQ(document->GetPatches().GetItem(0)->GetSourcePatch(), 7);
    EXPECT_EQ(recorder.hints, (std::vector<unsigned>{HintPatches}));
    // The row keeps its own patch: the document took a copy.
    EXPECT_NE(document->GetPatches().GetItem(0), view.GetModel()->GetPatch(1));
    EXPECT_EQ(document->CheckConsistency(), "");

    Select(view, {2});
    Q_EMIT view.doubleClicked(view.GetModel()->index(2, 0));
    EXPECT_EQ(DocumentPatchNames(), (std::vector<std::string>{"Other"}));
    document->ReleaseTemporaryPatches();
    EXPECT_EQ(document->CheckConsistency(), "");

    // The context menu: Copy, a separator, Replace patch (default).
    QMenu* menu = view.GetContextMenu().Prepare();
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&Copy\tCtrl-C"));
    EXPECT_EQ(menu->defaultAction()->text(), QStringLiteral("&Replace patch"));
    EXPECT_TRUE(menu->defaultAction()->isEnabled());
}

TEST_F(PatchViewTest, ColumnsFitHeadingsAndNamesAndTheUsersWidthsAreKept)
{
    const std::string bank = Write("LONG.SBK", BankBytes({{"Grand Piano Bright", 0}, {"Str", 48}}));
    int nameColumn = 0;
    {
        CPatchView view(*document);
        view.resize(600, 300);
        view.show();
        view.FillFromFile(bank);
        // Every heading whole with its sort mark, and the longest name.
        for (int column = 0; column < 4; ++column)
            EXPECT_GE(view.header()->sectionSize(column), view.header()->sectionSizeHint(column)) << column;
        EXPECT_GT(view.header()->sectionSize(0),
                  view.fontMetrics().horizontalAdvance(QStringLiteral("Grand Piano Bright")));
        nameColumn = view.header()->sectionSize(0);
        DragColumnDivider(view.header(), 2, view.header()->sectionSizeHint(2) + 20);
    }
    const int samples =
        Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, QStringLiteral("PatchView.ColumnWidth2"), 0);
    EXPECT_GT(samples, 0);
    EXPECT_EQ(Profile::GetProfileNumber(IDS_PROFILE_DISPLAY, QStringLiteral("PatchView.ColumnWidth0"), 0),
              nameColumn);
    CPatchView again(*document);
    again.FillFromFile(bank);
    EXPECT_EQ(again.header()->sectionSize(2), samples);
}
} // namespace
