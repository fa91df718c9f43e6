#pragma once
// Which sound a MIDI channel plays for a bank and program on the emulated
// card, decided from the card's state alone (no synthesizer involved):
//
// - Bank 0 is the synth bank. A preset loaded onto one of its slots plays
//   that preset. Otherwise, in General MIDI and GS modes, the program of the
//   General MIDI set; in MT-32 mode the General MIDI program nearest to the
//   MT-32 sound of that number (Mt32ToGeneralMidi).
// - Banks 1..127 are user banks. A preset loaded onto the slot plays that
//   preset (and only it: a preset that could not be copied into the card's
//   memory is silent rather than letting the bank file's preset through);
//   otherwise the bank file's preset of that number unless the slot was
//   emptied; otherwise nothing: an empty slot is silent.
// - The drum channel (10, index 9) always plays a drum kit of the General
//   MIDI set: in GS mode the kit the program names when the set has it, else
//   (and in the other modes) the standard kit.

#include "cardstate/CardModel.h"

struct SoundChoice
{
    enum class Source
    {
        None,        // silence
        GeneralMidi, // the General MIDI set: bank and program below
        BankFile,    // the bank file of cardBank: its preset numbered program
        Preset,      // the preset loaded onto cardBank:slot
    };
    Source source = Source::None;
    int cardBank = 0;
    int slot = 0;
    int bank = 0;    // General MIDI: 0, or 128 for drum kits
    int program = 0; // General MIDI: the program in the set; bank file: the preset number
    bool operator==(const SoundChoice&) const = default;
};

class CCardSoundMap
{
public:
    static constexpr int kDrumChannel = 9;
    static constexpr int kDrumBank = 128;
    static constexpr int kStandardKit = 0;

    // The sound for bank:program (each 0..127; anything else is silence).
    // kitAvailable tells whether the General MIDI set has a drum kit, for GS.
    template <typename KitAvailable>
    static SoundChoice Choose(const CCardModel& model, int bank, int program, bool drumChannel,
                              KitAvailable&& kitAvailable)
    {
        if (drumChannel)
        {
            const bool gsKit =
                model.synthMode == 1 && program >= 0 && program <= 127 && kitAvailable(program);
            return {SoundChoice::Source::GeneralMidi, 0, 0, kDrumBank, gsKit ? program : kStandardKit};
        }
        return Choose(model, bank, program);
    }
    // The same for a melodic channel.
    static SoundChoice Choose(const CCardModel& model, int bank, int program);

    // The General MIDI program (0..127) nearest to an MT-32 program (0..127); 0 outside.
    static int Mt32ToGeneralMidi(int program);
};
