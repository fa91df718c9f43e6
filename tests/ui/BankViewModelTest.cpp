// The bank view's rows, from a document on the emulated card, without the view.

#include "ui/frame/BankViewModel.h"
#include "bank/PatchItemListGuard.h"
#include "support/PatchFixtures.h"
#include "ui/ItemRoles.h"
#include "ui/panes/PaneFixture.h"
#include "ui/panes/SortState.h"

#include <QBrush>

namespace
{
class BankViewModelTest : public PaneTest
{
protected:
    const std::string bankFile = Write("A.SBK", BankBytes({{"Piano", 0}, {"Snare", 7}}));

    CPatchItem* Add(const std::string& name, int bank, int slot)
    {
        CPatchItemList list;
        CPatchItemListGuard guard(list);
        CPatchItem* item = AddFilePatch(list, name, bankFile, 0, bank, slot);
        EXPECT_TRUE(document->AddPatches(nullptr, list));
        return item;
    }
};
} // namespace

TEST_F(BankViewModelTest, SlotsKnowTheirDocumentPatchAndTheDropHighlight)
{
    document->SetCurrentBank(nullptr, 1);
    ASSERT_TRUE(document->LoadFileIntoCurrentBank(nullptr, bankFile));
    CPatchItem* organ = Add("Organ", 1, 5);
    CBankViewModel model(*document);
    const auto check = CheckModel(&model);
    model.Fill(1);
    EXPECT_EQ(model.GetDocumentPatch(5), organ);
    EXPECT_EQ(model.GetDocumentPatch(7), nullptr);
    EXPECT_EQ(model.GetPatch(7)->GetName(), "Snare"); // the card's own
    EXPECT_FALSE(
        model.setData(model.index(5, 0), QStringLiteral("X"), Qt::EditRole)); // slots keep their names

    model.SetDropRows({5, 6}, Qt::red);
    model.SetDropRows({6, 7}, Qt::red);
    EXPECT_FALSE(model.index(5, 0).data(ItemRoles::DropTargetRole).toBool());
    EXPECT_EQ(model.index(7, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::red));
    model.Fill(1);
    EXPECT_FALSE(model.index(7, 0).data(ItemRoles::DropTargetRole).toBool());

    // The slots of patches that leave are read again.
    CPatchItemList removed;
    removed.Add(organ);
    document->RemovePatches(nullptr, removed);
    model.RefreshRows(removed);
    removed.RemoveAll();
    EXPECT_EQ(Cell(model, 5, 0), "[005]");
}

TEST_F(BankViewModelTest, ASlotWhosePatchFileIsMissingCarriesTheMarkAndNamesTheFile)
{
    const std::string goneFile = Write("GONE.SBK", {}) + ".moved";
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    CPatchItem* gone = AddFilePatch(list, "Gone", goneFile, 0, 2, 3);
    document->AddPatches(nullptr, list); // the card cannot load it
    gone->SetFileMissing(true);          // as opening a document whose file was not found leaves it
    ASSERT_FALSE(gone->IsLoaded());
    CPatchItem* organ = Add("Organ", 2, 4);
    ASSERT_TRUE(organ->IsLoaded());

    CBankViewModel model(*document);
    const auto check = CheckModel(&model);
    model.Fill(2);
    const QModelIndex missing = model.index(3, 0);
    EXPECT_TRUE(missing.data(Qt::ToolTipRole).toString().contains(QString::fromStdString(goneFile)));
    const QModelIndex loaded = model.index(4, 0);
    EXPECT_TRUE(loaded.data(Qt::ToolTipRole).isNull());
    EXPECT_NE(missing.data(Qt::DecorationRole).value<QIcon>().cacheKey(),
              loaded.data(Qt::DecorationRole).value<QIcon>().cacheKey());
    EXPECT_TRUE(model.index(5, 0).data(Qt::ToolTipRole).isNull()); // nothing was meant for it

    // Found again (relinked and loaded): the mark goes with the next read.
    gone->SetFileMissing(false);
    model.Fill(2);
    EXPECT_TRUE(model.index(3, 0).data(Qt::ToolTipRole).isNull());
}

TEST_F(BankViewModelTest, TheReportRenamesThePatchBehindASortedRowThroughTheDocument)
{
    for (const char* name : {"Zed", "Alpha", "Mid"})
        Add(name, -1, -1);
    CBankViewModel model(*document);
    const auto check = CheckModel(&model);
    model.Fill(-1);
    CSortState sort;
    model.Sort(sort.Apply(CBankViewModel::ColumnPatch, 1));
    EXPECT_EQ(ColumnTexts(model, 0), (std::vector<std::string>{"Alpha", "Mid", "Zed"}));

    recorder.hints.clear();
    EXPECT_TRUE(model.setData(model.index(1, 0), QStringLiteral("Mid"), Qt::EditRole)); // no change
    EXPECT_TRUE(model.setData(model.index(0, 0), QString(), Qt::EditRole)); // an empty name is a name
    EXPECT_EQ(document->GetPatches().GetItem(1)->GetName(), "");            // Alpha, second in the document
    EXPECT_EQ(Cell(model, 0, 0), "");
    EXPECT_EQ(recorder.hints, std::vector<unsigned>{HintPatchNames});
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
