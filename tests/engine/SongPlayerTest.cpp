// MIDI songs through the card: the player's events routed like the MIDI
// input's, measured in what the engine renders.

#include "engine/EngineFixture.h"
#include "support/MidiFileBuilder.h"
#include "synth/MidiFile.h"

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace
{
constexpr int kSineBank = 5;
constexpr int kSineSlot = 3;

MidiSong Song(const Bytes& bytes)
{
    MidiSong song;
    std::string error;
    CMemorySource source(bytes);
    EXPECT_TRUE(CMidiFile::Read(source, song, error)) << error;
    return song;
}

// Times (seconds) where a note starts: 5 ms windows whose peak passes
// `threshold` and is at least twice what the two windows before held
// (reverb tails and releases keep the sound from ever falling silent), at
// least 50 ms after the last onset.
std::vector<double> Onsets(const std::vector<float>& signal, double threshold = 0.01)
{
    constexpr std::size_t kWindow = 44100 / 200;
    std::vector<double> onsets;
    float before[2] = {0, 0};
    double last = -1;
    for (std::size_t at = 0; at + kWindow <= signal.size(); at += kWindow)
    {
        float peak = 0;
        for (std::size_t i = at; i < at + kWindow; ++i)
            peak = std::max(peak, std::fabs(signal[i]));
        const double time = static_cast<double>(at) / 44100.0;
        if (peak >= threshold && peak >= 2 * std::max(before[0], before[1]) &&
            (last < 0 || time - last >= 0.05))
        {
            onsets.push_back(time);
            last = time;
        }
        before[0] = before[1];
        before[1] = peak;
    }
    return onsets;
}

double PeakOf(const std::vector<float>& signal, double from, double to)
{
    const auto begin = static_cast<std::size_t>(from * 44100);
    const auto end = std::min(signal.size(), static_cast<std::size_t>(to * 44100));
    float peak = 0;
    for (std::size_t i = begin; i < end; ++i)
        peak = std::max(peak, std::fabs(signal[i]));
    return peak;
}

bool HaveGeneralMidiSet()
{
    return ::access(CCardEngine::DefaultGeneralMidiFont().c_str(), R_OK) == 0;
}
} // namespace

class SongPlayerTest : public EngineTest
{
protected:
    // A 440 Hz sine (sounding 440 Hz on key 60) on bank 5, slot 3.
    void LoadSine(int slot = kSineSlot, double frequencyScale = 1.0)
    {
        const Bytes wave = frequencyScale == 1.0 ? Sine(44100, 1) : Octave(frequencyScale);
        CWaveFile probe;
        CMemorySource source(wave);
        ASSERT_TRUE(probe.Open(source, "sine.wav"));
        ASSERT_TRUE(LoadWave(kSineBank, slot, wave, probe.GetOption(0)));
    }
    static Bytes Octave(double scale)
    {
        return WaveBuilder()
            .Channels(1)
            .Rate(44100)
            .Bits(16)
            .Frames(44100,
                    [=](std::size_t frame, unsigned)
                    {
                        return static_cast<std::int32_t>(
                            std::lround(16000 * std::sin(2 * std::numbers::pi * 440 * scale *
                                                         static_cast<double>(frame) / 44100)));
                    })
            .Build();
    }
    static StereoSound RenderWhole(CCardEngine& engine, const MidiSong& song, double seconds = 0)
    {
        SongRenderPlan plan;
        plan.seconds = seconds;
        StereoSound sound;
        EXPECT_TRUE(engine.RenderSong(song, plan, sound));
        return sound;
    }
    static StereoSound RenderFor(CCardEngine& engine, double seconds)
    {
        StereoSound sound;
        sound.left.resize(At(seconds));
        sound.right.resize(At(seconds));
        EXPECT_TRUE(engine.Render(sound.left.data(), sound.right.data(), sound.left.size()));
        return sound;
    }
};

