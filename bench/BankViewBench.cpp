// The bank view on the emulated card (offscreen Qt, the view shown):
// - filling a card bank's tab: 128 slot rows (32 of them document patches,
//   the rest the card's own presets from the bank's file), laid out and
//   painted; against the card queries such a fill has to make (each slot's
//   preset name and the bank's file), so the view's own share shows as x_card;
// - refreshing all 129 tab captions and images; against the 129 bank-name
//   queries of the card it needs.

#include "bank/PatchItemListGuard.h"
#include "bank/TamberlyDoc.h"
#include "platform/RegistryStore.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweSession.h"
#include "ui/frame/BankViewModel.h"
#include "ui/frame/TamberlyView.h"

#include "QtBenchSupport.h"

#include <QApplication>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

namespace
{
constexpr int kBank = 1;
constexpr int kSlots = 128;
constexpr int kTabs = 129;
constexpr int kDocumentPatches = 32;

double SecondsOf(auto&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct ViewSetup
{
    TempDir home;
    TempDir files;
    std::unique_ptr<CTamberlyDoc> doc;
    std::unique_ptr<CTamberlyView> view;
    bool ready = false;

    ViewSetup()
    {
        ::setenv("TAMBERLY_CARD_HOME", home.Path().c_str(), 1);
        // The view keeps its column widths in the profile: not the user's.
        EnsureBenchApplication(home.File("config"));

        const std::string bank = files.File("bank.sbk");
        MakeLargeBank(kSlots, 1u << 20).WriteFile(bank);
        doc = std::make_unique<CTamberlyDoc>(
            std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path())));
        if (!doc->OnNewDocument() || !doc->GetCard().LoadBank(kBank, bank))
            return;
        CPatchItemList patches;
        CPatchItemListGuard guard(patches);
        for (int i = 0; i < kDocumentPatches; ++i)
        {
            CPatchItem* item = patches.AddNew();
            item->SetName("Patch " + std::to_string(i));
            item->SetSourceFile(bank);
            item->SetSourcePatch(i);
            item->SetTargetBank(kBank);
            item->SetTargetPatch(i * 4);
        }
        doc->AddPatches(nullptr, patches);
        view = std::make_unique<CTamberlyView>(*doc);
        view->resize(800, 400);
        view->show();
        view->OnInitialUpdate();
        doc->SetCurrentBank(nullptr, kBank);
        QApplication::processEvents();
        const CBankViewModel& rows = *view->GetModel();
        ready = rows.rowCount() == kSlots &&
                rows.index(4, 0).data().toString().endsWith(QLatin1String("Patch 1"));
    }
    ~ViewSetup()
    {
        // This runs during static destruction, after Qt's own thread storage
        // is gone: a window can no longer be destroyed then. The view is kept
        // (reachable, so no leak is reported) and goes with the process.
        static CTamberlyView* kept = nullptr;
        kept = view.release();
        doc->RemoveObserver(kept);
        doc.reset();
    }
};

ViewSetup& TheSetup()
{
    static ViewSetup setup;
    return setup;
}

void BM_FillCardBankTab(benchmark::State& state)
{
    ViewSetup& setup = TheSetup();
    if (!setup.ready)
    {
        state.SkipWithError("the emulated card, the bank or the view could not be set up");
        return;
    }
    CAweSession& card = setup.doc->GetCard();
    double baseline = 1e9;
    for (int round = 0; round < 3; ++round)
        baseline = std::min(baseline, SecondsOf(
                                          [&]
                                          {
                                              for (int slot = 0; slot < kSlots; ++slot)
                                              {
                                                  benchmark::DoNotOptimize(card.GetPresetName(kBank, slot));
                                                  benchmark::DoNotOptimize(card.GetBankFile(kBank));
                                              }
                                          }));

    double fills = 0;
    for (auto _ : state)
    {
        fills += SecondsOf(
            [&]
            {
                setup.view->OnUpdate(nullptr, HintBankList, nullptr); // the current bank, kBank
                QApplication::processEvents();                        // layout and paint
            });
        setup.doc->ReleaseTemporaryPatches(); // the idle pass
    }
    const double perFill = fills / static_cast<double>(state.iterations());
    state.counters["fill_ms"] = perFill * 1e3;
    state.counters["card_ms"] = baseline * 1e3;
    state.counters["x_card"] = perFill / baseline;
}
BENCHMARK(BM_FillCardBankTab)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RefreshAllTabs(benchmark::State& state)
{
    ViewSetup& setup = TheSetup();
    if (!setup.ready)
    {
        state.SkipWithError("the emulated card, the bank or the view could not be set up");
        return;
    }
    CAweSession& card = setup.doc->GetCard();
    double baseline = 1e9;
    for (int round = 0; round < 3; ++round)
        baseline = std::min(baseline, SecondsOf(
                                          [&]
                                          {
                                              for (int bank = 0; bank < kTabs - 1; ++bank)
                                                  benchmark::DoNotOptimize(card.GetBankName(bank));
                                          }));

    double refreshes = 0;
    for (auto _ : state)
    {
        refreshes += SecondsOf(
            [&]
            {
                setup.view->OnUpdate(nullptr, HintBankTabs, nullptr);
                QApplication::processEvents();
            });
    }
    const double perRefresh = refreshes / static_cast<double>(state.iterations());
    state.counters["refresh_ms"] = perRefresh * 1e3;
    state.counters["card_ms"] = baseline * 1e3;
    state.counters["x_card"] = perRefresh / baseline;
}
BENCHMARK(BM_RefreshAllTabs)->Unit(benchmark::kMillisecond)->Iterations(20);
} // namespace
