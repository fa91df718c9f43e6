// The manager entry point of the Emux card library on a fake device, fed a
// script of calls, and the bank file its loads read (which its patch builder
// walks zone by zone). The device refuses what the input says: a load part
// way for lack of memory, every call once it is gone, the open when busy.
//
// Input: a 16-bit length and that many bytes (the bank file, version 1 or 2
// as it says), then the device's behaviour (with whether the card has sound
// ROM and whether the bank is also the synth bank's set), then the script,
// one call per step.
//
// After every call: the result is a known one; handles behave; every font
// opened on the device was closed again; a refused call left the state file
// as it was, and a load refused part way was taken back; every voice went to
// the slot the call named; the state file parses.

#include "FuzzCard.h"

#include "emux/EmuxCard.h"
#include "emux/EmuxRecords.h"
#include "platform/RegistryStore.h"
#include "synth/AweManager.h"

#include <cerrno>
#include <cstring>
#include <memory>

namespace
{
constexpr int kMaxSteps = 24;
constexpr std::int32_t kLastResult = static_cast<std::int32_t>(CardResult::UnknownCommand);

struct DeviceScript
{
    int openResult = 0;
    int refuseLoad = 0; // the N-th LOAD_DATA or LOAD_INFO of the input is refused
    int goneAfter = 0;  // every call after the N-th fails (0: never)
    int freeBytes = 1 << 20;
    bool rom = false;
    // What was seen.
    int calls = 0, loads = 0, opens = 0, closes = 0, removeLast = 0;
    std::vector<std::pair<int, int>> voiceSlots;
};

class CFuzzHwdep final : public IHwdepDevice
{
public:
    explicit CFuzzHwdep(DeviceScript& script) : script(script) {}
    int Open(const std::string&) override { return script.openResult; }
    int Ioctl(unsigned int request, void* argument) override
    {
        // A font counts as opened when the device took the open, and as
        // closed when the library tried to close it, whether the device is
        // still there or not.
        short type = -1;
        if (request == SNDRV_EMUX_IOCTL_LOAD_PATCH)
        {
            soundfont_patch_info header;
            std::memcpy(&header, argument, sizeof header);
            type = header.type;
            script.closes += type == SNDRV_SFNT_CLOSE_PATCH;
        }
        if (script.goneAfter > 0 && ++script.calls > script.goneAfter)
            return -ENODEV;
        script.opens += type == SNDRV_SFNT_OPEN_PATCH;
        if (request == SNDRV_EMUX_IOCTL_VERSION)
            *static_cast<unsigned int*>(argument) = SNDRV_EMUX_VERSION;
        else if (request == SNDRV_EMUX_IOCTL_MEM_AVAIL)
            *static_cast<int*>(argument) = script.freeBytes;
        else if (request == SNDRV_EMUX_IOCTL_REMOVE_LAST_SAMPLES)
            ++script.removeLast;
        else if (request == SNDRV_EMUX_IOCTL_LOAD_PATCH)
        {
            soundfont_patch_info header;
            std::memcpy(&header, argument, sizeof header);
            FUZZ_CHECK(header.len >= 0);
            if (header.type == SNDRV_SFNT_LOAD_INFO)
            {
                soundfont_voice_rec_hdr voices;
                FUZZ_CHECK(header.len >= static_cast<int>(sizeof voices + sizeof(soundfont_voice_info)));
                std::memcpy(&voices, static_cast<const char*>(argument) + sizeof header, sizeof voices);
                script.voiceSlots.emplace_back(voices.bank, voices.instr);
            }
            if (header.type == SNDRV_SFNT_LOAD_DATA)
            {
                soundfont_sample_info sample;
                std::memcpy(&sample, static_cast<const char*>(argument) + sizeof header, sizeof sample);
                // Size 0 names ROM, which only a card with ROM is sent.
                FUZZ_CHECK((sample.size > 0 || (script.rom && sample.size == 0)) &&
                           header.len == static_cast<int>(sizeof sample) + 2 * sample.size);
            }
            if ((header.type == SNDRV_SFNT_LOAD_INFO || header.type == SNDRV_SFNT_LOAD_DATA) &&
                ++script.loads == script.refuseLoad)
                return -ENOSPC;
        }
        return 0;
    }
    void Close() override {}
    bool HasRomSounds() override { return script.rom; }

private:
    DeviceScript& script;
};

std::string StateText(const std::string& home)
{
    std::string text;
    return ReadWholeFile(home + '/' + CEmuxCard::kStateFile, text) ? text : std::string("(none)");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzCard& fuzzCard = CFuzzCard::Instance(); // the card home folder of this process
    const std::string home = fuzzCard.Home();
    std::filesystem::remove(home + '/' + CEmuxCard::kStateFile);
    std::filesystem::remove(home + "/emux.memory");
    std::filesystem::remove(home + '/' + CEmuxCard::kSynthFile);
    CFuzzInput in(data, size);
    {
        const std::size_t length = std::min<std::size_t>(in.Word(), in.RestSize());
        CFuzzFile::Input().Write(in.Rest(), length);
        for (std::size_t i = 0; i < length; ++i)
            in.Byte();
    }
    const std::string bank = CFuzzFile::Input().Path();

    DeviceScript script;
    const std::uint8_t behaviour = in.Byte();
    script.openResult = behaviour % 16 == 0 ? -EBUSY : 0;
    script.refuseLoad = behaviour % 4 == 1 ? 1 + in.Byte() % 16 : 0;
    script.goneAfter = behaviour % 8 == 3 ? 1 + in.Byte() : 0;
    script.freeBytes = behaviour % 8 == 5 ? in.Word() : 1 << 20;
    script.rom = (behaviour & 0x20) != 0;
    // The bank is the General MIDI mode's synth set or there is none: never
    // the system's, which would make every run load a large file.
    const bool synthSet = (behaviour & 0x40) != 0;
    CRegistryStore(home).Update(
        [&](CRegistryStore::Tree& tree)
        {
            for (const char* mode : {"GM", "GS", "MT"})
                tree.SetValue(CEmuxCard::kSettingsKey, mode,
                              synthSet && std::strcmp(mode, "GM") == 0 ? bank : "");
        },
        CAtomicFile::Durability::Volatile);
    CEmuxCard card([&script] { return std::make_unique<CFuzzHwdep>(script); }, "hw:9,9");

    std::uint32_t handle = 0;
    const std::int32_t opened = card.Call(0, kAweOpen, reinterpret_cast<std::uintptr_t>(&handle), 0);
    FUZZ_CHECK(opened == 0 || !card.StatusText().empty());
    if (opened != 0)
        return 0;
    for (int step = 0; step < kMaxSteps && in.RestSize() > 0; ++step)
    {
        const std::uint8_t op = in.Byte();
        const int targetBank = in.Byte() % 130;
        const int targetSlot = in.Byte() % 130;
        const std::uint32_t source = in.Byte() % 4 == 0 ? in.Word() : in.Byte() % 8;
        FileReference file{static_cast<std::uint32_t>(bank.size()), bank.c_str(), source, 0};
        PresetAddress address;
        address.bank = static_cast<std::uint16_t>(targetBank);
        address.preset = static_cast<std::uint16_t>(targetSlot);
        char nameBytes[kNameBufferSize];
        NameBuffer name{kNameBufferSize, nameBytes, 0, 0};
        EffectsRecord effects;
        effects.reverb = static_cast<std::uint16_t>(in.Byte() % 9);
        effects.chorus = static_cast<std::uint16_t>(in.Byte() % 9);
        std::uint32_t total = 0, free = 0;
        const auto p = [](auto& record) { return reinterpret_cast<std::uintptr_t>(&record); };

        const std::string before = StateText(home);
        const int opensBefore = script.opens;
        const int removeLastBefore = script.removeLast;
        const std::size_t voicesBefore = script.voiceSlots.size();
        std::int32_t result = 0;
        std::uint32_t code = 0;
        switch (op % 12)
        {
        case 0:
            result = card.Call(handle, code = kAweLoadBank, static_cast<std::uintptr_t>(targetBank), p(file));
            break;
        case 1:
        case 2:
            result = card.Call(handle, code = kAweLoadPreset, p(address), p(file));
            break;
        case 3:
            result = card.Call(handle, code = kAweClearBank, static_cast<std::uintptr_t>(targetBank), 0);
            break;
        case 4:
            result = card.Call(handle, code = kAweClearPreset, static_cast<std::uintptr_t>(targetBank),
                               static_cast<std::uintptr_t>(targetSlot));
            break;
        case 5:
            result = card.Call(handle, code = kAweGetMemory, p(total), p(free));
            FUZZ_CHECK(result != 0 || total >= free);
            break;
        case 6:
            result = card.Call(handle, code = kAweGetPresetName, p(address), p(name));
            FUZZ_CHECK(result != 0 || std::memchr(nameBytes, '\0', sizeof nameBytes));
            break;
        case 7:
            result =
                card.Call(handle, code = kAweGetBankName, static_cast<std::uintptr_t>(targetBank), p(name));
            break;
        case 8:
            result = card.Call(handle, code = kAweSelectSynthBank, static_cast<std::uintptr_t>(op % 4), 0);
            break;
        case 9:
            result = card.Call(handle, code = kAweSetEffects, p(effects), 0);
            break;
        case 10:
            result = card.Call(handle + 1 + op, code = kAweGetEffects, p(effects), 0);
            FUZZ_CHECK(result == static_cast<std::int32_t>(CardResult::BadHandle));
            break;
        default:
            result = card.Call(handle, code = 4000u + op, 0, 0);
            FUZZ_CHECK(result == static_cast<std::int32_t>(CardResult::UnknownCommand));
            break;
        }
        FUZZ_CHECK(result >= 0 && result <= kLastResult);
        // Every font opened is closed before the answer.
        FUZZ_CHECK(script.opens == script.closes);
        if (result != 0)
        {
            FUZZ_CHECK(StateText(home) == before);
            // A load refused after its font was opened took its samples back.
            if ((code == kAweLoadBank || code == kAweLoadPreset) && script.opens > opensBefore &&
                (script.goneAfter == 0 || script.calls <= script.goneAfter))
                FUZZ_CHECK(script.removeLast > removeLastBefore);
        }
        if (code == kAweLoadPreset)
            for (std::size_t i = voicesBefore; i < script.voiceSlots.size(); ++i)
                FUZZ_CHECK(script.voiceSlots[i] == std::make_pair(targetBank, targetSlot));
        if (code == kAweLoadBank)
            for (std::size_t i = voicesBefore; i < script.voiceSlots.size(); ++i)
                FUZZ_CHECK(script.voiceSlots[i].first == targetBank);
        const std::string after = StateText(home);
        FUZZ_CHECK(after == "(none)" || CCardModel::Parse(after).has_value());
    }
    FUZZ_CHECK(card.Call(handle, kAweClose, 0, 0) == 0);
    return 0;
}
