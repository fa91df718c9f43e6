#include "synth/AweSession.h"

#include "platform/ProgramLibrary.h"
#include "platform/StringTable.h"
#include "synth/CardLimits.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <utility>

namespace
{
constexpr std::size_t kMaxDriverKeyName = 100;

bool ValidBank(int bank)
{
    return bank >= 0 && bank <= CardLimits::kLastBank;
}

bool ValidPlace(int bank, int preset)
{
    return ValidBank(bank) && preset >= 0 && preset <= CardLimits::kLastSlot;
}

std::uintptr_t Ptr(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p);
}

PresetAddress MakeAddress(int bank, int preset)
{
    PresetAddress address;
    address.bank = static_cast<std::uint16_t>(bank);
    address.preset = static_cast<std::uint16_t>(preset);
    return address;
}

FileReference MakeReference(const std::string& path, int sourcePreset)
{
    FileReference file;
    file.length = static_cast<std::uint32_t>(path.size());
    file.path = path.c_str();
    file.sourcePreset = static_cast<std::uint32_t>(sourcePreset);
    return file;
}

// The text the library put in a buffer, never read past its end (the library
// may leave it without a NUL), with trailing white space removed.
template <std::size_t N> std::string TrimmedName(const std::array<char, N>& buffer)
{
    std::size_t length = 0;
    while (length < N && buffer[length] != '\0')
        ++length;
    while (length > 0 && std::isspace(static_cast<unsigned char>(buffer[length - 1])))
        --length;
    return std::string(buffer.data(), length);
}

// A decimal number as the C library's atoi reads it (leading blanks skipped,
// no number counts 0), without its undefined behaviour on overflow.
long ParseDecimal(const std::string& text)
{
    return std::strtol(text.c_str(), nullptr, 10);
}
} // namespace

std::string CAweSession::DefaultLibraryPath(const std::filesystem::path& executable)
{
    return ProgramLibraryPath(executable, kAweManagerLibraryName);
}

CAweSession::CAweSession() : registry()
{
    const char* named = std::getenv(kAweManagerEnvironment);
    std::string library;
    if (named && *named)
        library = named;
    else
        library = DefaultLibraryPath(RunningExecutable());
    LoadLibrary(library);
    FindSettingsKey();
}

CAweSession::CAweSession(const std::string& libraryPath, CRegistryStore store) : registry(std::move(store))
{
    LoadLibrary(libraryPath);
    FindSettingsKey();
}

CAweSession::~CAweSession()
{
    Close(true);
    if (library)
        ::dlclose(library);
}

void CAweSession::LoadLibrary(const std::string& path)
{
    libraryPath = path;
    synthValueName = LoadString(IDS_SYNTH_VALUE);
    modeValueNames[0] = LoadString(IDS_MODE_GM_VALUE);
    modeValueNames[1] = LoadString(IDS_MODE_GS_VALUE);
    modeValueNames[2] = LoadString(IDS_MODE_MT_VALUE);

    library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return;
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    entryPoint = reinterpret_cast<AweManagerProc>(::dlsym(library, kAweManagerEntryName));
    statusEntry = reinterpret_cast<CardStatusProc>(::dlsym(library, kCardStatusEntryName));
}

std::string CAweSession::GetStatusText() const
{
    if (!entryPoint || !statusEntry)
        return {};
    // A status line is one sentence: a buffer of this size holds it whole.
    char text[512] = {};
    statusEntry(text, sizeof text);
    return text;
}

bool CAweSession::IsEmulatedCard() const
{
    return IsAvailable() && std::filesystem::path(libraryPath).filename() == kAweManagerLibraryName;
}

