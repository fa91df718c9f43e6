#pragma once
// The program's only door to the card: loads the card manager library at
// construction, finds the card driver's settings key in the registry store
// and offers one operation per card action. Each operation opens the manager
// (kAweOpen), sends one command and closes it again (kAweClose), so no
// manager handle is held between operations, unless a CAweBatch holds the
// manager open around several.
//
// Without the library (or its entry point) every operation fails quietly:
// false, 0 or an empty string, and IsAvailable() is false. Operations given a
// bank or preset outside 0..127 (unassigned patches carry -1) fail at once
// without a command. The open count is back to 0 after every operation.
// One thread only.

#include "platform/RegistryStore.h"
#include "synth/AweManager.h"

#include <cstdint>
#include <filesystem>
#include <string>

class CAweSession
{
public:
    // The library named by $TAMBERLY_AWEMAN, else DefaultLibraryPath() of the
    // running executable; the registry store in CardHomePath().
    CAweSession();
    // A given library file (a path, or a name the dynamic linker searches) and
    // registry store.
    CAweSession(const std::string& libraryPath, CRegistryStore registry);
    ~CAweSession(); // Close(true), then the library is unloaded
    CAweSession(const CAweSession&) = delete;
    CAweSession& operator=(const CAweSession&) = delete;

    // libaweman32.so beside the executable (the build tree), else in
    // ../lib/tamberly from its folder (an installation), else the bare name
    // for the dynamic linker to search.
    static std::string DefaultLibraryPath(const std::filesystem::path& executable);

    bool IsAvailable() const { return entryPoint != nullptr; }
    // The library file as it was asked for (a path or a bare name).
    const std::string& GetLibraryPath() const { return libraryPath; }
    // True when the loaded manager is the emulated card (its library's file
    // name), whose synth port the MIDI keyboard prefers.
    bool IsEmulatedCard() const;
    int GetOpenCount() const { return openCount; }
    // Opens the manager (nested opens only count); returns the open count, 0 on failure.
    int Open();
    // Drops one open, or all with force; the manager is closed when none remain.
    void Close(bool force);
    // Open, the command with the manager handle, Close; true when the manager returned 0.
    bool SendCommand(std::uint32_t code, std::uintptr_t param1, std::uintptr_t param2);

    // Free (or total) sound memory in KB; 0 when the card does not answer.
    int GetMemoryKB(bool free);
    // Sets the emulated card's sound memory in the driver's settings, where
    // the card reads it at its next command; false when there is no
    // settings key or the registry cannot be written.
    bool WriteMemoryKB(int kb);
    // Name of the synth bank (bank 0) or of a user bank, trailing white space removed; empty on failure.
    std::string GetBankName(int bank);
    std::string GetPresetName(int bank, int preset);
    // Current synth bank: 0 GM, 1 GS, 2 MT-32; 0 when the card does not answer.
    int GetSynthBank();
    // Makes synth bank n current; -1 selects again the one the card reports.
    bool SelectSynthBank(int n);
    // Reverb and chorus types 0..7; 0 when the card does not answer.
    int GetReverb();
    int GetChorus();
    bool SetReverb(int type);
    bool SetChorus(int type);

    // Loads a whole SoundFont bank file into a user bank.
    bool LoadBank(int bank, const std::string& path);
    // Empties a user bank; false without a command for bank 0 (the synth bank).
    bool ClearBank(int bank);
    // Empties user banks 1..127 in order, stopping at the first failure.
    bool ClearAllBanks();
    // Empties a user bank slot; a synth bank slot is reloaded from the synth bank's file.
    bool ClearPreset(int bank, int preset);
    // Loads preset sourcePreset (not negative) of a SoundFont file into bank:preset,
    // after clearing that slot. When usedKB is given it receives the KB the
    // preset took on success and 0 on failure; it is written through nowhere
    // else. Callers that keep a loaded size (where -1 means not loaded) pass
    // their own variable and assign their loaded size from it only when this
    // returns true, so a failed load never looks loaded.
    bool LoadPreset(int bank, int preset, const std::string& path, int sourcePreset, int* usedKB);
    // Puts back in the slot what the bank's registered file holds, or empties it.
    bool RevertPreset(int bank, int preset);
    // The SoundFont file registered for a bank: the current mode's file for
    // bank 0, the user bank's file else; empty when none.
    std::string GetBankFile(int bank);

    // What the card library says about the card now (a device gone, memory
    // changed behind its back); empty when all is well or it says nothing.
    std::string GetStatusText() const;

    // The driver's settings key found at construction; empty when there is no driver.
    const std::string& GetSettingsKey() const { return settingsKey; }

private:
    void LoadLibrary(const std::string& path);
    void FindSettingsKey();
    std::string ReadRegistry(const std::string& key, const std::string& value) const;

    std::string libraryPath;
    void* library = nullptr;
    AweManagerProc entryPoint = nullptr;
    CardStatusProc statusEntry = nullptr;
    std::uint32_t managerHandle = 0;
    int openCount = 0;
    std::string settingsKey;
    std::string synthValueName;
    std::string bankValueFormat;
    std::string modeValueNames[3];
    CRegistryStore registry;
};

// Keeps the manager open for a run of operations (a document opened: the
// banks emptied and a hundred presets loaded), so that the card takes its
// lock and checks its files once rather than once per command. Every
// operation and its result stay what they would be without it; without a
// card it does nothing. Other programs wait for the card until it ends.
class CAweBatch
{
public:
    explicit CAweBatch(CAweSession& session) : session(session), opened(session.Open() != 0) {}
    ~CAweBatch()
    {
        if (opened)
            session.Close(false);
    }
    CAweBatch(const CAweBatch&) = delete;
    CAweBatch& operator=(const CAweBatch&) = delete;

private:
    CAweSession& session;
    bool opened;
};
