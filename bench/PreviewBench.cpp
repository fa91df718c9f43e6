// Hearing a preset of a large bank before placing it:
// - "image_ratio": the one-preset image the preview plays (MakePresetImage)
//   of FluidR3_GM.sf2's grand piano, its largest melodic preset, over one
//   plain read of the whole 148 MB file. Goal: at most 0.25, as only the
//   preset's own samples are read. The image is built off the window's
//   thread all the same: the first preview may wait for the engine too.
// The baseline is measured in the same run; without the bank the benchmark
// is skipped (scripts/bootstrap installs it).

#include "BenchSupport.h"

#include "soundfont/PresetImage.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace
{
constexpr const char* kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

void BM_PreviewImageFluidR3(benchmark::State& state)
{
    PresetImage image;
    if (::access(kFluidR3, R_OK) != 0 || !MakePresetImage(kFluidR3, 0, image))
    {
        state.SkipWithError("FluidR3_GM.sf2 is not installed");
        return;
    }
    const AgainstBaseline time = TimeAgainstBaseline(
        state,
        [&]
        {
            MakePresetImage(kFluidR3, 0, image);
            benchmark::DoNotOptimize(image.bytes.data());
        },
        [&] { benchmark::DoNotOptimize(PlainRead(kFluidR3)); });
    state.counters["image_MB"] = static_cast<double>(image.bytes.size()) / 1e6;
    ReportRatio(state, "image_ratio", {"image", time.seconds}, {"read", time.baseline});
}
BENCHMARK(BM_PreviewImageFluidR3)->Unit(benchmark::kMillisecond)->Iterations(10);
} // namespace