TEST_F(SongPlayerTest, NotesStartWhereTheSongHasThemThroughTempoChangesAndRunningStatus)
{
    LoadSine();
    // Type 1: a conductor track at 120 bpm, then 60 bpm from tick 960 (one second).
    MidiTrackBuilder conductor;
    conductor.Tempo(500000).Wait(960).Tempo(1000000);
    MidiTrackBuilder melody;
    melody.BankSelect(0, kSineBank).Program(0, kSineSlot);
    // Notes at 0, 0.5 and 1.0 s, then at 60 bpm at 2.0 s; running status for the later ones.
    melody.NoteOn(0, 60).Wait(240).NoteOff(0, 60).Wait(240);
    melody.NoteOn(0, 64).Wait(240).Running(64, 0).Wait(240);
    melody.Running(67, 100).Wait(240).Running(67, 0).Wait(240);
    melody.Running(72, 100).Wait(240).Running(72, 0);
    const MidiSong type1 = Song(MidiFileBuilder().Format(1).Track(conductor).Track(melody).Build());
    EXPECT_NEAR(type1.Seconds(), 2.5, 1e-9);

    const auto engine = Engine();
    const StereoSound sound = RenderWhole(*engine, type1);
    const std::vector<double> onsets = Onsets(sound.left);
    ASSERT_EQ(onsets.size(), 4u) << ::testing::PrintToString(onsets);
    const double expected[] = {0.0, 0.5, 1.0, 2.0};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(onsets[i], expected[i], 0.020) << i;
    // The song's end and its release (at most three seconds), then nothing more.
    EXPECT_GT(sound.left.size(), At(2.5));
    EXPECT_LE(sound.left.size(), At(2.5 + 3.0) + 4096);

    // The same notes as a type 0 song at 240 bpm: twice as fast.
    MidiTrackBuilder fast;
    fast.Tempo(250000).BankSelect(0, kSineBank).Program(0, kSineSlot);
    fast.NoteOn(0, 60).Wait(240).NoteOff(0, 60).Wait(240).NoteOn(0, 62).Wait(240).NoteOff(0, 62);
    const std::vector<double> fastOnsets =
        Onsets(RenderWhole(*engine, Song(MidiFileBuilder().Format(0).Track(fast).Build())).left);
    ASSERT_EQ(fastOnsets.size(), 2u);
    EXPECT_NEAR(fastOnsets[1], 0.25, 0.020);
}

TEST_F(SongPlayerTest, BankSelectReachesTheUserBankAndAResetGoesBackToTheSynthBank)
{
    LoadSine();
    const auto engine = Engine();
    // Key 60 of the sine preset sounds 440 Hz, key 72 880 Hz.
    MidiTrackBuilder user;
    user.BankSelect(0, kSineBank).Program(0, kSineSlot).NoteOn(0, 72).Wait(960).NoteOff(0, 72);
    const StereoSound sine = RenderWhole(*engine, Song(MidiFileBuilder().Format(0).Track(user).Build()));
    EXPECT_NEAR(MeasureFrequency(sine.left, At(0.1), At(0.9)), 880.0, 1.0);

    // An empty slot of the same bank is silent, as on the card.
    MidiTrackBuilder empty;
    empty.BankSelect(0, kSineBank).Program(0, kSineSlot + 1).NoteOn(0, 72).Wait(960).NoteOff(0, 72);
    EXPECT_LT(Peak(RenderWhole(*engine, Song(MidiFileBuilder().Format(0).Track(empty).Build())).left), 1e-4);

    if (!HaveGeneralMidiSet())
        GTEST_SKIP() << "no General MIDI set for bank 0";
    // A GS or General MIDI reset after the bank select puts the channel back
    // on bank 0, program 0: the song sounds as one that never left it.
    MidiTrackBuilder plain;
    plain.NoteOn(0, 72).Wait(960).NoteOff(0, 72);
    const StereoSound piano = RenderWhole(*engine, Song(MidiFileBuilder().Format(0).Track(plain).Build()));
    ASSERT_GT(Peak(piano.left), 0.01);
    for (const bool gs : {true, false})
    {
        MidiTrackBuilder reset;
        reset.BankSelect(0, kSineBank).Program(0, kSineSlot);
        gs ? reset.GsReset() : reset.GmReset();
        reset.NoteOn(0, 72).Wait(960).NoteOff(0, 72);
        const StereoSound after =
            RenderWhole(*engine, Song(MidiFileBuilder().Format(0).Track(reset).Build()));
        // Compared by their loudness over time: the player places events on
        // FluidSynth's 64-sample blocks by its millisecond clock, so the two
        // may start a block apart, which sample-by-sample comparison would
        // take for a difference.
        const auto sameEnvelope = [&](const std::vector<float>& a, const std::vector<float>& b)
        {
            for (double from = 0.05; from < 0.5; from += 0.05)
                if (std::fabs(Rms(a, At(from), At(from + 0.05)) - Rms(b, At(from), At(from + 0.05))) >
                    0.1 * Rms(b, At(from), At(from + 0.05)))
                    return false;
            return true;
        };
        EXPECT_TRUE(sameEnvelope(after.left, piano.left)) << (gs ? "GS" : "GM");
        EXPECT_FALSE(sameEnvelope(sine.left, piano.left)) << "the sine, which the reset left";
    }
}

