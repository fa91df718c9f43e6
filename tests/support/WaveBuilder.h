#pragma once
// Builds PCM wave files in memory for tests, benchmarks and fuzzer seeds.
//
// Values are given as the file stores them: 8-bit values are unsigned bytes
// (0..255, 128 is silence), 16-, 24- and 32-bit values are signed and are cut
// to their width. Frames are written channel after channel; a block
// alignment larger than the natural frame pads each frame with zero bytes, a
// smaller one (or 0) only changes what the format record says.

#include "support/RiffBuilder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class WaveBuilder
{
public:
    using ValueFn = std::function<std::int32_t(std::size_t frame, unsigned channel)>;

    WaveBuilder& Channels(std::uint16_t count);
    WaveBuilder& Rate(std::uint32_t samplesPerSec);
    WaveBuilder& Bits(std::uint16_t bitsPerSample);
    WaveBuilder& BlockAlign(std::uint16_t bytes); // override of channels x bytes per value
    WaveBuilder& FormatTag(std::uint16_t tag);
    WaveBuilder& FmtSize(std::uint32_t bytes); // 16 or 18 (the extra size field, 0)
    WaveBuilder& Frames(std::size_t count, const ValueFn& value);
    WaveBuilder& Values(const std::vector<std::int32_t>& interleaved); // whole frames
    // IEEE float data of the depth Bits says (32 or 64), whole frames; sets
    // format tag 3 unless the format is extensible.
    WaveBuilder& FloatValues(const std::vector<double>& interleaved);
    // WAVE_FORMAT_EXTENSIBLE (a 40-byte format) whose subformat GUID carries subTag.
    WaveBuilder& Extensible(std::uint16_t subTag);
    WaveBuilder& RawData(const Bytes& data);                          // data bytes as they stand
    WaveBuilder& ChunkBefore(std::string_view id, const Bytes& data); // between "WAVE" and "fmt "
    WaveBuilder& ChunkAfter(std::string_view id, const Bytes& data);  // after "data", in the form
    WaveBuilder& ClaimedDataSize(std::uint32_t size);                 // a data size that lies
    WaveBuilder& DataBeforeFmt(bool yes = true);
    WaveBuilder& NoData();

    Bytes Build() const;
    // The start of a file whose data chunk claims dataSize bytes, up to its
    // first data byte: lets a caller stream the data of a big file itself.
    Bytes Header(std::uint32_t dataSize) const;
    const Bytes& Data() const { return data; }
    std::uint16_t NaturalBlockAlign() const;

private:
    Bytes FmtData() const;

    std::uint16_t channels = 1;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    std::optional<std::uint16_t> blockAlign;
    std::uint16_t formatTag = 1;
    std::uint32_t fmtSize = 16;
    Bytes data;
    std::vector<std::pair<std::string, Bytes>> before;
    std::vector<std::pair<std::string, Bytes>> after;
    std::optional<std::uint32_t> claimedDataSize;
    bool dataBeforeFmt = false;
    bool withData = true;
    std::optional<std::uint16_t> extensibleSubTag;
};
