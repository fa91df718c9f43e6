#pragma once
// What the wave converter needs from outside the standard library: a
// resampler for rates that are not whole multiples of an option's rate, and
// decoders for sample files that are not RIFF waves (AIFF, FLAC, Ogg).
//
// The core declares them and never links an audio library; the programs
// install an implementation at start (tamberly_media). Without one, such
// files do not open and such options write an empty sample.

#include "platform/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Converts one channel from one rate to another, in pieces.
class IResampler
{
public:
    virtual ~IResampler() = default;
    // Takes count points and appends the points made so far to out; with
    // last, also everything still held. False when the library failed.
    virtual bool Process(const float* in, std::size_t count, bool last, std::vector<float>& out) = 0;
};

// An open sample file of any format the decoder knows, read as frames of
// floats (full scale -1..1, channels interleaved).
class ISampleDecoder
{
public:
    virtual ~ISampleDecoder() = default;
    virtual std::uint32_t Rate() const = 0;
    virtual std::uint32_t Channels() const = 0;
    // The frames the file says it holds (the data may end sooner).
    virtual std::uint64_t Frames() const = 0;
    // What the file is, for messages ("FLAC 24 bit").
    virtual std::string Description() const = 0;
    virtual bool Rewind() = 0;
    // Reads up to frames frames into out (frames x Channels() floats); 0 at the end.
    virtual std::size_t Read(float* out, std::size_t frames) = 0;
};

class ISampleServices
{
public:
    virtual ~ISampleServices() = default;
    // Null when the library refuses the pair of rates.
    virtual std::unique_ptr<IResampler> MakeResampler(double fromRate, double toRate) = 0;
    // The decoder of source, which the caller keeps alive as long as the
    // decoder; null with error set when the data is no file the decoder reads.
    virtual std::unique_ptr<ISampleDecoder> OpenDecoder(IByteSource& source, std::string& error) = 0;
};

// The services of this process; null until a program installs them. They
// must outlive every use.
ISampleServices* GetSampleServices();
void SetSampleServices(ISampleServices* services);
