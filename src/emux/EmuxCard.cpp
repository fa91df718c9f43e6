#include "emux/EmuxCard.h"

#include "aweman/CardNames.h"
#include "aweman/ModelCommands.h"
#include "aweman/SynthBank.h"
#include "cardstate/CardFiles.h"
#include "emux/EmuxPatchBuilder.h"
#include "platform/AtomicFile.h"
#include "platform/CardHome.h"
#include "platform/GeneralMidiFont.h"
#include "platform/RegistryStore.h"
#include "platform/StringTable.h"
#include "synth/ManagerRecords.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/file.h>
#include <unistd.h>

using namespace manager;

namespace
{
// Like the card's memory, the state need not outlive a power failure.
constexpr auto kVolatile = CAtomicFile::Durability::Volatile;
// The free memory reported after the last change, beside the state.
constexpr const char* kMemoryFile = "emux.memory";
constexpr int kLockTries = 100;
constexpr useconds_t kLockWaitMicroseconds = 20000;
// The registry values naming each synth mode's SoundFont, by mode.
constexpr const char* kSynthValues[] = {"GM", "GS", "MT"};
// The synth bank's drum kits sit on the driver's percussion bank.
constexpr int kDrumBank = 128;

std::string Absolute(const std::string& path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::uint64_t WordsOfBytes(std::uint64_t bytes)
{
    return (bytes + 1) / 2;
}

// The distinct samples of the placements' voices, and the voices by placement.
struct Plan
{
    std::vector<std::vector<CEmuxPatchBuilder::Voice>> voices;
    std::set<int> samples;
    std::uint64_t bytes = 0;
};
} // namespace

CEmuxCard& CEmuxCard::Instance()
{
    static CEmuxCard card([] { return MakeAlsaHwdep(); },
                          []
                          {
                              const char* named = std::getenv(kDeviceEnvironment);
                              if (named && *named)
                                  return std::string(named);
                              const auto devices = ListEmuxDevices();
                              return devices.empty() ? std::string() : devices.front().name;
                          }());
    return card;
}

CEmuxCard::CEmuxCard(DeviceFactory makeDevice, std::string name)
    : factory(std::move(makeDevice)), deviceName(std::move(name))
{
}

CEmuxCard::~CEmuxCard()
{
    Detach();
}

std::string CEmuxCard::StatusText() const
{
    const std::lock_guard guard(mutex);
    return status;
}

std::int32_t CEmuxCard::Call(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1,
                             std::uintptr_t param2)
{
    const std::lock_guard guard(mutex);
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
        // Out of memory or a file system error; a load in flight was undone by Send.
        result = CardResult::Unavailable;
    }
    return static_cast<std::int32_t>(result);
}

// ---- the device ----

CardResult CEmuxCard::Failed(int error, const char* what)
{
    if (error == -ENOSPC || error == -ENOMEM)
    {
        status = LoadString(IDS_EMUX_NO_MEMORY);
        return CardResult::NoMemory;
    }
    if (error == -EBUSY)
        status = FormatString(IDS_EMUX_DEVICE_BUSY, deviceName.c_str());
    else
        status = FormatString(IDS_EMUX_DEVICE_GONE, deviceName.c_str(),
                              (std::string(what) + ": " + std::strerror(-error)).c_str());
    return CardResult::Unavailable;
}

int CEmuxCard::Patch(std::vector<std::uint8_t>& bytes)
{
    return device->Ioctl(SNDRV_EMUX_IOCTL_LOAD_PATCH, bytes.data());
}

std::int64_t CEmuxCard::FreeBytes()
{
    int available = 0;
    if (device->Ioctl(SNDRV_EMUX_IOCTL_MEM_AVAIL, &available) < 0 || available < 0)
        return -1;
    return available;
}

