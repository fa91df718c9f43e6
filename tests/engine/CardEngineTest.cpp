// The engine's housekeeping: devices, status, what cannot sound, effects, and
// the keyboard's in-process devices.

#include "cardstate/CardJournal.h"
#include "engine/EngineFixture.h"
#include "engine/EngineMidiDevices.h"
#include "platform/AtomicFile.h"
#include "platform/StringTable.h"
#include "ui/FakeMidiDevices.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace
{
// What a piece of code writes on the standard error stream, file descriptor 2.
template <typename Work> std::string StandardErrorOf(const TempDir& dir, Work&& work)
{
    std::fflush(stderr);
    const int saved = ::dup(2);
    const std::string path = dir.File("stderr.txt");
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 2);
    ::close(file);
    work();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::string text;
    ReadWholeFile(path, text);
    return text;
}

bool Contains(const std::vector<std::string>& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != std::string::npos; });
}
} // namespace

TEST_F(EngineTest, WithoutAnAudioDeviceTheEngineWorksSilentlyAndQuietly)
{
    // The drivers this machine offers: whatever answers, nothing reaches the terminal.
    CardEngineOptions options;
    options.cardHome = home.Path();
    std::unique_ptr<CCardEngine> engine;
    EXPECT_EQ(StandardErrorOf(files, [&] { engine = std::make_unique<CCardEngine>(options); }), "");
    if (engine->HasAudio())
    {
        EXPECT_FALSE(engine->AudioDriver().empty());
        EXPECT_EQ(
            engine->StatusText().rfind("Card sound: " + engine->AudioDriver() + ", 32 voices, 17 ms", 0), 0u)
            << engine->StatusText();
        EXPECT_LE(engine->LatencyMs(), 20.0);
    }
    engine.reset();

    // A driver that does not exist: no device, for certain.
    options.audioDrivers = {"no-such-driver"};
    engine = std::make_unique<CCardEngine>(options);
    EXPECT_FALSE(engine->HasAudio());
    EXPECT_EQ(engine->AudioDriver(), "");
    EXPECT_EQ(engine->LatencyMs(), 0.0);
    EXPECT_FALSE(engine->HasSequencerPort()) << "no port without sound behind it";
    if (::access(CCardEngine::DefaultGeneralMidiFont().c_str(), R_OK) == 0)
    {
        EXPECT_EQ(engine->StatusText(), LoadString(IDS_CARD_SOUND_NO_DEVICE));
    }
    // It still takes messages and follows the card. Nothing renders, so a
    // flood of notes must not pile up inside FluidSynth.
    CCardEngine::ClearFluidMessages();
    for (int i = 0; i < 20000; ++i)
    {
        engine->SendShortMessage(MakeShortMessage(0x90, 60 + i % 12, 100));
        engine->SendShortMessage(MakeShortMessage(0xE0, 0, 64));
        engine->SendShortMessage(MakeShortMessage(0x80, 60 + i % 12, 0));
        engine->SendShortMessage(MakeShortMessage(0xB0, 7, i % 128));
    }
    engine->SendShortMessage(MakeShortMessage(0xF8, 0, 0));
    EXPECT_EQ(CCardEngine::FluidMessages(), std::vector<std::string>());
    EXPECT_EQ(engine->ActiveVoices(), 0);
    ASSERT_TRUE(session->SetChorus(5));
    EXPECT_TRUE(engine->Refresh());
    EXPECT_EQ(engine->CurrentChorus().voices, CCardEffects::Chorus(5).voices);
    engine->AllSoundsOff();
}

TEST_F(EngineTest, AnOfflineEngineSaysSoAndHasTheCardsVoicesOrMore)
{
    if (::access(CCardEngine::DefaultGeneralMidiFont().c_str(), R_OK) == 0)
    {
        EXPECT_EQ(Engine()->StatusText(), FormatString(IDS_CARD_SOUND_OFFLINE, 32));
    }
    CardEngineOptions options = Offline();
    EXPECT_EQ(CCardEngine(options).Voices(), 32);
    options.voices = 64;
    EXPECT_EQ(CCardEngine(options).Voices(), 64);
    options.voices = 8;
    EXPECT_EQ(CCardEngine(options).Voices(), 32) << "never fewer than the card had";
    options.voices = 1 << 30;
    EXPECT_EQ(CCardEngine(options).Voices(), CCardEngine::kMaxVoices);

    // 32 voices sound at once, no more.
    ASSERT_TRUE(LoadWave(5, 0, Sine(44100, 1), 1));
    const auto engine = Engine();
    engine->SendShortMessage(MakeShortMessage(0xB0, 0, 5));
    engine->SendShortMessage(MakeShortMessage(0xC0, 0, 0));
    for (int key = 30; key < 70; ++key)
        engine->SendShortMessage(MakeShortMessage(0x90, key, 100));
    std::vector<float> left(441), right(441);
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    EXPECT_EQ(engine->ActiveVoices(), 32);
}

