// The sound plug-in loaded on demand: a missing or wrong plug-in is a clear
// error, a good one gives a working engine, and a lazy engine loads once
// however it is asked for.

#include "engine/SoundEngineLoader.h"
#include "engine/EngineMidiDevices.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
const std::string kPlugin = TAMBERLY_BIN_DIR "/libtamberly-sound.so";
const std::string kTripwire = TAMBERLY_BIN_DIR "/libtest-sound-tripwire.so";

CardEngineOptions Offline(const std::string& cardHome)
{
    CardEngineOptions options;
    options.audioDevice = false;
    options.cardHome = cardHome;
    return options;
}
} // namespace

TEST(SoundEngineLoader, MissingOrWrongPluginsAreRefusedWithTheirReason)
{
    ScopedCardHome home;
    std::string error;
    EXPECT_EQ(LoadSoundEngine(Offline(home.Path()), error, home.File("no-such.so")), nullptr);
    EXPECT_NE(error.find("no-such.so"), std::string::npos) << error;

    EXPECT_EQ(LoadSoundEngine(Offline(home.Path()), error, kTripwire), nullptr);
    EXPECT_NE(error.find(kSoundModuleEntryName), std::string::npos) << error;

    auto engine = LoadSoundEngine(Offline(home.Path()), error, kPlugin);
    ASSERT_NE(engine, nullptr) << error;
    EXPECT_EQ(error, "");
    EXPECT_FALSE(engine->HasAudio());
    std::vector<float> left(64), right(64);
    EXPECT_TRUE(engine->Render(left.data(), right.data(), left.size()))
        << "an offline engine renders on request";

    const ScopedEnvironment named("TAMBERLY_SOUND_MODULE", "/elsewhere/sound.so");
    EXPECT_EQ(DefaultSoundModulePath(), "/elsewhere/sound.so");
}

TEST(SoundEngineLoader, ALazyEngineLoadsOnceWhetherStartedAheadOrAskedFor)
{
    ScopedCardHome home;
    std::atomic<int> loads{0};
    const auto count = [&](const std::shared_ptr<ISoundEngine>& engine, const std::string& error)
    {
        EXPECT_NE(engine, nullptr) << error;
        ++loads;
    };

    // Asked for first: loaded on the asking thread, and the same engine after that.
    CLazySoundEngine asked(Offline(home.Path()), count, kPlugin);
    EXPECT_EQ(asked.IfLoaded(), nullptr) << "nothing loads before it is wanted";
    const auto engine = asked.Get();
    ASSERT_NE(engine, nullptr);
    asked.StartLoading();
    EXPECT_EQ(asked.Get(), engine);
    EXPECT_EQ(asked.IfLoaded(), engine);
    EXPECT_EQ(loads, 1);

    // Started ahead, asked for from several threads while it loads.
    {
        CLazySoundEngine ahead(Offline(home.Path()), count, kPlugin);
        ahead.StartLoading();
        std::shared_ptr<ISoundEngine> seen[4];
        std::vector<std::thread> askers;
        for (auto& slot : seen)
            askers.emplace_back([&ahead, &slot] { slot = ahead.Get(); });
        for (auto& asker : askers)
            asker.join();
        ASSERT_NE(seen[0], nullptr);
        for (const auto& each : seen)
            EXPECT_EQ(each, seen[0]);
    }
    EXPECT_EQ(loads, 2);

    // A plug-in that fails: null, the reason kept, and never tried again.
    CLazySoundEngine broken(Offline(home.Path()), {}, home.File("missing.so"));
    broken.StartLoading();
    EXPECT_EQ(broken.Get(), nullptr);
    EXPECT_NE(broken.Error().find("missing.so"), std::string::npos) << broken.Error();

    // Destroyed while the thread loads: waits for it, nothing left running.
    CLazySoundEngine abandoned(Offline(home.Path()), count, kPlugin);
    abandoned.StartLoading();
}

TEST(SoundEngineLoader, TheKeyboardAsksForTheEngineAtItsFirstNoteOnly)
{
    ScopedCardHome home;
    int asked = 0;
    std::shared_ptr<ISoundEngine> engine;
    {
        CLazySoundEngine lazy(Offline(home.Path()), {}, kPlugin);
        CEngineMidiDevices devices(
            [&]
            {
                ++asked;
                return lazy.Get();
            });
        ASSERT_TRUE(devices.OpenOutput()) << "opening does not wait for the engine";
        devices.CloseOutput();
        EXPECT_EQ(asked, 0) << "closing an output that never sounded loads nothing";
        ASSERT_TRUE(devices.OpenOutput());
        devices.SendShortMessage(MakeShortMessage(0x90, 60, 100));
        devices.SendShortMessage(MakeShortMessage(0x80, 60, 0));
        EXPECT_EQ(asked, 1);
        EXPECT_NE(lazy.IfLoaded(), nullptr);
    }

    // A source that gives no engine is asked once; the keyboard plays on silently.
    int failed = 0;
    CEngineMidiDevices silent(
        [&]
        {
            ++failed;
            return std::shared_ptr<ISoundEngine>();
        });
    ASSERT_TRUE(silent.OpenOutput());
    for (int note = 60; note < 64; ++note)
        silent.SendShortMessage(MakeShortMessage(0x90, note, 100));
    silent.CloseOutput();
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(silent.Engine(), nullptr);
}
