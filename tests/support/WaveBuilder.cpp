#include "support/WaveBuilder.h"

#include <cstring>
#include <stdexcept>

WaveBuilder& WaveBuilder::Channels(std::uint16_t count)
{
    channels = count;
    return *this;
}

WaveBuilder& WaveBuilder::Rate(std::uint32_t samplesPerSec)
{
    rate = samplesPerSec;
    return *this;
}

WaveBuilder& WaveBuilder::Bits(std::uint16_t bitsPerSample)
{
    bits = bitsPerSample;
    return *this;
}

WaveBuilder& WaveBuilder::BlockAlign(std::uint16_t bytes)
{
    blockAlign = bytes;
    return *this;
}

WaveBuilder& WaveBuilder::FormatTag(std::uint16_t tag)
{
    formatTag = tag;
    return *this;
}

WaveBuilder& WaveBuilder::FmtSize(std::uint32_t bytes)
{
    if (bytes != 16 && bytes != 18)
        throw std::invalid_argument("a PCM format chunk has 16 or 18 bytes");
    fmtSize = bytes;
    return *this;
}

std::uint16_t WaveBuilder::NaturalBlockAlign() const
{
    return static_cast<std::uint16_t>(channels * ((bits + 7) / 8));
}

WaveBuilder& WaveBuilder::Frames(std::size_t count, const ValueFn& value)
{
    const unsigned width = (bits + 7u) / 8u;
    const std::size_t natural = NaturalBlockAlign();
    const std::size_t frameBytes = blockAlign && *blockAlign > natural ? *blockAlign : natural;
    data.reserve(data.size() + count * frameBytes);
    for (std::size_t frame = 0; frame < count; ++frame)
    {
        for (unsigned channel = 0; channel < channels; ++channel)
        {
            const auto v = static_cast<std::uint32_t>(value(frame, channel));
            for (unsigned b = 0; b < width; ++b)
                data.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
        }
        data.insert(data.end(), frameBytes - natural, 0);
    }
    return *this;
}

WaveBuilder& WaveBuilder::Values(const std::vector<std::int32_t>& interleaved)
{
    if (channels == 0 || interleaved.size() % channels != 0)
        throw std::invalid_argument("values must fill whole frames");
    return Frames(interleaved.size() / channels, [&](std::size_t frame, unsigned channel)
                  { return interleaved[frame * channels + channel]; });
}

WaveBuilder& WaveBuilder::FloatValues(const std::vector<double>& interleaved)
{
    if (channels == 0 || interleaved.size() % channels != 0 || (bits != 32 && bits != 64))
        throw std::invalid_argument("float values must fill whole frames of 32 or 64 bits");
    if (!extensibleSubTag)
        formatTag = 3;
    data.clear();
    for (const double value : interleaved)
    {
        std::uint64_t raw = 0;
        if (bits == 32)
        {
            const float single = static_cast<float>(value);
            std::uint32_t word = 0;
            std::memcpy(&word, &single, sizeof word);
            raw = word;
        }
        else
            std::memcpy(&raw, &value, sizeof raw);
        for (unsigned b = 0; b < bits / 8u; ++b)
            data.push_back(static_cast<std::uint8_t>(raw >> (8 * b)));
    }
    return *this;
}

WaveBuilder& WaveBuilder::Extensible(std::uint16_t subTag)
{
    extensibleSubTag = subTag;
    formatTag = 0xFFFE;
    fmtSize = 40;
    return *this;
}

WaveBuilder& WaveBuilder::RawData(const Bytes& bytes)
{
    data = bytes;
    return *this;
}

WaveBuilder& WaveBuilder::ChunkBefore(std::string_view id, const Bytes& bytes)
{
    before.emplace_back(std::string(id), bytes);
    return *this;
}

WaveBuilder& WaveBuilder::ChunkAfter(std::string_view id, const Bytes& bytes)
{
    after.emplace_back(std::string(id), bytes);
    return *this;
}

WaveBuilder& WaveBuilder::ClaimedDataSize(std::uint32_t size)
{
    claimedDataSize = size;
    return *this;
}

WaveBuilder& WaveBuilder::DataBeforeFmt(bool yes)
{
    dataBeforeFmt = yes;
    return *this;
}

WaveBuilder& WaveBuilder::NoData()
{
    withData = false;
    return *this;
}

Bytes WaveBuilder::FmtData() const
{
    const std::uint16_t align = blockAlign.value_or(NaturalBlockAlign());
    Bytes fmt;
    PutLE16(fmt, formatTag);
    PutLE16(fmt, channels);
    PutLE32(fmt, rate);
    PutLE32(fmt, rate * align);
    PutLE16(fmt, align);
    PutLE16(fmt, bits);
    if (fmtSize == 18)
        PutLE16(fmt, 0);
    if (extensibleSubTag)
    {
        PutLE16(fmt, 22);   // extra bytes
        PutLE16(fmt, bits); // valid bits
        PutLE32(fmt, 0);    // channel mask
        PutLE16(fmt, *extensibleSubTag);
        for (const std::uint8_t b :
             {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
            fmt.push_back(b);
    }
    return fmt;
}

Bytes WaveBuilder::Build() const
{
    RiffBuilder riff;
    riff.Begin("RIFF", "WAVE");
    for (const auto& [id, bytes] : before)
        riff.Chunk(id, bytes);
    if (withData && dataBeforeFmt)
        riff.Chunk("data", data, claimedDataSize);
    riff.Chunk("fmt ", FmtData());
    if (withData && !dataBeforeFmt)
        riff.Chunk("data", data, claimedDataSize);
    for (const auto& [id, bytes] : after)
        riff.Chunk(id, bytes);
    return riff.Finish();
}

Bytes WaveBuilder::Header(std::uint32_t dataSize) const
{
    const Bytes fmt = FmtData();
    Bytes out;
    PutText(out, "RIFF");
    PutLE32(out, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + dataSize + (dataSize & 1u)));
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutLE32(out, static_cast<std::uint32_t>(fmt.size()));
    out.insert(out.end(), fmt.begin(), fmt.end());
    PutText(out, "data");
    PutLE32(out, dataSize);
    return out;
}
