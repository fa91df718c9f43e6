#include "bank/ArchiveException.h"
#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "platform/FileException.h"
#include "support/ArchiveBuilder.h"
#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

namespace
{
// Presets in file order: "Grand Piano  " #0 (two samples of 100 and 200
// points), a drum kit #0, and a melodic preset #7 whose name fills all 20 bytes.
Bytes Bank()
{
    SoundFontBuilder bank;
    bank.SampleData(2000);
    const int s0 = bank.AddSample(0, 100);
    const int s1 = bank.AddSample(100, 300);
    const int s2 = bank.AddSample(300, 310);
    const int piano = bank.AddInstrument("Piano", {s0, s1});
    const int kit = bank.AddInstrument("Kit", {s2});
    bank.AddPreset("Grand Piano  ", 0, 0, {piano});
    bank.AddPreset("Kit", 0, 128, {kit});
    bank.AddPreset("ABCDEFGHIJKLMNOPQRST", 7, 0, {kit});
    return bank.Build();
}

Bytes Document(const std::vector<std::tuple<std::string, std::string, int, int, int>>& patches)
{
    ArchiveBuilder doc;
    doc.Header(1, 0, 0, 0).Count(static_cast<std::uint32_t>(patches.size()));
    bool first = true;
    for (const auto& [name, file, source, slot, bank] : patches)
    {
        if (first)
            doc.NewClass("CPatchItem");
        else
            doc.Word(0x8001);
        first = false;
        doc.PatchData(name, file, source, slot, bank);
    }
    return doc.String("info").Get();
}
} // namespace

