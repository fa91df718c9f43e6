// Opening a virtual bank document of 128 patches, every preset of one 28 MB
// SoundFont bank on a slot of user bank 1, on the emulated card: the card
// emptied, the document decoded, and every patch loaded (the bank and its
// presets checked, the bank pinned in the card's memory, each load appended
// to the card's journal). Two figures, each against a baseline measured in
// this run:
// - "x_loads": the open over the same 128 CAweSession::LoadPreset calls
//   made directly, so the document's own share shows;
// - "x_read": the open over one plain read of the 28 MB bank (goal: at most 5).

#include "BenchSupport.h"

#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "platform/AtomicFile.h"
#include "platform/RegistryStore.h"
#include "support/RiffBuilder.h"
#include "synth/AweSession.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr int kPatches = 128;
constexpr int kPresets = 128;
constexpr std::uint32_t kSampleBytes = 28u << 20;
// Room for every patch's samples at once: the whole bank.
constexpr const char* kMemoryKB = "32768";

int Bank(int i)
{
    return 1 + i / 128;
}
int Slot(int i)
{
    return i % 128;
}
int Source(int i)
{
    return i % kPresets;
}

struct Setup
{
    TempDir home;
    TempDir files;
    std::string bank;
    std::string document;
    bool ready = false;

    Setup()
    {
        ::setenv("TAMBERLY_CARD_HOME", home.Path().c_str(), 1);
        bank = LargeBankFile(kPresets, kSampleBytes);

        CPatchItemList patches;
        CPatchItemListGuard guard(patches);
        for (int i = 0; i < kPatches; ++i)
        {
            CPatchItem* item = patches.AddNew();
            item->SetName("Patch " + std::to_string(i));
            item->SetSourceFile(bank);
            item->SetSourcePatch(Source(i));
            item->SetTargetBank(Bank(i));
            item->SetTargetPatch(Slot(i));
        }
        document = files.File("large.tmb");
        CAtomicFile file(document);
        if (!file.Open())
            return;
        CDocumentFile::Store(file.Sink(), {}, patches, "");
        if (!file.Commit())
            return;

        // The first command installs the card's settings; then its memory is enlarged.
        CAweSession card(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
        if (!card.IsAvailable() || card.GetMemoryKB(false) == 0)
            return;
        const std::string settings = card.GetSettingsKey();
        ready =
            CRegistryStore(home.Path())
                .Update([&](CRegistryStore::Tree& tree) { tree.SetValue(settings, "MemoryKB", kMemoryKB); });
    }
};

const Setup& TheSetup()
{
    static const Setup setup;
    return setup;
}

void BM_OpenDocument(benchmark::State& state)
{
    const Setup& setup = TheSetup();
    if (!setup.ready)
    {
        state.SkipWithError("the emulated card or the files could not be set up");
        return;
    }
    const auto session = [&]
    { return std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(setup.home.Path())); };

    // Baselines: the bare loads (on an emptied card), and one read of the bank.
    double loads = 1e9;
    double read = 1e9;
    const auto measureBaselines = [&]
    {
        auto card = session();
        for (int round = 0; round < 2; ++round)
        {
            card->ClearAllBanks();
            int failed = 0;
            loads = std::min(loads, SecondsOf(
                                        [&]
                                        {
                                            for (int i = 0; i < kPatches; ++i)
                                            {
                                                int used = 0;
                                                failed += card->LoadPreset(Bank(i), Slot(i), setup.bank,
                                                                           Source(i), &used)
                                                              ? 0
                                                              : 1;
                                            }
                                        }));
            if (failed != 0)
                state.SkipWithError("a bare load failed");
        }
        read = std::min(read, BestOf(5, [&] { benchmark::DoNotOptimize(PlainRead(setup.bank)); }));
    };
    measureBaselines();

    double opens = 0;
    for (auto _ : state)
    {
        CTamberlyDoc doc(session());
        bool opened = false;
        opens += SecondsOf([&] { opened = doc.OnOpenDocument(setup.document); });
        state.PauseTiming();
        const auto loaded = std::count_if(doc.GetPatches().begin(), doc.GetPatches().end(),
                                          [](const CPatchItem* item) { return item->IsLoaded(); });
        if (!opened || loaded != kPatches)
            state.SkipWithError("the document did not open with every patch loaded");
        state.ResumeTiming();
    }
    measureBaselines();

    const double perOpen = opens / static_cast<double>(state.iterations());
    ReportRatio(state, "x_loads", {"open", perOpen}, {"loads", loads});
    ReportRatio(state, "x_read", {"open", perOpen}, {"read", read});
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace
