#include "bank/PatchItem.h"
#include "bank/ArchiveException.h"
#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "support/ArchiveBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
CPatchItem Loaded()
{
    CPatchItem item(true);
    item.SetName("Piano");
    item.SetSourceFile("C:\\BANKS\\A.SBK");
    item.SetSourcePatch(3);
    item.SetTargetPatch(7);
    item.SetTargetBank(2);
    item.SetSampleCount(12);
    item.SetSampleBytes(3456);
    item.SetLoadedKB(40);
    return CPatchItem(item);
}

Bytes Stored(const CArchiveObject& object)
{
    CMemorySink sink;
    CArchiveWriter archive(sink);
    archive.WriteObject(&object);
    archive.Flush();
    return sink.Bytes();
}

std::unique_ptr<CPatchItem> ReadPatch(const Bytes& bytes)
{
    CMemorySource source(bytes);
    CArchiveReader archive(source);
    auto read = archive.ReadObject(&CPatchItem::runtimeClass);
    return std::unique_ptr<CPatchItem>(static_cast<CPatchItem*>(read.created.release()));
}
} // namespace

TEST(PatchItem, StartsUnassignedUnloadedAndInvalid)
{
    const CPatchItem item(false);
    EXPECT_EQ(item.GetName(), "");
    EXPECT_EQ(item.GetSourceFile(), "");
    EXPECT_EQ(item.GetSourcePatch(), -1);
    EXPECT_EQ(item.GetTargetPatch(), -1);
    EXPECT_EQ(item.GetTargetBank(), -1);
    EXPECT_EQ(item.GetSampleCount(), -1);
    EXPECT_EQ(item.GetSampleBytes(), -1);
    EXPECT_FALSE(item.IsDocumentPatch());
    EXPECT_TRUE(CPatchItem(true).IsDocumentPatch());
    EXPECT_FALSE(item.IsLoaded());
    EXPECT_EQ(item.GetLoadedKB(), 0);
    EXPECT_FALSE(item.IsValid());
}

TEST(PatchItem, ValidWithASourceFileAndANonNegativePreset)
{
    CPatchItem item(true);
    item.SetSourcePatch(0);
    EXPECT_FALSE(item.IsValid());
    item.SetSourceFile("/x/a.sbk");
    EXPECT_TRUE(item.IsValid());
    item.SetSourcePatch(-1);
    EXPECT_FALSE(item.IsValid());
    item.SetSourceFile("C:\\WAVES\\KICK.Wav");
    EXPECT_EQ(item.GetSourceFileType(), FileTypeWave);
}

TEST(PatchItem, LoadedKBReadsZeroUntilLoaded)
{
    CPatchItem item(true);
    item.SetLoadedKB(0);
    EXPECT_TRUE(item.IsLoaded());
    EXPECT_EQ(item.GetLoadedKB(), 0);
    item.SetLoadedKB(128);
    EXPECT_EQ(item.GetLoadedKB(), 128);
    item.SetLoadedKB(-1);
    EXPECT_FALSE(item.IsLoaded());
}

TEST(PatchItem, CopiesLeaveSampleFiguresUnknownAndCompareEqual)
{
    const CPatchItem original = Loaded();
    const CPatchItem copy(original);
    EXPECT_EQ(copy.GetSampleCount(), -1);
    EXPECT_EQ(copy.GetSampleBytes(), -1);
    EXPECT_TRUE(copy.IsLoaded());
    EXPECT_EQ(copy.GetLoadedKB(), 40);
    EXPECT_TRUE(copy.IsEqual(original));

    CPatchItem target(false);
    target.SetSampleCount(99);
    target.CopyFrom(original);
    EXPECT_EQ(target.GetSampleCount(), 99);
    EXPECT_TRUE(target.IsDocumentPatch());
    EXPECT_TRUE(target == original);

    CPatchItem unloaded(true);
    unloaded.SetName("x");
    EXPECT_FALSE(CPatchItem(unloaded).IsLoaded());
    EXPECT_TRUE(CPatchItem(unloaded).IsEqual(unloaded));
}

TEST(PatchItem, EveryComparedFieldMakesADifference)
{
    const std::function<void(CPatchItem&)> changes[] = {
        [](CPatchItem& p) { p.SetName("piano"); },
        [](CPatchItem& p) { p.SetSourceFile("c:\\banks\\a.sbk"); },
        [](CPatchItem& p) { p.SetSourcePatch(4); },
        [](CPatchItem& p) { p.SetTargetPatch(8); },
        [](CPatchItem& p) { p.SetTargetBank(3); },
        [](CPatchItem& p) { p.SetLoadedKB(-1); },
        [](CPatchItem& p) { p.SetDocumentPatch(false); },
    };
    const CPatchItem original = Loaded();
    for (std::size_t i = 0; i < std::size(changes); ++i)
    {
        SCOPED_TRACE(i);
        CPatchItem changed(original);
        changes[i](changed);
        EXPECT_TRUE(changed != original);
    }
    CPatchItem sampled(original);
    sampled.SetSampleCount(1);
    sampled.SetSampleBytes(2);
    EXPECT_FALSE(sampled != original);
}

