#include "aweman/EmulatedCard.h"

#include "aweman/CardListeners.h"
#include "aweman/CardNames.h"
#include "aweman/SynthBank.h"
#include "media/VorbisSampleDecoder.h"
#include "platform/AtomicFile.h"
#include "platform/CardHome.h"
#include "platform/PathNames.h"
#include "platform/RegistryStore.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontExtractor.h"
#include "soundfont/SoundFontReader.h"
#include "synth/AweManager.h"
#include "synth/ManagerRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

using namespace cardnames;
using namespace manager;

namespace
{
constexpr std::uint64_t kWordsPerKB = 512;
// The card's sound memory is volatile, as a real card's is: its state and
// memory copies are replaced atomically (a killed process leaves the old or
// the new state, whole) but not synced to disk. A power failure empties a
// real card anyway, and syncing made every preset load wait for the disk.
constexpr auto kCardMemory = CAtomicFile::Durability::Volatile;

std::string Absolute(const std::string& path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

bool SameFile(const std::string& a, const std::string& b)
{
    if (Absolute(a) == Absolute(b))
        return true;
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::uint64_t WordsOfBytes(std::uint64_t bytes)
{
    return (bytes + 1) / 2;
}

bool LockExclusive(int fd)
{
    int result;
    do
        result = ::flock(fd, LOCK_EX);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

enum class StateRead
{
    Missing,
    Read,
    Damaged,
};

StateRead ReadState(const std::string& path, CCardModel& model)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? StateRead::Missing : StateRead::Damaged;
    std::string text;
    if (!S_ISREG(st.st_mode) || st.st_size > CardFiles::kMaxStateBytes || !ReadWholeFile(path, text))
        return StateRead::Damaged;
    auto parsed = CCardModel::Parse(text);
    if (!parsed)
        return StateRead::Damaged;
    model = std::move(*parsed);
    return StateRead::Read;
}
} // namespace

CEmulatedCard& CEmulatedCard::Instance()
{
    static CEmulatedCard card;
    return card;
}

CEmulatedCard::~CEmulatedCard()
{
    Detach();
}

void CEmulatedCard::Install()
{
    const std::lock_guard guard(mutex);
    try
    {
        if (handles.Empty() && Attach())
            Detach();
    }
    catch (...)
    {
        // The first open tries again.
        Detach();
    }
}

std::int32_t CEmulatedCard::Call(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1,
                                 std::uintptr_t param2)
{
    std::unique_lock guard(mutex);
    const std::uint64_t tokenBefore = token;
    CardResult result = CardResult::Ok;
    try
    {
        if (code == kAweOpen)
            result = handles.Open(param1, [this] { return Attach(); });
        else if (code == kAweClose)
            result = handles.Close(handle, [this] { Detach(); });
        else if (!handles.Contains(handle))
            result = CardResult::BadHandle;
        else
            result = DispatchCommand(*this, code, param1, param2);
    }
    catch (...)
    {
        // Out of memory or a file system error: nothing was committed.
        result = CardResult::Unavailable;
    }
    // A new token means the state file was (or was being) rewritten.
    const bool changed = token != tokenBefore;
    guard.unlock();
    if (changed)
        CCardListeners::Instance().Notify();
    return static_cast<std::int32_t>(result);
}

// ---- commands ----

CardResult CEmulatedCard::GetMemory(std::uintptr_t totalOut, std::uintptr_t freeOut) const
{
    if (totalOut == 0 || freeOut == 0)
        return CardResult::BadRecord;
    WriteField(totalOut, 0, static_cast<std::uint32_t>(totalWords));
    WriteField(freeOut, 0, static_cast<std::uint32_t>(model.FreeWords(totalWords)));
    return CardResult::Ok;
}

CardResult CEmulatedCard::GetEffects(std::uintptr_t record) const
{
    if (record == 0)
        return CardResult::BadRecord;
    WriteField(record, offsetof(EffectsRecord, reverb), static_cast<std::uint16_t>(model.reverb));
    WriteField(record, offsetof(EffectsRecord, chorus), static_cast<std::uint16_t>(model.chorus));
    return CardResult::Ok;
}

CardResult CEmulatedCard::SetEffects(std::uintptr_t record)
{
    EffectsRecord effects;
    if (!ReadRecord(record, effects) || effects.selector != 0)
        return CardResult::BadRecord;
    CCardModel next = model;
    if (const auto result = next.SetEffects(effects.reverb, effects.chorus); result != CardResult::Ok)
        return result;
    return Commit(std::move(next));
}

CardResult CEmulatedCard::GetSynthBank(std::uintptr_t nameBuffer) const
{
    NameBuffer name;
    if (!ReadRecord(nameBuffer, name) || !UsableBuffer(name))
        return CardResult::BadRecord;
    WriteName(name, CSynthBank::ModeName(model.synthMode));
    WriteField(nameBuffer, offsetof(NameBuffer, synthBank), static_cast<std::uint16_t>(model.synthMode));
    return CardResult::Ok;
}

CardResult CEmulatedCard::SelectSynthBank(std::uintptr_t mode)
{
    if (mode > static_cast<std::uintptr_t>(CCardModel::kLastSynthMode))
        return CardResult::OutOfRange;
    CCardModel next = model;
    next.SelectSynthMode(static_cast<int>(mode));
    return Commit(std::move(next));
}

CardResult CEmulatedCard::LoadBank(std::uintptr_t bankParam, std::uintptr_t fileReference)
{
    FileReference file;
    if (!ReadRecord(fileReference, file))
        return CardResult::BadRecord;
    const auto path = ReferencedPath(file);
    if (!path)
        return CardResult::BadRecord;
    const int bank = static_cast<int>(bankParam & 0xFFFF);
    if (!CCardModel::IsUserBank(bank))
        return CardResult::OutOfRange;

    CSoundFontReader reader;
    reader.SetSampleDecoder(&CVorbisSampleDecoder::Instance());
    if (!reader.Open(*path))
        return CardResult::BadFile;
    // A version 3 bank whose streams do not decode would take memory for
    // samples the card could never play.
    if (!reader.BankSamplesDecode(true))
        return CardResult::BadFile;
    CCardModel::BankFile bankFile;
    bankFile.file = Absolute(*path);
    bankFile.name = TrimmedName(reader.name);
    if (bankFile.name.empty())
        bankFile.name = TrimmedName(FileTitle(bankFile.file));
    // Version 1: the whole sample data, as the card always took it; later
    // versions: the samples the presets use (decoded, for version 3).
    bankFile.words = WordsOfBytes(static_cast<std::uint64_t>(reader.GetBankSampleBytes()));
    for (int index = 0; index < reader.GetPresetCount(); ++index)
    {
        const PresetHeader header = reader.GetPresetHeader(index);
        // One record takes each slot: the first of its number in a version 1
        // bank, the one of the lowest bank in later ones.
        if (CCardModel::IsSlot(header.presetNumber) && reader.FindSlotPreset(header.presetNumber) == index)
            bankFile.presets.emplace(header.presetNumber, PresetName(header));
    }

    CCardModel next = model;
    if (const auto result = next.LoadBankFile(bank, std::move(bankFile), totalWords);
        result != CardResult::Ok)
        return result;
    return Commit(std::move(next));
}

CardResult CEmulatedCard::GetBankName(std::uintptr_t bank, std::uintptr_t nameBuffer) const
{
    NameBuffer name;
    if (!ReadRecord(nameBuffer, name) || !UsableBuffer(name))
        return CardResult::BadRecord;
    if (bank == 0 || bank > static_cast<std::uintptr_t>(CCardModel::kLastBank))
        return CardResult::OutOfRange;
    const auto text = model.BankName(static_cast<int>(bank));
    if (!text)
        return CardResult::Empty;
    WriteName(name, *text);
    return CardResult::Ok;
}

CardResult CEmulatedCard::ClearBank(std::uintptr_t bankParam)
{
    CCardModel next = model;
    if (const auto result = next.ClearBank(static_cast<int>(bankParam & 0xFFFF)); result != CardResult::Ok)
        return result;
    return Commit(std::move(next));
}

CardResult CEmulatedCard::LoadPreset(std::uintptr_t presetAddress, std::uintptr_t fileReference)
{
    PresetAddress address;
    FileReference file;
    if (!ReadRecord(presetAddress, address) || !ReadRecord(fileReference, file))
        return CardResult::BadRecord;
    const auto path = ReferencedPath(file);
    if (!path)
        return CardResult::BadRecord;
    const int bank = address.bank;
    const int slot = address.preset;
    if (!CCardModel::IsBank(bank) || !CCardModel::IsSlot(slot))
        return CardResult::OutOfRange;

    CSoundFontReader reader;
    reader.SetSampleDecoder(&CVorbisSampleDecoder::Instance());
    if (!reader.Open(*path))
        return CardResult::BadFile;
    const int index = reader.FindSourcePreset(file.sourcePreset);
    if (index < 0)
        return CardResult::NoSuchPreset;
    if (!reader.PresetSamplesDecode(index))
        return CardResult::BadFile;

    CCardModel next = model;
    // A slot's own preset loaded back from its bank's file (as reverting
    // does) is the bank's preset again, with the memory it already has.
    const bool ownPreset = file.sourcePreset == static_cast<std::uint32_t>(slot);
    const auto bankFile = model.bankFiles.find(bank);
    if (ownPreset && bank == 0 && SameFile(*path, synthFiles[static_cast<std::size_t>(model.synthMode)]))
    {
        next.RestoreSlot(bank, slot);
        return Commit(std::move(next));
    }
    if (ownPreset && bankFile != model.bankFiles.end() && bankFile->second.presets.contains(slot) &&
        SameFile(*path, bankFile->second.file))
    {
        next.RestoreSlot(bank, slot);
        return Commit(std::move(next));
    }

    CCardModel::Preset preset;
    preset.file = Absolute(*path);
    preset.source = file.sourcePreset;
    preset.name = PresetName(reader.GetPresetHeader(index));
    preset.words = WordsOfBytes(
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, reader.GetPresetSampleBytes(index))));
    if (const auto result = next.LoadPreset(bank, slot, std::move(preset), totalWords);
        result != CardResult::Ok)
        return result;
    // Only a load the card takes is copied into its memory, converted from
    // the bank as it was read above (the file is not opened again).
    std::string& memory = next.presets[{bank, slot}].memory;
    memory = CopyIntoMemory(reader, index, bank, slot);
    // A later bank's copy that cannot be made (a stream damaged past its
    // headers) is refused rather than kept as a silent slot.
    if (memory.empty() && reader.GetMajorVersion() >= 2)
        return CardResult::BadFile;
    const std::string copy = memory;
    const CardResult result = Commit(std::move(next));
    if (result != CardResult::Ok && !copy.empty())
        ::unlink(MemoryPath(copy).c_str());
    return result;
}

