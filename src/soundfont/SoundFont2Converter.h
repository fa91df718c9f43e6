#pragma once
// Turns a SoundFont 1 bank (.sbk) into a SoundFont 2 file image in memory.
// Current synthesizers refuse version 1, and several generators meant other
// things there, so everything a version-2 player needs is worked out here:
//
// - Each preset zone x instrument zone pair becomes one instrument zone with
//   the version-1 precedence already applied: the instrument zone's own
//   value wins, a preset-level value only fills what it leaves unset, key and
//   velocity ranges come from the preset zone. The result carries absolute
//   values, so the preset zones name the instruments and, where that
//   sounds the same, keep their key and velocity ranges: presets layering
//   one instrument over ranges then share it.
// - Generator amounts are converted to version-2 units; where version 1 had
//   a default of its own, that default is written out. Values equal to
//   version 2's defaults are left out, and values all zones of an instrument
//   share are written once, in a global zone.
// - The sample pitch (generators 55 and 58) becomes the original key and pitch
//   correction of a sample header at 44100 Hz; a sample played with two
//   pitches gets two headers over the same data.
// - ROM samples (those before the first sample that starts at point 0) are
//   not in the file: zones that use them are left out, and so is an
//   instrument left without zones. A preset keeps its place even when empty,
//   but a result without any sample is refused: players refuse such a file.
// - Sample data is copied as 16-bit points with 46 zero points after each
//   sample; the "snam" names become the header names.
//
// The input is read through CSoundFontReader and never trusted: a chunk size
// that is not a multiple of its record size, indices that decrease or point
// past their chunk, a generator naming an instrument or sample that does not
// exist, or sample data cut short refuse the file. A sample header reaching
// past the sample data is cut at its end (a sample left with fewer than two
// points drops its zones). A result too large for the 16-bit indices of
// version 2 is refused as well, naming each index it passes and by how much.

#include "platform/ByteStream.h"

class CSoundFontReader;

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSoundFont2Converter
{
public:
    static constexpr std::uint32_t kSampleRate = 44100;
    static constexpr std::uint32_t kZeroPoints = 46; // silence after every sample

    // The whole bank. True with out holding the file; false with out empty
    // and *error (when given) one line saying why. The source is read from
    // wherever it stands; its position afterwards is unspecified.
    bool ConvertBank(IByteSource& in, std::vector<std::uint8_t>& out, std::string* error = nullptr);

    // One preset: the first preset record numbered presetNumber (whatever its
    // bank, as the card looks presets up), alone in the file as program
    // `program` of bank `bank`, with only the samples it uses.
    bool ConvertPreset(IByteSource& in, int presetNumber, std::vector<std::uint8_t>& out,
                       std::string* error = nullptr, int bank = 0, int program = 0);

    // The same from a bank a reader holds open already, so that a caller that
    // read the bank's presets converts without opening or parsing it again.
    // The reader's source position afterwards is unspecified.
    bool ConvertBank(CSoundFontReader& opened, std::vector<std::uint8_t>& out, std::string* error = nullptr);
    bool ConvertPreset(CSoundFontReader& opened, int presetNumber, std::vector<std::uint8_t>& out,
                       std::string* error = nullptr, int bank = 0, int program = 0);

    // The converted file as a source that reads the sample data from the
    // bank only as it is read: the file's lists are held in memory, its
    // sample data never is. A bank of any size streams to disk at the speed
    // of a copy, and a caller that wants a few samples reads only those.
    // Null (and *error) when it refuses. The bank's source (in, or the
    // opened reader's) must outlive the result; reads seek it.
    std::unique_ptr<IByteSource> ConvertedBank(IByteSource& in, std::string* error = nullptr);
    std::unique_ptr<IByteSource> ConvertedBank(CSoundFontReader& opened, std::string* error = nullptr);

    // Several presets into one file, preset i of the result being
    // placements[i]: one pass over the bank's lists, and a sample two of them
    // use stored once. A preset that resolves to no sample stays, empty.
    struct Placement
    {
        int presetNumber = 0; // the first record of that number, as for ConvertPreset
        int bank = 0;
        int program = 0;
    };
    std::unique_ptr<IByteSource> ConvertedPresets(CSoundFontReader& opened,
                                                  const std::vector<Placement>& placements,
                                                  std::string* error = nullptr);
};
