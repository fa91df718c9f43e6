#pragma once
// Compressed SoundFont samples (Ogg Vorbis streams of version 3 banks)
// measured and decoded by libvorbisfile, from memory, for the readers of the
// core. libvorbisfile rather than libsndfile: it reports a damaged page
// (libsndfile skips it quietly) and frees what a failed open took.

#include "soundfont/CompressedSampleDecoder.h"

class CVorbisSampleDecoder final : public ICompressedSampleDecoder
{
public:
    std::optional<std::uint64_t> DecodedPoints(std::span<const std::uint8_t> stream) const override;
    std::optional<std::vector<std::int16_t>> Decode(std::span<const std::uint8_t> stream) const override;

    // The one the programs use.
    static const CVorbisSampleDecoder& Instance();
};

// Makes it every reader's default (SetDefaultSampleDecoder); programs call
// this once at start.
void InstallSampleDecoder();