CardResult CEmulatedCard::GetPresetName(std::uintptr_t presetAddress, std::uintptr_t nameBuffer) const
{
    PresetAddress address;
    NameBuffer name;
    if (!ReadRecord(presetAddress, address) || !ReadRecord(nameBuffer, name) || !UsableBuffer(name))
        return CardResult::BadRecord;
    const int bank = address.bank;
    const int slot = address.preset;
    if (!CCardModel::IsBank(bank) || !CCardModel::IsSlot(slot))
        return CardResult::OutOfRange;
    auto text = model.SlotName(bank, slot);
    if (!text && bank == 0)
        text = CSynthBank::InstrumentName(model.synthMode, slot);
    if (!text)
        return CardResult::Empty;
    WriteName(name, *text);
    return CardResult::Ok;
}

CardResult CEmulatedCard::ClearPreset(std::uintptr_t bank, std::uintptr_t preset)
{
    if (bank > static_cast<std::uintptr_t>(CCardModel::kLastBank) ||
        preset > static_cast<std::uintptr_t>(CCardModel::kLastSlot))
        return CardResult::OutOfRange;
    CCardModel next = model;
    if (const auto result = next.ClearSlot(static_cast<int>(bank), static_cast<int>(preset));
        result != CardResult::Ok)
        return result;
    return Commit(std::move(next));
}

// ---- sound memory ----

std::string CEmulatedCard::MemoryPath(const std::string& memory) const
{
    return home + '/' + CCardModel::MemoryFileName(memory);
}

std::string CEmulatedCard::CopyIntoMemory(CSoundFontReader& reader, int index, int bank, int slot)
{
    std::vector<std::uint8_t> image;
    // Version 1 banks are converted (FluidSynth reads only later versions);
    // later ones keep their own version, compressed samples as they are.
    const bool copied =
        reader.GetMajorVersion() >= 2
            ? CSoundFontExtractor::ExtractPreset(reader, index, image, nullptr, bank, slot,
                                                 &CVorbisSampleDecoder::Instance())
            : CSoundFont2Converter().ConvertPreset(reader, reader.GetPresetHeader(index).presetNumber, image,
                                                   nullptr, bank, slot);
    if (!copied)
        return {}; // nothing the card can sound (ROM samples only, or a damaged preset): it stays silent
    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
        return {};
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(random));
    if (!MakeFolders(home + '/' + CCardModel::kMemoryFolder) ||
        !WriteWholeFileAtomic(MemoryPath(name), std::string(image.begin(), image.end()), kCardMemory))
        return {};
    return name;
}

void CEmulatedCard::ForgetMemory(const CCardModel& before, const CCardModel& after) const
{
    std::set<std::string> kept;
    for (const auto& [slot, preset] : after.presets)
        kept.insert(preset.memory);
    for (const auto& [slot, preset] : before.presets)
        if (!preset.memory.empty() && !kept.contains(preset.memory))
            ::unlink(MemoryPath(preset.memory).c_str());
}

