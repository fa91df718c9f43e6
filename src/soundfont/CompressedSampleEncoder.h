#pragma once
// How the SoundFont writers make a version 3 file's Ogg Vorbis streams
// without an encoder of their own: the file formats stay standard C++ only,
// and the media layer, which has libvorbisenc, answers.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class ICompressedSampleEncoder
{
public:
    virtual ~ICompressedSampleEncoder() = default;
    // One channel of 16-bit points as one whole Ogg Vorbis stream at `rate`,
    // decoding to exactly as many points. quality: -0.1 (smallest) to 1.0
    // (best). nullopt when the library refuses (a rate it cannot encode).
    virtual std::optional<std::vector<std::uint8_t>> Encode(std::span<const std::int16_t> points,
                                                            std::uint32_t rate, double quality) const = 0;
};

// The encoder writers take when none is given; null until a program installs
// one (the core alone cannot encode).
void SetDefaultSampleEncoder(const ICompressedSampleEncoder* encoder);
const ICompressedSampleEncoder* GetDefaultSampleEncoder();
