#pragma once
// Sample files that are not RIFF waves (AIFF and AIFF-C, FLAC, Ogg Vorbis),
// read by libsndfile from an IByteSource: the same source a test or fuzzer
// hands over in memory.

#include "soundfont/SampleServices.h"

#include <sndfile.h>

#include <memory>

class CSndFileDecoder final : public ISampleDecoder
{
public:
    // Null with error set when libsndfile does not read the data, or reads it
    // as a format that is not one of ours.
    static std::unique_ptr<CSndFileDecoder> Open(IByteSource& source, std::string& error);
    ~CSndFileDecoder() override;
    CSndFileDecoder(const CSndFileDecoder&) = delete;
    CSndFileDecoder& operator=(const CSndFileDecoder&) = delete;

    std::uint32_t Rate() const override;
    std::uint32_t Channels() const override;
    std::uint64_t Frames() const override;
    std::string Description() const override;
    bool Rewind() override;
    std::size_t Read(float* out, std::size_t frames) override;

private:
    // libsndfile reads through the caller's source, which outlives the decoder.
    CSndFileDecoder() = default;

    SNDFILE* file = nullptr;
    SF_INFO info{};
};
