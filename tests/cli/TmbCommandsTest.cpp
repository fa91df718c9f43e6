#include "cli/EmulatedCardCli.h"
#include "cli/RecordingCardCli.h"
#include "support/ArchiveBuilder.h"
#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;

// The small document: current bank 1, GM, reverb 4, chorus 2, a drum bank
// file in bank 2, Piano and Strings from one bank on 1:0 and 1:1.
Bytes SmallDocument(const std::string& info = "")
{
    return ArchiveBuilder()
        .Int32(1)
        .Int32(0)
        .Int32(4)
        .Int32(2)
        .Int32(2)
        .String("C:\\BANKS\\DRUMS.SBK")
        .Int32(-1)
        .Count(2)
        .NewClass("CPatchItem")
        .PatchData("Piano", "C:\\BANKS\\A.SBK", 0, 0, 1)
        .Word(0x8001)
        .PatchData("Strings", "C:\\BANKS\\A.SBK", 48, 1, 1)
        .String(info)
        .Get();
}

// tamberly-cli tmb with the recording manager library as the card.
class TmbCliTest : public RecordingCardCli
{
protected:
    std::string WriteText(const std::string& name, const std::string& text)
    {
        Bytes bytes;
        PutText(bytes, text);
        return dir.Write(name, bytes);
    }
};
} // namespace

TEST_F(TmbCliTest, ShowDumpsEveryStoredValue)
{
    dir.Write("small.tmb", SmallDocument("For \xC4rger\r\nand\ttabs"));
    const CliRun run = Cli({"tmb", "show", "small.tmb"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Current bank:\t1\n"
                       "Synth mode:\t0 GM\n"
                       "Reverb:\t4\n"
                       "Chorus:\t2\n"
                       "Bank files:\t1\n"
                       "002\tC:\\\\BANKS\\\\DRUMS.SBK\n"
                       "Patches:\t2\n"
                       "Index\tName\tSource file\tPreset\tBank:Slot\n"
                       "0\tPiano\tC:\\\\BANKS\\\\A.SBK\t0\t001:000\n"
                       "1\tStrings\tC:\\\\BANKS\\\\A.SBK\t48\t001:001\n"
                       "Info:\tFor \xC3\x84rger\\r\\nand\\ttabs\n");
    EXPECT_EQ(Commands(), Lines{}) << "show never touches the card";

    dir.Write("empty.tmb", {});
    EXPECT_EQ(Cli({"tmb", "show", "empty.tmb"}).out.substr(0, 16), "Current bank:\t-1");
}

TEST_F(TmbCliTest, BadDocumentsGetOneLineAndStatusTwoAndLeaveTheCardAlone)
{
    Bytes cut = SmallDocument();
    cut.resize(60);
    dir.Write("cut.tmb", cut);
    dir.Write(
        "case.tmb",
        ArchiveBuilder().Int32(1).Int32(0).Int32(0).Int32(0).Int32(-1).Count(1).NewClass("CPatchitem").Get());
    struct Case
    {
        Lines arguments;
        std::string why;
    };
    for (const Case& c :
         {Case{{"tmb", "show", "missing.tmb"}, "missing.tmb: cannot open (no such file)"},
          Case{{"tmb", "show", "cut.tmb"}, "cut.tmb: not a virtual bank document (Unexpected file format.)"},
          Case{{"tmb", "load", "case.tmb"},
               "case.tmb: not a virtual bank document (Unexpected file format.)"},
          Case{{"tmb", "load", "home"}, "home: cannot open (is a directory)"}, Case{{"tmb"}, "usage"},
          Case{{"tmb", "show"}, "usage"}, Case{{"tmb", "show", "a", "b"}, "usage"},
          Case{{"tmb", "dump", "x.tmb"}, "unknown subcommand"},
          Case{{"tmb", "import-shb", "x.shb"}, "usage"}})
    {
        const std::string arguments = ::testing::PrintToString(c.arguments);
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.err.find(c.why), std::string::npos) << arguments << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(Commands(), Lines{}) << arguments;
    }
}

