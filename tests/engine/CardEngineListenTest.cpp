// The engine heard: what the card holds, rendered and measured.

#include "engine/EngineFixture.h"

#include <cstdio>
#include <sys/wait.h>

namespace
{
constexpr int kWaveBank = 5;
// Below -80 dB: the effects' own noise floor, nothing played.
constexpr double kSilent = 1e-4;

std::string Describe(std::uint32_t rate, int option)
{
    static const char* const modes[] = {"st", "m", "l", "r"};
    return std::to_string(rate) + " Hz recording, option " + std::to_string(option) + " (" +
           std::to_string(CWaveFile::OptionRate(option)) + " Hz " + modes[CWaveFile::OptionMode(option)] +
           ")";
}

bool HasGeneralMidiSet()
{
    return ::access(CCardEngine::DefaultGeneralMidiFont().c_str(), R_OK) == 0;
}
} // namespace

TEST_F(EngineTest, A440HzSineSoundsAt440HzOnKey60AndAnOctaveUpOnKey72WithEveryOption)
{
    struct Loaded
    {
        std::uint32_t rate;
        int option;
        int slot;
    };
    std::vector<Loaded> loaded;
    int slot = 0;
    for (const std::uint32_t rate : {44100u, 22050u, 11025u})
    {
        const Bytes wave = Sine(rate, 2);
        CWaveFile probe;
        CMemorySource source(wave);
        ASSERT_TRUE(probe.Open(source, "sine.wav"));
        for (int k = 0; k < probe.GetOptionCount(); ++k)
        {
            const int option = probe.GetOption(k);
            ASSERT_TRUE(LoadWave(kWaveBank, slot, wave, option)) << Describe(rate, option);
            loaded.push_back({rate, option, slot++});
        }
    }
    ASSERT_EQ(loaded.size(), 12u + 8u + 4u)
        << "every rate at or below the recording's, four channel modes each";

    CCardEngine::ClearFluidMessages();
    const auto engine = Engine();
    EXPECT_EQ(CCardEngine::FluidMessages(), std::vector<std::string>())
        << "the converted presets load cleanly";
    EXPECT_EQ(engine->Problems(), std::vector<std::string>());
    for (const Loaded& item : loaded)
    {
        const StereoSound low = Play(*engine, kWaveBank, item.slot, 60);
        const StereoSound high = Play(*engine, kWaveBank, item.slot, 72);
        // The right channel alone for "r", the left one otherwise: the other may be silent.
        const bool right = CWaveFile::OptionMode(item.option) == 3;
        const auto& lowSignal = right ? low.right : low.left;
        const auto& highSignal = right ? high.right : high.left;
        // Within 0.1 Hz: less than half a cent (a cent at 440 Hz is 0.25 Hz).
        EXPECT_NEAR(MeasureFrequency(lowSignal, At(0.1), At(0.9)), 440.0, 0.1)
            << Describe(item.rate, item.option);
        // Measured before the sample's loop comes round at twice the speed.
        EXPECT_NEAR(MeasureFrequency(highSignal, At(0.1), At(0.45)), 880.0, 0.2)
            << Describe(item.rate, item.option);
        EXPECT_GT(Rms(lowSignal, At(0.1), At(0.9)), 0.01) << Describe(item.rate, item.option);
    }
}

TEST_F(EngineTest, StereoOptionPansTheChannelsApartAndMonoOptionsSitInTheMiddle)
{
    // Only the left channel of the recording carries the sine; then only the right.
    const Bytes leftOnly = Sine(44100, 2, 0.5, 0.0);
    const Bytes rightOnly = Sine(44100, 2, 0.0, 0.5);
    ASSERT_TRUE(LoadWave(kWaveBank, 0, leftOnly, 0));  // 44.1 kHz st
    ASSERT_TRUE(LoadWave(kWaveBank, 1, rightOnly, 0)); // 44.1 kHz st
    ASSERT_TRUE(LoadWave(kWaveBank, 2, leftOnly, 2));  // 44.1 kHz l
    ASSERT_TRUE(LoadWave(kWaveBank, 3, leftOnly, 1));  // 44.1 kHz m

    const auto engine = Engine();
    const auto levels = [&](int slot)
    {
        const StereoSound sound = Play(*engine, kWaveBank, slot, 60, 0.5);
        return std::pair{Rms(sound.left, At(0.1), At(0.5)), Rms(sound.right, At(0.1), At(0.5))};
    };
    const auto [leftOfLeft, rightOfLeft] = levels(0);
    EXPECT_GT(leftOfLeft, 0.01);
    EXPECT_GT(leftOfLeft, 20 * rightOfLeft) << "the left sample plays on the left";
    const auto [leftOfRight, rightOfRight] = levels(1);
    EXPECT_GT(rightOfRight, 0.01);
    EXPECT_GT(rightOfRight, 20 * leftOfRight) << "the right sample plays on the right";
    for (const int slot : {2, 3})
    {
        const auto [left, right] = levels(slot);
        EXPECT_GT(left, 0.01) << slot;
        // The reverb is not quite symmetric: within 1 dB.
        EXPECT_NEAR(left / right, 1.0, 0.12) << "one sample sounds in the middle: slot " << slot;
    }
}

