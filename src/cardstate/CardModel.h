#pragma once
// What the emulated card holds, as plain data: the synth mode, the effect
// types, the bank file of each user bank and the single presets loaded onto
// slots. No files are touched here; the operations take what was read from a
// SoundFont already and either change the model completely or not at all.
//
// Sound memory is counted in 16-bit words. Bank 0 is the synth bank: its
// presets live in the card's ROM and take no memory; a preset loaded onto one
// of its slots covers the ROM preset until the slot is restored or the synth
// mode is selected again. User banks 1..127 hold at most one bank file (whose
// samples take memory as one block) plus single presets covering its slots.
//
// The model is written to and read from a line-oriented text format (see
// Serialize); Parse refuses any text that is not a whole, consistent state.

#include "synth/CardLimits.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

// Why the card refused a request; 0 is success. The values are the nonzero
// results the manager entry point returns.
enum class CardResult : std::int32_t
{
    Ok = 0,
    BadHandle = 1,    // unknown or closed handle, or no handle to write to
    BadRecord = 2,    // a null pointer, a buffer without room, a path that disagrees with its length
    OutOfRange = 3,   // bank, slot, synth mode or effect type outside its range
    BadFile = 4,      // the file cannot be read or is no SoundFont bank
    NoSuchPreset = 5, // the file has no preset with that number
    NoMemory = 6,     // not enough free sound memory
    Empty = 7,        // nothing there to name
    Unavailable = 8,  // the card's home folder, lock or state file cannot be used
    UnknownCommand = 9,
};

class CCardModel
{
public:
    static constexpr int kLastBank = CardLimits::kLastBank;
    static constexpr int kLastSlot = CardLimits::kLastSlot;
    static constexpr int kLastSynthMode = CardLimits::kLastSynthMode;
    static constexpr int kLastEffect = CardLimits::kLastEffect;
    static constexpr int kDefaultReverb = 4; // "Hall 2"
    static constexpr int kDefaultChorus = 2; // "Chorus 3"

    // A whole SoundFont bank file in a user bank.
    struct BankFile
    {
        std::string file;                   // absolute path
        std::string name;                   // INAM, or the file's title
        std::uint64_t words = 0;            // its sample data
        std::map<int, std::string> presets; // slot (preset number) -> preset name
        std::set<int> emptied;              // slots of presets emptied one by one
        bool operator==(const BankFile&) const = default;
    };

    // One preset loaded onto a slot.
    struct Preset
    {
        std::string file;
        std::uint32_t source = 0; // preset number in the file
        std::string name;
        std::uint64_t words = 0;
        // The card's hold on the file the preset was loaded from (which may be
        // gone by now: waves are loaded through temporary files):
        // MemoryFileName(memory) in the card's home folder, the file's bytes as
        // they were loaded, shared by the presets loaded from that file. Empty
        // when the preset has no samples of its own.
        std::string memory;
        bool operator==(const Preset&) const = default;
    };

    using Slot = std::pair<int, int>; // bank, slot

    int synthMode = 0; // 0 General MIDI, 1 GS, 2 MT-32
    int reverb = kDefaultReverb;
    int chorus = kDefaultChorus;
    std::map<int, BankFile> bankFiles;
    std::map<Slot, Preset> presets;

    bool operator==(const CCardModel&) const = default;

    static bool IsUserBank(int bank) { return bank >= 1 && bank <= kLastBank; }
    static bool IsBank(int bank) { return bank >= 0 && bank <= kLastBank; }
    static bool IsSlot(int slot) { return slot >= 0 && slot <= kLastSlot; }

    std::uint64_t UsedWords() const;
    std::uint64_t FreeWords(std::uint64_t totalWords) const;

    // Switches the synth bank; every preset loaded onto a synth bank slot is dropped.
    CardResult SelectSynthMode(int mode);
    CardResult SetEffects(int reverbType, int chorusType);
    // Puts a bank file into a user bank in place of the one it held (single
    // presets on its slots stay). Needs the file's words beyond what the
    // replaced bank file frees.
    CardResult LoadBankFile(int bank, BankFile bankFile, std::uint64_t totalWords);
    // Empties a user bank: its bank file and every preset on its slots. An empty bank stays empty.
    CardResult ClearBank(int bank);
    // Loads a preset onto a slot in place of the one loaded there.
    CardResult LoadPreset(int bank, int slot, Preset preset, std::uint64_t totalWords);
    // Gives a slot back to its bank: the synth bank's ROM preset, or the
    // bank file's preset there (also one emptied before).
    CardResult RestoreSlot(int bank, int slot);
    // Empties a user bank slot: the preset loaded there goes, and the bank
    // file's preset there is hidden (its samples stay with the bank file)
    // until the slot is restored or the bank replaced. An empty slot stays empty.
    CardResult ClearSlot(int bank, int slot);

    // What a slot holds apart from the synth bank's ROM: the preset loaded
    // there, else the bank file's preset unless it was emptied.
    std::optional<std::string> SlotName(int bank, int slot) const;
    std::optional<std::string> BankName(int bank) const;

    // Whether text can name a memory copy: 1 to 32 digits and lower-case
    // letters, so that it never leaves the memory folder.
    static bool IsMemoryName(std::string_view text);
    // The memory copy's file, relative to the card's home folder.
    static std::string MemoryFileName(std::string_view memory);
    static constexpr const char* kMemoryFolder = "memory";

    std::string Serialize() const;
    // Nothing for a damaged text: a wrong version line, an unknown or broken
    // line, a number out of range, an item given twice, a missing end line.
    static std::optional<CCardModel> Parse(std::string_view text);

    // The change from before to after as lines of the same vocabulary (see
    // CardModel.cpp), for the card's journal: empty when nothing changed.
    static std::string RecordOf(const CCardModel& before, const CCardModel& after);
    // Applies a record made by RecordOf: true and the change made, or false
    // and the model as it was for a record that does not read whole.
    bool ApplyRecord(std::string_view record);
};
