// SoundFont 2 banks as people have them, the Debian packages' own:
// - "list_ratio": listing every preset of FluidR3_GM.sf2 (148 MB; one Open,
//   the sample count and bytes of each preset) over one plain read of the
//   whole file. Goal: at most 0.05, as listing reads only the preset data.
// - "load_ratio": CAweSession::LoadBank of TimGM6mb.sf2 onto the emulated
//   card (the card reads the bank and counts the samples its presets use)
//   over one plain read of it. Goal: at most 3.
// Both baselines are measured in the same run; a bank not installed skips
// its benchmark (scripts/bootstrap installs both).

#include "BenchSupport.h"

#include "platform/RegistryStore.h"
#include "soundfont/SoundFontReader.h"
#include "support/RiffBuilder.h"
#include "synth/AweSession.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>

namespace
{
constexpr const char* kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
constexpr const char* kTimGM = "/usr/share/sounds/sf2/TimGM6mb.sf2";

void BM_ListFluidR3(benchmark::State& state)
{
    if (::access(kFluidR3, R_OK) != 0 || ListBank(kFluidR3) <= 0)
    {
        state.SkipWithError("FluidR3_GM.sf2 is not installed");
        return;
    }
    const AgainstBaseline time = TimeAgainstBaseline(
        state, [&] { benchmark::DoNotOptimize(ListBank(kFluidR3)); },
        [&] { benchmark::DoNotOptimize(PlainRead(kFluidR3)); });
    ReportRatio(state, "list_ratio", {"list", time.seconds}, {"read", time.baseline},
                benchmark::kMicrosecond);
}
BENCHMARK(BM_ListFluidR3)->Unit(benchmark::kMicrosecond);

void BM_LoadTimGMBank(benchmark::State& state)
{
    if (::access(kTimGM, R_OK) != 0)
    {
        state.SkipWithError("TimGM6mb.sf2 is not installed");
        return;
    }
    static const TempDir home;
    ::setenv("TAMBERLY_CARD_HOME", home.Path().c_str(), 1);
    CAweSession card(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
    if (!card.IsAvailable() || !card.ClearAllBanks())
    {
        state.SkipWithError("the emulated card does not answer");
        return;
    }
    bool loaded = true;
    const AgainstBaseline time = TimeAgainstBaseline(
        state,
        [&]
        {
            loaded = card.LoadBank(3, kTimGM) && loaded;
            loaded = card.ClearBank(3) && loaded;
        },
        [&] { benchmark::DoNotOptimize(PlainRead(kTimGM)); });
    if (!loaded)
        state.SkipWithError("the card refused TimGM6mb.sf2");
    ReportRatio(state, "load_ratio", {"load", time.seconds}, {"read", time.baseline});
}
BENCHMARK(BM_LoadTimGMBank)->Unit(benchmark::kMillisecond)->Iterations(10);
} // namespace
