#pragma once
// Writes rendered sound as a PCM wave file: 16-bit stereo, interleaved,
// samples given as floats in -1..1 (beyond that they are clipped).

#include "platform/ByteStream.h"

#include <cstdint>
#include <string>
#include <vector>

class CWaveWriter
{
public:
    // The whole file to sink; false when a write failed, the channels differ
    // in length or the data would not fit a wave file.
    static bool WriteStereo16(IByteSink& sink, const std::vector<float>& left,
                              const std::vector<float>& right, std::uint32_t rate);
    // The same to path, atomically: on false no file is left at path and an
    // existing one is untouched.
    static bool WriteStereo16(const std::string& path, const std::vector<float>& left,
                              const std::vector<float>& right, std::uint32_t rate);
    // A float sample as a 16-bit point: scaled by 32767, rounded, clipped.
    static std::int16_t ToPoint(float sample);
};
