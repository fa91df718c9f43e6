// The export of a virtual bank as one SoundFont 2 file, walked by the tests'
// own strict reader: what lands on which bank and program, what is stored
// once, the INFO texts, missing files, refusals and cancels that leave no file.

#include "bank/SoundFontExport.h"

#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"
#include "support/PatchFixtures.h"
#include "support/SoundFontBuilder.h"
#include "support/StrictSf2Reader.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

namespace
{
// A version-1 bank: presets 0, 1 and 5, preset 5 sharing preset 0's instrument.
Bytes Version1Bank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "One").SampleData(8000);
    const int a = bank.AddSample(0, 1000);
    const int b = bank.AddSample(1000, 2500);
    const int c = bank.AddSample(2500, 3900);
    const int piano = bank.AddInstrument("Piano", {a, b});
    const int organ = bank.AddInstrument("Organ", {c});
    bank.AddPreset("Piano", 0, 0, {piano});
    bank.AddPreset("Organ", 1, 0, {organ});
    bank.AddPreset("Soft Piano", 5, 0, {piano});
    return bank.Build();
}

// A version-2 bank with a melodic preset 3 of bank 8 and a drum kit.
Bytes Version2Bank()
{
    SoundFontBuilder bank;
    bank.Version(2, 1).Info("INAM", "Two").Info("isng", "EMU8000").SampleData(4000);
    const int s = bank.AddSample(0, 600);
    const int t = bank.AddSample(700, 1500);
    bank.AddPreset("Strings", 3, 8, {bank.AddInstrument("Strings", {s})});
    bank.AddPreset("Kit", 0, 128, {bank.AddInstrument("Kit", {t})});
    return bank.Build();
}

Bytes MonoWave()
{
    return WaveBuilder()
        .Channels(1)
        .Rate(44100)
        .Frames(4410, [](std::size_t frame, unsigned)
                { return static_cast<std::int32_t>(8000 * std::sin(frame * 0.0627)); })
        .Build();
}

using Place = std::tuple<int, int, std::string>; // bank, program, name

std::set<Place> Places(const Sf2& sf2)
{
    std::set<Place> places;
    for (const Item& preset : sf2.presets)
        places.emplace(preset.bank, preset.program, preset.name);
    return places;
}

class SoundFontExportTest : public ::testing::Test
{
protected:
    SoundFontExportTest()
    {
        one = dir.Write("one.sbk", Version1Bank());
        two = dir.Write("two.sf2", Version2Bank());
        wave = dir.Write("tone.wav", MonoWave());
        out = dir.File("out.sf2");
    }

    SoundFontExportResult Export(const CSoundFontExport::Progress& progress = nullptr)
    {
        return CSoundFontExport(dir.Path(), {}, options)
            .Export(header, patches, "My Bank", "Made for the tests", out, progress);
    }

    TempDir dir;
    std::string one, two, wave, out;
    CDocumentFile::Header header;
    CPatchItemList patches;
    CPatchItemListGuard guard{patches};
    SoundFontExportOptions options;
};
} // namespace

TEST_F(SoundFontExportTest, EveryBankFileAndPatchLandsOnItsSlotAndSharedSamplesAreStoredOnce)
{
    header.bankFiles = {{2, one}, {9, two}};
    AddFilePatch(patches, "Organ again", one, 1, 3, 10);
    AddFilePatch(patches, "Over the organ", one, 5, 2, 1); // takes the bank file's slot 1
    AddFilePatch(patches, "Strings", two, static_cast<int>(MakeSourcePreset(3, 8)), 4, 7);
    CWaveFile probe;
    ASSERT_TRUE(probe.Open(wave));
    AddFilePatch(patches, "Tone", wave, probe.GetOption(0), 5, 0);
    AddFilePatch(patches, "In the list only", one, 0, -1, -1); // on no slot: not on the card either

    const SoundFontExportResult result = Export();
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_TRUE(result.missing.empty());
    EXPECT_TRUE(result.skipped.empty()) << result.skipped.front();

    const Sf2 sf2 = ReadSf2(ReadFileBytes(out), {.cardSamplesOnly = false});
    // Bank file of version 1: slots 0, 1, 5; version 2: the melodic preset 3
    // and, with no melodic preset 0, the kit on slot 0.
    EXPECT_EQ(Places(sf2), (std::set<Place>{{2, 0, "Piano"},
                                            {2, 1, "Soft Piano"},
                                            {2, 5, "Soft Piano"},
                                            {3, 10, "Organ"},
                                            {4, 7, "Strings"},
                                            {5, 0, "Tamberly Patch"},
                                            {9, 0, "Kit"},
                                            {9, 3, "Strings"}}));
    EXPECT_EQ(static_cast<int>(sf2.presets.size()), result.presets);
    // Three samples of the version-1 bank (whichever preset or conversion
    // brought them), two of the version-2 bank, the wave's.
    EXPECT_EQ(sf2.samples.size(), 6u);
    EXPECT_EQ(sf2.Info("INAM"), "My Bank");
    EXPECT_EQ(sf2.Info("ICMT"), "Made for the tests");
    EXPECT_EQ(sf2.Info("ISFT"), "Tamberly 96");
    EXPECT_EQ(sf2.Info("ICRD").size(), 10u);
}