TEST_F(EngineTest, WhatCannotSoundIsReportedAndStaysSilentWhileTheRestPlays)
{
    ASSERT_TRUE(LoadWave(5, 1, Sine(44100, 1), 1));
    ASSERT_TRUE(LoadWave(5, 2, Sine(44100, 1), 1));
    const std::string wavePath = files.Write("sine.wav", Sine(22050, 1));
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(wavePath));
    ASSERT_TRUE(wave.WriteSoundFont(files.File("gone.sbk"), 5));
    ASSERT_TRUE(wave.WriteSoundFont(files.File("spoilt.sbk"), 5));
    wave.Close();
    ASSERT_TRUE(session->LoadBank(6, files.File("gone.sbk")));
    ASSERT_TRUE(session->LoadBank(7, files.File("spoilt.sbk")));

    // The memory copy of slot 5:1 is lost; one bank file is deleted, the other spoilt.
    const auto state = CardStateOnDisk::Read(home.Path()).model;
    ASSERT_EQ(::unlink(home.File(CCardModel::MemoryFileName(state.presets.at({5, 1}).memory)).c_str()), 0);
    ASSERT_EQ(::unlink(files.File("gone.sbk").c_str()), 0);
    ASSERT_TRUE(WriteWholeFileAtomic(files.File("spoilt.sbk"), "RIFF\x04\0\0\0sfbk"));

    CardEngineOptions options = Offline();
    options.generalMidiFont = files.File("no-such-set.sf2");
    CCardEngine engine(options);
    const auto problems = engine.Problems();
    EXPECT_EQ(problems.size(), 4u);
    EXPECT_TRUE(Contains(problems, FormatString(IDS_CARD_SOUND_NO_GM, options.generalMidiFont.c_str())));
    EXPECT_TRUE(Contains(problems, FormatString(IDS_CARD_SOUND_PRESET_PROBLEM, 5, 1, "Tamberly Patch",
                                                LoadString(IDS_CARD_SOUND_NO_COPY).c_str())))
        << ::testing::PrintToString(problems);
    // Bank files are named as the card names them (the wave writer's bank name).
    EXPECT_TRUE(
        Contains(problems, "Bank 6 (Tamberly V 1.50): " + files.File("gone.sbk") + ": cannot be read"));
    EXPECT_TRUE(Contains(problems,
                         "Bank 7 (Tamberly V 1.50): " + files.File("spoilt.sbk") + ": not a SoundFont bank"));
    EXPECT_NE(engine.StatusText().find(FormatString(IDS_CARD_SOUND_PROBLEMS, 3)), std::string::npos)
        << engine.StatusText();

    for (const auto& [bank, program] : {std::pair{0, 0}, {5, 1}, {6, 0}, {7, 0}})
    {
        EXPECT_FALSE(engine.HasSound(bank, program)) << bank << ':' << program;
        EXPECT_LT(Peak(Play(engine, bank, program, 60, 0.3).left), 1e-4) << bank << ':' << program;
    }
    EXPECT_TRUE(engine.HasSound(5, 2));
    EXPECT_NEAR(MeasureFrequency(Play(engine, 5, 2, 60).left, At(0.1), At(0.9)), 440.0, 0.5);
}

TEST_F(EngineTest, TheCardsEffectTypesBecomeFluidSynthsSettings)
{
    const auto engine = Engine();
    // A fresh card: "Hall 2" and "Chorus 3".
    EXPECT_NEAR(engine->CurrentReverb().roomSize, CCardEffects::Reverb(4).roomSize, 1e-6);
    EXPECT_EQ(engine->CurrentChorus().voices, CCardEffects::Chorus(2).voices);
    for (const int type : {5, 7, 0})
    {
        ASSERT_TRUE(session->SetReverb(type));
        ASSERT_TRUE(session->SetChorus(type));
        ASSERT_TRUE(engine->Refresh());
        const ReverbSettings reverb = engine->CurrentReverb();
        const ReverbSettings wanted = CCardEffects::Reverb(type);
        EXPECT_NEAR(reverb.roomSize, wanted.roomSize, 1e-6) << type;
        EXPECT_NEAR(reverb.damping, wanted.damping, 1e-6) << type;
        EXPECT_NEAR(reverb.width, wanted.width, 1e-6) << type;
        EXPECT_NEAR(reverb.level, wanted.level, 1e-6) << type;
        const ChorusSettings chorus = engine->CurrentChorus();
        const ChorusSettings wantedChorus = CCardEffects::Chorus(type);
        EXPECT_EQ(chorus.voices, wantedChorus.voices) << type;
        EXPECT_NEAR(chorus.level, wantedChorus.level, 1e-6) << type;
        EXPECT_NEAR(chorus.speed, wantedChorus.speed, 1e-6) << type;
        EXPECT_NEAR(chorus.depthMs, wantedChorus.depthMs, 1e-6) << type;
        EXPECT_EQ(chorus.triangle, wantedChorus.triangle) << type;
    }
}

