#pragma once
// The emulated card behind the manager entry point: one per process.
//
// kAweOpen takes an exclusive lock on <home>/card.lock (home is
// CardHomePath()), reads the card's state from <home>/card.state, writes the
// synth bank files that are missing and brings the driver's registry entries
// in line; the lock is held until the last open handle is closed, so the
// read-modify-write of a command never interleaves with another process's.
// A state file that cannot be parsed is a fresh card (and is replaced by
// one). Every command that changes the card appends its record to the
// journal before it answers (CardJournal.h; the snapshot is rewritten only
// when the journal has grown past it); a command that would change nothing
// writes nothing. A refused command leaves the card as it was.
//
// What was read stays cached between opens: the next open reads the state
// and the registry again only when another writer may have changed them. A
// writer of the state first stores a new random token in card.lock; the
// cache holds while the token and the files' identity, size and time are
// what they were.
//
// A preset loaded onto a slot keeps its samples on the card after its file
// is gone, as a real card's memory does (waves reach the card as temporary
// banks): the card pins the file in <home>/memory under a fresh name the
// state records (see CCardModel::Preset), a hard link where it can, else a
// copy of its bytes; presets loaded from one file as it stands share a pin.
// The card converts nothing: the sound engine makes the preset's sound from
// the pin when it first needs it. A pin goes when the state no longer names it.
//
// Handles are nonzero and valid from kAweOpen to kAweClose; any other handle
// is refused. Opens while another handle is open share the lock and the state
// of the first (the home folder is fixed until all are closed).

#include "aweman/CardDriver.h"
#include "aweman/ManagerCalls.h"
#include "cardstate/CardFiles.h"
#include "cardstate/CardModel.h"

#include <cstdint>
#include <map>
#include <memory>
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
    // Makes next the card's state: its record appended to the journal (or a
    // new snapshot written) first, then the registry entries follow.
    // Unavailable (nothing changed) when the state cannot be written.
    CardResult Commit(CCardModel next);
    // The current model as the snapshot, the journal emptied.
    bool WriteSnapshot();
    bool Append(const std::string& record);
    std::string StatePath() const;
    std::string MemoryPath(const std::string& memory) const;
    // The bank at path opened and its preset data read, or null when it is
    // no bank; stamp receives the file's stamp (all zero when it is missing).
    // Kept, so that a document loading a hundred presets from one bank reads
    // its headers once; a file changed since (another stamp: the card takes
    // a file of the same size and time as unchanged, as its pins do) is read
    // again.
    CSoundFontReader* OpenSourceBank(const std::string& path, FileStamp& stamp);
    // The memory file that holds on to the file at path (whose stamp is
    // given) for a preset loaded from it (one already made for the file as it
    // stands, else a new one); empty when none can be made.
    std::string PinFile(const std::string& path, const FileStamp& stamp);
    // Removes the pins before names that after does not.
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
    struct OpenedBank
    {
        FileStamp stamp;
        std::unique_ptr<CSoundFontReader> reader;
    };
    std::map<std::string, OpenedBank> sourceBanks; // by the path the caller gave

    // What model and totalWords were read from, kept between opens.
    bool cached = false;
    std::string cachedHome;
    std::uint64_t token = 0;
    FileStamp stateStamp;
    FileStamp journalStamp;
    std::uint64_t journalValid = 0; // the journal's bytes of whole records
    bool snapshotRead = false;      // card.state holds the snapshot the journal follows
    FileStamp registryStamp;
};
