// The card manager entry point of the emulated card, fed a script of calls:
// any command code (known or not), handles that are open, closed, zero or
// made up, numbers with high bits set, null pointers and records filled from
// the input (paths whose length lies, name buffers of every size, allocated
// to exactly that size so that a write past them is caught). The bank file
// the commands may load is part of the input too.
//
// Input: a 16-bit length and that many bytes (written as fuzz.sbk in the
// card's home folder), then the script, one call per step.
//
// After every call: the result is a known one; handles behave; a refused
// call left the state file as it was; the state file parses, names exactly
// the memory copies that exist, and agrees with what the call did or told.

#include "FuzzCard.h"

#include "aweman/SynthBank.h"
#include "synth/AweManager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace
{
constexpr std::uint32_t kCodes[] = {kAweGetMemory,   kAweOpen,         kAweClose,           kAweGetEffects,
                                    kAweSetEffects,  kAweGetSynthBank, kAweSelectSynthBank, kAweLoadBank,
                                    kAweGetBankName, kAweClearBank,    kAweLoadPreset,      kAweGetPresetName,
                                    kAweClearPreset};
constexpr int kMaxSteps = 48;
constexpr std::int32_t kLastResult = static_cast<std::int32_t>(CardResult::UnknownCommand);

std::uint32_t Word32(CFuzzInput& in)
{
    const std::uint32_t low = in.Word();
    return low | (static_cast<std::uint32_t>(in.Word()) << 16);
}

// A number parameter: mostly small, sometimes any 32 bits, sometimes a small
// number with high bits set (the card reads some parameters' low 16 bits only).
std::uintptr_t Number(CFuzzInput& in)
{
    switch (in.Byte() % 4)
    {
    case 0:
        return in.Byte();
    case 1:
        return Word32(in);
    case 2:
        return (std::uintptr_t{1} << (16 + in.Byte() % 16)) | in.Byte();
    default:
        return in.Byte() % 4 == 0 ? 128 : 0;
    }
}

// Everything one call's records need, kept alive for the call.
struct Records
{
    std::uint32_t out1 = 0xDEADBEEF;
    std::uint32_t out2 = 0xDEADBEEF;
    std::unique_ptr<PresetAddress> address;
    std::unique_ptr<FileReference> file;
    std::vector<char> path;
    std::unique_ptr<NameBuffer> name;
    std::unique_ptr<char[]> nameBytes;
    std::uint32_t nameSize = 0;
    std::unique_ptr<EffectsRecord> effects;
};

std::string PathText(CFuzzInput& in, const CFuzzCard& card)
{
    switch (in.Byte() % 8)
    {
    case 0:
        return card.PathOf("fuzz.sbk");
    case 1:
        return card.Home() + "/./fuzz.sbk"; // the same file by a path that is not normal
    case 2:
        return card.PathOf(CSynthBank::FileName(0));
    case 3:
        return card.PathOf(CSynthBank::FileName(2));
    case 4:
        return "missing.sbk"; // relative: not in the working folder
    case 5:
        return card.Home();
    case 6:
        return std::string();
    default:
    {
        std::string text(in.Byte() % 32, '\0');
        for (char& c : text)
            c = static_cast<char>(in.Byte());
        return text;
    }
    }
}

std::uintptr_t FileRecord(CFuzzInput& in, Records& records, const CFuzzCard& card)
{
    if (in.Byte() % 8 == 0)
        return 0;
    const std::string text = PathText(in, card);
    records.path.assign(text.begin(), text.end());
    records.path.push_back('\0'); // the contract: always NUL-terminated
    records.file = std::make_unique<FileReference>();
    records.file->path = in.Byte() % 16 == 0 ? nullptr : records.path.data();
    // The true length, or one that lies a little or a lot.
    const std::uint8_t lie = in.Byte();
    records.file->length = static_cast<std::uint32_t>(text.size());
    if (lie % 4 == 1)
        records.file->length += lie / 4 - 32;
    else if (lie % 4 == 2)
        records.file->length = Word32(in);
    records.file->sourcePreset = in.Byte() % 2 ? in.Byte() : Word32(in);
    return CFuzzCard::Param(records.file.get());
}

std::uintptr_t AddressRecord(CFuzzInput& in, Records& records)
{
    if (in.Byte() % 8 == 0)
        return 0;
    records.address = std::make_unique<PresetAddress>();
    records.address->bank = in.Byte() % 4 == 0 ? in.Word() : in.Byte() % 130;
    records.address->preset = in.Byte() % 4 == 0 ? in.Word() : in.Byte() % 130;
    return CFuzzCard::Param(records.address.get());
}

std::uintptr_t NameRecord(CFuzzInput& in, Records& records)
{
    if (in.Byte() % 8 == 0)
        return 0;
    const std::uint8_t choice = in.Byte();
    static constexpr std::uint32_t kSizes[] = {0, 1, 2, 8, kNameBufferSize, kNumberBufferSize};
    records.nameSize = choice < 192 ? kSizes[choice % 6] : choice - 192;
    // Exactly the size the record claims: a write beyond it is a sanitizer report.
    records.nameBytes = std::make_unique<char[]>(std::max<std::uint32_t>(records.nameSize, 1));
    std::memset(records.nameBytes.get(), 'x', std::max<std::uint32_t>(records.nameSize, 1));
    records.name = std::make_unique<NameBuffer>();
    records.name->size = records.nameSize;
    records.name->buffer = in.Byte() % 16 == 0 ? nullptr : records.nameBytes.get();
    return CFuzzCard::Param(records.name.get());
}

std::uintptr_t EffectsParam(CFuzzInput& in, Records& records)
{
    if (in.Byte() % 8 == 0)
        return 0;
    records.effects = std::make_unique<EffectsRecord>();
    records.effects->selector = in.Byte() % 8 == 0 ? in.Byte() : 0;
    records.effects->reverb = in.Byte() % 8 == 0 ? in.Word() : in.Byte() % 9;
    records.effects->chorus = in.Byte() % 8 == 0 ? in.Word() : in.Byte() % 9;
    return CFuzzCard::Param(records.effects.get());
}

std::uintptr_t OutParam(CFuzzInput& in, std::uint32_t& out)
{
    return in.Byte() % 8 == 0 ? 0 : CFuzzCard::Param(&out);
}

struct Call
{
    std::uint32_t handle = 0;
    std::uint32_t code = 0;
    std::uintptr_t param1 = 0;
    std::uintptr_t param2 = 0;
};

Call MakeCall(CFuzzInput& in, Records& records, const CFuzzCard& card, const std::set<std::uint32_t>& open,
              std::uint32_t closed)
{
    Call call;
    const std::uint8_t op = in.Byte();
    call.code = op % 16 < std::size(kCodes) ? kCodes[op % 16] : (op % 16 == 13 ? Word32(in) : kAweOpen);
    switch (in.Byte() % 4)
    {
    case 0:
    case 1:
        call.handle = open.empty() ? 0 : *open.rbegin();
        break;
    case 2:
        call.handle = closed;
        break;
    default:
        call.handle = Word32(in);
        break;
    }

    switch (call.code)
    {
    case kAweOpen:
        call.param1 = OutParam(in, records.out1);
        break;
    case kAweGetMemory:
        call.param1 = OutParam(in, records.out1);
        call.param2 = OutParam(in, records.out2);
        break;
    case kAweGetEffects:
    case kAweSetEffects:
        call.param1 = EffectsParam(in, records);
        break;
    case kAweGetSynthBank:
        call.param1 = NameRecord(in, records);
        break;
    case kAweLoadBank:
        call.param1 = Number(in);
        call.param2 = FileRecord(in, records, card);
        break;
    case kAweGetBankName:
        call.param1 = Number(in);
        call.param2 = NameRecord(in, records);
        break;
    case kAweLoadPreset:
        call.param1 = AddressRecord(in, records);
        call.param2 = FileRecord(in, records, card);
        break;
    case kAweGetPresetName:
        call.param1 = AddressRecord(in, records);
        call.param2 = NameRecord(in, records);
        break;
    default:
        call.param1 = Number(in);
        call.param2 = Number(in);
        break;
    }
    return call;
}

// FUZZ_TRACE=1 in the environment prints every call and its result (for replaying a finding).
bool Trace()
{
    static const bool trace = std::getenv("FUZZ_TRACE") != nullptr;
    return trace;
}

CCardModel StateModel(const CFuzzCard& card)
{
    if (!card.StateText())
        return CCardModel(); // no state file yet: a fresh card
    const std::optional<CCardModel> model = card.State();
    FUZZ_CHECK(model.has_value());
    return *model;
}

// What a successful call must have done to, or told of, the state after it.
void CheckSuccess(const Call& call, const Records& records, const CCardModel& model)
{
    const auto checkName = [&]()
    { FUZZ_CHECK(records.nameSize > 0 && std::memchr(records.nameBytes.get(), '\0', records.nameSize)); };
    switch (call.code)
    {
    case kAweGetMemory:
        FUZZ_CHECK(records.out2 == model.FreeWords(records.out1));
        break;
    case kAweGetEffects:
        FUZZ_CHECK(records.effects->reverb == model.reverb && records.effects->chorus == model.chorus);
        break;
    case kAweSetEffects:
        FUZZ_CHECK(records.effects->reverb == model.reverb && records.effects->chorus == model.chorus);
        break;
    case kAweGetSynthBank:
        checkName();
        FUZZ_CHECK(records.name->synthBank == model.synthMode);
        break;
    case kAweSelectSynthBank:
        FUZZ_CHECK(static_cast<std::uintptr_t>(model.synthMode) == call.param1);
        break;
    case kAweLoadBank:
        FUZZ_CHECK(model.bankFiles.contains(static_cast<int>(call.param1 & 0xFFFF)));
        break;
    case kAweClearBank:
    {
        const int bank = static_cast<int>(call.param1 & 0xFFFF);
        FUZZ_CHECK(!model.BankName(bank));
        for (int slot = 0; slot <= CCardModel::kLastSlot; ++slot)
            FUZZ_CHECK(!model.SlotName(bank, slot));
        break;
    }
    case kAweLoadPreset:
    {
        // A synth bank slot given back its own ROM preset holds nothing of its own.
        const int bank = records.address->bank;
        const int slot = records.address->preset;
        FUZZ_CHECK(model.SlotName(bank, slot) ||
                   (bank == 0 && records.file->sourcePreset == records.address->preset));
        break;
    }
    case kAweGetBankName:
    case kAweGetPresetName:
        checkName();
        break;
    case kAweClearPreset:
        FUZZ_CHECK(call.param1 == 0 ||
                   !model.SlotName(static_cast<int>(call.param1), static_cast<int>(call.param2)));
        break;
    default:
        break;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzCard& card = CFuzzCard::Instance();
    card.Reset();
    CFuzzInput in(data, size);
    {
        std::size_t length = std::min<std::size_t>(in.Word(), in.RestSize());
        std::ofstream bank(card.PathOf("fuzz.sbk"), std::ios::binary | std::ios::trunc);
        bank.write(reinterpret_cast<const char*>(in.Rest()), static_cast<std::streamsize>(length));
        FUZZ_CHECK(bank.good());
        while (length-- > 0)
            in.Byte();
    }

    std::set<std::uint32_t> open;
    std::uint32_t closed = 0;
    for (int step = 0; step < kMaxSteps && in.RestSize() > 0; ++step)
    {
        Records records;
        const Call call = MakeCall(in, records, card, open, closed);
        const std::optional<std::string> before = card.StateText();
        const std::int32_t result = card.Call(call.handle, call.code, call.param1, call.param2);
        if (Trace())
            std::fprintf(stderr, "handle %u code %u (%#zx, %#zx) -> %d\n", call.handle, call.code,
                         static_cast<std::size_t>(call.param1), static_cast<std::size_t>(call.param2),
                         result);
        FUZZ_CHECK(result >= 0 && result <= kLastResult);

        if (call.code == kAweOpen)
        {
            FUZZ_CHECK((result == 0) == (call.param1 != 0));
            if (result == 0)
                FUZZ_CHECK(records.out1 != 0 && open.insert(records.out1).second);
        }
        else if (call.code == kAweClose)
        {
            FUZZ_CHECK((result == 0) == (open.erase(call.handle) == 1));
            if (result == 0)
                closed = call.handle;
        }
        else if (!open.contains(call.handle))
        {
            FUZZ_CHECK(result == static_cast<std::int32_t>(CardResult::BadHandle));
        }
        else if (std::find(std::begin(kCodes), std::end(kCodes), call.code) == std::end(kCodes))
        {
            FUZZ_CHECK(result == static_cast<std::int32_t>(CardResult::UnknownCommand));
        }

        // The state file: as it was after a refusal, whole in any case, and
        // naming exactly the memory copies there are.
        if (result != 0)
            FUZZ_CHECK(card.StateText() == before);
        const CCardModel model = StateModel(card);
        FUZZ_CHECK(card.MemoryFiles() == CFuzzCard::NamedMemory(model));
        if (result == 0)
            CheckSuccess(call, records, model);
    }

    for (const std::uint32_t handle : open)
        FUZZ_CHECK(card.Call(handle, kAweClose) == 0);
    return 0;
}
