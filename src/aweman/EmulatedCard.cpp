#include "aweman/EmulatedCard.h"

#include "aweman/CardListeners.h"
#include "aweman/CardNames.h"
#include "aweman/ModelCommands.h"
#include "aweman/SynthBank.h"
#include "cardstate/CardJournal.h"
#include "media/VorbisSampleDecoder.h"
#include "platform/AtomicFile.h"
#include "platform/CardHome.h"
#include "platform/PathNames.h"
#include "platform/RegistryStore.h"
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
// The card's sound memory is volatile, as a real card's is: its snapshot and
// memory files are replaced atomically and its journal records are checked
// whole (a killed process leaves the old or the new state) but nothing is
// synced to disk. A power failure empties a real card anyway, and syncing
// made every preset load wait for the disk.
constexpr auto kCardMemory = CAtomicFile::Durability::Volatile;
// The journal is compacted once it would outgrow both this and the snapshot,
// so that compaction (one snapshot written) costs no more than the appends
// before it did, and a reader never replays much more than the state's size.
constexpr std::uint64_t kCompactBytes = 64 << 10;

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

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// A file's contents as they stand (size and time), whatever its name or inode:
// a pin copied across file systems keeps its file's time.
bool SameContents(const FileStamp& a, const FileStamp& b)
{
    return a.size == b.size && a.seconds == b.seconds && a.nanoseconds == b.nanoseconds && a != FileStamp();
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
    return modelcommands::GetEffects(model, record);
}

CardResult CEmulatedCard::SetEffects(std::uintptr_t record)
{
    CCardModel next;
    if (const auto result = modelcommands::SetEffects(model, record, next); result != CardResult::Ok)
        return result;
    return Commit(std::move(next));
}

CardResult CEmulatedCard::GetSynthBank(std::uintptr_t nameBuffer) const
{
    return modelcommands::GetSynthBank(model, nameBuffer);
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
    return modelcommands::GetBankName(model, bank, nameBuffer);
}

CardResult CEmulatedCard::ClearBank(std::uintptr_t bankParam)
{
    const int bank = static_cast<int>(bankParam & 0xFFFF);
    // An empty bank stays empty; found without copying the card (a new
    // document empties all 127 banks).
    const auto first = model.presets.lower_bound({bank, 0});
    if (CCardModel::IsUserBank(bank) && !model.bankFiles.contains(bank) &&
        (first == model.presets.end() || first->first.first != bank))
        return CardResult::Ok;
    CCardModel next = model;
    if (const auto result = next.ClearBank(bank); result != CardResult::Ok)
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

    FileStamp stamp;
    CSoundFontReader* const opened = OpenSourceBank(*path, stamp);
    if (!opened)
        return CardResult::BadFile;
    CSoundFontReader& reader = *opened;
    const int index = reader.FindSourcePreset(file.sourcePreset);
    if (index < 0)
        return CardResult::NoSuchPreset;
    // Every page of a version 3 preset's streams: the card makes no copy
    // now, so a stream damaged past its headers is found only here.
    if (!reader.PresetSamplesDecode(index, true))
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
    // Only a load the card takes holds on to its file.
    CCardModel::Preset& loaded = next.presets[{bank, slot}];
    loaded.memory = PinFile(*path, stamp);
    const std::string pin = loaded.memory;
    const bool newPin =
        !pin.empty() && std::none_of(model.presets.begin(), model.presets.end(),
                                     [&](const auto& entry) { return entry.second.memory == pin; });
    const CardResult result = Commit(std::move(next));
    if (result != CardResult::Ok && newPin)
        ::unlink(MemoryPath(pin).c_str());
    return result;
}

CardResult CEmulatedCard::GetPresetName(std::uintptr_t presetAddress, std::uintptr_t nameBuffer) const
{
    return modelcommands::GetPresetName(model, presetAddress, nameBuffer);
}

