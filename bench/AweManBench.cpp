// Loading presets into the emulated card: 1,000 CAweSession::LoadPreset
// calls, each onto an empty slot as opening a document does (clear, free
// memory, load, free memory: four open/command/close brackets, the load
// checking the bank and the preset from its headers, pinning the bank in the
// card's memory and appending to the card's journal). Each preset holds 32 KB of samples, a small
// instrument. The figure is "ratio": the 1,000 loads over what any loader
// must do for them, measured in this run: open the bank (its headers read
// and checked) and read the preset's sample bytes, 1,000 times (goal: at
// most 5).

#include "BenchSupport.h"

#include "platform/ByteStream.h"
#include "platform/RegistryStore.h"
#include "soundfont/SoundFontReader.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweSession.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace
{
constexpr int kLoads = 1000;
constexpr int kPresets = 16;
constexpr std::uint32_t kPointsPerPreset = 16384;
// Room for the 1,000 loads' samples at once.
constexpr const char* kMemoryKB = "65536";

struct Setup
{
    TempDir home;
    TempDir files;
    std::string bank;
    Setup()
    {
        ::setenv("TAMBERLY_CARD_HOME", home.Path().c_str(), 1);
        SoundFontBuilder builder;
        builder.Info("INAM", "Bench Bank").SampleData(kPresets * kPointsPerPreset * 2);
        for (int preset = 0; preset < kPresets; ++preset)
        {
            const auto start = static_cast<std::uint32_t>(preset) * kPointsPerPreset;
            const int sample = builder.AddSample(start, start + kPointsPerPreset);
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

// The bare work of one load: the bank opened and the preset's samples read.
std::size_t ReadPreset(const std::string& path, int preset)
{
    CSoundFontReader reader;
    if (!reader.Open(path))
        return 0;
    const int index = reader.FindPreset(preset);
    const auto samples = reader.FindListChunk(MakeFourCC("sdta"), MakeFourCC("smpl"));
    if (index < 0 || !samples)
        return 0;
    const auto bytes = static_cast<std::size_t>(reader.GetPresetSampleBytes(index));
    std::vector<std::uint8_t> data(bytes);
    IByteSource& source = *reader.GetSource();
    const auto start =
        samples->dataOffset + std::uint64_t{kPointsPerPreset} * 2 * static_cast<unsigned>(preset);
    if (!source.Seek(start) || source.Read(data.data(), bytes) != bytes)
        return 0;
    return bytes;
}

void BM_LoadPresets(benchmark::State& state)
{
    const Setup& setup = TheSetup();
    CAweSession card(TAMBERLY_AWEMAN_PATH, CRegistryStore(setup.home.Path()));
    if (!card.IsAvailable() || card.GetMemoryKB(false) == 0 ||
        !CRegistryStore(setup.home.Path())
             .Update([&](CRegistryStore::Tree& tree)
                     { tree.SetValue(card.GetSettingsKey(), "MemoryKB", kMemoryKB); }) ||
        !card.ClearAllBanks())
    {
        state.SkipWithError("the emulated card does not answer");
        return;
    }
    const auto readAll = [&]
    {
        for (int i = 0; i < kLoads; ++i)
            benchmark::DoNotOptimize(ReadPreset(setup.bank, i % kPresets));
    };
    if (ReadPreset(setup.bank, 0) != kPointsPerPreset * 2)
    {
        state.SkipWithError("the baseline does not read the preset's samples");
        return;
    }
    double reads = BestOf(3, readAll);
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
    reads = std::min(reads, BestOf(3, readAll));

    const double perRun = loads / static_cast<double>(state.iterations());
    ReportRatio(state, "ratio", {"loads", perRun}, {"reads", reads});
}
BENCHMARK(BM_LoadPresets)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
