#pragma once
// The emulated card's driver entries in the registry store: a MIDI driver
// key whose name begins with "sbawe32.drv" and whose SOFTWAREKEY names the
// card's own key, and under that key's "Settings" subkey the current synth
// mode ("Synthesizer"), the file of each mode's synth bank ("GM", "GS",
// "MT"), the size of the sound memory ("MemoryKB") and, in "UserBank", the
// bank file of each user bank ("B001" ... "B127").
//
// The card finds its driver key as the program does (the first subkey with
// that prefix, exact case), so both always agree on the settings key; it
// creates its own only when there is none. The mode and bank file values
// follow the card's state; "MemoryKB" is the user's setting and is written
// only when it is missing.

#include "cardstate/CardModel.h"
#include "platform/RegistryStore.h"
#include "synth/AweManager.h"

#include <array>
#include <cstdint>
#include <string>

class CCardDriver
{
public:
    static constexpr const char* kDriverSubkey = "sbawe32.drv<0000>";
    static constexpr const char* kOwnKey = "Software\\Tamberly\\Emulated AWE32";
    static constexpr const char* kMemoryValue = kMemoryKBValue;
    static constexpr std::uint32_t kDefaultMemoryKB = 28672;
    // The largest memory whose size in words still fits a signed 32-bit value.
    static constexpr std::uint32_t kMaxMemoryKB = 4194303;

    using SynthFiles = std::array<std::string, 3>;

    // The settings key the driver entries name; empty when there are none.
    static std::string SettingsKey(const CRegistryStore::Tree& tree);
    // Makes the entries describe the card: installs the driver key when
    // missing, then the settings values. True when anything changed.
    static bool Sync(CRegistryStore::Tree& tree, const CCardModel& model, const SynthFiles& synthFiles);
    // The sound memory the settings give, in KB: a whole decimal number from
    // 1 to kMaxMemoryKB, else the default.
    static std::uint32_t MemoryKB(const CRegistryStore::Tree& tree);
};