TEST(PatchListFromFile, SoundFontPresetsAreAppendedInFileOrder)
{
    TempDir dir;
    const std::string path = dir.Write("A.SBK", Bank());
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    list.AddNew()->SetName("already there");

    EXPECT_EQ(list.ReadFromFile(path), 4);
    EXPECT_EQ(list.GetItem(0)->GetName(), "already there");
    const CPatchItem& piano = *list.GetItem(1);
    EXPECT_EQ(piano.GetName(), "Grand Piano");
    EXPECT_EQ(piano.GetSourceFile(), path);
    EXPECT_EQ(piano.GetSourcePatch(), 0);
    EXPECT_EQ(piano.GetSampleCount(), 2);
    EXPECT_EQ(piano.GetSampleBytes(), 600);
    EXPECT_EQ(piano.GetTargetBank(), -1);
    EXPECT_EQ(piano.GetTargetPatch(), -1);
    EXPECT_FALSE(piano.IsLoaded());
    EXPECT_TRUE(piano.IsDocumentPatch());
    EXPECT_EQ(list.GetItem(2)->GetName(), "Drum Patch 1");
    EXPECT_EQ(list.GetItem(2)->GetSourcePatch(), 0);
    EXPECT_EQ(list.GetItem(2)->GetSampleBytes(), 20);
    EXPECT_EQ(list.GetItem(3)->GetName(), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(list.GetItem(3)->GetSourcePatch(), 7);

    // Files that do not open, or are of no known type, add nothing.
    EXPECT_EQ(list.ReadFromFile(dir.File("MISSING.SBK")), 4);
    EXPECT_EQ(list.ReadFromFile(dir.Write("BROKEN.SBK", {'R', 'I', 'F', 'F'})), 4);
    EXPECT_EQ(list.ReadFromFile(path + ".txt"), 4);
}

TEST(PatchListFromFile, WaveOffersOneEntryPerConversionOption)
{
    TempDir dir;
    const std::string path = dir.Write(
        "PIANO.WAV", WaveBuilder().Channels(2).Rate(22050).Frames(100, [](auto, auto) { return 0; }).Build());
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    ASSERT_EQ(list.ReadFromFile(path), 8);
    EXPECT_EQ(list.GetItem(0)->GetName(), "PIANO 22.1KHz st");
    EXPECT_EQ(list.GetItem(0)->GetSourcePatch(), 4);
    EXPECT_EQ(list.GetItem(0)->GetSampleCount(), 2);
    EXPECT_EQ(list.GetItem(1)->GetName(), "PIANO 22.1KHz m");
    EXPECT_EQ(list.GetItem(1)->GetSampleCount(), 1);
    EXPECT_EQ(list.GetItem(7)->GetSourcePatch(), 11);
    // 100 frames at the file's own rate become 100 points of 2 bytes per channel.
    EXPECT_EQ(list.GetItem(0)->GetSampleBytes(), 400);
    EXPECT_EQ(list.GetItem(1)->GetSampleBytes(), 200);
    EXPECT_EQ(list.GetItem(7)->GetSourceFile(), path);
    EXPECT_EQ(list.GetItem(7)->GetTargetBank(), -1);

    EXPECT_EQ(list.ReadFromFile(dir.File("GONE.WAV")), 8);
}

TEST(PatchListFromFile, DocumentKeepsOnlyPatchesWhoseSourcesResolve)
{
    TempDir dir;
    const std::string bank = dir.Write("A.SBK", Bank());
    const std::string wave = dir.Write(
        "W.WAV", WaveBuilder().Channels(1).Rate(44100).Frames(10, [](auto, auto) { return 0; }).Build());
    const std::string doc = dir.Write("V.TMB", Document({{"gone", dir.File("GONE.SBK"), 0, 1, 1},
                                                         {"Piano", bank, 0, 5, 2},
                                                         {"no such preset", bank, 9, 6, 2},
                                                         {"wave", wave, 1, 7, 2},
                                                         {"Top", bank, 7, 8, 3}}));
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    list.AddNew()->SetName("replaced");
    ASSERT_EQ(list.ReadFromFile(doc), 2);
    const CPatchItem& piano = *list.GetItem(0);
    EXPECT_EQ(piano.GetName(), "Piano");
    EXPECT_EQ(piano.GetTargetBank(), 2);
    EXPECT_EQ(piano.GetTargetPatch(), 5);
    // Preset number 0 names the melodic preset and the drum kit; the first record counts.
    EXPECT_EQ(piano.GetSampleCount(), 2);
    EXPECT_EQ(piano.GetSampleBytes(), 600);
    EXPECT_FALSE(piano.IsLoaded());
    EXPECT_EQ(list.GetItem(1)->GetName(), "Top");
    EXPECT_EQ(list.GetItem(1)->GetSampleBytes(), 20);

    const std::string orphans = dir.Write(
        "O.TMB", Document({{"a", dir.File("GONE.SBK"), 0, 1, 1}, {"b", "C:\\BANKS\\NONE.SBK", 0, 2, 1}}));
    EXPECT_EQ(list.ReadFromFile(orphans), 0);
    EXPECT_TRUE(list.IsEmpty());

    // A Windows path is looked for by name beside the document, and the
    // patch offered names the file found, so it loads wherever it is dropped.
    const std::string windows = dir.Write("W.TMB", Document({{"b", "C:\\BANKS\\a.sbk", 0, 2, 1}}));
    ASSERT_EQ(list.ReadFromFile(windows), 1);
    EXPECT_EQ(list.GetItem(0)->GetSourceFile(), bank);
}

TEST(PatchListFromFile, DocumentErrorsReachTheCallerAsTypedErrors)
{
    TempDir dir;
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    list.AddNew();
    EXPECT_THROW(list.ReadFromFile(dir.File("MISSING.TMB")), CFileException);
    EXPECT_TRUE(list.IsEmpty());

    list.AddNew();
    Bytes cut = Document({{"Piano", dir.File("A.SBK"), 0, 5, 2}});
    cut.resize(cut.size() - 10);
    EXPECT_THROW(list.ReadFromFile(dir.Write("CUT.TMB", cut)), CArchiveException);
    EXPECT_TRUE(list.IsEmpty());

    const Bytes wrongCase = ArchiveBuilder().Header(1, 0, 0, 0).Count(1).NewClass("CPATCHITEM").Get();
    try
    {
        list.ReadFromFile(dir.Write("CASE.TMB", wrongCase));
        ADD_FAILURE() << "a class name in the wrong case was read";
    }
    catch (const CArchiveException& e)
    {
        EXPECT_EQ(e.GetCause(), CArchiveException::Cause::BadClass);
    }
    EXPECT_EQ(list.ReadFromFile(dir.Write("EMPTY.TMB", {})), 0);
}
