// Listing a SoundFont bank must cost next to nothing beside reading it: the
// reader takes only the preset data and skips the sample data. The figure is
// "ratio": one Open plus the sample count and bytes of every preset, over one
// plain read of the whole file, both measured in this run. Goal: at most 0.05.

#include "BenchSupport.h"

#include "soundfont/SoundFontReader.h"

#include <benchmark/benchmark.h>

namespace
{
constexpr int kPresets = 128;
constexpr std::uint32_t kSampleBytes = 28u << 20;

void BM_ReadWholeLargeBank(benchmark::State& state)
{
    const std::string& path = LargeBankFile(kPresets, kSampleBytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainRead(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSampleBytes);
}
BENCHMARK(BM_ReadWholeLargeBank)->Unit(benchmark::kMicrosecond);

void BM_ListLargeBank(benchmark::State& state)
{
    const std::string& path = LargeBankFile(kPresets, kSampleBytes);
    if (ListBank(path) <= 0)
    {
        state.SkipWithError("the generated bank does not open");
        return;
    }
    const AgainstBaseline time = TimeAgainstBaseline(
        state, [&] { benchmark::DoNotOptimize(ListBank(path)); },
        [&] { benchmark::DoNotOptimize(PlainRead(path)); });
    ReportRatio(state, "ratio", {"list", time.seconds}, {"read", time.baseline}, benchmark::kMicrosecond);
}
BENCHMARK(BM_ListLargeBank)->Unit(benchmark::kMicrosecond);
} // namespace