CardResult CEmulatedCard::ClearPreset(std::uintptr_t bank, std::uintptr_t preset)
{
    if (bank > static_cast<std::uintptr_t>(CCardModel::kLastBank) ||
        preset > static_cast<std::uintptr_t>(CCardModel::kLastSlot))
        return CardResult::OutOfRange;
    // An empty slot stays empty (every preset load clears its slot first).
    if (CCardModel::IsUserBank(static_cast<int>(bank)) &&
        !model.SlotName(static_cast<int>(bank), static_cast<int>(preset)))
        return CardResult::Ok;
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

CSoundFontReader* CEmulatedCard::OpenSourceBank(const std::string& path, FileStamp& stamp)
{
    stamp = FileStamp::Of(path);
    if (stamp == FileStamp())
        return nullptr;
    if (const auto known = sourceBanks.find(path); known != sourceBanks.end() && known->second.stamp == stamp)
        return known->second.reader.get();
    // A handful of banks at a time is what a document loads from; each kept
    // one holds its file open.
    constexpr std::size_t kKeptBanks = 8;
    if (sourceBanks.size() >= kKeptBanks)
        sourceBanks.clear();
    auto reader = std::make_unique<CSoundFontReader>();
    reader->SetSampleDecoder(&CVorbisSampleDecoder::Instance());
    if (!reader->Open(path))
    {
        sourceBanks.erase(path);
        return nullptr;
    }
    OpenedBank& entry = sourceBanks[path];
    entry.stamp = stamp;
    entry.reader = std::move(reader);
    return entry.reader.get();
}

std::string CEmulatedCard::PinFile(const std::string& path, const FileStamp& stamp)
{
    if (stamp == FileStamp())
        return {};
    // Presets loaded from one file as it stands share one pin.
    const std::string file = Absolute(path);
    for (const auto& [slot, preset] : model.presets)
        if (!preset.memory.empty() && preset.file == file &&
            SameContents(FileStamp::Of(MemoryPath(preset.memory)), stamp))
            return preset.memory;

    std::uint64_t random = 0;
    if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
        return {};
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(random));
    const std::string pin = MemoryPath(name);
    if (!MakeFolders(home + '/' + CCardModel::kMemoryFolder))
        return {};
    // A second name for the file costs no copy; another file system (or a
    // file the kernel will not link for us) gets a copy of its bytes with
    // its time, so that it can be shared as the link is.
    // The link is made to the file a symbolic link leads to (Debian's
    // SoundFonts are links): a link to the link itself, often relative,
    // would lead nowhere from the memory folder.
    if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, pin.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return name;
    std::string bytes;
    if (!ReadWholeFile(path, bytes) || bytes.size() != stamp.size ||
        !WriteWholeFileAtomic(pin, bytes, kCardMemory))
        return {};
    const struct timespec times[2] = {{stamp.seconds, stamp.nanoseconds}, {stamp.seconds, stamp.nanoseconds}};
    if (::utimensat(AT_FDCWD, pin.c_str(), times, 0) != 0)
    {
        ::unlink(pin.c_str());
        return {};
    }
    return name;
}

void CEmulatedCard::ForgetMemory(const CCardModel& before, const CCardModel& after) const
{
    // Only a pin whose slot lost it can have gone; most commands lose none,
    // and the card holds up to 16,384 presets.
    std::set<std::string> lost;
    auto now = after.presets.begin();
    for (const auto& [slot, preset] : before.presets)
    {
        while (now != after.presets.end() && now->first < slot)
            ++now;
        if (!preset.memory.empty() &&
            (now == after.presets.end() || now->first != slot || now->second.memory != preset.memory))
            lost.insert(preset.memory);
    }
    if (lost.empty())
        return;
    for (const auto& [slot, preset] : after.presets)
        lost.erase(preset.memory);
    for (const std::string& pin : lost)
        ::unlink(MemoryPath(pin).c_str());
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
    // The folder is made only when the lock file cannot be: it is there at
    // every open but the first.
    lockFd = ::open(CardFiles::LockPath(home).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0 && errno == ENOENT && MakeFolders(home))
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
                        FileStamp::Of(StatePath()) != stateStamp ||
                        FileStamp::Of(CardFiles::JournalPath(home)) != journalStamp;
    if (reload)
    {
        cached = false;
        CardStateOnDisk read = CardStateOnDisk::Read(home);
        const bool damaged = read.snapshot == CardStateOnDisk::Snapshot::Damaged;
        model = damaged ? CCardModel() : std::move(read.model);
        // Records go only after a journal that names the snapshot read; a
        // card without one writes a new snapshot and journal at its next change.
        snapshotRead = read.snapshot == CardStateOnDisk::Snapshot::Read && read.journalValid > 0;
        journalValid = read.journalValid;
        // A record a killed writer left half written (or records after a
        // damaged one) are cut off, so that the next one appended is read.
        if (snapshotRead && read.journalBytes > read.journalValid)
            ::truncate(CardFiles::JournalPath(home).c_str(), static_cast<off_t>(journalValid));
        if (damaged || current == 0)
        {
            // A new lock file gets a token for the caches to hold on to; a
            // damaged card starts afresh, and the fresh state replaces the damage.
            if (!NewToken())
                token = 0;
            if (damaged)
                WriteSnapshot();
        }
        else
        {
            token = current;
        }
        stateStamp = FileStamp::Of(StatePath());
        journalStamp = FileStamp::Of(CardFiles::JournalPath(home));
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
    // No bank file is held open between sessions (it could not be unmounted
    // while the program runs). What was read of a version 1 or 2 bank is all
    // a load asks of it; a version 3 bank needs its file to decode streams.
    std::erase_if(sourceBanks, [](const auto& entry) { return entry.second.reader->GetMajorVersion() >= 3; });
    for (auto& [path, bank] : sourceBanks)
        bank.reader->Close();
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
        // then; when that fails, the next open tries again. The values the
        // card writes mirror its volatile memory, so they are not synced
        // either (the user's own settings are, by whoever writes them).
        store.Update(
            [&](CRegistryStore::Tree& current)
            {
                CCardDriver::Sync(current, model, synthFiles);
                tree = current;
            },
            kCardMemory);
    }
    totalWords = std::uint64_t{CCardDriver::MemoryKB(tree)} * kWordsPerKB;
    registryStamp = FileStamp::Of(RegistryPath());
}