TEST_F(TmbCliTest, LoadSetsTheCardUpAsOpeningDoes)
{
    dir.Write("small.tmb", SmallDocument());
    const CliRun run = Cli({"tmb", "load", "small.tmb"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Bank files:\t1\n"
                       "Patches:\t2\n"
                       "Bank:Slot\tName\tLoaded\n"
                       "001:000\tPiano\t0 KB\n"
                       "001:001\tStrings\t0 KB\n");
    EXPECT_EQ(Commands("910 ").size(), 127u);
    EXPECT_EQ(Commands("908 "), Lines{"908 h=77 bank=2 path=C:\\BANKS\\DRUMS.SBK"});
    EXPECT_EQ(Commands("905 ").back(), "905 h=77 selector=0 reverb=4 chorus=2");
    EXPECT_EQ(Commands("911 "), (Lines{"911 h=77 bank=1 preset=0 path=C:\\BANKS\\A.SBK source=0",
                                       "911 h=77 bank=1 preset=1 path=C:\\BANKS\\A.SBK source=48"}));
    // Nothing empties the card again when the command ends.
    EXPECT_EQ(Commands().back(), "308 h=77");

    // The bank is found beside the document now: what fails is the card.
    dir.Write("A.SBK", Bytes{'x'});
    script = "script 911 1 0 0\n";
    const CliRun refused = Cli({"tmb", "load", "small.tmb"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("001:000\tPiano\tno\n"), std::string::npos) << refused.out;
    EXPECT_NE(refused.err.find("refused 1 patch"), std::string::npos) << refused.err;

    const CliRun cardless = Cli({"tmb", "load", "small.tmb"}, dir.File("libnothing.so"));
    EXPECT_EQ(cardless.status, 2);
    EXPECT_NE(cardless.err.find("Awe32 is not available !"), std::string::npos);
}

TEST_F(TmbCliTest, ImportShbMakesAndSavesANewDocument)
{
    WriteText("old.shb", "[Awe]\r\nReverb=3\r\nChorus=5\r\n"
                         "[UserBanks]\r\nUser1=002   C:\\BANKS\\DRUMS.SBK\r\n"
                         "[Instrument-List]\r\nInstrument1=012:003   C:\\BANKS\\A.SBK/Piano 0024\r\n"
                         "Instrument2=040   C:\\BANKS\\A.SBK/Organ 0016\r\nInstrument3=bad\r\n");
    const CliRun run = Cli({"tmb", "import-shb", "old.shb", "new.tmb"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out,
        "Instruments:\t2 (2 loaded)\nBank files:\t1 (1 loaded)\nSkipped entries:\t1\nSaved:\tnew.tmb\n");
    EXPECT_EQ(Commands("908 "), Lines{"908 h=77 bank=2 path=C:\\BANKS\\DRUMS.SBK"});

    const CliRun shown = Cli({"tmb", "show", "new.tmb"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    // The recording card keeps no registry of bank files; the effects are what it was told.
    EXPECT_EQ(shown.out, "Current bank:\t-1\n"
                         "Synth mode:\t0 GM\n"
                         "Reverb:\t3\n"
                         "Chorus:\t5\n"
                         "Bank files:\t0\n"
                         "Patches:\t2\n"
                         "Index\tName\tSource file\tPreset\tBank:Slot\n"
                         "0\tPiano\tC:\\\\BANKS\\\\A.SBK\t24\t003:012\n"
                         "1\tOrgan\tC:\\\\BANKS\\\\A.SBK\t16\t000:040\n"
                         "Info:\t\n");

    WriteText("text.shb", "nothing of the kind\n");
    for (const char* shb : {"missing.shb", "text.shb"})
    {
        const CliRun bad = Cli({"tmb", "import-shb", shb, "out.tmb"});
        EXPECT_EQ(bad.status, 2) << shb;
        EXPECT_FALSE(bad.err.empty());
        EXPECT_EQ(Commands(), Lines{}) << shb;
        EXPECT_FALSE(std::filesystem::exists(dir.File("out.tmb")));
    }
    const CliRun nowhere = Cli({"tmb", "import-shb", "old.shb", "no folder/out.tmb"});
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_NE(nowhere.err.find("was not found."), std::string::npos) << nowhere.err;
}

TEST_F(TmbCliTest, PresetsListWhatASourceFileOffers)
{
    SoundFontBuilder bank;
    bank.SampleData(1000);
    const int s = bank.AddSample(0, 100);
    const int i = bank.AddInstrument("I", {s});
    bank.AddPreset("Strings", 48, 0, {i});
    bank.AddPreset("Piano", 0, 0, {i});
    bank.AddPreset("Kit", 0, 128, {i});
    dir.Write("A.SBK", bank.Build());
    const CliRun sbk = Cli({"tmb", "presets", "A.SBK"});
    EXPECT_EQ(sbk.status, 0) << sbk.err;
    EXPECT_EQ(
        sbk.out,
        "Name\tNumber\tSamples\tSize\nPiano\t0\t1\t200\nDrum Patch 1\t0\t1\t200\nStrings\t48\t1\t200\n");

    dir.Write("TONE.WAV",
              WaveBuilder().Channels(1).Rate(11025).Frames(10, [](auto, auto) { return 0; }).Build());
    EXPECT_EQ(Cli({"tmb", "presets", "TONE.WAV"}).out,
              "Name\tNumber\tSamples\tSize\nTONE 11.0KHz m\t9\t1\t20\n");

    dir.Write("doc.tmb", ArchiveBuilder()
                             .Int32(-1)
                             .Int32(0)
                             .Int32(0)
                             .Int32(0)
                             .Int32(-1)
                             .Count(2)
                             .NewClass("CPatchItem")
                             .PatchData("Mine", dir.File("A.SBK"), 48, 3, 2)
                             .Word(0x8001)
                             .PatchData("Gone", dir.File("GONE.SBK"), 0, 4, 2)
                             .String("")
                             .Get());
    EXPECT_EQ(Cli({"tmb", "presets", "doc.tmb"}).out, "Name\tNumber\tSamples\tSize\nMine\t48\t1\t200\n");

    dir.Write("BAD.SBK", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    dir.Write("BAD.WAV", {'n', 'o'});
    dir.Write("BAD.TMB", {1, 2, 3});
    for (const char* file : {"BAD.SBK", "BAD.WAV", "BAD.TMB", "MISSING.SBK", "notes.txt"})
    {
        const CliRun bad = Cli({"tmb", "presets", file});
        EXPECT_EQ(bad.status, 2) << file;
        EXPECT_NE(bad.err.find(file), std::string::npos) << bad.err;
        EXPECT_EQ(bad.out, "") << file;
    }
}

namespace
{
// tamberly-cli tmb with the emulated card it finds beside itself.
class TmbOnCardCliTest : public EmulatedCardCli
{
protected:
    TmbOnCardCliTest() { WriteOrchestra("ORCH.SBK"); }
};
} // namespace

TEST_F(TmbOnCardCliTest, ImportedBankSavedAndLoadedAgainGivesTheSameCard)
{
    Bytes shb;
    PutText(shb, "[Awe]\r\nReverb=6\r\nChorus=1\r\n[UserBanks]\r\nUser1=004   ORCH.SBK\r\n"
                 "[Instrument-List]\r\nInstrument1=010:002   ORCH.SBK/Solo Cello 0005\r\n"
                 "Instrument2=000:002   ORCH.SBK/Violin 0000\r\n");
    dir.Write("old.shb", shb);
    ASSERT_EQ(Cli({"tmb", "import-shb", "old.shb", "new.tmb"}), 0) << err;
    EXPECT_EQ(
        out, "Instruments:\t2 (2 loaded)\nBank files:\t1 (1 loaded)\nSkipped entries:\t0\nSaved:\tnew.tmb\n");
    ASSERT_EQ(Cli({"card", "status"}), 0) << err;
    const std::string imported = out;
    EXPECT_NE(imported.find("Reverb:       6\nChorus:       1\n"), std::string::npos) << imported;
    EXPECT_NE(imported.find("Bank 002: (no bank file)\n  000 Violin\n  010 Cello\n"), std::string::npos)
        << imported;
    EXPECT_NE(imported.find("Bank 004: Orchestra\n"), std::string::npos) << imported;

    ASSERT_EQ(Cli({"tmb", "show", "new.tmb"}), 0) << err;
    EXPECT_NE(out.find("Bank files:\t1\n004\t" + dir.File("ORCH.SBK") + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("0\tSolo Cello\tORCH.SBK\t5\t002:010\n"), std::string::npos) << out;

    // A card that was emptied and set to other effects is set up again by the document.
    ASSERT_EQ(Cli({"card", "clear-all"}), 0) << err;
    ASSERT_EQ(Cli({"card", "fx", "0", "0"}), 0) << err;
    ASSERT_EQ(Cli({"tmb", "load", "new.tmb"}), 0) << err;
    EXPECT_EQ(out, "Bank files:\t1\nPatches:\t2\nBank:Slot\tName\tLoaded\n002:010\tSolo Cello\t16 KB\n"
                   "002:000\tViolin\t2 KB\n");
    ASSERT_EQ(Cli({"card", "status"}), 0) << err;
    EXPECT_EQ(out, imported);
}
