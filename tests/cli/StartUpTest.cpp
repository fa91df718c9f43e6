// What tamberly-cli loads: the commands that only read files or drive the
// card never load the sound engine (FluidSynth and the dozens of libraries it
// maps), and nothing lands in the folder the commands are run from.

#include "cli/EmulatedCardCli.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
class StartUpTest : public EmulatedCardCli
{
protected:
    // Runs a command in an empty folder of its own, with the stand-in sound
    // plug-in that marks when it is loaded.
    int CliWatched(const std::vector<std::string>& args)
    {
        const CliRun run =
            RunCli(args, {.env = {{"TAMBERLY_CARD_HOME", dir.File("card home")},
                                  {"TAMBERLY_AWEMAN", ""},
                                  {"TAMBERLY_SOUND_MODULE", TAMBERLY_BIN_DIR "/libtest-sound-tripwire.so"},
                                  {"TAMBERLY_TRIPWIRE_FILE", Marker()}},
                          .workDir = WorkFolder()});
        out = run.out;
        err = run.err;
        return run.status;
    }
    std::string Marker() const { return dir.File("sound engine loaded"); }
    bool SoundLoaded() const { return std::filesystem::exists(Marker()); }
    std::string WorkFolder()
    {
        std::filesystem::create_directories(dir.File("work"));
        return dir.File("work");
    }
};
} // namespace

TEST_F(StartUpTest, OnlyTheSoundCommandsLoadTheSoundEngine)
{
    // Linked: nothing of FluidSynth, nor of the audio stacks it brings.
    const CliRun linked = RunCli({TAMBERLY_BIN_DIR "/tamberly-cli"}, {.program = "/usr/bin/ldd"});
    ASSERT_EQ(linked.status, 0) << linked.err;
    for (const char* library : {"libfluidsynth", "libSDL2", "libpulse", "libjack", "libQt6"})
        EXPECT_EQ(linked.out.find(library), std::string::npos) << library << " in\n" << linked.out;

    const std::string bank = WriteOrchestra("orchestra.sbk");
    const std::string wave = dir.Write("tone.wav", WaveBuilder().Values({1, 2, 3, 4}).Build());
    const std::vector<std::vector<std::string>> quiet = {
        {"--version"},
        {"--help"},
        {"info", bank},
        {"wav-options", wave},
        {"wav2sbk", wave, "1", dir.File("tone.sbk")},
        {"sbk2sf2", bank, dir.File("orchestra.sf2")},
        {"tmb", "presets", bank},
        {"card", "status"},
        {"card", "load-bank", "1", bank},
        {"card", "load-preset", "2", "0", bank, "0"},
        {"card", "clear", "1"},
        {"card", "clear-all"},
    };
    for (const auto& args : quiet)
    {
        EXPECT_EQ(CliWatched(args), 0) << args[0] << ": " << err;
        EXPECT_FALSE(SoundLoaded()) << args[0] << " loaded the sound engine";
    }
    EXPECT_TRUE(std::filesystem::is_empty(WorkFolder())) << "nothing is written into the current folder";

    // A sound command loads it, and a plug-in without an engine is refused in one line.
    EXPECT_EQ(
        CliWatched({"card", "render", dir.File("out.wav"), "--bank", "0", "--program", "0", "--notes", "60"}),
        1);
    EXPECT_TRUE(SoundLoaded());
    EXPECT_NE(err.find("TamberlyCreateSoundEngine"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav")));
}
