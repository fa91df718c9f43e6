#include "bank/PatchItem.h"
#include "support/CardRecorder.h"
#include "support/RiffBuilder.h"
#include "support/WaveBuilder.h"
#include "synth/AweSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace
{
using Lines = CardRecorder::Lines;

// Temporary files go to a folder of the test's own while it runs.
class ScopedTempFolder
{
public:
    explicit ScopedTempFolder(const std::string& folder)
    {
        if (const char* old = std::getenv("TMPDIR"))
            saved = old;
        ::setenv("TMPDIR", folder.c_str(), 1);
    }
    ~ScopedTempFolder()
    {
        if (saved.empty())
            ::unsetenv("TMPDIR");
        else
            ::setenv("TMPDIR", saved.c_str(), 1);
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

private:
    std::string saved;
};

class PatchItemCardTest : public ::testing::Test
{
protected:
    PatchItemCardTest()
    {
        RegisterCardDriver(dir.File("home"));
        std::filesystem::create_directory(dir.File("tmp"));
        card = std::make_unique<CAweSession>(TAMBERLY_RECORDER_PATH, CRegistryStore(dir.File("home")));
        recorder.Take();
    }

    std::string TempFolderContent() const
    {
        std::string names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.File("tmp")))
            names += entry.path().filename().string() + ' ';
        return names;
    }

    CPatchItem Patch(const std::string& file, int source, int bank, int slot)
    {
        CPatchItem item(true);
        item.SetName("p");
        item.SetSourceFile(file);
        item.SetSourcePatch(source);
        item.SetTargetBank(bank);
        item.SetTargetPatch(slot);
        return item;
    }

    // Free memory in the 512-unit steps the card counts.
    void ScriptFreeKB(int before, int after)
    {
        recorder.Script(kAweGetMemory, 0, "", 8192 * 512, static_cast<std::uint32_t>(before) * 512);
        recorder.Script(kAweGetMemory, 0, "", 8192 * 512, static_cast<std::uint32_t>(after) * 512);
    }

    TempDir dir;
    ScopedTempFolder tempFolder{dir.File("tmp")};
    CardRecorder recorder{TAMBERLY_RECORDER_PATH};
    std::unique_ptr<CAweSession> card;
};
} // namespace

TEST_F(PatchItemCardTest, SoundFontPresetLoadsIntoItsSlotAndKeepsTheSizeItTook)
{
    CPatchItem item = Patch("/banks/A.SBK", 48, 3, 9);
    ScriptFreeKB(100, 60);
    EXPECT_EQ(item.LoadIntoCard(*card), 1);
    EXPECT_TRUE(item.IsLoaded());
    EXPECT_EQ(item.GetLoadedKB(), 40);
    EXPECT_EQ(recorder.TakeCommands(),
              (Lines{"913 h=77 bank=3 preset=9", "308 h=77",
                     "911 h=77 bank=3 preset=9 path=/banks/A.SBK source=48", "308 h=77"}));

    // A refused load leaves the patch unloaded, also when it was loaded before.
    recorder.Script(kAweLoadPreset, 5);
    EXPECT_EQ(item.LoadIntoCard(*card), 0);
    EXPECT_FALSE(item.IsLoaded());

    // Memory that grew while loading is no size, and must not read as "not loaded".
    ScriptFreeKB(60, 61);
    EXPECT_EQ(item.LoadIntoCard(*card), 1);
    EXPECT_TRUE(item.IsLoaded());
    EXPECT_EQ(item.GetLoadedKB(), 0);
}

TEST_F(PatchItemCardTest, InvalidOrUnknownSourcesNeverReachTheCard)
{
    CPatchItem noFile = Patch("", 0, 1, 0);
    CPatchItem noPreset = Patch("/banks/A.SBK", -1, 1, 0);
    CPatchItem text = Patch("/banks/README.TXT", 0, 1, 0);
    noFile.SetLoadedKB(12);
    EXPECT_EQ(noFile.LoadIntoCard(*card), -1);
    EXPECT_FALSE(noFile.IsLoaded());
    EXPECT_EQ(noPreset.LoadIntoCard(*card), -1);
    EXPECT_EQ(text.LoadIntoCard(*card), 0);
    EXPECT_EQ(recorder.TakeCommands(), Lines{});
}