bool CEmuxCard::Attach()
{
    if (deviceName.empty())
    {
        status = LoadString(IDS_EMUX_NO_DEVICE);
        return false;
    }
    home = CardHomePath();
    if (!MakeFolders(home))
        return false;
    lockFd = ::open((home + '/' + kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return false;
    // Another program of ours in the middle of a command is waited for, a
    // little: one that holds the card longer makes this open fail, not hang.
    int tries = 0;
    while (::flock(lockFd, LOCK_EX | LOCK_NB) != 0 && ++tries < kLockTries)
        ::usleep(kLockWaitMicroseconds);
    if (tries == kLockTries)
    {
        status = FormatString(IDS_EMUX_DEVICE_BUSY, deviceName.c_str());
        Detach();
        return false;
    }
    device = factory();
    if (const int opened = device ? device->Open(deviceName) : -ENODEV; opened < 0)
    {
        Failed(opened, "open");
        Detach();
        return false;
    }
    unsigned int version = 0;
    if (const int asked = device->Ioctl(SNDRV_EMUX_IOCTL_VERSION, &version); asked < 0)
    {
        Failed(asked, "version");
        Detach();
        return false;
    }

    romSounds = device->HasRomSounds();

    model = CCardModel();
    std::string text;
    if (ReadWholeFile(home + '/' + kStateFile, text))
        if (auto parsed = CCardModel::Parse(text))
            model = std::move(*parsed);
    status.clear();
    std::string remembered;
    const std::int64_t free = FreeBytes();
    if (ReadWholeFile(home + '/' + kMemoryFile, remembered) && free >= 0 &&
        std::strtoll(remembered.c_str(), nullptr, 10) != free)
        status = LoadString(IDS_EMUX_MEMORY_CHANGED);
    std::string synth;
    synthLoaded = ReadWholeFile(home + '/' + kSynthFile, synth) && synth.ends_with("\nloaded\n");
    FollowSynthBank(false);
    // The mixer may have been reset since (a reboot, another program).
    ApplyEffects();
    return true;
}

void CEmuxCard::Detach()
{
    if (device)
        device->Close();
    device.reset();
    if (lockFd >= 0)
        ::close(lockFd);
    lockFd = -1;
}

CardResult CEmuxCard::Commit(CCardModel next)
{
    if (!(next == model))
    {
        if (!WriteWholeFileAtomic(home + '/' + kStateFile, next.Serialize(), kVolatile))
            return CardResult::Unavailable;
        model = std::move(next);
    }
    if (const std::int64_t free = FreeBytes(); free >= 0)
        WriteWholeFileAtomic(home + '/' + kMemoryFile, std::to_string(free), kVolatile);
    status.clear();
    return CardResult::Ok;
}

CardResult CEmuxCard::Send(CEmuxPatchBuilder& builder, const std::vector<Placement>& placements,
                           const std::string& name)
{
    Plan plan;
    for (const Placement& place : placements)
    {
        plan.voices.push_back(builder.Voices(place.index));
        for (const auto& voice : plan.voices.back())
            if (plan.samples.insert(voice.sample).second)
                plan.bytes += std::uint64_t{builder.SamplePoints(voice.sample)} * 2;
    }
    // Refused before anything is sent when the device says it cannot hold the samples.
    if (const std::int64_t free = FreeBytes(); free >= 0 && plan.bytes > static_cast<std::uint64_t>(free))
        return Failed(-ENOSPC, "load");

    auto open = emux::OpenPatch(name);
    if (const int opened = Patch(open); opened < 0)
        return Failed(opened, "load");
    std::vector<std::pair<int, int>> placed;
    auto undo = [&](int error, bool fontOpen = true)
    {
        // Back to the card as it was: the voices this font placed, then its samples.
        for (const auto& [bank, program] : placed)
        {
            auto remove = emux::RemoveInfo(bank, program);
            Patch(remove);
        }
        if (fontOpen)
        {
            auto close = emux::ClosePatch();
            Patch(close);
        }
        device->Ioctl(SNDRV_EMUX_IOCTL_REMOVE_LAST_SAMPLES, nullptr);
        return Failed(error, "load");
    };
    for (const int sample : plan.samples)
    {
        auto data = builder.SamplePatch(sample);
        if (!data)
            return undo(-EIO);
        if (const int sent = Patch(*data); sent < 0)
            return undo(sent);
    }
    for (std::size_t i = 0; i < placements.size(); ++i)
    {
        if (plan.voices[i].empty())
            continue;
        placed.emplace_back(placements[i].bank, placements[i].program);
        for (auto& info :
             CEmuxPatchBuilder::InfoPatches(placements[i].bank, placements[i].program, plan.voices[i]))
            if (const int sent = Patch(info); sent < 0)
                return undo(sent);
    }
    auto close = emux::ClosePatch();
    // A close that failed is not tried again.
    if (const int closed = Patch(close); closed < 0)
        return undo(closed, false);
    return CardResult::Ok;
}

CardResult CEmuxCard::Remove(const std::set<CCardModel::Slot>& slots, const CCardModel& next)
{
    if (slots.empty())
        return CardResult::Ok;
    if (next.bankFiles.empty() && next.presets.empty())
    {
        // Nothing of ours is left: all the sample memory comes back, and
        // the synth bank, which went with it, is loaded again.
        if (const int reset = device->Ioctl(SNDRV_EMUX_IOCTL_RESET_SAMPLES, nullptr); reset < 0)
            return Failed(reset, "reset");
        if (synthLoaded)
            SendSynthAfterReset(SynthBankFile(model.synthMode));
        return CardResult::Ok;
    }
    for (const auto& [bank, program] : slots)
    {
        auto remove = emux::RemoveInfo(bank, program);
        if (const int removed = Patch(remove); removed < 0)
            return Failed(removed, "remove");
    }
    return CardResult::Ok;
}

// ---- commands ----

CardResult CEmuxCard::GetMemory(std::uintptr_t totalOut, std::uintptr_t freeOut)
{
    if (totalOut == 0 || freeOut == 0)
        return CardResult::BadRecord;
    const std::int64_t free = FreeBytes();
    if (free < 0)
        return Failed(-EIO, "memory");
    // The driver tells only what is free; what this library loaded is the rest it knows of.
    const std::uint64_t freeWords = WordsOfBytes(static_cast<std::uint64_t>(free));
    const std::uint64_t total = std::min<std::uint64_t>(freeWords + model.UsedWords(), UINT32_MAX);
    WriteField(totalOut, 0, static_cast<std::uint32_t>(total));
    WriteField(freeOut, 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(freeWords, UINT32_MAX)));
    return CardResult::Ok;
}

CardResult CEmuxCard::GetEffects(std::uintptr_t record) const
{
    return modelcommands::GetEffects(model, record);
}

CardResult CEmuxCard::SetEffects(std::uintptr_t record)
{
    CCardModel next;
    if (const auto result = modelcommands::SetEffects(model, record, next); result != CardResult::Ok)
        return result;
    const CardResult committed = Commit(std::move(next));
    if (committed == CardResult::Ok)
        ApplyEffects();
    return committed;
}

void CEmuxCard::ApplyEffects()
{
    // Cards without these controls keep the types in the state only.
    device->SetMixerControl(kReverbControl, model.reverb);
    device->SetMixerControl(kChorusControl, model.chorus);
}

CardResult CEmuxCard::GetSynthBank(std::uintptr_t nameBuffer) const
{
    return modelcommands::GetSynthBank(model, nameBuffer);
}

CardResult CEmuxCard::SelectSynthBank(std::uintptr_t mode)
{
    if (mode > static_cast<std::uintptr_t>(CCardModel::kLastSynthMode))
        return CardResult::OutOfRange;
    CCardModel next = model;
    // Presets loaded over synth bank slots go with the old mode, on the card as in the state.
    std::set<CCardModel::Slot> dropped;
    for (const auto& [slot, preset] : model.presets)
        if (slot.first == 0)
            dropped.insert(slot);
    next.SelectSynthMode(static_cast<int>(mode));
    // Another set for the new mode resets the samples anyway, and takes the
    // dropped presets with it.
    const bool sameSet = SynthBankFile(model.synthMode) == SynthBankFile(next.synthMode);
    if (sameSet)
        if (const auto removed = Remove(dropped, next); removed != CardResult::Ok)
            return removed;
    const CardResult committed = Commit(std::move(next));
    if (committed == CardResult::Ok && !sameSet)
        FollowSynthBank(false);
    return committed;
}

std::string CEmuxCard::SynthBankFile(int mode) const
{
    const CRegistryStore::Tree tree = CRegistryStore(home).Read();
    if (const auto chosen = tree.GetValue(kSettingsKey, kSynthValues[mode]))
        return *chosen;
    // A GS set plays General MIDI too, and MT-32 programs have General MIDI
    // sounds: without a set of their own, the modes play the GM one.
    if (const auto generalMidi = tree.GetValue(kSettingsKey, kSynthValues[0]))
        return *generalMidi;
    return EffectiveGeneralMidiFont({});
}

void CEmuxCard::FollowSynthBank(bool force)
{
    const std::string path = SynthBankFile(model.synthMode);
    const std::string wanted =
        path + '\n' + (path.empty() ? std::string() : FileStamp::Of(path).Text()) + '\n';
    std::string loaded;
    ReadWholeFile(home + '/' + kSynthFile, loaded);
    if (!force && (loaded == wanted || loaded == wanted + "loaded\n"))
        return;
    if (loaded.empty() && path.empty() && !synthLoaded)
    {
        // Nothing was ever loaded on bank 0 and nothing is wanted there.
        WriteWholeFileAtomic(home + '/' + kSynthFile, wanted, kVolatile);
        return;
    }
    if (const int reset = device->Ioctl(SNDRV_EMUX_IOCTL_RESET_SAMPLES, nullptr); reset < 0)
    {
        Failed(reset, "reset");
        return;
    }
    status.clear();
    SendSynthAfterReset(path);
    // Written even when the set failed, so that a set too large for the card
    // is not tried again at every open.
    WriteWholeFileAtomic(home + '/' + kSynthFile, wanted + (synthLoaded ? "loaded\n" : ""), kVolatile);
    Reload(model);
    if (const std::int64_t free = FreeBytes(); free >= 0)
        WriteWholeFileAtomic(home + '/' + kMemoryFile, std::to_string(free), kVolatile);
}

void CEmuxCard::SendSynthAfterReset(const std::string& path)
{
    synthLoaded = false;
    if (path.empty())
        return;
    status.clear();
    if (SendSynthBank(path) == CardResult::Ok)
        synthLoaded = true;
    else
        status = FormatString(IDS_EMUX_SYNTH_FAILED, path.c_str(), status.c_str());
}

CardResult CEmuxCard::SendSynthBank(const std::string& path)
{
    CEmuxPatchBuilder builder;
    builder.UseRomSounds(romSounds);
    std::string error;
    if (!builder.Open(path, &error))
    {
        status = error;
        return CardResult::BadFile;
    }
    const CSoundFontReader& reader = builder.Reader();
    std::vector<Placement> placements;
    std::set<std::pair<int, int>> taken;
    for (int index = 0; index < reader.GetPresetCount(); ++index)
    {
        const PresetHeader header = reader.GetPresetHeader(index);
        // A GS set's variation banks would take the user's banks: only its
        // capital tones and drum kits are loaded.
        if ((header.bank != 0 && header.bank != kDrumBank) || header.presetNumber > CCardModel::kLastSlot)
            continue;
        if (taken.insert({header.bank, header.presetNumber}).second)
            placements.push_back({header.bank, header.presetNumber, index});
    }
    return Send(builder, placements, cardnames::TrimmedName(reader.name));
}

void CEmuxCard::Reload(const CCardModel& state)
{
    for (const auto& [bank, bankFile] : state.bankFiles)
    {
        CEmuxPatchBuilder builder;
        builder.UseRomSounds(romSounds);
        if (!builder.Open(bankFile.file) ||
            Send(builder, BankPlacements(builder.Reader(), bank, state), bankFile.name) != CardResult::Ok)
            status = FormatString(IDS_EMUX_RELOAD_FAILED, bankFile.file.c_str());
    }
    for (const auto& [slot, preset] : state.presets)
    {
        CEmuxPatchBuilder builder;
        builder.UseRomSounds(romSounds);
        const int index = builder.Open(preset.file) ? builder.Reader().FindSourcePreset(preset.source) : -1;
        if (index < 0 || Send(builder, {{slot.first, slot.second, index}}, preset.name) != CardResult::Ok)
            status = FormatString(IDS_EMUX_RELOAD_FAILED, preset.file.c_str());
    }
}

std::vector<CEmuxCard::Placement> CEmuxCard::BankPlacements(const CSoundFontReader& reader, int bank,
                                                            const CCardModel& state)
{
    std::vector<Placement> placements;
    for (int index = 0; index < reader.GetPresetCount(); ++index)
    {
        const PresetHeader header = reader.GetPresetHeader(index);
        if (!CCardModel::IsSlot(header.presetNumber) || reader.FindSlotPreset(header.presetNumber) != index)
            continue;
        // A preset loaded onto a slot on its own stays over the bank's.
        if (!state.presets.contains({bank, header.presetNumber}))
            placements.push_back({bank, header.presetNumber, index});
    }
    return placements;
}

CardResult CEmuxCard::LoadBank(std::uintptr_t bankParam, std::uintptr_t fileReference)
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

    CEmuxPatchBuilder builder;
    builder.UseRomSounds(romSounds);
    if (!builder.Open(*path))
        return CardResult::BadFile;
    const CSoundFontReader& reader = builder.Reader();
    CCardModel::BankFile bankFile;
    bankFile.file = Absolute(*path);
    bankFile.name = cardnames::TrimmedName(reader.name);
    if (bankFile.name.empty())
        bankFile.name = cardnames::TrimmedName(std::filesystem::path(bankFile.file).stem().string());
    for (int index = 0; index < reader.GetPresetCount(); ++index)
    {
        const PresetHeader header = reader.GetPresetHeader(index);
        if (CCardModel::IsSlot(header.presetNumber) && reader.FindSlotPreset(header.presetNumber) == index)
            bankFile.presets.emplace(header.presetNumber, cardnames::PresetName(header));
    }
    const std::vector<Placement> placements = BankPlacements(reader, bank, model);
    std::set<int> samples;
    for (const Placement& place : placements)
        for (const auto& voice : builder.Voices(place.index))
            if (samples.insert(voice.sample).second)
                bankFile.words += WordsOfBytes(std::uint64_t{builder.SamplePoints(voice.sample)} * 2);

    CCardModel next = model;
    // The driver's memory is the judge; the model only needs a total it never refuses.
    if (const auto result = next.LoadBankFile(bank, bankFile, UINT64_MAX); result != CardResult::Ok)
        return result;
    if (const auto sent = Send(builder, placements, bankFile.name); sent != CardResult::Ok)
        return sent;
    // Slots of the bank's old file that the new one does not fill would still sound from the old font.
    std::set<CCardModel::Slot> stale;
    if (const auto old = model.bankFiles.find(bank); old != model.bankFiles.end())
        for (const auto& [slot, name] : old->second.presets)
            if (!bankFile.presets.contains(slot) && !model.presets.contains({bank, slot}))
                stale.insert({bank, slot});
    if (const auto removed = Remove(stale, next); removed != CardResult::Ok)
        return removed;
    return Commit(std::move(next));
}

