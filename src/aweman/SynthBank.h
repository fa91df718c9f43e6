#pragma once
// The emulated card's synth bank (bank 0) in its three modes: the mode names,
// the instrument name of every slot, and the small SoundFont 1 file that
// stands for each mode's ROM (one preset on each slot, numbered as the slot
// and named as its instrument, each with a short looped sample), which the
// driver's settings name so that a synth bank slot can be reloaded from it.

#include "platform/ByteStream.h"
#include "synth/CardLimits.h"

#include <string>

class CSynthBank
{
public:
    static constexpr int kModeCount = CardLimits::kSynthModes;
    static constexpr int kSlotCount = CardLimits::kSlotsPerBank;
    // Sample points of each preset's sample (a looped single cycle).
    static constexpr unsigned kSamplePoints = 64;

    // "General MIDI", "Roland GS", "MT-32"; empty outside 0..2.
    static std::string ModeName(int mode);
    // The instrument on a slot: the General MIDI names in modes 0 and 1, the
    // MT-32's own names in mode 2; empty outside the ranges.
    static std::string InstrumentName(int mode, int slot);
    // The file name of a mode's bank in the card's home folder.
    static std::string FileName(int mode);

    // Writes a mode's bank; false when the sink failed or the mode is not 0..2.
    static bool Write(int mode, IByteSink& sink);
    // Writes it to path atomically: no file is left behind on failure.
    static bool WriteFile(int mode, const std::string& path);
};
