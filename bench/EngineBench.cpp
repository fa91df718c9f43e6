// The card's sound engine renders offline faster than real time by a wide
// margin, so that a desktop keeps up with 32 voices on one core while doing
// other work. The figure is "x_realtime": seconds of sound rendered per
// second of rendering, for 60 s of 44.1 kHz stereo with 32 voices sounding
// (a held chord of the General MIDI set's strings, reverb and chorus on).
// "x_idle" is the same engine rendering with no voice, measured in this run:
// the cost of the effects alone, the baseline the voices add to.

#include "engine/CardEngine.h"
#include "support/RiffBuilder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{
constexpr double kSeconds = 60;
constexpr std::size_t kBlock = 512; // what an audio driver asks for at a time
constexpr int kStrings = 48;

std::unique_ptr<CCardEngine> OfflineEngine(const TempDir& home)
{
    CardEngineOptions options;
    options.audioDevice = false;
    options.cardHome = home.Path(); // a fresh card: General MIDI on bank 0
    return std::make_unique<CCardEngine>(options);
}

// Renders kSeconds in driver-sized blocks; the wall time it took.
double RenderMinute(CCardEngine& engine)
{
    std::vector<float> left(kBlock), right(kBlock);
    const auto frames = static_cast<std::size_t>(kSeconds * CCardEngine::kSampleRate);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t done = 0; done < frames; done += kBlock)
        engine.Render(left.data(), right.data(), kBlock);
    benchmark::DoNotOptimize(left.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Holds notes of the strings until every voice sounds; false when they do not all sound.
bool HoldThirtyTwoVoices(CCardEngine& engine)
{
    engine.SendShortMessage(MakeShortMessage(0xC0, kStrings, 0));
    std::vector<float> left(64), right(64);
    for (int key = 36; key < 100 && engine.ActiveVoices() < CCardEngine::kCardVoices; ++key)
    {
        engine.SendShortMessage(MakeShortMessage(0x90, key, 100));
        engine.Render(left.data(), right.data(), left.size());
    }
    return engine.ActiveVoices() == CCardEngine::kCardVoices;
}

void BM_RenderMinuteWith32Voices(benchmark::State& state)
{
    if (::access(CCardEngine::DefaultGeneralMidiFont().c_str(), R_OK) != 0)
    {
        state.SkipWithError("no General MIDI set (scripts/bootstrap installs timgm6mb-soundfont)");
        return;
    }
    const TempDir home;
    const auto idle = OfflineEngine(home);
    const double idleSeconds = RenderMinute(*idle);

    const auto engine = OfflineEngine(home);
    if (!HoldThirtyTwoVoices(*engine))
    {
        state.SkipWithError("32 voices do not sound");
        return;
    }
    double rendering = 0;
    int fewest = CCardEngine::kCardVoices;
    for (auto _ : state)
    {
        rendering += RenderMinute(*engine);
        fewest = std::min(fewest, engine->ActiveVoices());
    }
    if (fewest < CCardEngine::kCardVoices)
        state.SkipWithError("voices died away during the minute");
    const double perMinute = rendering / static_cast<double>(state.iterations());
    state.counters["x_realtime"] = kSeconds / perMinute;
    state.counters["x_idle"] = kSeconds / idleSeconds;
    state.counters["voice_cost"] = perMinute / idleSeconds;
}
BENCHMARK(BM_RenderMinuteWith32Voices)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
