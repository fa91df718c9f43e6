#pragma once
// The call contract of the card manager library: one C entry point, the
// command codes it understands and the records its pointer parameters point
// to. CAweSession is the program's only caller; the emulated card
// (libaweman32.so) is an implementation.
//
// Every command is bracketed: kAweOpen yields a handle, the command follows
// with that handle, kAweClose releases it. A result of 0 is success, anything
// else failure. Records are little-endian; bytes the caller does not use are
// written as zero. On a 32-bit build the records keep the card's original
// byte offsets exactly; on a 64-bit build pointers are pointer-sized and the
// fields keep their order (both layouts are pinned by static_asserts below).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What each command passes in param1 / param2.
enum AweCommand : std::uint32_t
{
    kAweGetMemory = 308,       // uint32 total* out, uint32 free* out (units; /512 gives KB)
    kAweOpen = 901,            // uint32 handle* out (handle argument 0), 0
    kAweClose = 902,           // 0, 0
    kAweGetEffects = 904,      // EffectsRecord* out, 0
    kAweSetEffects = 905,      // EffectsRecord* in, 0
    kAweGetSynthBank = 906,    // NameBuffer* (name and synthBank written), 0
    kAweSelectSynthBank = 907, // synth bank 0 GM, 1 GS, 2 MT-32; 0
    kAweLoadBank = 908,        // user bank 1..127 (low 16 bits), FileReference*
    kAweGetBankName = 909,     // user bank 1..127, NameBuffer*
    kAweClearBank = 910,       // user bank 1..127 (low 16 bits), 0
    kAweLoadPreset = 911,      // PresetAddress*, FileReference* (with sourcePreset)
    kAweGetPresetName = 912,   // PresetAddress*, NameBuffer*
    kAweClearPreset = 913,     // user bank 1..127, preset 0..127
};

// A bank:preset place on the card; bank 0 is the synth bank.
struct PresetAddress
{
    std::uint32_t reserved = 0;
    std::uint16_t bank = 0;
    std::uint16_t preset = 0;
    std::uint8_t reserved2[20] = {};
};

// A SoundFont file named to the card. The path stays owned by the caller and
// is valid only during the call.
struct FileReference
{
    std::uint32_t length = 0;       // bytes of the path, NUL not counted
    const char* path = nullptr;     // NUL-terminated
    std::uint32_t sourcePreset = 0; // kAweLoadPreset: preset number in the file; else 0
    std::uint16_t reserved = 0;
};

// A caller's buffer for a name. The library writes at most size bytes,
// normally a NUL-terminated name; callers never rely on the NUL.
struct NameBuffer
{
    std::uint32_t size = 0; // kNameBufferSize for names, kNumberBufferSize when only the number matters
    char* buffer = nullptr;
    std::uint32_t reserved = 0;
    std::uint16_t synthBank = 0; // written by kAweGetSynthBank
};

// Reverb and chorus types 0..7 (the positions of the FX lists).
struct EffectsRecord
{
    std::uint8_t reserved[8] = {};
    std::uint32_t selector = 0; // 0 on kAweSetEffects
    std::uint8_t reserved2[2] = {};
    std::uint16_t reverb = 0;
    std::uint16_t chorus = 0;
    std::uint8_t reserved3[10] = {};
};

constexpr std::uint32_t kNameBufferSize = 50;
constexpr std::uint32_t kNumberBufferSize = 256;

// The entry point. Parameters that carry a pointer are pointer-sized.
extern "C" std::int32_t AWEManager(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1,
                                   std::uintptr_t param2);
using AweManagerProc = std::int32_t (*)(std::uint32_t, std::uint32_t, std::uintptr_t, std::uintptr_t);

