// Commands sent in one session of the card (CAweBatch) answer and leave the
// card as the same commands sent one session each: refusals in the middle of
// the run included, and a bank file rewritten between two of its loads.

#include "CardFixture.h"

#include <tuple>

namespace
{
struct Outcome
{
    std::vector<std::tuple<bool, int, std::string>> loads; // result, KB taken, the slot's name after
    std::optional<CCardModel> state;
    int freeKB = 0;
};

// The state without the pins' names, which are drawn at random for each load.
std::optional<CCardModel> WithoutPinNames(std::optional<CCardModel> state)
{
    if (state)
        for (auto& [slot, preset] : state->presets)
            preset.memory = preset.memory.empty() ? "" : "pinned";
    return state;
}
} // namespace

TEST_F(CardTest, ABatchAnswersAndLeavesTheCardAsSingleCommandsDo)
{
    const std::vector<BankPreset> presets = {{"One", 0, 0, 512}, {"Two", 1, 0, 1024}, {"Three", 2, 0, 2048}};
    const std::vector<BankPreset> rewritten = {{"Uno", 0, 0, 4096}, {"Dos", 1, 0, 8192}};
    const auto run = [&](bool batched)
    {
        const std::string bank = WriteBank("bank.sbk", presets, 16 * 1024, "Bank");
        const auto card = Session();
        Outcome outcome;
        EXPECT_TRUE(card->ClearAllBanks());
        std::optional<CAweBatch> batch;
        if (batched)
            batch.emplace(*card);
        const auto load = [&](int slot, const std::string& file, int preset)
        {
            int used = -1;
            const bool ok = card->LoadPreset(1, slot, file, preset, &used);
            outcome.loads.emplace_back(ok, used, card->GetPresetName(1, slot));
        };
        load(0, bank, 0);
        load(1, bank, 9);                   // no such preset
        load(2, files.File("gone.sbk"), 0); // no such file
        load(3, bank, 2);
        // The same path, another bank: what the card read of the first must not answer for it.
        WriteBank("bank.sbk", rewritten, 32 * 1024, "Bank");
        load(4, bank, 1);
        load(5, bank, 2); // gone from the new bank
        load(3, bank, 0); // in place of a loaded preset
        batch.reset();
        outcome.freeKB = card->GetMemoryKB(true);
        outcome.state = WithoutPinNames(ReadState());
        return outcome;
    };

    const Outcome single = run(false);
    const Outcome batched = run(true);
    ASSERT_EQ(single.loads.size(), 7u);
    EXPECT_EQ(single.loads[0], std::make_tuple(true, 1, std::string("One")));
    EXPECT_EQ(single.loads[1], std::make_tuple(false, 0, std::string()));
    EXPECT_EQ(single.loads[2], std::make_tuple(false, 0, std::string()));
    EXPECT_EQ(single.loads[4], std::make_tuple(true, 16, std::string("Dos")));
    EXPECT_EQ(single.loads[5], std::make_tuple(false, 0, std::string()));
    EXPECT_EQ(single.loads[6], std::make_tuple(true, 8, std::string("Uno")));
    ASSERT_TRUE(single.state);
    EXPECT_EQ(single.state->presets.size(), 3u);

    EXPECT_EQ(batched.loads, single.loads);
    EXPECT_EQ(batched.freeKB, single.freeKB);
    EXPECT_EQ(batched.state, single.state);
}
