// Settings put into a running engine: voices, the General MIDI set, the
// audio output, and which General MIDI set is the default.

#include "engine/EngineFixture.h"
#include "platform/AtomicFile.h"
#include "platform/GeneralMidiFont.h"
#include "platform/StringTable.h"
#include "soundfont/SoundFont2Converter.h"
#include "support/OnePresetSet.h"

#include <fstream>

TEST_F(EngineTest, SettingsChangeVoicesAndTheGeneralMidiSetOfARunningEngine)
{
    CardEngineOptions options = Offline();
    options.generalMidiFont = OnePresetSet(files, 5);
    CCardEngine engine(options);
    ASSERT_TRUE(engine.HasSound(0, 5));
    ASSERT_FALSE(engine.HasSound(0, 9));

    SoundSettings settings;
    settings.voices = 128;
    settings.generalMidiFont = OnePresetSet(files, 9);
    std::string error;
    EXPECT_TRUE(engine.ApplySettings(settings, error)) << error;
    EXPECT_EQ(engine.Voices(), 128);
    EXPECT_TRUE(engine.HasSound(0, 9));
    EXPECT_FALSE(engine.HasSound(0, 5)) << "the old set is unloaded";
    EXPECT_TRUE(engine.Problems().empty());
    // Bank 0 on a channel follows the new set: program 9 renders, not silence.
    StereoSound sound;
    ASSERT_TRUE(engine.RenderNotes({0, 9, {60}, 100, 0.3, 0.5}, sound));
    EXPECT_GT(*std::max_element(sound.left.begin(), sound.left.end()), 0.01f);

    // A set that does not load keeps the one that plays, and says why.
    settings.voices = 10;
    settings.generalMidiFont = files.File("no-such-set.sf2");
    EXPECT_TRUE(engine.ApplySettings(settings, error));
    EXPECT_EQ(engine.Voices(), CCardEngine::kCardVoices) << "never fewer voices than the card had";
    EXPECT_TRUE(engine.HasSound(0, 9));
    ASSERT_EQ(engine.Problems().size(), 1u);
    EXPECT_EQ(engine.Problems().front(),
              FormatString(IDS_CARD_SOUND_NO_GM, settings.generalMidiFont.c_str()));
}

TEST_F(EngineTest, AnOutputThatDoesNotStartKeepsTheOneBeforeAndSaysWhy)
{
    CardEngineOptions options = Offline();
    options.audioDevice = true;
    options.sequencerPort = false;
    options.generalMidiFont = OnePresetSet(files, 0);
    CCardEngine engine(options);
    const bool hadAudio = engine.HasAudio();
    const std::string driverBefore = engine.AudioDriver();
    const std::vector<std::string> drivers = engine.AudioDrivers();
    for (const std::string& driver : drivers)
        EXPECT_TRUE(driver == "pulseaudio" || driver == "pipewire" || driver == "alsa" || driver == "jack")
            << driver;
    if (std::find(drivers.begin(), drivers.end(), "alsa") == drivers.end())
        GTEST_SKIP() << "this FluidSynth has no ALSA driver";

    SoundSettings settings;
    settings.generalMidiFont = options.generalMidiFont;
    settings.voices = 64;
    settings.audioDriver = "alsa";
    settings.audioDevice = "hw:99,0"; // no machine has a hundredth card
    std::string error;
    EXPECT_FALSE(engine.ApplySettings(settings, error));
    EXPECT_EQ(error.rfind("The audio driver alsa did not start: ", 0), 0u) << error;
    EXPECT_GT(error.size(), std::string("The audio driver alsa did not start: ").size());
    EXPECT_EQ(engine.HasAudio(), hadAudio);
    EXPECT_EQ(engine.AudioDriver(), driverBefore);
    EXPECT_EQ(engine.Voices(), 64) << "what could change did";

    // Asking again for the output the engine started with changes nothing and succeeds.
    settings.audioDriver.clear();
    settings.audioDevice.clear();
    settings.bufferFrames = options.bufferFrames;
    EXPECT_TRUE(engine.ApplySettings(settings, error)) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(engine.HasAudio(), hadAudio);
}

TEST(GeneralMidiFont, TheSystemsDefaultSetComesFirstThenTimGm6mbAndTheEnvironmentWins)
{
    TempDir folder;
    const ScopedEnvironment unset(kGeneralMidiEnvironment, ""); // empty counts as not set
    // Nothing installed: TimGM6mb's path, so the problem names what to install.
    EXPECT_EQ(InstalledGeneralMidiFont(folder.Path()), folder.File("TimGM6mb.sf2"));
    ASSERT_TRUE(WriteWholeFileAtomic(folder.File("FluidR3_GM.sf2"), "x"));
    EXPECT_EQ(InstalledGeneralMidiFont(folder.Path()), folder.File("FluidR3_GM.sf2"));
    ASSERT_TRUE(WriteWholeFileAtomic(folder.File("TimGM6mb.sf2"), "x"));
    EXPECT_EQ(InstalledGeneralMidiFont(folder.Path()), folder.File("TimGM6mb.sf2"));
    // default-GM.sf2 is an alternatives link: a dangling one does not count.
    ASSERT_EQ(::symlink(folder.File("gone.sf2").c_str(), folder.File("default-GM.sf2").c_str()), 0);
    EXPECT_EQ(InstalledGeneralMidiFont(folder.Path()), folder.File("TimGM6mb.sf2"));
    ASSERT_EQ(::unlink(folder.File("default-GM.sf2").c_str()), 0);
    ASSERT_EQ(::symlink(folder.File("FluidR3_GM.sf2").c_str(), folder.File("default-GM.sf2").c_str()), 0);
    EXPECT_EQ(InstalledGeneralMidiFont(folder.Path()), folder.File("default-GM.sf2"));

    EXPECT_EQ(EffectiveGeneralMidiFont("", folder.Path()), folder.File("default-GM.sf2"));
    EXPECT_EQ(EffectiveGeneralMidiFont("/chosen.sf2", folder.Path()), "/chosen.sf2");
    const ScopedEnvironment named(kGeneralMidiEnvironment, "/named.sf2");
    EXPECT_EQ(EffectiveGeneralMidiFont("/chosen.sf2", folder.Path()), "/named.sf2");
}
