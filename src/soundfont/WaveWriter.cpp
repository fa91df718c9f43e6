#include "soundfont/WaveWriter.h"

#include "platform/AtomicFile.h"
#include "platform/RiffFile.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr std::uint16_t kChannels = 2;
constexpr std::uint16_t kBytesPerPoint = 2;
// The RIFF size field counts 32 bits, and it covers the header chunks too.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 64;

} // namespace

std::int16_t CWaveWriter::ToPoint(float sample)
{
    if (std::isnan(sample))
        return 0;
    const float scaled = std::clamp(sample, -1.0f, 1.0f) * 32767.0f;
    return static_cast<std::int16_t>(std::lround(scaled));
}

bool CWaveWriter::WriteStereo16(IByteSink& sink, const std::vector<float>& left,
                                const std::vector<float>& right, std::uint32_t rate)
{
    if (left.size() != right.size() || rate == 0 ||
        static_cast<std::uint64_t>(left.size()) * kChannels * kBytesPerPoint > kMaxDataBytes)
        return false;
    CRiffWriter out(sink);
    CRiffChunk form;
    form.fccType = MakeFourCC("WAVE");
    if (!out.CreateChunk(form, CRiffWriter::Create::Riff))
        return false;
    std::uint8_t format[16];
    WriteLE16(format, 1); // PCM
    WriteLE16(format + 2, kChannels);
    WriteLE32(format + 4, rate);
    WriteLE32(format + 8, rate * kChannels * kBytesPerPoint);
    WriteLE16(format + 12, kChannels * kBytesPerPoint);
    WriteLE16(format + 14, 8 * kBytesPerPoint);
    if (!out.WriteChunk(MakeFourCC("fmt "), format, sizeof format))
        return false;
    CRiffChunk data;
    data.ckid = MakeFourCC("data");
    if (!out.CreateChunk(data, CRiffWriter::Create::Chunk))
        return false;
    constexpr std::size_t kFrames = 4096;
    std::vector<std::uint8_t> block(kFrames * kChannels * kBytesPerPoint);
    for (std::size_t at = 0; at < left.size(); at += kFrames)
    {
        const std::size_t frames = std::min(kFrames, left.size() - at);
        for (std::size_t i = 0; i < frames; ++i)
        {
            WriteLE16(block.data() + 4 * i, static_cast<std::uint16_t>(ToPoint(left[at + i])));
            WriteLE16(block.data() + 4 * i + 2, static_cast<std::uint16_t>(ToPoint(right[at + i])));
        }
        if (!out.Write(block.data(), frames * kChannels * kBytesPerPoint))
            return false;
    }
    return out.Ascend(data) && out.Ascend(form) && out.Good();
}

bool CWaveWriter::WriteStereo16(const std::string& path, const std::vector<float>& left,
                                const std::vector<float>& right, std::uint32_t rate)
{
    CAtomicFile file(path);
    if (!file.Open())
        return false;
    if (!WriteStereo16(file.Sink(), left, right, rate))
    {
        file.Discard();
        return false;
    }
    return file.Commit();
}