constexpr const char* kAweManagerEntryName = "AWEManager";
// A card library may also export this: it copies its status line (empty
// when all is well) into a buffer of size bytes, cut and ended by a NUL, and
// returns the line's full length. The emulated card has none to tell.
constexpr const char* kCardStatusEntryName = "TamberlyCardStatus";
using CardStatusProc = std::uint32_t (*)(char*, std::uint32_t);
// Found beside the executable (rpath $ORIGIN) unless the environment names another file.
constexpr const char* kAweManagerLibraryName = "libaweman32.so";
constexpr const char* kAweManagerEnvironment = "TAMBERLY_AWEMAN";
// The card library for cards driven by ALSA's Emux driver, the device it
// drives, and its export listing the machine's Emux devices:
//   std::uint32_t TamberlyEmuxDevices(char* buffer, std::uint32_t size)
// fills buffer with "name<TAB>label\n" lines (cut to size, NUL-ended) and
// returns the whole text's length.
constexpr const char* kEmuxManagerLibraryName = "libaweman32-emux.so";
constexpr const char* kEmuxDeviceEnvironment = "TAMBERLY_EMUX_DEVICE";
constexpr const char* kEmuxDevicesEntryName = "TamberlyEmuxDevices";
// Where that library finds the SoundFont of each synth mode's bank 0: the
// values "GM", "GS" and "MT" of this registry key. A missing GS or MT value
// means the GM one; a missing GM value the system's General MIDI set; an
// empty value no synth bank.
constexpr const char* kEmuxSettingsKey = "Software\\Tamberly\\Emux Card";
constexpr const char* kEmuxGeneralMidiValue = "GM";
using EmuxDevicesProc = std::uint32_t (*)(char* buffer, std::uint32_t size);

// That text's devices as (name, label); a line without a name before its tab is left out.
inline std::vector<std::pair<std::string, std::string>> ParseEmuxDevices(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> devices;
    while (!text.empty())
    {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (const std::size_t tab = line.find('\t'); tab != std::string_view::npos && tab > 0)
            devices.emplace_back(std::string(line.substr(0, tab)), std::string(line.substr(tab + 1)));
    }
    return devices;
}

// The card driver's registry entries under HKEY_LOCAL_MACHINE. The driver
// key is the first subkey of kMidiDriversKey whose name starts with
// kAweDriverPrefix (exact case); its kSoftwareKeyValue names the driver's own
// key, whose kSettingsSubkey holds the synth mode, the mode bank files and,
// in kUserBankSubkey, the bank file of each user bank.
constexpr const char* kMidiDriversKey = "System\\CurrentControlSet\\Control\\MediaResources\\Midi";
constexpr const char* kAweDriverPrefix = "sbawe32.drv";
constexpr const char* kSoftwareKeyValue = "SOFTWAREKEY";
constexpr const char* kSettingsSubkey = "Settings";
constexpr const char* kUserBankSubkey = "UserBank";
// The settings key's value for the size of the emulated card's sound memory,
// in KB (the user's setting; the card reads it when the registry changed).
constexpr const char* kMemoryKBValue = "MemoryKB";

static_assert(sizeof(PresetAddress) == 28 && offsetof(PresetAddress, bank) == 4 &&
              offsetof(PresetAddress, preset) == 6);
static_assert(sizeof(EffectsRecord) == 28 && offsetof(EffectsRecord, selector) == 8 &&
              offsetof(EffectsRecord, reverb) == 14 && offsetof(EffectsRecord, chorus) == 16);
#if UINTPTR_MAX == 0xFFFFFFFF
static_assert(sizeof(FileReference) == 16 && offsetof(FileReference, path) == 4 &&
              offsetof(FileReference, sourcePreset) == 8 && offsetof(FileReference, reserved) == 12);
static_assert(sizeof(NameBuffer) == 16 && offsetof(NameBuffer, buffer) == 4 &&
              offsetof(NameBuffer, reserved) == 8 && offsetof(NameBuffer, synthBank) == 12);
#else
static_assert(sizeof(void*) == 8);
static_assert(sizeof(FileReference) == 24 && offsetof(FileReference, path) == 8 &&
              offsetof(FileReference, sourcePreset) == 16 && offsetof(FileReference, reserved) == 20);
static_assert(sizeof(NameBuffer) == 24 && offsetof(NameBuffer, buffer) == 8 &&
              offsetof(NameBuffer, reserved) == 16 && offsetof(NameBuffer, synthBank) == 20);
#endif
