#pragma once
// One preset of a version 2 or 3 bank as a bank of its own, of the same
// version: what the card keeps in its memory when a single preset is loaded,
// so that it still sounds when its file is gone. The copy holds the preset's
// zones and modulators, the instruments it names and only the samples they
// use (version 2: the points plus 46 zero points after each, as the format
// asks; version 3: each Ogg Vorbis stream as it stands, checked by decoding
// it whole when a decoder is given).
//
// Nothing from the file is trusted: a bag, generator, modulator, instrument
// or sample index past its chunk is dropped (a zone that names no existing
// instrument or sample loses that generator), a ROM sample has no data to
// copy and is left out the same way, a sample reaching past the data or one
// that does not decode refuses the preset with a reason, and so does a copy
// too large for the 16-bit indices or 32-bit sizes of the format.

#include <cstdint>
#include <string>
#include <vector>

class CSoundFontReader;
class ICompressedSampleDecoder;

class CSoundFontExtractor
{
public:
    // Preset record `index` of the open reader, alone in the file as program
    // `program` of bank `bank`. True with out holding the file; false with
    // out empty and *error (when given) one line saying why. The reader's
    // source position afterwards is unspecified.
    static bool ExtractPreset(CSoundFontReader& opened, int index, std::vector<std::uint8_t>& out,
                              std::string* error = nullptr, int bank = 0, int program = 0,
                              const ICompressedSampleDecoder* verify = nullptr);
};
