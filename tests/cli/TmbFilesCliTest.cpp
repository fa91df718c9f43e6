// tmb check, load and relink on documents made on Windows, against the
// emulated card: files beside the document in other letter case, files found
// through --search and --map, files truly missing.

#include "cli/EmulatedCardCli.h"
#include "soundfont/SoundFontReader.h"
#include "support/ArchiveBuilder.h"
#include "support/FileTree.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
class TmbFilesCliTest : public EmulatedCardCli
{
protected:
    TmbFilesCliTest()
    {
        const std::string orchestra = WriteOrchestra("orchestra.sbk");
        const Bytes bank = ReadFileBytes(orchestra);
        besideDoc = PlaceFile(dir.Path(), "old/Sbk/orch.SBK", bank);
        elsewhere = PlaceFile(dir.Path(), "elsewhere/Sounds/Drums.sbk", bank);
        PlaceFile(dir.Path(), "old/song.tmb",
                  ArchiveBuilder()
                      .Int32(-1)
                      .Int32(0)
                      .Int32(4)
                      .Int32(2)
                      .Int32(2)
                      .String("D:\\SOUNDS\\DRUMS.SBK")
                      .Int32(-1)
                      .Count(3)
                      .NewClass("CPatchItem")
                      .PatchData("Violin", "C:\\SBK\\ORCH.SBK", 0, 0, 1)
                      .Word(0x8001)
                      .PatchData("Cello", "D:\\sounds\\drums.sbk", 5, 1, 1)
                      .Word(0x8001)
                      .PatchData("Gone", "E:\\GONE\\X.SBK", 0, 2, 1)
                      .String("")
                      .Get());
    }

    std::string besideDoc;
    std::string elsewhere;
};
} // namespace

