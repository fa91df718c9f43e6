// A three-minute General MIDI song rendered through the card (bank 0, the
// same General MIDI set) against FluidSynth's own fast render of the same
// file, `fluidsynth -F`: both whole, from start-up (the set loaded) to the
// written wave file, on one core. Also the song's length as a multiple of
// the render's time.

#include "BenchSupport.h"

#include "engine/CardEngine.h"
#include "support/MidiFileBuilder.h"
#include "support/RiffBuilder.h"
#include "synth/MidiFile.h"

#include <cstdlib>
#include <unistd.h>

namespace
{
// Eight parts over 180 seconds at 120 bpm: piano chords, bass, strings,
// a lead line and drums, about what a General MIDI song of the 1990s holds.
Bytes ThreeMinuteSong()
{
    constexpr int kBars = 90; // two seconds a bar
    MidiTrackBuilder conductor;
    conductor.Name("Benchmark Song").Tempo(500000);
    MidiFileBuilder song;
    song.Format(1).Division(480).Track(conductor);
    const int programs[] = {0, 33, 48, 73, 25, 61, 11, 52};
    for (int part = 0; part < 8; ++part)
    {
        MidiTrackBuilder track;
        track.Program(part, programs[part]);
        for (int bar = 0; bar < kBars; ++bar)
        {
            const int root = 48 + (bar % 4) * 2 + (part % 3) * 12;
            // Four beats; each part plays a note (or a chord) per beat.
            for (int beat = 0; beat < 4; ++beat)
            {
                const int key = root + (beat * 7 + part) % 12;
                track.NoteOn(part, key, 80);
                if (part == 0)
                    track.NoteOn(part, key + 4, 70).NoteOn(part, key + 7, 70);
                track.Wait(440).NoteOff(part, key);
                if (part == 0)
                    track.NoteOff(part, key + 4).NoteOff(part, key + 7);
                track.Wait(40);
            }
        }
        song.Track(track);
    }
    MidiTrackBuilder drums;
    for (int beat = 0; beat < kBars * 4; ++beat)
    {
        drums.NoteOn(9, beat % 2 == 0 ? 36 : 38, 100).NoteOn(9, 42, 70);
        drums.Wait(240).NoteOff(9, 36).NoteOff(9, 38).NoteOff(9, 42).NoteOn(9, 42, 60).Wait(240).NoteOff(9,
                                                                                                         42);
    }
    song.Track(drums);
    return song.Build();
}

void BM_RenderThreeMinuteSongAgainstFluidSynth(benchmark::State& state)
{
    const std::string font = CCardEngine::DefaultGeneralMidiFont();
    if (::access(font.c_str(), R_OK) != 0 || std::system("command -v fluidsynth >/dev/null 2>&1") != 0)
    {
        state.SkipWithError("needs the fluidsynth program and a General MIDI set (scripts/bootstrap)");
        return;
    }
    const TempDir files;
    const TempDir home; // a fresh card: General MIDI on bank 0
    const std::string songPath = files.Write("song.mid", ThreeMinuteSong());
    MidiSong song;
    std::string error;
    if (!CMidiFile::Read(songPath, song, error))
    {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string ours = files.File("ours.wav");
    const std::string theirs = files.File("theirs.wav");
    // The card's gain and rate; FluidSynth's player on one core, no audio or MIDI driver.
    const std::string command = "fluidsynth -q -n -i -g 0.5 -r 44100 -o synth.cpu-cores=1 -F '" + theirs +
                                "' '" + font + "' '" + songPath + "' >/dev/null 2>&1";
    bool failed = false;
    const auto times = TimeAgainstBaseline(
        state,
        [&]
        {
            CardEngineOptions options;
            options.audioDevice = false;
            options.sequencerPort = false;
            options.cardHome = home.Path();
            CCardEngine engine(options);
            double seconds = 0;
            failed |= !engine.RenderSongToFile(song, {}, ours, seconds, error);
        },
        [&] { failed |= std::system(command.c_str()) != 0; });
    if (failed)
    {
        state.SkipWithError("a render failed");
        return;
    }
    ReportRatio(state, "vs_fluidsynth_F", {"card", times.seconds}, {"fluidsynth", times.baseline});
    state.counters["x_realtime"] = song.Seconds() / times.seconds;
}
BENCHMARK(BM_RenderThreeMinuteSongAgainstFluidSynth)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
