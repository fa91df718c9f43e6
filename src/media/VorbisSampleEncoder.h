#pragma once
// SoundFont 3 samples made by libvorbisenc: each sample one mono Ogg Vorbis
// stream, in memory, as the writers of the core ask for them.

#include "soundfont/CompressedSampleEncoder.h"

class CVorbisSampleEncoder final : public ICompressedSampleEncoder
{
public:
    std::optional<std::vector<std::uint8_t>> Encode(std::span<const std::int16_t> points, std::uint32_t rate,
                                                    double quality) const override;

    static const CVorbisSampleEncoder& Instance();
};