TEST_F(EngineTest, TheSynthBankPlaysGeneralMidiAndMt32ModeMapsItsProgramsOntoIt)
{
    if (!HasGeneralMidiSet())
        GTEST_SKIP() << "no General MIDI set installed (scripts/bootstrap installs timgm6mb-soundfont)";
    const auto engine = Engine();
    EXPECT_TRUE(engine->HasSound(0, 0));
    const StereoSound piano = Play(*engine, 0, 0, 60, 0.5);
    EXPECT_GT(Rms(piano.left, 0, At(0.5)), 0.005) << "a General MIDI piano sounds on bank 0";

    // Program 122 is "Orche Hit" on an MT-32 and "Seashore" in General MIDI:
    // in MT-32 mode it must sound like General MIDI's orchestra hit (55).
    const double orchestraHit = Rms(Play(*engine, 0, 55, 60, 0.5).left, 0, At(0.5));
    const double seashore = Rms(Play(*engine, 0, 122, 60, 0.5).left, 0, At(0.5));
    ASSERT_GT(std::fabs(orchestraHit - seashore), 0.1 * orchestraHit) << "the two programs differ";
    ASSERT_TRUE(session->SelectSynthBank(2));
    EXPECT_TRUE(engine->Refresh());
    EXPECT_NEAR(Rms(Play(*engine, 0, 122, 60, 0.5).left, 0, At(0.5)), orchestraHit, 0.01 * orchestraHit);
}

TEST_F(EngineTest, APresetOnASynthBankSlotCoversTheGeneralMidiSoundUntilTheModeIsSelectedAgain)
{
    ASSERT_TRUE(LoadWave(0, 0, Sine(44100, 1), 1));
    const auto engine = Engine();
    EXPECT_NEAR(MeasureFrequency(Play(*engine, 0, 0, 60).left, At(0.1), At(0.9)), 440.0, 0.5);
    // Key 67 of the sine is a fifth up; the piano would be its own sound.
    EXPECT_NEAR(MeasureFrequency(Play(*engine, 0, 0, 67).left, At(0.1), At(0.6)),
                440.0 * std::pow(2.0, 7.0 / 12), 1.0);

    ASSERT_TRUE(session->SelectSynthBank(0));
    ASSERT_TRUE(engine->Refresh());
    EXPECT_EQ(engine->State().presets.size(), 0u);
    if (HasGeneralMidiSet())
    {
        const StereoSound piano = Play(*engine, 0, 0, 60, 0.5);
        EXPECT_GT(Rms(piano.left, 0, At(0.5)), 0.005);
        EXPECT_GT(std::fabs(MeasureFrequency(piano.left, At(0.1), At(0.5)) - 440.0), 5.0)
            << "the slot plays the piano again, not the sine";
    }
}

TEST_F(EngineTest, BankFilesSoundOnTheirBankAndClearingABankSilencesItsSlots)
{
    // A user bank holding a bank file (a sine made a one-preset bank,
    // loaded whole) and a single preset on another slot.
    const std::string wavePath = files.Write("sine.wav", Sine(44100, 1));
    const std::string bankPath = files.File("sine.sbk");
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(wavePath) && wave.WriteSoundFont(bankPath, 1));
    wave.Close();
    ASSERT_TRUE(session->LoadBank(7, bankPath));
    ASSERT_TRUE(LoadWave(7, 9, Sine(22050, 1), 5)); // 22.05 kHz m

    const auto engine = Engine();
    EXPECT_TRUE(engine->HasSound(7, 0));
    EXPECT_TRUE(engine->HasSound(7, 9));
    EXPECT_FALSE(engine->HasSound(7, 1)) << "a slot the bank file has no preset for";
    EXPECT_FALSE(engine->HasSound(8, 0)) << "an empty bank";
    EXPECT_NEAR(MeasureFrequency(Play(*engine, 7, 0, 60).left, At(0.1), At(0.9)), 440.0, 0.5);
    EXPECT_LT(Peak(Play(*engine, 8, 0, 60, 0.3).left), kSilent);

    // A note held on the bank while it is cleared stops with it: what is
    // left is the reverb's tail, 40 dB down (heard with no reverb sent).
    engine->SendShortMessage(MakeShortMessage(0xB0, 91, 0));
    engine->SendShortMessage(MakeShortMessage(0xB0, 0, 7));
    engine->SendShortMessage(MakeShortMessage(0xC0, 9, 0));
    engine->SendShortMessage(MakeShortMessage(0x90, 60, 100));
    std::vector<float> left(At(0.3)), right(At(0.3));
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    const double held = Peak({left.begin() + At(0.1), left.end()});
    EXPECT_GT(held, 0.01);
    ASSERT_TRUE(session->ClearBank(7));
    ASSERT_TRUE(engine->Refresh());
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    EXPECT_LT(Peak({left.begin() + At(0.02), left.end()}), 0.01 * held) << "the held note is cut off";

    EXPECT_FALSE(engine->HasSound(7, 0));
    EXPECT_FALSE(engine->HasSound(7, 9));
    EXPECT_LT(Peak(Play(*engine, 7, 0, 60, 0.3).left), kSilent);
    EXPECT_LT(Peak(Play(*engine, 7, 9, 60, 0.3).left), kSilent);
}