void CEmulatedCard::SweepMemory() const
{
    // Copies a crash left behind between writing a copy and committing the
    // state that names it (or before a copy replaced another).
    std::set<std::string> kept;
    for (const auto& [slot, preset] : model.presets)
        if (!preset.memory.empty())
            kept.insert(CCardModel::MemoryFileName(preset.memory));
    const std::string folder = home + '/' + CCardModel::kMemoryFolder;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (!kept.contains(std::string(CCardModel::kMemoryFolder) + '/' + name))
            ::unlink((folder + '/' + name).c_str());
    }
    ::closedir(dir);
}

// ---- state ----

std::string CEmulatedCard::StatePath() const
{
    return CardFiles::StatePath(home);
}

bool CEmulatedCard::Attach()
{
    home = CardHomePath();
    if (!MakeFolders(home))
        return false;
    lockFd = ::open(CardFiles::LockPath(home).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return false;
    if (!LockExclusive(lockFd))
    {
        Detach();
        return false;
    }

    std::uint64_t current = 0;
    if (::pread(lockFd, &current, sizeof current, 0) != static_cast<ssize_t>(sizeof current))
        current = 0;
    const bool reload = !cached || home != cachedHome || current == 0 || current != token ||
                        FileStamp::Of(StatePath()) != stateStamp;
    if (reload)
    {
        cached = false;
        model = CCardModel();
        const bool damaged = ReadState(StatePath(), model) == StateRead::Damaged;
        if (damaged)
            model = CCardModel();
        if (damaged || current == 0)
        {
            // A new lock file gets a token for the caches to hold on to; a
            // damaged card starts afresh, and the fresh state replaces the damage.
            if (!NewToken())
                token = 0;
            if (damaged)
                WriteWholeFileAtomic(StatePath(), model.Serialize(), kCardMemory);
        }
        else
        {
            token = current;
        }
        stateStamp = FileStamp::Of(StatePath());
        SweepMemory();
    }

    for (int mode = 0; mode < CSynthBank::kModeCount; ++mode)
    {
        std::string& path = synthFiles[static_cast<std::size_t>(mode)];
        path = home + '/' + CSynthBank::FileName(mode);
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) != 0)
            CSynthBank::WriteFile(mode, path); // a failure only leaves that mode without its file
    }

    if (reload || FileStamp::Of(RegistryPath()) != registryStamp)
        SyncRegistry();
    cachedHome = home;
    cached = token != 0;
    return true;
}

void CEmulatedCard::Detach()
{
    if (lockFd >= 0)
        ::close(lockFd); // closing drops the lock
    lockFd = -1;
}

std::string CEmulatedCard::RegistryPath() const
{
    return CRegistryStore(home).FilePath();
}

bool CEmulatedCard::NewToken()
{
    // From the kernel each time: processes forked from one another must not
    // draw the same tokens.
    std::uint64_t next = 0;
    while (next == 0 || next == token)
        if (::getrandom(&next, sizeof next, 0) != static_cast<ssize_t>(sizeof next))
            return false;
    if (::pwrite(lockFd, &next, sizeof next, 0) != static_cast<ssize_t>(sizeof next))
        return false;
    token = next;
    return true;
}

void CEmulatedCard::SyncRegistry()
{
    CRegistryStore store(home);
    CRegistryStore::Tree tree = store.Read();
    if (CCardDriver::Sync(tree, model, synthFiles))
    {
        // Written again under the store's own lock from what is there by
        // then; when that fails, the next open tries again.
        store.Update(
            [&](CRegistryStore::Tree& current)
            {
                CCardDriver::Sync(current, model, synthFiles);
                tree = current;
            });
    }
    totalWords = std::uint64_t{CCardDriver::MemoryKB(tree)} * kWordsPerKB;
    registryStamp = FileStamp::Of(RegistryPath());
}

CardResult CEmulatedCard::Commit(CCardModel next)
{
    if (next == model)
        return CardResult::Ok;
    // Every cached copy of the state is void from here, even when the write fails.
    if (!NewToken())
        return CardResult::Unavailable;
    if (!WriteWholeFileAtomic(StatePath(), next.Serialize(), kCardMemory))
    {
        cached = false;
        return CardResult::Unavailable;
    }
    const bool driverValuesChanged =
        next.synthMode != model.synthMode ||
        !std::equal(next.bankFiles.begin(), next.bankFiles.end(), model.bankFiles.begin(),
                    model.bankFiles.end(),
                    [](const auto& a, const auto& b)
                    { return a.first == b.first && a.second.file == b.second.file; });
    ForgetMemory(model, next);
    model = std::move(next);
    stateStamp = FileStamp::Of(StatePath());
    if (driverValuesChanged)
        SyncRegistry();
    return CardResult::Ok;
}
