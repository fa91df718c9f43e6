#include "cli/RecordingCardCli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;

// tamberly-cli with the recording manager library as the card, bank 5 a user bank.
class CardCliTest : public RecordingCardCli
{
protected:
    CardCliTest() : RecordingCardCli({{5, "/banks/strings.sbk"}}) {}
};
} // namespace

TEST_F(CardCliTest, WithoutTheLibraryTheCardIsNotAvailable)
{
    const CliRun run = Cli({"card", "status"}, dir.File("libnothing.so"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Awe32 is not available !"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(CardCliTest, TheLibraryBesideTheProgramIsTheDefault)
{
    const auto folder = std::filesystem::path(dir.File("installed"));
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(TAMBERLY_BIN_DIR "/tamberly-cli", folder / "tamberly-cli");
    std::filesystem::permissions(folder / "tamberly-cli", std::filesystem::perms::owner_all);
    EXPECT_EQ(Cli({"card", "clear", "3"}, "", folder / "tamberly-cli").status, 2);

    std::filesystem::copy_file(TAMBERLY_RECORDER_PATH, folder / "libaweman32.so");
    const CliRun run = Cli({"card", "clear", "3"}, "", folder / "tamberly-cli");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Commands(), Lines{"910 h=77 bank=3"});
}

TEST_F(CardCliTest, StatusShowsModeEffectsMemoryAndUserBanks)
{
    Script("script 906 0 1 0 ignored");
    Script("script 906 0 1 0 Roland GS");
    Script("default 904 0 4 2");
    Script("script 308 0 0 1536000");
    Script("script 308 0 2048000 0");
    for (int bank = 1; bank < 5; ++bank)
        Script("script 909 0 0 0");
    Script("script 909 0 0 0 Strings  ");
    Script("script 909 0 0 0");
    Script("script 909 0 0 0 No File");
    for (int slot = 0; slot < 4 * 128; ++slot)
        Script("script 912 0 0 0");
    Script("script 912 0 0 0 Violin");
    Script("script 912 0 0 0");
    Script("script 912 0 0 0 Cello ");
    for (int slot = 3; slot < 128 + 3; ++slot)
        Script("script 912 0 0 0");
    // Bank 6 has no name but a preset loaded on its own at slot 3.
    Script("script 912 0 0 0 Solo Flute");
    const CliRun run = Cli({"card", "status"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Synth mode:   1 GS (Roland GS)\n"
                       "Reverb:       4\n"
                       "Chorus:       2\n"
                       "Sound memory: 3000 KB free of 4000 KB\n"
                       "Bank 005: Strings\n"
                       "  file: /banks/strings.sbk\n"
                       "  000 Violin\n"
                       "  002 Cello\n"
                       "Bank 006: (no bank file)\n"
                       "  003 Solo Flute\n"
                       "Bank 007: No File\n");
    const Lines commands = Commands();
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const auto& l) { return l.rfind("909 ", 0) == 0; }),
              127);
    // Every slot of every bank is asked for: a bank without a name may still hold presets.
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const auto& l) { return l.rfind("912 ", 0) == 0; }),
              127 * 128);
}

TEST_F(CardCliTest, CommandsReachTheCard)
{
    std::ofstream(dir.File("my bank.sbk")) << "x";
    struct Case
    {
        Lines arguments;
        Lines commands;
    };
    const std::string bankFile = dir.File("my bank.sbk");
    const Case cases[] = {
        {{"card", "mode", "mt"}, {"907 h=77 bank=2"}},
        {{"card", "load-bank", "9", "my bank.sbk"}, {"908 h=77 bank=9 path=" + bankFile}},
        {{"card", "clear", "9"}, {"910 h=77 bank=9"}},
        {{"card", "revert", "5", "3"},
         {"913 h=77 bank=5 preset=3", "911 h=77 bank=5 preset=3 path=/banks/strings.sbk source=3"}},
        // A synth bank slot is cleared by reloading it from the mode's file, then loaded from it.
        {{"card", "revert", "0", "3"},
         {"911 h=77 bank=0 preset=3 path=/banks/gm.sbk source=3",
          "911 h=77 bank=0 preset=3 path=/banks/gm.sbk source=3"}},
        {{"card", "fx", "5", "7"},
         {"904 h=77", "905 h=77 selector=0 reverb=5 chorus=0", "904 h=77",
          "905 h=77 selector=0 reverb=5 chorus=7"}},
    };
    for (const auto& c : cases)
    {
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 0) << ::testing::PrintToString(c.arguments) << ": " << run.err;
        EXPECT_EQ(Commands(), c.commands) << ::testing::PrintToString(c.arguments);
    }

    Script("script 308 0 0 1024000");
    Script("script 308 0 0 512000");
    const CliRun loaded = Cli({"card", "load-preset", "3", "4", "my bank.sbk", "17"});
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out, "003:004 loaded, 1000 KB\n");
    EXPECT_EQ(Commands(), (Lines{"913 h=77 bank=3 preset=4", "308 h=77",
                                 "911 h=77 bank=3 preset=4 path=" + bankFile + " source=17", "308 h=77"}));
}

TEST_F(CardCliTest, RefusalsFailAndClearAllStopsAtTheFirst)
{
    Script("script 910 0 0 0");
    Script("script 910 0 0 0");
    Script("script 910 3 0 0");
    const CliRun clearAll = Cli({"card", "clear-all"});
    EXPECT_EQ(clearAll.status, 1);
    EXPECT_EQ(Commands(), (Lines{"910 h=77 bank=1", "910 h=77 bank=2", "910 h=77 bank=3"}));
    script = "script 907 1 0 0\n";
    const CliRun mode = Cli({"card", "mode", "gs"});
    EXPECT_EQ(mode.status, 1);
    EXPECT_NE(mode.err.find("refused"), std::string::npos);
}

TEST_F(CardCliTest, BadArgumentsNeverTouchTheCard)
{
    for (const Lines& arguments : std::vector<Lines>{{"card"},
                                                     {"card", "dance"},
                                                     {"card", "status", "now"},
                                                     {"card", "mode", "xg"},
                                                     {"card", "load-bank", "0", "x.sbk"},
                                                     {"card", "load-bank", "128", "x.sbk"},
                                                     {"card", "load-bank", "5", "missing.sbk"},
                                                     {"card", "clear", "abc"},
                                                     {"card", "clear", "-1"},
                                                     {"card", "load-preset", "1", "128", "x.sbk", "0"},
                                                     {"card", "revert", "1"},
                                                     {"card", "fx", "8", "0"},
                                                     {"card", "fx", "1", "2x"}})
    {
        const CliRun run = Cli(arguments);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(run.err.empty()) << ::testing::PrintToString(arguments);
        EXPECT_EQ(Commands(), Lines{}) << ::testing::PrintToString(arguments);
    }
}
