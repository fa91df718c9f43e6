#pragma once
// The emulated card behind the manager entry point: one per process.
//
// kAweOpen takes an exclusive lock on <home>/card.lock (home is
// CardHomePath()), reads the card's state from <home>/card.state, writes the
// synth bank files that are missing and brings the driver's registry entries
// in line; the lock is held until the last open handle is closed, so the
// read-modify-write of a command never interleaves with another process's.
// A state file that cannot be parsed is a fresh card (and is replaced by
// one). Every command that changes the card writes the whole state
// atomically before it answers (not synced to disk: like a real card's
// memory, the state need not outlive a power failure); a command that would
// change nothing writes nothing. A refused command leaves the card as it was.
//
// What was read stays cached between opens: the next open reads the state
// and the registry again only when another writer may have changed them. A
// writer of the state first stores a new random token in card.lock; the
// cache holds while the token and the files' identity, size and time are
// what they were.
//
// A preset loaded onto a slot is copied into the card's sound memory, as a
// real card copies its samples: a SoundFont 1 preset converted to SoundFont
// 2, a SoundFont 2 or 3 preset extracted in its own version, and kept in
// <home>/memory under a fresh name the state records (see CCardModel::Preset),
// so that it still sounds when its file is gone. A copy goes when the state no
// longer names it.
//
// Handles are nonzero and valid from kAweOpen to kAweClose; any other handle
// is refused. Opens while another handle is open share the lock and the state
// of the first (the home folder is fixed until all are closed).

#include "aweman/CardDriver.h"
#include "aweman/ManagerCalls.h"
#include "cardstate/CardFiles.h"
#include "cardstate/CardModel.h"

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

class CSoundFontReader;

class CEmulatedCard
{
public:
    static CEmulatedCard& Instance();

    CEmulatedCard() = default;
    ~CEmulatedCard();
    CEmulatedCard(const CEmulatedCard&) = delete;
    CEmulatedCard& operator=(const CEmulatedCard&) = delete;

    // Brings the synth bank files and the driver's registry entries in place
    // for the current home folder (as the first open does), so that a program
    // that reads the registry right after loading the library finds them.
    // Does nothing while a handle is open.
    void Install();

    // One manager call; the result is a CardResult.
    std::int32_t Call(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1, std::uintptr_t param2);

private:
    template <typename Card>
    friend CardResult DispatchCommand(Card& card, std::uint32_t code, std::uintptr_t param1,
                                      std::uintptr_t param2);

    CardResult GetMemory(std::uintptr_t totalOut, std::uintptr_t freeOut) const;
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

    // Takes the lock and reads the state and settings; false when the home
    // folder or its lock cannot be used.
    bool Attach();
    void Detach();
    // Makes next the card's state: written to the state file first, then the
    // registry entries follow. Unavailable (nothing changed) when the state
    // file cannot be written.
    CardResult Commit(CCardModel next);
    std::string StatePath() const;
    std::string MemoryPath(const std::string& memory) const;
    // The memory copy of a preset loaded onto bank:slot, converted from the
    // open bank and written under a new name; empty when the preset cannot be
    // converted or the copy cannot be written.
    std::string CopyIntoMemory(CSoundFontReader& reader, int index, int bank, int slot);
    // Removes the copies before names that after does not.
    void ForgetMemory(const CCardModel& before, const CCardModel& after) const;
    // Removes every file in the memory folder the current state does not name.
    void SweepMemory() const;
    std::string RegistryPath() const;
    void SyncRegistry();
    // Stores a new token in the lock file, telling every cache that the state changes.
    bool NewToken();

    std::mutex mutex;
    CManagerHandles handles;

    // Valid while a handle is open.
    std::string home;
    int lockFd = -1;
    CCardModel model;
    std::uint64_t totalWords = 0;
    CCardDriver::SynthFiles synthFiles;

    // What model and totalWords were read from, kept between opens.
    bool cached = false;
    std::string cachedHome;
    std::uint64_t token = 0;
    FileStamp stateStamp;
    FileStamp registryStamp;
};