TEST_F(SoundFontExportTest, MissingFilesAreListedAndTheRestExported)
{
    header.bankFiles = {{2, "C:\\GONE\\BANK.SBK"}};
    AddFilePatch(patches, "Piano", one, 0, 1, 0);
    AddFilePatch(patches, "Lost", dir.File("lost.sbk"), 0, 1, 1);
    AddFilePatch(patches, "Lost too", dir.File("lost.sbk"), 1, 1, 2);
    AddFilePatch(patches, "Not a bank", dir.Write("junk.sf2", Bytes(300, 'x')), 0, 1, 3);

    const SoundFontExportResult result = Export();
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_EQ(result.missing, (std::vector<std::string>{"C:\\GONE\\BANK.SBK", dir.File("lost.sbk")}));
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_NE(result.skipped[0].find("junk.sf2: not a SoundFont bank"), std::string::npos)
        << result.skipped[0];
    EXPECT_EQ(Places(ReadSf2(ReadFileBytes(out), {.cardSamplesOnly = false})),
              (std::set<Place>{{1, 0, "Piano"}}));
}

// The General MIDI set under the user's banks: its melodic presets on bank 0
// and its kits on 128, as the card plays them (its other banks left out), a
// user patch on bank 0 in the set's place. A set not there is listed missing.
TEST_F(SoundFontExportTest, TheSynthBankLiesUnderTheUserBanks)
{
    SoundFontBuilder gm;
    gm.Version(2, 1).Info("INAM", "GM").SampleData(4000);
    const int s = gm.AddSample(0, 600);
    const int t = gm.AddSample(700, 1500);
    const int piano = gm.AddInstrument("Piano", {s});
    gm.AddPreset("Grand", 0, 0, {piano});
    gm.AddPreset("Bright", 1, 0, {piano});
    gm.AddPreset("Variation", 1, 8, {piano});
    gm.AddPreset("Standard", 0, 128, {gm.AddInstrument("Drums", {t})});
    options.synthBank = dir.Write("gm.sf2", gm.Build());
    header.bankFiles = {{2, one}};
    AddFilePatch(patches, "Mine", one, 1, 0, 1);

    SoundFontExportResult result = Export();
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_TRUE(result.skipped.empty() && result.missing.empty());
    EXPECT_EQ(Places(ReadSf2(ReadFileBytes(out), {.cardSamplesOnly = false})),
              (std::set<Place>{{0, 0, "Grand"},
                               {0, 1, "Organ"},
                               {2, 0, "Piano"},
                               {2, 1, "Organ"},
                               {2, 5, "Soft Piano"},
                               {128, 0, "Standard"}}));

    options.synthBank = dir.File("none.sf2");
    result = Export();
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_EQ(result.missing, std::vector<std::string>{options.synthBank});
    EXPECT_EQ(Places(ReadSf2(ReadFileBytes(out), {.cardSamplesOnly = false})).size(), 4u);
}

// A version-1 file's patches come from one conversion of it; the one whose
// samples lie in the card's ROM and the one naming no preset are listed with
// their reasons, the others exported.
TEST_F(SoundFontExportTest, Version1PatchesThatCannotBeExportedAreListedAndTheRestKept)
{
    SoundFontBuilder bank;
    bank.SampleData(3000);
    const int rom = bank.AddSample(100, 400); // before the first sample at point 0: in ROM
    const int ram = bank.AddSample(0, 500);
    bank.AddPreset("Ram", 0, 0, {bank.AddInstrument("Ram", {ram})});
    bank.AddPreset("Rom", 1, 0, {bank.AddInstrument("Rom", {rom})});
    const std::string path = dir.Write("rom.sbk", bank.Build());
    AddFilePatch(patches, "Ram", path, 0, 1, 0);
    AddFilePatch(patches, "Rom", path, 1, 1, 1);
    AddFilePatch(patches, "Nine", path, 9, 1, 2);
    AddFilePatch(patches, "Ram again", path, 0, 3, 0);

    const SoundFontExportResult result = Export();
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_EQ(result.skipped,
              (std::vector<std::string>{
                  path + ": no sample data to convert (samples in the card's ROM are left out)",
                  path + ": no preset numbered 9"}));
    const Sf2 sf2 = ReadSf2(ReadFileBytes(out), {.cardSamplesOnly = false});
    EXPECT_EQ(Places(sf2), (std::set<Place>{{1, 0, "Ram"}, {3, 0, "Ram"}}));
    EXPECT_EQ(sf2.samples.size(), 1u);
}