void CAweSession::FindSettingsKey()
{
    const CRegistryStore::Tree tree = registry.Read();
    const std::size_t prefixLength = std::strlen(kAweDriverPrefix);
    for (std::size_t index = 0;; ++index)
    {
        const auto name = tree.EnumKey(kMidiDriversKey, index);
        if (!name)
            return;
        if (name->size() > kMaxDriverKeyName || name->compare(0, prefixLength, kAweDriverPrefix) != 0)
            continue;
        const std::string driverKey = std::string(kMidiDriversKey) + '\\' + *name;
        const std::string softwareKey = ReadRegistry(driverKey, kSoftwareKeyValue);
        // A driver key without its software key leaves the card without settings
        // rather than pointing at a "Settings" key under the root.
        if (!softwareKey.empty())
            settingsKey = softwareKey + '\\' + kSettingsSubkey;
        return;
    }
}

std::string CAweSession::ReadRegistry(const std::string& key, const std::string& value) const
{
    return registry.QueryString(key, value).value_or(std::string());
}

int CAweSession::Open()
{
    if (!IsAvailable())
        return 0;
    if (openCount > 0)
        return ++openCount;
    std::uint32_t handle = 0;
    if (entryPoint(0, kAweOpen, Ptr(&handle), 0) != 0)
        return 0;
    managerHandle = handle;
    openCount = 1;
    return openCount;
}

void CAweSession::Close(bool force)
{
    if (openCount == 0)
        return;
    if (openCount == 1 || force)
    {
        entryPoint(managerHandle, kAweClose, 0, 0);
        managerHandle = 0;
        openCount = 0;
        return;
    }
    --openCount;
}

bool CAweSession::SendCommand(std::uint32_t code, std::uintptr_t param1, std::uintptr_t param2)
{
    if (Open() == 0)
        return false;
    const std::int32_t result = entryPoint(managerHandle, code, param1, param2);
    Close(false);
    return result == 0;
}

int CAweSession::GetMemoryKB(bool free)
{
    std::uint32_t total = 0;
    std::uint32_t freeUnits = 0;
    if (!SendCommand(kAweGetMemory, Ptr(&total), Ptr(&freeUnits)))
        return 0;
    return static_cast<std::int32_t>(free ? freeUnits : total) / 512;
}

bool CAweSession::WriteMemoryKB(int kb)
{
    // The card creates its driver entries at its first open.
    if (settingsKey.empty())
        FindSettingsKey();
    if (settingsKey.empty() || kb <= 0)
        return false;
    return registry.Update([&](CRegistryStore::Tree& tree)
                           { tree.SetValue(settingsKey, kMemoryKBValue, std::to_string(kb)); });
}

std::string CAweSession::GetBankName(int bank)
{
    if (!ValidBank(bank))
        return {};
    std::array<char, kNameBufferSize> text{};
    NameBuffer name;
    name.size = kNameBufferSize;
    name.buffer = text.data();
    const bool ok = bank == 0 ? SendCommand(kAweGetSynthBank, Ptr(&name), 0)
                              : SendCommand(kAweGetBankName, static_cast<std::uintptr_t>(bank), Ptr(&name));
    return ok ? TrimmedName(text) : std::string();
}

std::string CAweSession::GetPresetName(int bank, int preset)
{
    if (!ValidPlace(bank, preset))
        return {};
    const PresetAddress address = MakeAddress(bank, preset);
    std::array<char, kNameBufferSize> text{};
    NameBuffer name;
    name.size = kNameBufferSize;
    name.buffer = text.data();
    return SendCommand(kAweGetPresetName, Ptr(&address), Ptr(&name)) ? TrimmedName(text) : std::string();
}

int CAweSession::GetSynthBank()
{
    std::array<char, kNumberBufferSize> text{};
    NameBuffer name;
    name.size = kNumberBufferSize;
    name.buffer = text.data();
    return SendCommand(kAweGetSynthBank, Ptr(&name), 0) ? name.synthBank : 0;
}

bool CAweSession::SelectSynthBank(int n)
{
    if (n == -1)
        n = GetSynthBank();
    return SendCommand(kAweSelectSynthBank, static_cast<std::uintptr_t>(static_cast<std::uint32_t>(n)), 0);
}

int CAweSession::GetReverb()
{
    EffectsRecord effects;
    return SendCommand(kAweGetEffects, Ptr(&effects), 0) ? effects.reverb : 0;
}