TEST_F(PatchItemCardTest, WaveGoesThroughATemporaryBankThatIsAlwaysRemoved)
{
    const std::string wave = dir.Write("TONE.WAV", WaveBuilder()
                                                       .Channels(1)
                                                       .Rate(22050)
                                                       .Frames(64, [](std::size_t f, unsigned)
                                                               { return static_cast<std::int32_t>(f * 100); })
                                                       .Build());

    CPatchItem item = Patch(wave, 5, 2, 4); // 22050 Hz, mono
    ScriptFreeKB(100, 99);
    EXPECT_EQ(item.LoadIntoCard(*card), 1);
    EXPECT_EQ(item.GetLoadedKB(), 1);
    const Lines calls = recorder.TakeCommands();
    ASSERT_EQ(calls.size(), 4u);
    const std::string prefix = "911 h=77 bank=2 preset=4 path=" + dir.File("tmp") + "/TMB";
    EXPECT_EQ(calls[2].substr(0, prefix.size()), prefix);
    EXPECT_EQ(calls[2].substr(calls[2].size() - 9), " source=0");
    EXPECT_EQ(TempFolderContent(), "");

    recorder.Script(kAweLoadPreset, 2);
    EXPECT_EQ(item.LoadIntoCard(*card), 0);
    EXPECT_EQ(TempFolderContent(), "");
}

TEST_F(PatchItemCardTest, WaveOptionTheFileDoesNotOfferIsRefused)
{
    const std::string mono = dir.Write(
        "MONO.WAV", WaveBuilder().Channels(1).Rate(44100).Frames(8, [](auto, auto) { return 0; }).Build());
    // Mono files offer mode "m" only (options 1, 5, 9); 0 would be stereo.
    for (const int option : {0, 2, 3, 12, 100})
    {
        CPatchItem item = Patch(mono, option, 2, 4);
        EXPECT_EQ(item.LoadIntoCard(*card), 0) << option;
        EXPECT_FALSE(item.IsLoaded());
    }
    CPatchItem missing = Patch(dir.File("GONE.WAV"), 1, 2, 4);
    EXPECT_EQ(missing.LoadIntoCard(*card), 0);
    CPatchItem notWave = Patch(dir.Write("TEXT.WAV", {'n', 'o', 'p', 'e'}), 1, 2, 4);
    EXPECT_EQ(notWave.LoadIntoCard(*card), 0);
    EXPECT_EQ(recorder.TakeCommands(), Lines{});
    EXPECT_EQ(TempFolderContent(), "");
}

TEST_F(PatchItemCardTest, UnloadRevertsTheSlotAndOnlyThenCountsAsUnloaded)
{
    RegisterCardDriver(dir.File("home"), {{6, "/banks/six.sbk"}});
    card = std::make_unique<CAweSession>(TAMBERLY_RECORDER_PATH, CRegistryStore(dir.File("home")));
    recorder.Take();

    CPatchItem onFileBank = Patch("/banks/A.SBK", 1, 6, 10);
    onFileBank.SetLoadedKB(30);
    EXPECT_TRUE(onFileBank.UnloadFromCard(*card));
    EXPECT_FALSE(onFileBank.IsLoaded());
    EXPECT_EQ(recorder.TakeCommands(), (Lines{"913 h=77 bank=6 preset=10",
                                              "911 h=77 bank=6 preset=10 path=/banks/six.sbk source=10"}));

    CPatchItem onEmptyBank = Patch("/banks/A.SBK", 1, 7, 11);
    onEmptyBank.SetLoadedKB(30);
    recorder.Script(kAweClearPreset, 1);
    EXPECT_FALSE(onEmptyBank.UnloadFromCard(*card));
    EXPECT_TRUE(onEmptyBank.IsLoaded());
    EXPECT_EQ(recorder.TakeCommands(), Lines{"913 h=77 bank=7 preset=11"});

    CPatchItem unassigned = Patch("/banks/A.SBK", 1, -1, -1);
    EXPECT_TRUE(unassigned.UnloadFromCard(*card));
    EXPECT_EQ(recorder.TakeCommands(), Lines{});
}
