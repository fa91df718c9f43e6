#include "engine/CardSoundMap.h"

#include <array>

namespace
{
// MT-32 sound -> General MIDI program, chosen by ear and by family: a sound
// the General MIDI set has goes to that program; the MT-32's synthetic
// effects go to the synth pads and effects whose names come closest.
constexpr std::array<unsigned char, 128> kMt32ToGm = {
    0,   1,   0,   4,   5,   5,   4,   3,   // pianos, honky-tonk
    16,  17,  18,  16,  19,  19,  20,  21,  // organs, accordion
    6,   6,   6,   7,   7,   7,   8,   8,   // harpsichords, clavis, celestas
    62,  63,  62,  63,  38,  39,  38,  39,  // synth brass, synth bass
    88,  75,  52,  92,  97,  99,  14,  85,  // Fantasy .. Funny Vox
    102, 96,  68,  75,  81,  10,  53,  80,  // Echo Bell .. Square Wave
    48,  49,  48,  45,  40,  40,  42,  42,  // strings, pizzicato, violins, celli
    43,  46,  46,  24,  25,  26,  27,  104, // contrabass, harps, guitars, sitar
    32,  32,  33,  34,  36,  37,  35,  35,  // basses
    73,  73,  72,  72,  74,  75,  64,  65,  // flutes, piccolos, recorder, pan pipes, saxes
    66,  67,  71,  71,  68,  69,  70,  22,  // saxes, clarinets, oboe, English horn, bassoon, harmonica
    56,  56,  57,  57,  60,  60,  58,  61,  // trumpets, trombones, horns, tuba, brass section
    61,  11,  11,  12,  112, 9,   14,  13,  // brass section, vibes, mallets, bells, xylophone
    12,  107, 111, 77,  78,  78,  76,  79,  // marimba, koto, sho, shakuhachi, whistles, bottle, pipe
    47,  117, 118, 118, 118, 116, 115, 119, // timpani, toms, snare, percussion, taiko, cymbal
    115, 112, 55,  124, 123, 87,  98,  114, // castanets .. Jungle Tune
};
} // namespace

SoundChoice CCardSoundMap::Choose(const CCardModel& model, int bank, int program)
{
    if (!CCardModel::IsBank(bank) || !CCardModel::IsSlot(program))
        return {};
    if (model.presets.contains({bank, program}))
        return {SoundChoice::Source::Preset, bank, program, 0, 0};
    if (bank == 0)
    {
        const int gm = model.synthMode == 2 ? Mt32ToGeneralMidi(program) : program;
        return {SoundChoice::Source::GeneralMidi, 0, 0, 0, gm};
    }
    const auto bankFile = model.bankFiles.find(bank);
    if (bankFile != model.bankFiles.end() && bankFile->second.presets.contains(program) &&
        !bankFile->second.emptied.contains(program))
        return {SoundChoice::Source::BankFile, bank, 0, 0, program};
    return {};
}

int CCardSoundMap::Mt32ToGeneralMidi(int program)
{
    if (program < 0 || program > 127)
        return 0;
    return kMt32ToGm[static_cast<std::size_t>(program)];
}
