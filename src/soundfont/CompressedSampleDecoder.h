#pragma once
// How the SoundFont reader learns what a compressed (version 3, Ogg Vorbis)
// sample decodes to without a decoder of its own: the file formats stay
// standard C++ only, and the media layer, which has libvorbisfile, answers.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class ICompressedSampleDecoder
{
public:
    virtual ~ICompressedSampleDecoder() = default;
    // 16-bit points (frames x channels) the stream decodes to; nullopt when
    // it is no stream the decoder can read.
    virtual std::optional<std::uint64_t> DecodedPoints(std::span<const std::uint8_t> stream) const = 0;
    // The stream decoded to 16-bit points; nullopt when it does not decode
    // whole (a damaged page anywhere).
    virtual std::optional<std::vector<std::int16_t>> Decode(std::span<const std::uint8_t> stream) const = 0;
};

// The decoder readers take when none is set for them; null until a program
// installs one (the core alone cannot decode).
void SetDefaultSampleDecoder(const ICompressedSampleDecoder* decoder);
const ICompressedSampleDecoder* GetDefaultSampleDecoder();
