// Seeds of the card journal target: one byte choosing the snapshot (0 a fresh
// card, 1 one holding some of everything), then journals the card writes
// (every kind of record line), one torn mid-record and one with a damaged checksum.

#include "SeedSet.h"

#include "cardstate/CardJournal.h"

namespace
{
std::string Journal(const std::vector<CCardModel>& history)
{
    std::string journal;
    for (std::size_t i = 1; i < history.size(); ++i)
        journal += CardJournal::Frame(CCardModel::RecordOf(history[i - 1], history[i]));
    return journal;
}

void Make(CSeedSet& seeds)
{
    constexpr std::uint64_t kTotal = 1u << 30;
    std::vector<CCardModel> history(1);
    const auto step = [&](auto&& change)
    {
        CCardModel next = history.back();
        change(next);
        history.push_back(std::move(next));
    };
    step(
        [&](CCardModel& m) {
            m.LoadBankFile(3, {"/banks/a b%.sbk", "Caf\xc3\xa9", 5000, {{0, "Piano"}, {5, "Strings"}}, {}},
                           kTotal);
        });
    step([&](CCardModel& m) { m.LoadPreset(3, 9, {"/w.sbk", 2, "Wave", 300, "00ab"}, kTotal); });
    step([&](CCardModel& m) { m.ClearSlot(3, 5); });
    step([&](CCardModel& m) { m.SetEffects(1, 6); });
    step([&](CCardModel& m) { m.RestoreSlot(3, 5); });
    step([&](CCardModel& m) { m.SelectSynthMode(2); });
    step([&](CCardModel& m) { m.ClearBank(3); });
    const std::string journal = Journal(history);
    seeds.Add("fresh-history", std::string(1, '\0').append(journal));
    seeds.Add("mixed-history", std::string(1, '\1').append(journal));
    seeds.Add("torn", std::string(1, '\0').append(journal.substr(0, journal.size() - 7)));
    std::string damaged = journal;
    damaged[damaged.find('\n') - 1] ^= 1;
    seeds.Add("bad-checksum", std::string(1, '\1').append(damaged));
    seeds.Add("unpreset-and-unbank",
              std::string(1, '\1').append(CardJournal::Frame("unpreset 3 9\nunbank 3\nunemptied 3 5\n")));
    seeds.Add("empty", std::string(1, '\0'));
}

const RegisterSeeds registration("CardJournal", Make);
} // namespace