TEST_F(EngineTest, TheKeyboardsDevicesPlayTheEngineAndCloseOnlyItsOwnChannel)
{
    ASSERT_TRUE(LoadWave(5, 0, Sine(44100, 1), 1));
    ASSERT_TRUE(LoadWave(5, 1, Sine(22050, 1), 5));
    std::shared_ptr<CCardEngine> engine = Engine();
    CEngineMidiDevices devices(engine);
    ASSERT_TRUE(devices.OpenOutput());
    EXPECT_TRUE(devices.OpenInput([](ShortMessage) {})) << "a keyboard without an input device still plays";
    EXPECT_FALSE(devices.HasInput());
    devices.StartInput();

    // Another program plays the engine on channel 2 a fifth up, the keyboard on channel 1.
    engine->SendShortMessage(MakeShortMessage(0xA1, 67, 10)); // key pressure before the note: nothing to hear
    engine->SendShortMessage(MakeShortMessage(0xB1, 0, 5));
    engine->SendShortMessage(MakeShortMessage(0xC1, 1, 0));
    engine->SendShortMessage(MakeShortMessage(0x91, 67, 100));
    devices.SendShortMessage(MakeShortMessage(0xB0, 0, 5));
    devices.SendShortMessage(MakeShortMessage(0xC0, 0, 0));
    devices.SendShortMessage(MakeShortMessage(0x90, 60, 100));
    std::vector<float> left(At(0.5)), right(At(0.5));
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    EXPECT_EQ(engine->ActiveVoices(), 2);

    devices.CloseInput();
    devices.CloseOutput();
    devices.SendShortMessage(MakeShortMessage(0x90, 64, 100)); // closed: goes nowhere
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    EXPECT_EQ(engine->ActiveVoices(), 1);
    EXPECT_NEAR(MeasureFrequency(left, At(0.1), At(0.5)), 440.0 * std::pow(2.0, 7.0 / 12), 1.0)
        << "only channel 2's note is left";
}

TEST_F(EngineTest, TheKeyboardsInputComesFromTheInputLayerWhoseOutputStaysClosed)
{
    std::shared_ptr<CCardEngine> engine = Engine();
    auto log = std::make_shared<MidiLog>();
    {
        CEngineMidiDevices devices(engine, std::make_unique<CFakeMidiDevices>(log));
        std::vector<ShortMessage> received;
        ASSERT_TRUE(devices.OpenOutput());
        ASSERT_TRUE(devices.OpenInput([&](ShortMessage message) { received.push_back(message); }));
        EXPECT_TRUE(devices.HasInput());
        devices.StartInput();
        ASSERT_TRUE(log->handler);
        log->handler(MakeShortMessage(0x90, 60, 1));
        EXPECT_EQ(received, std::vector<ShortMessage>{MakeShortMessage(0x90, 60, 1)});
        devices.SendShortMessage(MakeShortMessage(0x90, 61, 1));
        EXPECT_TRUE(log->sent.empty()) << "what the keyboard plays goes to the engine, not the input layer";
    }
    EXPECT_EQ(log->calls, (std::vector<std::string>{"OpenInput", "StartInput", "CloseInput"}));
    EXPECT_TRUE(log->destroyed);

    // An input device that fails to open leaves the keyboard playing without one.
    auto failing = std::make_shared<MidiLog>();
    failing->failInput = true;
    CEngineMidiDevices devices(engine, std::make_unique<CFakeMidiDevices>(failing));
    EXPECT_TRUE(devices.OpenInput([](ShortMessage) {}));
    EXPECT_FALSE(devices.HasInput());
    devices.StartInput();
    devices.CloseInput();
    EXPECT_EQ(failing->calls, std::vector<std::string>{"OpenInput"});
}

// The card loaded in the engine's own process tells it of a change at once:
// with a follow interval of an hour, only that notice can bring the change
// in. Once following stops, no notice arrives any more.
TEST_F(EngineTest, TheCardInThisProcessTellsTheFollowingEngineOfChangesAtOnce)
{
    const auto engine = Engine();
    engine->StartFollowing(std::chrono::hours(1));
    ASSERT_TRUE(engine->HearsCardChanges()) << "the card's library is loaded here through the session";
    const auto waitFor = [&](auto&& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return condition();
    };
    ASSERT_TRUE(LoadWave(5, 1, Sine(44100, 1), 1));
    EXPECT_TRUE(waitFor([&] { return engine->State().presets.contains({5, 1}) && engine->HasSound(5, 1); }));
    ASSERT_TRUE(session->ClearPreset(5, 1));
    EXPECT_TRUE(waitFor([&] { return !engine->State().presets.contains({5, 1}); }));

    engine->StopFollowing();
    EXPECT_FALSE(engine->HearsCardChanges());
    ASSERT_TRUE(LoadWave(5, 2, Sine(44100, 1), 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(engine->State().presets.contains({5, 2})) << "a stopped engine follows nothing";
}
