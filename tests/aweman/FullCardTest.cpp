// The card filled with copies of a bank as large as a standard card's whole
// memory, loaded into banks 1..127 in order: the copies that fit load, every
// later one is refused for memory with nothing of it half loaded.

#include "aweman/CardFixture.h"
#include "cardstate/CardModel.h"
#include "support/CardFillingBank.h"
#include "support/SoundFontBuilder.h"

#include <cstdio>
#include <map>

namespace
{
std::string UserBankValue(int bank)
{
    char name[8];
    std::snprintf(name, sizeof name, "B%03d", bank);
    return name;
}

// One manager command the way the program sends it: open, the command, close.
class CardCalls
{
public:
    template <typename Command> std::int32_t Call(Command command)
    {
        const std::uint32_t handle = manager.Open();
        if (handle == 0)
            return -1;
        const std::int32_t result = command(handle);
        EXPECT_EQ(manager(handle, kAweClose), 0);
        return result;
    }

    std::int32_t LoadBank(int bank, const std::string& path)
    {
        FileReference file;
        file.path = path.c_str();
        file.length = static_cast<std::uint32_t>(path.size());
        return Call(
            [&](std::uint32_t handle)
            {
                return manager(handle, kAweLoadBank, static_cast<std::uintptr_t>(bank),
                               reinterpret_cast<std::uintptr_t>(&file));
            });
    }

    // The bank's name, or the card's refusal as "#<result>".
    std::string BankName(int bank)
    {
        char text[kNameBufferSize] = {};
        NameBuffer name;
        name.size = kNameBufferSize;
        name.buffer = text;
        const std::int32_t result = Call(
            [&](std::uint32_t handle)
            {
                return manager(handle, kAweGetBankName, static_cast<std::uintptr_t>(bank),
                               reinterpret_cast<std::uintptr_t>(&name));
            });
        // Appended, not "#" + ...: GCC 12 at -O3 takes that insert for an overlapping copy (-Wrestrict).
        return result == 0 ? std::string(text) : std::string("#").append(std::to_string(result));
    }

    // Total and free sound memory in words; both 0 when the card does not answer.
    std::pair<std::uint64_t, std::uint64_t> Memory()
    {
        std::uint32_t total = 0, free = 0;
        if (Call([&](std::uint32_t handle) { return manager(handle, kAweGetMemory, &total, &free); }) != 0)
            return {0, 0};
        return {total, free};
    }

private:
    CDirectManager manager;
};
} // namespace

TEST_F(CardTest, CopiesOfALargeBankFillTheCardAndEveryLaterOneIsRefusedWhole)
{
    constexpr int kFit = kCardFillingCopiesThatFit;
    const std::vector<std::string> copies = WriteCardFillingCopies(files, CCardModel::kLastBank);
    Session(); // installs the settings
    SetSetting("MemoryKB", std::to_string(kCardFillingMemoryKB));
    const std::string userBanks = Session()->GetSettingsKey() + "\\" + kUserBankSubkey;
    const auto userBankEntries = [&]
    {
        const auto values = Registry().Values(userBanks);
        return std::map<std::string, std::string>(values.begin(), values.end());
    };

    CardCalls card;
    const std::uint64_t totalWords = std::uint64_t{kCardFillingMemoryKB} * 512;
    ASSERT_EQ(card.Memory(), std::make_pair(totalWords, totalWords));

    std::map<std::string, std::string> loadedEntries;
    for (int bank = 1; bank <= CCardModel::kLastBank; ++bank)
    {
        const std::string& copy = copies[static_cast<std::size_t>(bank - 1)];
        const Snapshot before = Take();
        const auto memoryBefore = card.Memory();
        const auto entriesBefore = userBankEntries();
        const std::int32_t result = card.LoadBank(bank, copy);
        if (bank <= kFit)
        {
            ASSERT_EQ(result, 0) << "bank " << bank;
            loadedEntries[UserBankValue(bank)] = copy;
            EXPECT_EQ(card.Memory().second,
                      totalWords - static_cast<std::uint64_t>(bank) * kCardFillingBankWords)
                << "bank " << bank;
            EXPECT_EQ(card.BankName(bank), CardFillingCopyName(bank));
            EXPECT_EQ(userBankEntries(), loadedEntries) << "bank " << bank;
            continue;
        }
        // Refused for memory, and the card is exactly as it was: the state
        // file not even rewritten, the registry's bank entries the same.
        EXPECT_EQ(result, static_cast<std::int32_t>(CardResult::NoMemory)) << "bank " << bank;
        EXPECT_EQ(Take(), before) << "bank " << bank;
        EXPECT_EQ(card.Memory(), memoryBefore) << "bank " << bank;
        EXPECT_EQ(userBankEntries(), entriesBefore) << "bank " << bank;
        EXPECT_EQ(card.BankName(bank),
                  std::string("#").append(std::to_string(static_cast<int>(CardResult::Empty))))
            << "bank " << bank;
        if (HasFailure())
            break; // one bank's account is enough
    }

    // The card's own account: the copies that fit, one word short of another.
    EXPECT_EQ(card.Memory().second, totalWords - kFit * kCardFillingBankWords);
    EXPECT_EQ(card.Memory().second, kCardFillingBankWords - 1);
    const auto state = ReadState();
    ASSERT_TRUE(state);
    ASSERT_EQ(state->bankFiles.size(), static_cast<std::size_t>(kFit));
    for (const auto& [bank, bankFile] : state->bankFiles)
    {
        EXPECT_EQ(bankFile.file, copies[static_cast<std::size_t>(bank - 1)]);
        EXPECT_EQ(bankFile.words, kCardFillingBankWords);
    }
    EXPECT_TRUE(state->presets.empty());
    EXPECT_EQ(userBankEntries(), loadedEntries);
    EXPECT_EQ(Session()->GetMemoryKB(true), static_cast<int>((kCardFillingBankWords - 1) / 512));

    // What one bank gives back takes a copy anywhere, and no more than one.
    ASSERT_TRUE(Session()->ClearBank(3));
    EXPECT_EQ(card.LoadBank(127, copies[126]), 0);
    EXPECT_EQ(card.BankName(127), CardFillingCopyName(127));
    EXPECT_EQ(card.LoadBank(3, copies[2]), static_cast<std::int32_t>(CardResult::NoMemory));
    EXPECT_EQ(card.Memory().second, kCardFillingBankWords - 1);

    // A bank of exactly the words left takes the card's last word.
    SoundFontBuilder filler;
    filler.SampleData(static_cast<std::uint32_t>(2 * (kCardFillingBankWords - 1)));
    filler.AddPreset("Filler", 0, 0, {filler.AddInstrument("Filler", {filler.AddSample(0, 16)})});
    const std::string fillerPath = files.File("filler.sbk");
    filler.WriteFile(fillerPath, SoundFontBuilder::SampleFill::Hole);
    EXPECT_EQ(card.LoadBank(3, fillerPath), 0);
    EXPECT_EQ(card.Memory(), std::make_pair(totalWords, std::uint64_t{0}));
}
