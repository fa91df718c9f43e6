#pragma once
// A real wavetable card driven by ALSA's Emux driver, behind the manager
// entry point: one per process.
//
// The driver takes voices and samples but cannot say which preset sits on a
// slot, so what this library loaded is kept as a CCardModel in
// <home>/emux.state (home is CardHomePath()), beside the emulated card's
// files and under a lock of its own (emux.lock) held from the first open to
// the last close. The free memory the device reported after the last change
// is kept with it: when the device reports another figure at the next open,
// some other program changed the card, and StatusText() says so.
//
// Each load is one font on the driver (OPEN_PATCH ... CLOSE_PATCH): the
// samples, then one voice record per zone, the first of a slot replacing what
// that font had there. A load the driver refuses part way (no memory, the
// device gone) is undone before the answer: the voices it placed are removed
// and its samples taken back with REMOVE_LAST_SAMPLES, and the state stays
// as it was. Clearing removes the voices of the slots (REMOVE_INFO); their
// sample memory comes back only when nothing this library loaded is left,
// with RESET_SAMPLES.
//
// Bank 0 plays the SoundFont chosen for the synth mode (the registry's
// "Software\Tamberly\Emux Card" values "GM", "GS" and "MT"; a missing value
// means the system's General MIDI set, an empty one no synth bank): its bank 0
// presets on bank 0 and its drum kits on 128, loaded before anything else.
// The set loaded is kept in emux.synth with its file's stamp; when the choice
// or the file changes, the next open takes it up. The driver gives sample
// memory back only all at once, so changing the synth bank, or clearing the
// last thing loaded over it, resets the samples and loads again what the
// state holds. On a card with sound ROM the banks' ROM samples are played
// from it.
//
// Reverb and chorus types go to the card's "Reverb Mode" and "Chorus Mode"
// mixer controls, where it has them (the EMU8000's); elsewhere they are kept
// in the state only.
//
// The library opens only the device it was given and reads only the files a
// command names, and the synth bank's file.

#include "aweman/ManagerCalls.h"
#include "cardstate/CardModel.h"
#include "emux/HwdepDevice.h"
#include "synth/AweManager.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class CEmuxPatchBuilder;
class CSoundFontReader;

class CEmuxCard
{
public:
    using DeviceFactory = std::function<std::unique_ptr<IHwdepDevice>()>;

    // The process's card: libasound's hwdep on the device $TAMBERLY_EMUX_DEVICE
    // names, else the machine's first Emux device.
    static CEmuxCard& Instance();

    CEmuxCard(DeviceFactory factory, std::string deviceName);
    ~CEmuxCard();
    CEmuxCard(const CEmuxCard&) = delete;
    CEmuxCard& operator=(const CEmuxCard&) = delete;

    // One manager call; the result is a CardResult.
    std::int32_t Call(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1, std::uintptr_t param2);

    // One line on the card for a status bar: the last failure, or that its
    // memory no longer matches what this library loaded; empty when all is well.
    std::string StatusText() const;

    static constexpr const char* kStateFile = "emux.state";
    static constexpr const char* kLockFile = "emux.lock";
    static constexpr const char* kDeviceEnvironment = "TAMBERLY_EMUX_DEVICE";
    static constexpr const char* kSynthFile = "emux.synth";
    static constexpr const char* kSettingsKey = kEmuxSettingsKey;
    static constexpr const char* kReverbControl = "Reverb Mode";
    static constexpr const char* kChorusControl = "Chorus Mode";

private:
    template <typename Card>
    friend CardResult DispatchCommand(Card& card, std::uint32_t code, std::uintptr_t param1,
                                      std::uintptr_t param2);

    CardResult GetMemory(std::uintptr_t totalOut, std::uintptr_t freeOut);
    CardResult GetEffects(std::uintptr_t record) const;
    CardResult SetEffects(std::uintptr_t record);
    CardResult GetSynthBank(std::uintptr_t nameBuffer) const;
    CardResult SelectSynthBank(std::uintptr_t mode);
    CardResult LoadBank(std::uintptr_t bank, std::uintptr_t fileReference);
    CardResult GetBankName(std::uintptr_t bank, std::uintptr_t nameBuffer) const;
    CardResult ClearBank(std::uintptr_t bank);
    CardResult LoadPreset(std::uintptr_t presetAddress, std::uintptr_t fileReference);
    CardResult GetPresetName(std::uintptr_t presetAddress, std::uintptr_t nameBuffer) const;
    CardResult ClearPreset(std::uintptr_t bank, std::uintptr_t preset);

    // One slot's voices to send: bank:program and the preset record.
    struct Placement
    {
        int bank = 0;
        int program = 0;
        int index = 0;
    };
    // Sends the placements' samples and voices as one font; on a refusal
    // takes back what it sent. Ok, NoMemory or Unavailable.
    CardResult Send(CEmuxPatchBuilder& builder, const std::vector<Placement>& placements,
                    const std::string& name);
    // Removes the voices of the slots; RESET_SAMPLES when next holds nothing loaded.
    CardResult Remove(const std::set<CCardModel::Slot>& slots, const CCardModel& next);
    int Patch(std::vector<std::uint8_t>& bytes);
    // Free bytes of sound memory on the device; -1 when it cannot say.
    std::int64_t FreeBytes();
    CardResult Failed(int error, const char* what);

    // The slots of a bank file that its presets fill, except those holding
    // a preset of their own in state.
    static std::vector<Placement> BankPlacements(const CSoundFontReader& reader, int bank,
                                                 const CCardModel& state);
    // The SoundFont the user chose for a synth mode's bank 0; empty for none.
    std::string SynthBankFile(int mode) const;
    // Loads the synth bank again when force, or when the choice or its file
    // changed since it was loaded: samples reset, the set sent, then
    // everything the state holds. Failures go to the status line only.
    void FollowSynthBank(bool force);
    CardResult SendSynthBank(const std::string& path);
    // Sends the synth bank at path (none when empty) onto the reset card;
    // a failure goes to the status line.
    void SendSynthAfterReset(const std::string& path);
    // Sends everything state holds again, after the samples were reset.
    void Reload(const CCardModel& state);
    void ApplyEffects();

    bool Attach();
    void Detach();
    CardResult Commit(CCardModel next);

    DeviceFactory factory;
    std::string deviceName;
    std::unique_ptr<IHwdepDevice> device;

    mutable std::mutex mutex;
    CManagerHandles handles;
    std::string home;
    int lockFd = -1;
    CCardModel model;
    std::string status;
    bool romSounds = false;
    // Whether a synth bank font is on the card now, below the user's fonts.
    bool synthLoaded = false;
};