// Samples are stored once only when every point is equal: two that differ in
// one point of a thousand are both kept, a true copy is not.
TEST_F(SoundFontExportTest, OnlySamplesEqualInEveryPointAreStoredOnce)
{
    const auto bankWith = [&](const std::string& name, int changedPoint)
    {
        Bytes data;
        for (int i = 0; i < 1100; ++i)
            PutLE16(data, static_cast<std::uint16_t>(i == changedPoint ? 7 : 1000 + 3 * i));
        SoundFontBuilder bank;
        bank.Version(2, 1).Info("INAM", "Point").Replace("smpl", data);
        bank.AddPreset("Point", 0, 0, {bank.AddInstrument("Point", {bank.AddSample(0, 1000)})});
        return dir.Write(name, bank.Build());
    };
    AddFilePatch(patches, "A", bankWith("a.sf2", -1), 0, 1, 0);
    AddFilePatch(patches, "Copy of A", bankWith("copy.sf2", -1), 0, 1, 1);
    AddFilePatch(patches, "B", bankWith("b.sf2", 1), 0, 1, 2);

    const SoundFontExportResult result = Export();
    ASSERT_TRUE(result.written) << result.error;
    const Sf2 sf2 = ReadSf2(ReadFileBytes(out), {.cardSamplesOnly = false});
    ASSERT_EQ(sf2.samples.size(), 2u);
    EXPECT_EQ(sf2.Point(sf2.samples[0].start + 1), 1003);
    EXPECT_EQ(sf2.Point(sf2.samples[1].start + 1), 7);
}

TEST_F(SoundFontExportTest, RefusalsAndCancelsLeaveTheOldFileAsItWas)
{
    const Bytes old = {'o', 'l', 'd'};
    dir.Write("out.sf2", old);
    const auto files = [&] { return std::distance(std::filesystem::directory_iterator(dir.Path()), {}); };
    const auto untouched = [&](const CSoundFontExport::Progress& progress, const std::string& error)
    {
        const auto before = files();
        const SoundFontExportResult result = Export(progress);
        EXPECT_FALSE(result.written);
        EXPECT_NE(result.error.find(error), std::string::npos) << result.error;
        EXPECT_EQ(ReadFileBytes(out), old);
        EXPECT_EQ(files(), before) << "a file left behind";
    };

    // Nothing found: nothing to write.
    AddFilePatch(patches, "Lost", dir.File("lost.sbk"), 0, 1, 1);
    untouched(nullptr, "nothing to write");

    // Cancelled while reading the sources, and while writing.
    AddFilePatch(patches, "Piano", one, 0, 1, 0);
    untouched([](double) { return false; }, "cancelled");
    untouched([](double share) { return share < 0.8; }, "cancelled");
    // SoundFont 3 in a program without the encoder.
    options.compressed = true;
    untouched(nullptr, "no Ogg Vorbis encoder");
    options.compressed = false;

    // Presets that convert one by one but together pass the 16-bit zone
    // indices: 100 zones each, made different by a preset-level value.
    SoundFontBuilder wide;
    wide.SampleData(2 * 100 * 8);
    std::vector<SfZone> zones;
    for (std::uint32_t s = 0; s < 100; ++s)
    {
        wide.AddSample(s * 8, s * 8 + 4);
        zones.push_back({{kSfGenKeyRange, static_cast<std::uint16_t>(s | (s << 8))},
                         {kSfGenSampleId, static_cast<std::uint16_t>(s)}});
    }
    wide.AddInstrumentZones("Wide", zones);
    for (std::uint16_t p = 0; p < 128; ++p)
        wide.AddPresetZones("Wide", p, 0, {{{0, static_cast<std::uint16_t>(p + 1)}, {kSfGenInstrument, 0}}});
    const std::string widePath = dir.Write("wide.sbk", wide.Build());
    patches.DeleteAll();
    for (int bank = 1; bank <= 6; ++bank)
        for (int program = 0; program < 128; ++program)
            AddFilePatch(patches, "Wide", widePath, program, bank, program);
    // The same preset on six banks resolves alike: 128 instruments of 101 zones fit.
    const SoundFontExportResult fits = Export();
    ASSERT_TRUE(fits.written) << fits.error;
    EXPECT_EQ(ReadSf2(ReadFileBytes(out)).instruments.size(), 128u);
    // 768 different presets do not.
    for (CPatchItem* item : patches)
        item->SetSourcePatch((item->GetTargetBank() - 1) * 128 + item->GetTargetPatch());
    dir.Write("out.sf2", old);
    SoundFontBuilder wider = wide;
    for (std::uint16_t p = 128; p < 768; ++p)
        wider.AddPresetZones("Wider", p, 0,
                             {{{0, static_cast<std::uint16_t>(p + 1)}, {kSfGenInstrument, 0}}});
    dir.Write("wide.sbk", wider.Build());
    const std::size_t zoneCount = 768 * 101;
    untouched(nullptr, std::to_string(zoneCount) + " instrument zones, " + std::to_string(zoneCount - 65535) +
                           " over the limit of 65535");
}