TEST_F(TmbFilesCliTest, CheckSaysHowEachPathWasFound)
{
    EXPECT_EQ(Cli({"tmb", "check", "old/song.tmb"}), 1) << err;
    EXPECT_EQ(out,
              "missing\tD:\\\\SOUNDS\\\\DRUMS.SBK\tno folder in the drive map for D:; by name below " +
                  dir.Path() +
                  "/old\n"
                  "resolved\tC:\\\\SBK\\\\ORCH.SBK\t" +
                  besideDoc +
                  "\tby name\n"
                  "missing\tD:\\\\sounds\\\\drums.sbk\tno folder in the drive map for D:; by name below " +
                  dir.Path() +
                  "/old\n"
                  "missing\tE:\\\\GONE\\\\X.SBK\tno folder in the drive map for E:; by name below " +
                  dir.Path() + "/old\n");

    EXPECT_EQ(Cli({"tmb", "check", "old/song.tmb", "--map", "d:=" + dir.Path() + "/elsewhere", "--search",
                   dir.Path() + "/elsewhere"}),
              1);
    EXPECT_NE(out.find("resolved\tD:\\\\SOUNDS\\\\DRUMS.SBK\t" + elsewhere + "\tthrough the drive map\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("missing\tE:\\\\GONE\\\\X.SBK\t"), std::string::npos) << out;

    // An absolute path that exists is found as stored, and all found is status 0.
    PlaceFile(dir.Path(), "new/doc.tmb",
              ArchiveBuilder()
                  .Int32(-1)
                  .Int32(0)
                  .Int32(0)
                  .Int32(0)
                  .Int32(-1)
                  .Count(1)
                  .NewClass("CPatchItem")
                  .PatchData("Violin", besideDoc, 0, 0, 1)
                  .String("")
                  .Get());
    EXPECT_EQ(Cli({"tmb", "check", "new/doc.tmb"}), 0) << err;
    EXPECT_EQ(out, "found\t" + besideDoc + "\n");
}

TEST_F(TmbFilesCliTest, LoadTellsMissingFilesApartFromRefusals)
{
    EXPECT_EQ(Cli({"tmb", "load", "old/song.tmb"}), 1);
    EXPECT_NE(out.find("001:000\tViolin\t2 KB\n"), std::string::npos) << out;
    EXPECT_NE(out.find("001:001\tCello\tfile not found\n"), std::string::npos) << out;
    EXPECT_NE(err.find("not found: E:\\\\GONE\\\\X.SBK\n"), std::string::npos) << err;
    EXPECT_NE(err.find(": 2 patches: file not found; 1 bank file: file not found\n"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("refused"), std::string::npos) << err;

    EXPECT_EQ(Cli({"tmb", "load", "old/song.tmb", "--search", dir.Path() + "/elsewhere"}), 1);
    EXPECT_NE(out.find("001:001\tCello\t16 KB\n"), std::string::npos) << out;
    EXPECT_NE(err.find(": 1 patch: file not found\n"), std::string::npos) << err;
    EXPECT_EQ(Cli({"card", "status"}), 0);
    EXPECT_NE(out.find("Bank 002: Orchestra\n  file: " + elsewhere + "\n"), std::string::npos) << out;
}

TEST_F(TmbFilesCliTest, RelinkWritesTheFoundPathsAndKeepsTheMissingOnes)
{
    const Bytes before = ReadFileBytes(dir.File("old/song.tmb"));
    EXPECT_EQ(Cli({"tmb", "relink", "old/song.tmb", "--search", dir.Path() + "/elsewhere", "-o", "new.tmb"}),
              1);
    EXPECT_EQ(out, "D:\\\\SOUNDS\\\\DRUMS.SBK\t" + elsewhere + "\tby name\n" + "C:\\\\SBK\\\\ORCH.SBK\t" +
                       besideDoc + "\tby name\n" + "D:\\\\sounds\\\\drums.sbk\t" + elsewhere +
                       "\tby name\n"
                       "Relinked:\t3\n"
                       "Missing:\t1\n");
    EXPECT_EQ(err, "tamberly-cli: old/song.tmb: not found: E:\\\\GONE\\\\X.SBK\n");
    EXPECT_EQ(ReadFileBytes(dir.File("old/song.tmb")), before) << "-o leaves the document as it was";

    EXPECT_EQ(Cli({"tmb", "check", "new.tmb"}), 1);
    EXPECT_EQ(out, "found\t" + elsewhere + "\nfound\t" + besideDoc +
                       "\nmissing\tE:\\\\GONE\\\\X.SBK\tno folder in the drive map for E:; by name below " +
                       dir.Path() + "\n");

    // In place: the document itself is rewritten, and a second run changes nothing.
    EXPECT_EQ(Cli({"tmb", "relink", "old/song.tmb", "--search", dir.Path() + "/elsewhere"}), 1);
    EXPECT_EQ(ReadFileBytes(dir.File("old/song.tmb")), ReadFileBytes(dir.File("new.tmb")));
    EXPECT_EQ(Cli({"tmb", "relink", "old/song.tmb"}), 1);
    EXPECT_EQ(out, "Relinked:\t0\nMissing:\t1\n");
}

TEST_F(TmbFilesCliTest, ExportWritesWhatIsFoundAndListsTheRest)
{
    const auto places = [&](const std::string& path, int version = 2)
    {
        CSoundFontReader reader;
        std::vector<std::string> found;
        EXPECT_TRUE(reader.Open(path)) << path;
        EXPECT_EQ(reader.GetMajorVersion(), version);
        for (int i = 0; i < reader.GetPresetCount(); ++i)
        {
            const PresetHeader header = reader.GetPresetHeader(i);
            found.push_back(std::to_string(header.bank) + ":" + std::to_string(header.presetNumber) + " " +
                            CSoundFontReader::GetDisplayName(header));
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb", "song.sf2"}), 1) << err;
    EXPECT_EQ(out, "missing\tD:\\\\SOUNDS\\\\DRUMS.SBK\nmissing\tD:\\\\sounds\\\\drums.sbk\n"
                   "missing\tE:\\\\GONE\\\\X.SBK\nPresets:\t1\nMissing:\t3\n");
    EXPECT_EQ(places(dir.File("song.sf2")), (std::vector<std::string>{"1:0 Violin"}));

    // Found through --search: the bank file's presets on bank 2, the patches on their slots.
    EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb", "song.sf2", "--search", dir.Path() + "/elsewhere"}), 1);
    EXPECT_EQ(out, "missing\tE:\\\\GONE\\\\X.SBK\nPresets:\t4\nMissing:\t1\n");
    EXPECT_EQ(places(dir.File("song.sf2")),
              (std::vector<std::string>{"1:0 Violin", "1:1 Cello", "2:0 Violin", "2:5 Cello"}));

    // The General MIDI set underneath, and compressed: SoundFont 3.
    SoundFontBuilder gm;
    gm.Version(2, 1).SampleData(2000);
    gm.AddPreset("Grand", 0, 0, {gm.AddInstrument("Grand", {gm.AddSample(0, 500)})});
    gm.AddPreset("Kit", 0, 128, {gm.AddInstrument("Kit", {gm.AddSample(500, 900)})});
    const ScopedEnvironment set("TAMBERLY_GM_SOUNDFONT", dir.Write("gm.sf2", gm.Build()));
    EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb", "song.sf3", "--search", dir.Path() + "/elsewhere",
                   "--with-synth-bank", "--sf3", "--quality", "0"}),
              1)
        << err;
    EXPECT_EQ(out, "missing\tE:\\\\GONE\\\\X.SBK\nPresets:\t6\nMissing:\t1\n");
    EXPECT_EQ(places(dir.File("song.sf3"), 3),
              (std::vector<std::string>{"0:0 Grand", "128:0 Drum Patch 1", "1:0 Violin", "1:1 Cello",
                                        "2:0 Violin", "2:5 Cello"}));
    for (const char* quality : {"1.5", "x", ""})
    {
        EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb", "bad.sf3", "--sf3", "--quality", quality}), 2);
        EXPECT_NE(err.find("--quality expects a number from -0.1 to 1.0"), std::string::npos) << err;
    }
    EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb", "bad.sf2", "--quality", "0.5"}), 2);
    EXPECT_NE(err.find("--quality is for --sf3 only"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.sf3")) ||
                 std::filesystem::exists(dir.File("bad.sf2")));

    // Usage, and a place no file can be written: one line, and no file.
    EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb"}), 2);
    EXPECT_NE(err.find("expects a .tmb file and the SoundFont file to write"), std::string::npos) << err;
    EXPECT_EQ(Cli({"tmb", "export", "old/song.tmb", "none/out.sf2"}), 2);
    EXPECT_NE(err.find("none/out.sf2: cannot write"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("none")));
}

TEST_F(TmbFilesCliTest, ShbFilesAreShownAndChecked)
{
    std::ofstream(dir.File("old/shelf.shb"), std::ios::binary)
        << "[Awe]\r\nReverb=3\r\nChorus=5\r\n[UserBanks]\r\nUser1=002   sbk\\ORCH.sbk\r\n"
        << "[Instrument-List]\r\nInstrument1=012:003   Z:\\NONE.SBK/Piano 0024\r\n";
    EXPECT_EQ(Cli({"tmb", "show", "old/shelf.shb"}), 0) << err;
    EXPECT_EQ(out, "Reverb:\t3\nChorus:\t5\nBank files:\t1\n002\tsbk\\\\ORCH.sbk\nPatches:\t1\n"
                   "Index\tName\tSource file\tPreset\tBank:Slot\n0\tPiano\tZ:\\\\NONE.SBK\t24\t003:012\n"
                   "Skipped entries:\t0\n");
    EXPECT_EQ(Cli({"tmb", "check", "old/shelf.shb"}), 1);
    EXPECT_EQ(out, "resolved\tsbk\\\\ORCH.sbk\t" + besideDoc +
                       "\tbeside the document\n"
                       "missing\tZ:\\\\NONE.SBK\tno folder in the drive map for Z:; by name below " +
                       dir.Path() + "/old\n");
}

TEST_F(TmbFilesCliTest, BadOptionsAndBadPathsGetOneClearLine)
{
    struct Case
    {
        std::vector<std::string> args;
        const char* why;
    };
    for (const Case& c : std::vector<Case>{
             {{"tmb", "check", "old/song.tmb", "--map", "1:=/tmp"}, "a drive letter must be one of A to Z"},
             {{"tmb", "check", "old/song.tmb", "--map", "C:"}, "a drive mapping is written"},
             {{"tmb", "check", "old/song.tmb", "--search"}, "--search expects a value"},
             {{"tmb", "load", "old/song.tmb", "-o", "x.tmb"}, "unknown option -o"},
             {{"tmb", "relink"}, "expects one file"},
             {{"tmb", "check", "a.tmb", "b.tmb"}, "expects one file"},
             {{"tmb", "check", "none.tmb"}, "cannot open (no such file)"},
         })
    {
        EXPECT_EQ(Cli(c.args), 2) << c.args.back();
        EXPECT_NE(err.find(c.why), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }

    // Paths no file can have: a line on standard error each, never a crash.
    PlaceFile(dir.Path(), "bad.tmb",
              ArchiveBuilder()
                  .Int32(-1)
                  .Int32(0)
                  .Int32(0)
                  .Int32(0)
                  .Int32(-1)
                  .Count(2)
                  .NewClass("CPatchItem")
                  .PatchData("Long", "C:\\" + std::string(4000, 'L') + ".SBK", 0, 0, 1)
                  .Word(0x8001)
                  .PatchData("Digit", "7:\\\xFF\xFE.SBK", 0, 1, 1)
                  .String("")
                  .Get());
    EXPECT_EQ(Cli({"tmb", "check", "bad.tmb"}), 1);
    EXPECT_NE(err.find("a name in the path is longer than 255 bytes\n"), std::string::npos) << err;
    EXPECT_NE(err.find("drive 7: is not a letter A to Z\n"), std::string::npos) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;
}
