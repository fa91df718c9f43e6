#pragma once
// A SoundFont bank as the Emux driver takes it: every zone of a preset (each
// preset zone x instrument zone pair) one voice record, each sample one
// sample record with its points. Version 2 banks are read as they are;
// version 1 banks go through the SoundFont 2 converter first, which already
// applies the rules of that version (pitch, loops, units, preset values),
// so that one walk over version 2 zones serves both. Version 3 banks are
// refused: the card plays raw 16-bit points only.
//
// Generators are combined as the format documents them: an instrument
// zone's value overrides its global zone's and the default, a preset zone's
// (or its global zone's) value is added, key and velocity ranges intersect,
// and generators a preset may not set are ignored there. The sums are then
// put in the EMU8000's register units (see EmuxUnits.h).
//
// Nothing in the file is trusted: an index past its chunk names nothing, a
// sample whose points lie outside the data has no sample record and its
// zones are left out, and the number of zones a preset yields is bounded by
// its generators.

#include "emux/EmuxRecords.h"
#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CEmuxPatchBuilder
{
public:
    // A voice and the sample (record index of the bank) it plays.
    struct Voice
    {
        soundfont_voice_info info{};
        int sample = 0;
    };

    // Opens the bank at path; false with *error (when given) saying why.
    bool Open(const std::string& path, std::string* error = nullptr);
    bool Open(std::unique_ptr<IByteSource> source, std::string* error = nullptr);

    // The bank as read (converted to version 2 for a version 1 file; its
    // preset records keep their order, names and numbers).
    const CSoundFontReader& Reader() const { return reader; }
    int OriginalVersion() const { return originalVersion; }

    // Whether zones that play the card's ROM samples (sample type ROM) are
    // kept: only on a card that has sound ROM. They are left out otherwise,
    // as their points are not in the file.
    void UseRomSounds(bool use) { romSounds = use; }
    bool IsRomSample(int sample) const;

    // The voices of preset record index, in zone order; empty for a preset
    // without a playable zone or an index out of range.
    std::vector<Voice> Voices(int index) const;
    // The LOAD_INFO patches for voices as bank:program: the first replaces
    // what the driver had there, the others add to it.
    static std::vector<emux::PatchBytes> InfoPatches(int bank, int program, const std::vector<Voice>& voices);

    // Points a sample record sends: its own and the silence the file keeps
    // after it (up to the next sample, at most kBlankPoints); 0 for a sample
    // outside the data.
    std::uint32_t SamplePoints(int sample) const;
    // The LOAD_DATA patch of sample record index with its points read from
    // the file; nullopt when they cannot be read. A ROM sample (with ROM
    // sounds used) sends no points: size 0 tells the driver its start and
    // end are addresses in the card's ROM.
    std::optional<emux::PatchBytes> SamplePatch(int sample);

    // The silence a version 2 file keeps between samples; after the last
    // one, kLastBlankPoints where the data has them.
    static constexpr std::uint32_t kBlankPoints = 46;
    static constexpr std::uint32_t kLastBlankPoints = 48;
    // The chip always loops: a voice that does not loop its sample loops
    // inside the silence after it instead, this many points from either end
    // of the silence, so that it ends in silence.
    static constexpr std::uint32_t kBlankLoopMargin = 8;

private:
    CSoundFontReader reader;
    std::vector<std::uint8_t> image;   // the converted version 1 bank
    std::vector<std::uint32_t> starts; // every sample's start, sorted, to find the silence after each
    int originalVersion = 0;
    bool romSounds = false;
};