TEST_F(EngineTest, EmptiedAndRestoredBankFileSlotsFollowTheCard)
{
    const std::string wavePath = files.Write("sine.wav", Sine(44100, 1));
    const std::string bankPath = files.File("sine.sbk");
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(wavePath) && wave.WriteSoundFont(bankPath, 1));
    wave.Close();
    ASSERT_TRUE(session->LoadBank(7, bankPath));
    const auto engine = Engine();
    ASSERT_TRUE(engine->HasSound(7, 0));
    ASSERT_TRUE(session->ClearPreset(7, 0));
    ASSERT_TRUE(engine->Refresh());
    EXPECT_FALSE(engine->HasSound(7, 0));
    ASSERT_TRUE(session->RevertPreset(7, 0));
    ASSERT_TRUE(engine->Refresh());
    EXPECT_TRUE(engine->HasSound(7, 0));
    EXPECT_NEAR(MeasureFrequency(Play(*engine, 7, 0, 60).left, At(0.1), At(0.9)), 440.0, 0.5);
}

TEST_F(EngineTest, ALargerReverbLeavesMoreSoundAfterTheNoteThanRoom1)
{
    ASSERT_TRUE(LoadWave(kWaveBank, 0, Sine(44100, 1), 1));
    const auto engine = Engine();
    // The energy after the note-off, from reverb alone once the note's own release is over.
    const auto tail = [&](int reverb)
    {
        EXPECT_TRUE(session->SetReverb(reverb));
        EXPECT_TRUE(engine->Refresh());
        const StereoSound sound = Play(*engine, kWaveBank, 0, 60, 0.5, 3.0);
        const std::size_t from = At(0.5 + 0.4);
        return Rms(sound.left, from, sound.left.size()) *
               std::sqrt(static_cast<double>(sound.left.size() - from));
    };
    const double room1 = tail(0);
    EXPECT_GT(room1, 0.0);
    EXPECT_GT(tail(4), 2 * room1) << "Hall 2";
    EXPECT_GT(tail(3), room1) << "Hall 1";
}

TEST_F(EngineTest, TheEngineFollowsAChangeMadeByAnotherProcess)
{
    const auto engine = Engine();
    EXPECT_FALSE(engine->Refresh()) << "nothing changed";
    ASSERT_FALSE(engine->HasSound(9, 3));

    // tamberly-cli is another process working the same card.
    const std::string wavePath = files.Write("sine.wav", Sine(11025, 1));
    const std::string bankPath = files.File("sine.sbk");
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(wavePath) && wave.WriteSoundFont(bankPath, 9)); // 11.025 kHz m
    wave.Close();
    const std::string command =
        std::string(TAMBERLY_BIN_DIR) + "/tamberly-cli card load-preset 9 3 '" + bankPath + "' 0 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ::unlink(bankPath.c_str());

    EXPECT_TRUE(engine->Refresh());
    EXPECT_FALSE(engine->Refresh());
    EXPECT_TRUE(engine->HasSound(9, 3));
    EXPECT_NEAR(MeasureFrequency(Play(*engine, 9, 3, 60).left, At(0.1), At(0.9)), 440.0, 0.5);

    // Following on its own thread, it notices the next change by itself.
    engine->StartFollowing(std::chrono::milliseconds(10));
    ASSERT_EQ(std::system((std::string(TAMBERLY_BIN_DIR) + "/tamberly-cli card clear 9").c_str()), 0);
    bool silent = false;
    for (int wait = 0; wait < 500 && !silent; ++wait)
    {
        silent = !engine->HasSound(9, 3);
        if (!silent)
            ::usleep(10000);
    }
    engine->StopFollowing();
    EXPECT_TRUE(silent);
}