bool CEmulatedCard::WriteSnapshot()
{
    snapshotRead = false;
    const std::string text = model.Serialize();
    const std::string header = CardJournal::Header(text);
    // The old journal names the old snapshot: between the two writes (or
    // after a crash there) readers take the new snapshot alone.
    if (!WriteWholeFileAtomic(StatePath(), text, kCardMemory) ||
        !WriteWholeFileAtomic(CardFiles::JournalPath(home), header, kCardMemory))
        return false;
    journalValid = header.size();
    snapshotRead = true;
    stateStamp = FileStamp::Of(StatePath());
    journalStamp = FileStamp::Of(CardFiles::JournalPath(home));
    return true;
}

bool CEmulatedCard::Append(const std::string& record)
{
    const std::string journal = CardFiles::JournalPath(home);
    // Never created here: a journal begins with the name of its snapshot.
    const int fd = ::open(journal.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    const std::string framed = CardJournal::Frame(record);
    bool ok = WriteAll(fd, framed);
    // A record written in part is taken back: readers would stop at it.
    if (!ok && ::ftruncate(fd, static_cast<off_t>(journalValid)) != 0)
        ok = false;
    struct stat st
    {
    };
    if (ok && ::fstat(fd, &st) == 0)
        journalStamp = FileStamp::Of(st);
    ::close(fd);
    if (ok)
        journalValid += framed.size();
    return ok;
}

CardResult CEmulatedCard::Commit(CCardModel next)
{
    if (next == model)
        return CardResult::Ok;
    // Every cached copy of the state is void from here, even when the write fails.
    if (!NewToken())
        return CardResult::Unavailable;
    const std::string record = CCardModel::RecordOf(model, next);
    // Records follow a snapshot: a card without one (fresh, or whose snapshot
    // could not be replaced) writes one first.
    const bool compact =
        !snapshotRead || journalValid + record.size() > std::max(kCompactBytes, stateStamp.size);
    CCardModel before = std::move(model);
    model = std::move(next);
    // A journal that cannot be appended to (gone, or the disk full) is
    // replaced with the snapshot before the change is refused.
    if (!((!compact && Append(record)) || WriteSnapshot()))
    {
        model = std::move(before);
        cached = false;
        return CardResult::Unavailable;
    }
    const bool driverValuesChanged =
        model.synthMode != before.synthMode ||
        !std::equal(model.bankFiles.begin(), model.bankFiles.end(), before.bankFiles.begin(),
                    before.bankFiles.end(),
                    [](const auto& a, const auto& b)
                    { return a.first == b.first && a.second.file == b.second.file; });
    ForgetMemory(before, model);
    if (driverValuesChanged)
        SyncRegistry();
    return CardResult::Ok;
}
