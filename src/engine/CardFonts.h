#pragma once
// The card's sounds as FluidSynth fonts, and the card's state they were made
// from: bank 0's General MIDI set from disk; each user bank's bank file
// converted to SoundFont 2 in memory, one font a bank; each preset loaded onto
// a slot made in memory from the file the card pinned for it (converted from
// version 1, extracted alone from versions 2 and 3), one font a slot. A bank
// file of version 2 or 3 is loaded by FluidSynth from the file as it stands. A
// font is remade only when what it is made from changed (a bank file's
// identity, size or time; a preset's memory file, its stamp or its preset),
// so a change of one slot costs one small load, not the whole card, and the
// card's own load does no conversion at all.
//
// Lock rules: one mutex guards the state and the three font tables; every
// const member takes it and may be called from any thread. Update runs one at
// a time (the engine's refresh lock) and converts and loads fonts without
// the mutex, so the keyboard keeps playing meanwhile; it takes the mutex only
// to swap the tables. A caller that holds a channel lock of its own takes it
// before this one (CChannelRouter does), never after.

#include "cardstate/CardModel.h"
#include "soundfont/SoundFontReader.h"

#include <fluidsynth.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// What a channel plays: a preset of a font, or nothing (font -1).
struct FontTarget
{
    int font = -1;
    int bank = 0;
    int program = 0;
    bool operator==(const FontTarget&) const = default;
};

class CCardFonts
{
public:
    CCardFonts(fluid_synth_t* synth, std::string cardHome);

    // Loads the General MIDI set in place of the one loaded before (nothing
    // when it is the same file). A set that cannot be loaded leaves the old
    // one in place and says why in GeneralMidiProblem. The caller re-chooses
    // the channels' sounds afterwards.
    void LoadGeneralMidi(const std::string& path);

    // Makes next the state the fonts follow, with a font for every part of it
    // that sounds. Returns the fonts no longer used: the caller moves the
    // channels off them, then hands them to Unload.
    std::set<int> Update(CCardModel next);
    void Unload(const std::set<int>& fonts);

    // The font preset bank:program plays on a channel now (drumChannel: the
    // General MIDI drum channel); font -1 for silence.
    FontTarget TargetFor(int bank, int program, bool drumChannel) const;
    // Whether bank:program would sound on a melodic channel now.
    bool HasSound(int bank, int program) const;

    CCardModel State() const;
    // The card's reverb and chorus types as the state has them.
    std::pair<int, int> EffectTypes() const;
    // One line for each part of the card without sound, the General MIDI set's first.
    std::vector<std::string> Problems() const;
    // Why the General MIDI set did not load; empty when it did.
    std::string GeneralMidiProblem() const;

    const std::string& Home() const { return home; }
    // How many preset sounds were made (converted or extracted) so far.
    std::size_t Conversions() const { return conversions.load(std::memory_order_relaxed); }

    // $TAMBERLY_GM_SOUNDFONT, else the system's General MIDI set
    // (InstalledGeneralMidiFont: default-GM.sf2 first).
    static std::string DefaultGeneralMidiFont();

private:
    // A font FluidSynth holds for a part of the card, or why there is none.
    struct LoadedFont
    {
        std::string key; // what it was made from; the same key is the same font
        int id = -1;     // -1: no font (problem says why)
        std::string problem;
        std::map<int, int> bankOf; // bank file: preset number -> bank of its first record
        int bank = 0;              // preset: where the one preset of the font is
        int program = 0;
    };

    int LoadImage(std::vector<std::uint8_t> image);
    LoadedFont LoadBankFile(int bank, const CCardModel::BankFile& bankFile, std::string key);
    // The memory files one Update has open, by name (a reader that is not
    // open: the file cannot be read).
    using OpenPins = std::map<std::string, std::unique_ptr<CSoundFontReader>>;
    LoadedFont LoadPreset(int bank, int slot, const CCardModel::Preset& preset, std::string key,
                          OpenPins& pins);
    // Under the mutex.
    FontTarget TargetForLocked(int bank, int program, bool drumChannel) const;

    fluid_synth_t* const synth;
    const std::string home;

    mutable std::mutex mutex; // guards everything below
    CCardModel model;
    int gmFont = -1;
    std::string gmPath;
    std::string gmProblem;
    std::set<int> gmKits;
    std::map<int, LoadedFont> bankFonts;
    std::map<CCardModel::Slot, LoadedFont> presetFonts;
    std::atomic<std::size_t> conversions{0};
};
