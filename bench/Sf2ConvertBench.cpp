// Converting a SoundFont 1 bank to SoundFont 2 reads every sample point once
// and writes it once into the new image, so it should cost little more than
// reading the file. The figure is "ratio": one conversion of a 28 MB bank
// from its file into memory, over one plain read of the whole file, both
// measured in this run.

#include "BenchSupport.h"

#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kPresets = 128;
constexpr std::uint32_t kSampleBytes = 28u << 20;

std::size_t ConvertBank(const std::string& path)
{
    CFileSource source;
    std::vector<std::uint8_t> image;
    if (!source.Open(path) || !CSoundFont2Converter().ConvertBank(source, image))
        return 0;
    return image.size();
}

void BM_ConvertLargeBankToSf2(benchmark::State& state)
{
    const std::string& path = LargeBankFile(kPresets, kSampleBytes);
    if (ConvertBank(path) < kSampleBytes)
    {
        state.SkipWithError("the generated bank does not convert");
        return;
    }
    const AgainstBaseline time = TimeAgainstBaseline(
        state, [&] { benchmark::DoNotOptimize(ConvertBank(path)); },
        [&] { benchmark::DoNotOptimize(PlainRead(path)); });
    ReportRatio(state, "ratio", {"convert", time.seconds}, {"read", time.baseline});
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSampleBytes);
}
BENCHMARK(BM_ConvertLargeBankToSf2)->Unit(benchmark::kMillisecond);
} // namespace