int CAweSession::GetChorus()
{
    EffectsRecord effects;
    return SendCommand(kAweGetEffects, Ptr(&effects), 0) ? effects.chorus : 0;
}

bool CAweSession::SetReverb(int type)
{
    EffectsRecord effects;
    effects.reverb = static_cast<std::uint16_t>(type);
    effects.chorus = static_cast<std::uint16_t>(GetChorus());
    return SendCommand(kAweSetEffects, Ptr(&effects), 0);
}

bool CAweSession::SetChorus(int type)
{
    EffectsRecord effects;
    effects.reverb = static_cast<std::uint16_t>(GetReverb());
    effects.chorus = static_cast<std::uint16_t>(type);
    return SendCommand(kAweSetEffects, Ptr(&effects), 0);
}

bool CAweSession::LoadBank(int bank, const std::string& path)
{
    if (!ValidBank(bank))
        return false;
    const FileReference file = MakeReference(path, 0);
    return SendCommand(kAweLoadBank, static_cast<std::uintptr_t>(bank), Ptr(&file));
}

bool CAweSession::ClearBank(int bank)
{
    if (bank <= 0 || bank > CardLimits::kLastBank)
        return false;
    return SendCommand(kAweClearBank, static_cast<std::uintptr_t>(bank), 0);
}

bool CAweSession::ClearAllBanks()
{
    const CAweBatch batch(*this);
    for (int bank = 1; bank <= CardLimits::kLastBank; ++bank)
        if (!ClearBank(bank))
            return false;
    return true;
}

bool CAweSession::ClearPreset(int bank, int preset)
{
    if (!ValidPlace(bank, preset))
        return false;
    if (bank > 0)
        return SendCommand(kAweClearPreset, static_cast<std::uintptr_t>(bank),
                           static_cast<std::uintptr_t>(preset));
    // A synth bank slot cannot be empty: it gets its preset from the mode's file back.
    const std::string bankFile = GetBankFile(0);
    const PresetAddress address = MakeAddress(0, preset);
    const FileReference file = MakeReference(bankFile, preset);
    return SendCommand(kAweLoadPreset, Ptr(&address), Ptr(&file));
}

bool CAweSession::LoadPreset(int bank, int preset, const std::string& path, int sourcePreset, int* usedKB)
{
    if (!ValidPlace(bank, preset) || sourcePreset < 0)
    {
        if (usedKB)
            *usedKB = 0;
        return false;
    }
    const PresetAddress address = MakeAddress(bank, preset);
    const FileReference file = MakeReference(path, sourcePreset);
    // The clear, the load and the two memory readings around it see one card.
    const CAweBatch batch(*this);
    ClearPreset(bank, preset);
    const int freeBefore = usedKB ? GetMemoryKB(true) : 0;
    if (!SendCommand(kAweLoadPreset, Ptr(&address), Ptr(&file)))
    {
        if (usedKB)
            *usedKB = 0;
        return false;
    }
    if (usedKB)
        *usedKB = freeBefore - GetMemoryKB(true);
    return true;
}

bool CAweSession::RevertPreset(int bank, int preset)
{
    if (!ValidPlace(bank, preset))
        return false;
    const CAweBatch batch(*this);
    const std::string file = GetBankFile(bank);
    if (file.empty())
        return ClearPreset(bank, preset);
    return LoadPreset(bank, preset, file, preset, nullptr);
}

std::string CAweSession::GetBankFile(int bank)
{
    if (settingsKey.empty() || !ValidBank(bank))
        return {};
    if (bank != 0)
        return registry
            .QueryWholeString(settingsKey + '\\' + kUserBankSubkey, FormatString(IDS_USER_BANK_VALUE, bank))
            .value_or(std::string());
    const long mode = ParseDecimal(ReadRegistry(settingsKey, synthValueName));
    if (!CardLimits::IsSynthMode(mode))
        return {};
    return ReadRegistry(settingsKey, modeValueNames[mode]);
}
