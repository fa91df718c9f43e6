// Converting a SoundFont 1 bank to SoundFont 2 reads every sample point once
// and writes it once into the new image, so it should cost little more than
// reading the file. The figure is "ratio": one conversion of a 28 MB bank
// from its file into memory, over one plain read of the whole file, both
// measured in this run.

#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"
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

std::size_t ConvertBank(const std::string& path)
{
    CFileSource source;
    std::vector<std::uint8_t> image;
    if (!source.Open(path) || !CSoundFont2Converter().ConvertBank(source, image))
        return 0;
    return image.size();
}

double SecondsOf(auto&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ConvertLargeBankToSf2(benchmark::State& state)
{
    const std::string& path = LargeBankPath();
    if (ConvertBank(path) < kSampleBytes)
    {
        state.SkipWithError("the generated bank does not convert");
        return;
    }
    // The best of whole reads before and after, the file in the page cache
    // for both sides; other load on the machine only lowers the ratio.
    double baseline = 1e9;
    const auto measureBaseline = [&]
    {
        for (int i = 0; i < 10; ++i)
            baseline = std::min(baseline, SecondsOf([&] { benchmark::DoNotOptimize(ReadWholeFile(path)); }));
    };
    measureBaseline();
    double converting = 0;
    for (auto _ : state)
        converting += SecondsOf([&] { benchmark::DoNotOptimize(ConvertBank(path)); });
    measureBaseline();

    const double perConversion = converting / static_cast<double>(state.iterations());
    state.counters["read_ms"] = baseline * 1e3;
    state.counters["convert_ms"] = perConversion * 1e3;
    state.counters["ratio"] = perConversion / baseline;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSampleBytes);
}
BENCHMARK(BM_ConvertLargeBankToSf2)->Unit(benchmark::kMillisecond);
} // namespace