TEST_F(SongPlayerTest, TheDrumChannelPlaysTheKitWhateverBankTheSongSelects)
{
    if (!HaveGeneralMidiSet())
        GTEST_SKIP() << "no General MIDI set for the drum kit";
    const auto engine = Engine();
    // Bank 5 is empty: channel 1 is silent there, channel 10 still plays its kit.
    MidiTrackBuilder drums;
    drums.BankSelect(0, kSineBank).Program(0, 0).BankSelect(9, kSineBank).Program(9, 0);
    drums.NoteOn(0, 60).Wait(480).NoteOff(0, 60).NoteOn(9, 38).Wait(480).NoteOff(9, 38);
    const StereoSound sound = RenderWhole(*engine, Song(MidiFileBuilder().Format(0).Track(drums).Build()));
    EXPECT_LT(PeakOf(sound.left, 0.0, 0.45), 1e-4) << "the empty user slot";
    EXPECT_GT(PeakOf(sound.left, 0.5, 0.8), 0.01) << "the snare on channel 10";
}

TEST_F(SongPlayerTest, PlayedSongsFollowTheTransportAndStopLeavesSilence)
{
    LoadSine();
    const auto engine = Engine();
    MidiTrackBuilder held;
    held.Name("Held").BankSelect(0, kSineBank).Program(0, kSineSlot).NoteOn(0, 60).NoteOn(0, 67);
    held.Wait(480 * 8).NoteOff(0, 60).NoteOff(0, 67);
    const MidiSong song = Song(MidiFileBuilder().Format(0).Track(held).Build());
    EXPECT_FALSE(engine->Song().loaded);
    ASSERT_TRUE(engine->LoadSong(song));
    SongState state = engine->Song();
    EXPECT_TRUE(state.loaded);
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(state.name, "Held");
    EXPECT_NEAR(state.length, 4.0, 1e-9);

    engine->PlaySong();
    const StereoSound first = RenderFor(*engine, 0.5);
    EXPECT_GT(PeakOf(first.left, 0.1, 0.5), 0.05);
    state = engine->Song();
    EXPECT_TRUE(state.playing);
    EXPECT_NEAR(state.position, 0.5, 0.02);
    // The keyboard display sees the held keys.
    EXPECT_TRUE(engine->KeysHeld(0).Has(60) && engine->KeysHeld(0).Has(67));
    EXPECT_FALSE(engine->KeysHeld(0).Has(64) || engine->KeysHeld(1).Any());

    engine->PauseSong();
    EXPECT_FALSE(engine->Song().playing);
    EXPECT_NEAR(engine->Song().position, 0.5, 0.02);
    EXPECT_FALSE(engine->KeysHeld(0).Any());
    // Resumed from where it paused, the held notes sound again from there on.
    engine->SeekSong(1.0);
    EXPECT_NEAR(engine->Song().position, 1.0, 0.01);
    engine->PlaySong();
    const StereoSound resumed = RenderFor(*engine, 0.3);
    EXPECT_NEAR(engine->Song().position, 1.3, 0.02);

    engine->StopSong();
    state = engine->Song();
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(state.position, 0.0);
    EXPECT_FALSE(engine->KeysHeld(0).Any());
    // All sounds off: no voice left, and once the effects' tail has died, silence.
    const StereoSound after = RenderFor(*engine, 3.0);
    EXPECT_EQ(engine->ActiveVoices(), 0);
    // What is left is the reverb's tail, dying away.
    EXPECT_LT(PeakOf(after.left, 0.0, 3.0), PeakOf(first.left, 0.1, 0.5) / 4);
    EXPECT_LT(PeakOf(after.left, 2.5, 3.0), 1e-3);

    // Played to its end, the song stops on its own and plays again from the start.
    engine->PlaySong();
    RenderFor(*engine, 4.5);
    EXPECT_FALSE(engine->Song().playing);
    engine->PlaySong();
    RenderFor(*engine, 0.2);
    EXPECT_TRUE(engine->Song().playing);
    EXPECT_NEAR(engine->Song().position, 0.2, 0.02);
    // Looping, it never ends.
    engine->SetSongLoop(true);
    RenderFor(*engine, 5.0);
    EXPECT_TRUE(engine->Song().playing);
    EXPECT_TRUE(engine->Song().looping);
    engine->UnloadSong();
    EXPECT_FALSE(engine->Song().loaded);
}

