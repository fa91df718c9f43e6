// The bank view's rows, from a document on the emulated card, without the view.

#include "ui/frame/BankViewModel.h"
#include "bank/PatchItemListGuard.h"
#include "support/PatchFixtures.h"
#include "ui/ItemRoles.h"
#include "ui/ModelCheck.h"
#include "ui/panes/PaneFixture.h"
#include "ui/panes/SortState.h"

#include <QSignalSpy>

namespace
{
class BankViewModelTest : public PaneTest
{
protected:
    CPatchItem* Add(const std::string& name, int bank, int slot)
    {
        CPatchItemList list;
        CPatchItemListGuard guard(list);
        CPatchItem* item = AddFilePatch(list, name, files.File("A.SBK"), 0, bank, slot);
        EXPECT_TRUE(document->AddPatches(nullptr, list));
        return item;
    }
    std::vector<int> ChangedRows(QSignalSpy& spy) const
    {
        std::vector<int> rows;
        for (const QList<QVariant>& signal : spy)
            rows.push_back(signal[0].value<QModelIndex>().row());
        spy.clear();
        return rows;
    }
};
} // namespace

TEST_F(BankViewModelTest, SlotsShowTheDocumentsPatchOrTheCardsOwnAndTheDropHighlight)
{
    document->SetCurrentBank(nullptr, 1);
    ASSERT_TRUE(
        document->LoadFileIntoCurrentBank(nullptr, Write("A.SBK", BankBytes({{"Piano", 0}, {"Snare", 7}}))));
    CPatchItem* organ = Add("Organ", 1, 5);
    CBankViewModel model(*document);
    const ModelCheck check(&model);
    model.Fill(1);
    ASSERT_EQ(model.rowCount(), 128);
    EXPECT_EQ(ColumnTexts(model, 0)[5] + ColumnTexts(model, 0)[7] + ColumnTexts(model, 0)[9],
              "[005] Organ[007] Snare[009]");
    EXPECT_EQ(model.GetDocumentPatch(5), organ);
    EXPECT_EQ(model.GetDocumentPatch(7), nullptr);
    EXPECT_FALSE(model.GetPatch(7)->IsDocumentPatch());
    EXPECT_FALSE(
        model.setData(model.index(5, 0), QStringLiteral("X"), Qt::EditRole)); // slots keep their names

    // Only the rows whose highlight changes are told; a refill ends it.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetDropRows({5, 6}, Qt::red);
    model.SetDropRows({6, 7}, Qt::red);
    EXPECT_EQ(ChangedRows(changed), (std::vector<int>{5, 6, 5, 7}));
    EXPECT_TRUE(model.index(7, 0).data(ItemRoles::DropTargetRole).toBool());
    model.Fill(1);
    EXPECT_FALSE(model.index(7, 0).data(ItemRoles::DropTargetRole).toBool());

    // A refresh reads again the shown bank's slots the patches name, no others.
    CPatchItemList concerned;
    concerned.Add(organ);
    document->RemovePatches(nullptr, concerned);
    CPatchItem elsewhere(true);
    elsewhere.SetTargetBank(2);
    elsewhere.SetTargetPatch(7);
    concerned.Add(&elsewhere);
    model.RefreshRows(concerned);
    concerned.RemoveAll();
    EXPECT_EQ(ChangedRows(changed), std::vector<int>{5});
    EXPECT_EQ(Cell(model, 5, 0), "[005]");
    EXPECT_TRUE(ModelCheck::Failures().empty()) << ModelCheck::Failures().front();
}

TEST_F(BankViewModelTest, TheReportSortsByTheSharedRuleAndRenamesThroughTheDocument)
{
    for (const char* name : {"Zed", "Alpha", "Mid"})
        Add(name, -1, -1);
    CBankViewModel model(*document);
    const ModelCheck check(&model);
    model.Fill(-1);
    CSortState sort;
    model.Sort(sort.Apply(CBankViewModel::ColumnPatch, 1));
    EXPECT_EQ(ColumnTexts(model, 0), (std::vector<std::string>{"Alpha", "Mid", "Zed"}));
    EXPECT_EQ(Cell(model, 0, 1) + Cell(model, 0, 2) + Cell(model, 0, 4), "None0KB0");

    // The patch behind the sorted row is renamed, by the document, which tells the panes.
    recorder.hints.clear();
    EXPECT_TRUE(model.setData(model.index(0, 0), QStringLiteral("Zulu"), Qt::EditRole));
    EXPECT_TRUE(model.setData(model.index(1, 0), QStringLiteral("Mid"), Qt::EditRole)); // no change
    EXPECT_EQ(document->GetPatches().GetItem(1)->GetName(), "Zulu"); // Alpha, second in the document
    EXPECT_EQ(Cell(model, 0, 0), "Zulu");
    EXPECT_EQ(recorder.hints, std::vector<unsigned>{HintPatchNames});
    EXPECT_TRUE(ModelCheck::Failures().empty()) << ModelCheck::Failures().front();
}

TEST(BankViewOrder, ComparePatchesByEachColumnAndDirection)
{
    CPatchItem a(true), b(true);
    a.SetName("a");
    b.SetName("B"); // case-sensitive: "B" sorts before "a"
    a.SetTargetBank(1);
    a.SetTargetPatch(9);
    b.SetTargetBank(1);
    b.SetTargetPatch(3);
    a.SetSourceFile("/x");
    b.SetSourceFile("/y");
    a.SetSourcePatch(5);
    b.SetSourcePatch(5);
    const int up = 1 << 16;
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, up | 0), 1);
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, 0), -1);
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, up | 1), 1); // same bank: by slot
    b.SetTargetBank(-1);
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, up | 1), 1); // unassigned first
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, up | 3), -1);
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, up | 4), 0);
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, nullptr, up | 0), 0);
    EXPECT_EQ(CBankViewModel::ComparePatches(&a, &b, up | 9), 0);
}
