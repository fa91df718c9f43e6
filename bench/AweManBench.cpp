// Loading presets into the emulated card: 1,000 CAweSession::LoadPreset
// calls, each onto an empty slot as opening a document does (clear, free
// memory, load, free memory: four open/command/close brackets, the load
// reading the bank's preset data and writing the card's state). The figure is
// "ratio": the 1,000 loads over 1,000 CSoundFontReader::Open of the same
// bank file, both measured in this run.

#include "BenchSupport.h"

#include "platform/RegistryStore.h"
#include "soundfont/SoundFontReader.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweSession.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>

namespace
{
constexpr int kLoads = 1000;
constexpr int kPresets = 16;

struct Setup
{
    TempDir home;
    TempDir files;
    std::string bank;
    Setup()
    {
        ::setenv("TAMBERLY_CARD_HOME", home.Path().c_str(), 1);
        SoundFontBuilder builder;
        builder.Info("INAM", "Bench Bank").SampleData(kPresets * 2048);
        for (int preset = 0; preset < kPresets; ++preset)
        {
            const auto start = static_cast<std::uint32_t>(preset * 512);
            const int sample = builder.AddSample(start, start + 512);
            builder.AddPreset("Preset " + std::to_string(preset), static_cast<std::uint16_t>(preset), 0,
                              {builder.AddInstrument("Instrument", {sample})});
        }
        bank = files.Write("bench.sbk", builder.Build());
    }
};

const Setup& TheSetup()
{
    static const Setup setup;
    return setup;
}

bool OpenBank(const std::string& path)
{
    CSoundFontReader reader;
    return reader.Open(path) && reader.GetPresetCount() == kPresets;
}

void BM_LoadPresets(benchmark::State& state)
{
    const Setup& setup = TheSetup();
    CAweSession card(TAMBERLY_AWEMAN_PATH, CRegistryStore(setup.home.Path()));
    if (!card.IsAvailable() || !card.ClearAllBanks())
    {
        state.SkipWithError("the emulated card does not answer");
        return;
    }
    const auto openAll = [&]
    {
        for (int i = 0; i < kLoads; ++i)
            benchmark::DoNotOptimize(OpenBank(setup.bank));
    };
    double opens = BestOf(3, openAll);
    double loads = 0;
    for (auto _ : state)
    {
        int failed = 0;
        loads += SecondsOf(
            [&]
            {
                for (int i = 0; i < kLoads; ++i)
                {
                    int used = 0;
                    failed += card.LoadPreset(1 + i / 128, i % 128, setup.bank, i % kPresets, &used) ? 0 : 1;
                }
            });
        state.PauseTiming();
        if (failed != 0 || !card.ClearAllBanks())
            state.SkipWithError("a load failed");
        state.ResumeTiming();
    }
    opens = std::min(opens, BestOf(3, openAll));

    const double perRun = loads / static_cast<double>(state.iterations());
    ReportRatio(state, "ratio", {"loads", perRun}, {"opens", opens});
}
BENCHMARK(BM_LoadPresets)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