TEST_F(SongPlayerTest, ASlotChangedWhileTheSongPlaysIsHeardAtOnce)
{
    LoadSine();
    const auto engine = Engine();
    MidiTrackBuilder two;
    two.BankSelect(0, kSineBank).Program(0, kSineSlot);
    two.NoteOn(0, 60).Wait(480).NoteOff(0, 60).Wait(480).NoteOn(0, 60).Wait(480).NoteOff(0, 60);
    ASSERT_TRUE(engine->LoadSong(Song(MidiFileBuilder().Format(0).Track(two).Build())));
    engine->PlaySong();
    const StereoSound before = RenderFor(*engine, 0.6);
    EXPECT_NEAR(MeasureFrequency(before.left, At(0.1), At(0.45)), 440.0, 1.0);

    // The same slot now holds a sine a fifth up.
    LoadSine(kSineSlot, 1.5);
    ASSERT_TRUE(engine->Refresh());
    const StereoSound after = RenderFor(*engine, 0.8);
    EXPECT_NEAR(MeasureFrequency(after.left, At(0.5), At(0.8)), 660.0, 1.5);
}

TEST_F(SongPlayerTest, RendersAreBoundedAndWrittenWholeOrNotAtAll)
{
    LoadSine();
    const auto engine = Engine();
    MidiTrackBuilder longNote;
    longNote.BankSelect(0, kSineBank).Program(0, kSineSlot).NoteOn(0, 60).Wait(480 * 40).NoteOff(0, 60);
    const MidiSong song = Song(MidiFileBuilder().Format(0).Track(longNote).Build());
    EXPECT_EQ(RenderWhole(*engine, song, 1.5).left.size(), At(1.5));

    // Cancelled from the progress callback: nothing rendered counts.
    SongRenderPlan plan;
    int calls = 0;
    plan.progress = [&](double part)
    {
        EXPECT_GE(part, 0.0);
        EXPECT_LE(part, 1.0);
        return ++calls < 5;
    };
    StereoSound sound;
    EXPECT_FALSE(engine->RenderSong(song, plan, sound));
    EXPECT_EQ(calls, 5);
    const std::string cancelled = files.File("cancelled.wav");
    double seconds = 0;
    std::string error;
    calls = 0;
    EXPECT_FALSE(engine->RenderSongToFile(song, plan, cancelled, seconds, error));
    EXPECT_FALSE(error.empty());
    EXPECT_NE(::access(cancelled.c_str(), F_OK), 0) << "no half-written file";
    EXPECT_TRUE(std::filesystem::is_empty(files.Path())) << "nor its temporary file";

    // FLAC and wave files of the first second, read back with libsndfile.
    plan = {};
    plan.seconds = 1.0;
    for (const std::string name : {"song.wav", "song.flac"})
    {
        const std::string path = files.File(name);
        ASSERT_TRUE(engine->RenderSongToFile(song, plan, path, seconds, error)) << error;
        EXPECT_NEAR(seconds, 1.0, 1e-6);
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << name;
        EXPECT_EQ(info.channels, 2);
        EXPECT_EQ(info.samplerate, 44100);
        EXPECT_EQ(info.frames, static_cast<sf_count_t>(At(1.0)));
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, name.ends_with(".flac") ? SF_FORMAT_FLAC : SF_FORMAT_WAV);
        std::vector<float> frames(2 * At(1.0));
        EXPECT_EQ(sf_readf_float(file, frames.data(), info.frames), info.frames);
        sf_close(file);
        std::vector<float> left(At(1.0));
        for (std::size_t i = 0; i < left.size(); ++i)
            left[i] = frames[2 * i];
        EXPECT_NEAR(MeasureFrequency(left, At(0.2), At(0.9)), 440.0, 1.0) << name;
    }
    // A folder that does not exist: an error, and nothing written.
    EXPECT_FALSE(engine->RenderSongToFile(song, plan, files.File("no/such/song.wav"), seconds, error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SongPlayerTest, AGeneralMidiSongOnBankZeroStartsItsNotesWhereFluidSynthsOwnRenderDoes)
{
    const std::string font = CCardEngine::DefaultGeneralMidiFont();
    if (!HaveGeneralMidiSet() || std::system("command -v fluidsynth >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs the fluidsynth program and a General MIDI set";
    // Piano, a tempo change and a drum hit, as a General MIDI song has them.
    MidiTrackBuilder conductor;
    conductor.Tempo(400000).Wait(1920).Tempo(700000);
    MidiTrackBuilder music;
    music.GmReset().Program(0, 0).Program(1, 33);
    for (int bar = 0; bar < 4; ++bar)
    {
        music.NoteOn(0, 60 + bar).Wait(240).NoteOff(0, 60 + bar).Wait(240);
        music.NoteOn(9, 38).Wait(240).NoteOff(9, 38).Wait(240);
        music.NoteOn(1, 67 + bar).Wait(240).NoteOff(1, 67 + bar).Wait(240);
    }
    const Bytes bytes = MidiFileBuilder().Format(1).Track(conductor).Track(music).Build();
    const std::string songPath = files.Write("gm.mid", bytes);
    const std::string reference = files.File("reference.wav");
    const std::string command = "fluidsynth -q -n -i -g 0.5 -r 44100 -F '" + reference + "' '" + font +
                                "' '" + songPath + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    SF_INFO info{};
    SNDFILE* file = sf_open(reference.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> theirs(static_cast<std::size_t>(info.frames));
    for (std::size_t i = 0; i < theirs.size(); ++i)
        theirs[i] = frames[i * static_cast<std::size_t>(info.channels)];

    const auto engine = Engine();
    const StereoSound ours = RenderWhole(*engine, Song(bytes));
    const std::vector<double> ourOnsets = Onsets(ours.left, 0.02);
    const std::vector<double> theirOnsets = Onsets(theirs, 0.02);
    ASSERT_GE(ourOnsets.size(), 6u) << ::testing::PrintToString(ourOnsets);
    ASSERT_EQ(ourOnsets.size(), theirOnsets.size())
        << ::testing::PrintToString(ourOnsets) << " vs " << ::testing::PrintToString(theirOnsets);
    for (std::size_t i = 0; i < ourOnsets.size(); ++i)
        EXPECT_NEAR(ourOnsets[i], theirOnsets[i], 0.020) << i;
}
