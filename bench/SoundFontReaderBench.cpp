// Listing a SoundFont bank must cost next to nothing beside reading it: the
// reader takes only the preset data and skips the sample data. The figure is
// "ratio": one Open plus the sample count and bytes of every preset, over one
// plain read of the whole file, both measured in this run. Goal: at most 0.05.

#include "soundfont/SoundFontReader.h"
#include "support/SoundFontBuilder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace
{
constexpr int kPresets = 128;
constexpr std::uint32_t kSampleBytes = 28u << 20;

const std::string& LargeBankPath()
{
    static const TempDir dir;
    static const std::string path = []
    {
        const std::string file = dir.File("large.sbk");
        MakeLargeBank(kPresets, kSampleBytes).WriteFile(file);
        return file;
    }();
    return path;
}

// The baseline: the whole file once through 64 KiB reads.
std::size_t ReadWholeFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    std::vector<char> buffer(64 * 1024);
    std::size_t total = 0;
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;)
        total += got;
    std::fclose(file);
    return total;
}

std::int64_t ListBank(const std::string& path)
{
    CSoundFontReader reader;
    if (!reader.Open(path))
        return -1;
    std::int64_t sum = 0;
    for (int i = 0; i < reader.GetPresetCount(); ++i)
        sum += reader.GetSampleCount(i, -1) + reader.GetPresetSampleBytes(i);
    return sum;
}

double SecondsOf(auto&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ReadWholeLargeBank(benchmark::State& state)
{
    const std::string& path = LargeBankPath();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadWholeFile(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSampleBytes);
}
BENCHMARK(BM_ReadWholeLargeBank)->Unit(benchmark::kMicrosecond);

void BM_ListLargeBank(benchmark::State& state)
{
    const std::string& path = LargeBankPath();
    if (ListBank(path) <= 0)
    {
        state.SkipWithError("the generated bank does not open");
        return;
    }
    // The best of whole reads before and after the listing, the file in the
    // page cache for both sides; other load on the machine only lowers the ratio.
    double baseline = 1e9;
    const auto measureBaseline = [&]
    {
        for (int i = 0; i < 10; ++i)
            baseline = std::min(baseline, SecondsOf([&] { benchmark::DoNotOptimize(ReadWholeFile(path)); }));
    };
    measureBaseline();
    double listing = 0;
    for (auto _ : state)
        listing += SecondsOf([&] { benchmark::DoNotOptimize(ListBank(path)); });
    measureBaseline();

    const double perList = listing / static_cast<double>(state.iterations());
    state.counters["read_us"] = baseline * 1e6;
    state.counters["list_us"] = perList * 1e6;
    state.counters["ratio"] = perList / baseline;
}
BENCHMARK(BM_ListLargeBank)->Unit(benchmark::kMicrosecond);
} // namespace
