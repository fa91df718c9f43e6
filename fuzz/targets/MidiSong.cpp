// MIDI songs: read for their length and tempo map, then, when accepted,
// played by FluidSynth's player through the card's channel routing into an
// offline render of at most two seconds, with a seek and a pause on the
// way. A song the reader accepts must never make the player crash, hang or
// render past its bound, and Stop must leave no key held.

#include "FuzzCard.h"

#include "engine/CardEngine.h"
#include "synth/MidiFile.h"

#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr double kMaxRender = 2.0;

CCardEngine& Engine()
{
    // One engine for the whole run: loading the General MIDI set per input
    // would leave no time for the songs. Never destroyed, like the card.
    static CCardEngine* engine = []
    {
        CardEngineOptions options;
        options.audioDevice = false;
        options.sequencerPort = false;
        options.cardHome = CFuzzCard::Instance().Home();
        return new CCardEngine(options);
    }();
    return *engine;
}

bool Finite(const std::vector<float>& samples)
{
    for (const float value : samples)
        if (!std::isfinite(value))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemorySource source(data, size);
    MidiSong song;
    std::string error;
    if (!CMidiFile::Read(source, song, error))
    {
        FUZZ_CHECK(!error.empty() && song.playerBytes.empty() && song.tracks == 0);
        return 0;
    }
    FUZZ_CHECK(error.empty());
    FUZZ_CHECK(song.division > 0 && song.tracks >= 1 && song.tracks <= CMidiFile::kMaxTracks);
    FUZZ_CHECK(song.lastTick <= CMidiFile::kMaxTick);
    FUZZ_CHECK(!song.tempos.empty() && song.tempos.front().tick == 0);
    const double length = song.Seconds();
    FUZZ_CHECK(std::isfinite(length) && length >= 0 && length <= CMidiFile::kMaxSeconds);
    FUZZ_CHECK(song.TickAt(length + 1) == song.lastTick);
    FUZZ_CHECK(song.playerBytes.size() <= size);

    CCardEngine& engine = Engine();
    SongRenderPlan plan;
    plan.seconds = kMaxRender;
    plan.maxRelease = 0.5;
    StereoSound sound;
    // FluidSynth may still refuse what the reader took (it checks less, or otherwise).
    if (engine.RenderSong(song, plan, sound))
    {
        FUZZ_CHECK(sound.left.size() == sound.right.size());
        FUZZ_CHECK(sound.left.size() <=
                   static_cast<std::size_t>(kMaxRender * ISoundEngine::kSampleRate) + 4096);
        FUZZ_CHECK(Finite(sound.left) && Finite(sound.right));
    }

    // The interactive player: played, sought, paused and stopped.
    if (engine.LoadSong(song))
    {
        std::vector<float> left(ISoundEngine::kSampleRate / 4), right(left.size());
        engine.PlaySong();
        FUZZ_CHECK(engine.Render(left.data(), right.data(), left.size()));
        engine.SeekSong(length / 2);
        FUZZ_CHECK(engine.Render(left.data(), right.data(), left.size()));
        engine.PauseSong();
        engine.PlaySong();
        FUZZ_CHECK(engine.Render(left.data(), right.data(), left.size()));
        const SongState state = engine.Song();
        FUZZ_CHECK(state.loaded && state.position >= 0 && state.position <= state.length + 1e-9);
        engine.StopSong();
        for (int channel = 0; channel < 16; ++channel)
            FUZZ_CHECK(!engine.KeysHeld(channel).Any());
        engine.UnloadSong();
    }
    return 0;
}