TEST(PatchItem, StoresFiveValuesAndReadsBackAnUnloadedDocumentPatch)
{
    CPatchItem item = Loaded();
    item.SetDocumentPatch(false);
    const Bytes expected =
        ArchiveBuilder().NewClass("CPatchItem").PatchData("Piano", "C:\\BANKS\\A.SBK", 3, 7, 2).Get();
    EXPECT_EQ(Stored(item), expected);

    const auto read = ReadPatch(expected);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->GetName(), "Piano");
    EXPECT_EQ(read->GetSourceFile(), "C:\\BANKS\\A.SBK");
    EXPECT_EQ(read->GetSourcePatch(), 3);
    EXPECT_EQ(read->GetTargetPatch(), 7);
    EXPECT_EQ(read->GetTargetBank(), 2);
    EXPECT_TRUE(read->IsDocumentPatch());
    EXPECT_FALSE(read->IsLoaded());
    EXPECT_EQ(read->GetSampleCount(), -1);
    EXPECT_EQ(read->GetSampleBytes(), -1);
}

TEST(PatchItem, TargetsOutsideTheCardReadAsUnassigned)
{
    struct Case
    {
        int bank, slot, wantBank, wantSlot;
    };
    const Case cases[] = {
        {0, 127, 0, 127}, {127, 0, 127, 0}, {-1, -1, -1, -1}, {-1, 5, -1, 5},  {3, -1, 3, -1},
        {128, 5, -1, -1}, {3, 128, -1, -1}, {-2, 5, -1, -1},  {3, -7, -1, -1}, {INT32_MIN, 0, -1, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.bank << ":" << c.slot);
        const auto read =
            ReadPatch(ArchiveBuilder().NewClass("CPatchItem").PatchData("P", "F", 9, c.slot, c.bank).Get());
        EXPECT_EQ(read->GetTargetBank(), c.wantBank);
        EXPECT_EQ(read->GetTargetPatch(), c.wantSlot);
        EXPECT_EQ(read->GetSourcePatch(), 9);
    }
}

TEST(PatchItemList, AddsFindsAndLocatesElements)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    int index = -2;
    CPatchItem* first = list.AddNew(&index);
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(first->IsDocumentPatch());
    EXPECT_FALSE(first->IsLoaded());
    first->SetTargetBank(1);
    first->SetTargetPatch(5);
    CPatchItem* second = list.AddNew();
    second->SetTargetBank(1);
    second->SetTargetPatch(5);
    second->SetLoadedKB(10);
    CPatchItem* third = new CPatchItem(true);
    third->SetTargetBank(2);
    EXPECT_EQ(list.Add(third), 2);
    EXPECT_EQ(list.Add(nullptr), -1);
    EXPECT_EQ(list.GetSize(), 3);

    EXPECT_EQ(list.GetItem(1), second);
    EXPECT_EQ(list.GetItem(3), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);

    EXPECT_EQ(list.FindAt(1, 5, &index), first);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(list.FindAt(1, 6, &index), nullptr);
    EXPECT_EQ(index, -1);

    EXPECT_EQ(list.IndexOf(third), 2);
    const CPatchItem lookalike(*third);
    EXPECT_EQ(list.IndexOf(&lookalike), -1);

    EXPECT_TRUE(list.HasBankEntries(1, true));
    EXPECT_TRUE(list.HasBankEntries(2, false));
    EXPECT_FALSE(list.HasBankEntries(2, true));
    EXPECT_FALSE(list.HasBankEntries(3, false));
}

TEST(PatchItemList, RemovingOrReplacingHandsThePointerToTheCaller)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    CPatchItem* a = list.AddNew();
    CPatchItem* b = list.AddNew();
    auto replacement = std::make_unique<CPatchItem>(true);

    std::unique_ptr<CPatchItem> old(list.SetAt(0, replacement.get()));
    EXPECT_EQ(old.get(), a);
    replacement.release();
    EXPECT_EQ(list.SetAt(2, b), nullptr);

    std::unique_ptr<CPatchItem> removed(list.RemoveAt(1));
    EXPECT_EQ(removed.get(), b);
    EXPECT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.RemoveAt(1), nullptr);
}

TEST(PatchItemList, GuardDeletesOnEveryWayOutUnlessReleased)
{
    CPatchItemList kept;
    {
        CPatchItemListGuard guard(kept);
        kept.AddNew()->SetName("stays");
        guard.Release();
    }
    ASSERT_EQ(kept.GetSize(), 1);
    EXPECT_EQ(kept.GetItem(0)->GetName(), "stays");

    CPatchItemList dropped;
    try
    {
        CPatchItemListGuard guard(dropped);
        dropped.AddNew();
        dropped.AddNew();
        throw std::runtime_error("interrupted");
    }
    catch (const std::runtime_error&)
    {
    }
    EXPECT_EQ(dropped.GetSize(), 0);

    // Moving hands the elements over and leaves the source empty.
    CPatchItemList moved(std::move(kept));
    CPatchItemListGuard guard(moved);
    EXPECT_EQ(kept.GetSize(), 0); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.GetSize(), 1);
}
