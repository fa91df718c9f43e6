// The emulated card's state file: CCardModel::Parse of the input, then the
// input put in place as card.state of a card that is opened, asked and
// changed. What parses must describe a card the model can hold and write
// itself back unchanged; what does not parse must give a fresh card that
// replaces the damage; either way the card must answer from what it read.

#include "CardModelCheck.h"
#include "FuzzCard.h"

#include "synth/AweManager.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
std::string Name(CFuzzCard& card, std::uint32_t handle, std::uint32_t code, std::uintptr_t param1,
                 bool& found)
{
    std::vector<char> buffer(kNameBufferSize, 'x');
    NameBuffer name;
    name.size = kNameBufferSize;
    name.buffer = buffer.data();
    const std::int32_t result = card.Call(handle, code, param1, CFuzzCard::Param(&name));
    FUZZ_CHECK(result == 0 || result == static_cast<std::int32_t>(CardResult::Empty));
    found = result == 0;
    if (!found)
        return {};
    FUZZ_CHECK(std::memchr(buffer.data(), '\0', buffer.size()) != nullptr);
    return std::string(buffer.data());
}

// What the card tells of what it read, against the model it should have read.
void CheckCard(CFuzzCard& card, std::uint32_t handle, const CCardModel& model)
{
    std::uint32_t total = 0;
    std::uint32_t free = 0;
    FUZZ_CHECK(card.Call(handle, kAweGetMemory, CFuzzCard::Param(&total), CFuzzCard::Param(&free)) == 0);
    FUZZ_CHECK(free == model.FreeWords(total));

    EffectsRecord effects;
    FUZZ_CHECK(card.Call(handle, kAweGetEffects, CFuzzCard::Param(&effects)) == 0);
    FUZZ_CHECK(effects.reverb == model.reverb && effects.chorus == model.chorus);

    // The names the card gives are the state's, cut to the buffer. A few banks
    // and slots: every one would make each input slow.
    int asked = 0;
    for (const auto& [bank, bankFile] : model.bankFiles)
    {
        if (++asked > 4)
            break;
        bool found = false;
        const std::string name =
            Name(card, handle, kAweGetBankName, static_cast<std::uintptr_t>(bank), found);
        FUZZ_CHECK(found);
        const std::size_t length = std::min<std::size_t>(bankFile.name.size(), kNameBufferSize - 1);
        FUZZ_CHECK(name == std::string(bankFile.name.data(), length).c_str());
    }
    asked = 0;
    for (const auto& [where, preset] : model.presets)
    {
        if (++asked > 4)
            break;
        PresetAddress address;
        address.bank = static_cast<std::uint16_t>(where.first);
        address.preset = static_cast<std::uint16_t>(where.second);
        bool found = false;
        const std::string name = Name(card, handle, kAweGetPresetName, CFuzzCard::Param(&address), found);
        const std::size_t length = std::min<std::size_t>(preset.name.size(), kNameBufferSize - 1);
        FUZZ_CHECK(found && name == std::string(preset.name.data(), length).c_str());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(AsText(data, size));
    const std::optional<CCardModel> parsed = CCardModel::Parse(text);
    if (parsed)
    {
        CheckCardModel(*parsed);
        const std::string serialized = parsed->Serialize();
        const std::optional<CCardModel> again = CCardModel::Parse(serialized);
        FUZZ_CHECK(again && *again == *parsed && again->Serialize() == serialized);
    }

    CFuzzCard& card = CFuzzCard::Instance();
    card.PutState(text);
    std::uint32_t handle = 0;
    FUZZ_CHECK(card.Call(0, kAweOpen, CFuzzCard::Param(&handle)) == 0 && handle != 0);

    // A state that parses is used as it is; a damaged one is replaced by a fresh card.
    const CCardModel expected = parsed ? *parsed : CCardModel();
    const std::optional<std::string> stored = card.StateText();
    FUZZ_CHECK(stored.has_value());
    if (parsed)
        FUZZ_CHECK(*stored == text);
    else
        FUZZ_CHECK(*stored == CCardModel().Serialize());
    CheckCard(card, handle, expected);

    // One change, written through: the first user bank in the state emptied.
    const int bank = expected.bankFiles.empty() ? 1 : expected.bankFiles.begin()->first;
    CCardModel cleared = expected;
    FUZZ_CHECK(cleared.ClearBank(bank) == CardResult::Ok);
    FUZZ_CHECK(card.Call(handle, kAweClearBank, static_cast<std::uintptr_t>(bank)) == 0);
    const std::optional<CCardModel> written = card.State();
    FUZZ_CHECK(written && *written == cleared);
    CheckCard(card, handle, cleared);

    FUZZ_CHECK(card.Call(handle, kAweClose) == 0);
    return 0;
}