CardResult CEmuxCard::GetBankName(std::uintptr_t bank, std::uintptr_t nameBuffer) const
{
    return modelcommands::GetBankName(model, bank, nameBuffer);
}

CardResult CEmuxCard::ClearBank(std::uintptr_t bankParam)
{
    const int bank = static_cast<int>(bankParam & 0xFFFF);
    CCardModel next = model;
    if (const auto result = next.ClearBank(bank); result != CardResult::Ok)
        return result;
    std::set<CCardModel::Slot> slots;
    if (const auto file = model.bankFiles.find(bank); file != model.bankFiles.end())
        for (const auto& [slot, name] : file->second.presets)
            slots.insert({bank, slot});
    for (const auto& [slot, preset] : model.presets)
        if (slot.first == bank)
            slots.insert(slot);
    if (const auto removed = Remove(slots, next); removed != CardResult::Ok)
        return removed;
    return Commit(std::move(next));
}

CardResult CEmuxCard::LoadPreset(std::uintptr_t presetAddress, std::uintptr_t fileReference)
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

    CEmuxPatchBuilder builder;
    builder.UseRomSounds(romSounds);
    if (!builder.Open(*path))
        return CardResult::BadFile;
    const int index = builder.Reader().FindSourcePreset(file.sourcePreset);
    if (index < 0)
        return CardResult::NoSuchPreset;
    const std::vector<Placement> placements{{bank, slot, index}};
    CCardModel::Preset preset;
    preset.file = Absolute(*path);
    preset.source = file.sourcePreset;
    preset.name = cardnames::PresetName(builder.Reader().GetPresetHeader(index));
    std::set<int> samples;
    for (const auto& voice : builder.Voices(index))
        if (samples.insert(voice.sample).second)
            preset.words += WordsOfBytes(std::uint64_t{builder.SamplePoints(voice.sample)} * 2);
    CCardModel next = model;
    if (const auto result = next.LoadPreset(bank, slot, preset, UINT64_MAX); result != CardResult::Ok)
        return result;
    if (const auto sent = Send(builder, placements, preset.name); sent != CardResult::Ok)
        return sent;
    return Commit(std::move(next));
}

CardResult CEmuxCard::GetPresetName(std::uintptr_t presetAddress, std::uintptr_t nameBuffer) const
{
    return modelcommands::GetPresetName(model, presetAddress, nameBuffer);
}

CardResult CEmuxCard::ClearPreset(std::uintptr_t bank, std::uintptr_t preset)
{
    if (bank > static_cast<std::uintptr_t>(CCardModel::kLastBank) ||
        preset > static_cast<std::uintptr_t>(CCardModel::kLastSlot))
        return CardResult::OutOfRange;
    CCardModel next = model;
    const int b = static_cast<int>(bank);
    const int p = static_cast<int>(preset);
    if (const auto result = next.ClearSlot(b, p); result != CardResult::Ok)
        return result;
    if (next == model)
        return CardResult::Ok;
    if (const auto removed = Remove({{b, p}}, next); removed != CardResult::Ok)
        return removed;
    return Commit(std::move(next));
}
