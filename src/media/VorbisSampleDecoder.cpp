#include "media/VorbisSampleDecoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
// libvorbisfile reads the stream through these, from memory.
struct MemoryStream
{
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;
};

std::size_t Read(void* buffer, std::size_t size, std::size_t count, void* user)
{
    auto* stream = static_cast<MemoryStream*>(user);
    if (size == 0)
        return 0;
    const std::size_t left = stream->bytes.size() - stream->position;
    const std::size_t items = std::min(count, left / size);
    std::memcpy(buffer, stream->bytes.data() + stream->position, items * size);
    stream->position += items * size;
    return items;
}

int Seek(void* user, ogg_int64_t offset, int whence)
{
    auto* stream = static_cast<MemoryStream*>(user);
    const auto size = static_cast<ogg_int64_t>(stream->bytes.size());
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<ogg_int64_t>(stream->position);
    else if (whence == SEEK_END)
        base = size;
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > size)
        return -1;
    stream->position = static_cast<std::size_t>(target);
    return 0;
}

long Tell(void* user)
{
    return static_cast<long>(static_cast<MemoryStream*>(user)->position);
}

// An open Ogg Vorbis stream of memory; anything else (a wave, a FLAC stream,
// garbage) is not a compressed SoundFont sample and is not opened.
class CVorbisReader
{
public:
    explicit CVorbisReader(std::span<const std::uint8_t> bytes) : stream{bytes}
    {
        const ov_callbacks callbacks{Read, Seek, nullptr, Tell};
        // On failure libvorbisfile has freed what it took itself.
        open = ov_open_callbacks(&stream, &file, nullptr, 0, callbacks) == 0;
        if (!open)
            return;
        const vorbis_info* info = ov_info(&file, -1);
        const ogg_int64_t frames = ov_pcm_total(&file, -1);
        // Claims past 2^40 frames or 255 channels are damage, and their product could overflow.
        if (info && info->channels >= 1 && info->channels <= 255 && frames >= 0 &&
            frames <= (ogg_int64_t{1} << 40))
            points = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(info->channels);
    }
    ~CVorbisReader()
    {
        if (open)
            ov_clear(&file);
    }
    CVorbisReader(const CVorbisReader&) = delete;
    CVorbisReader& operator=(const CVorbisReader&) = delete;

    OggVorbis_File file{};
    bool open = false;
    std::optional<std::uint64_t> points;

private:
    MemoryStream stream;
};
} // namespace

std::optional<std::uint64_t> CVorbisSampleDecoder::DecodedPoints(std::span<const std::uint8_t> stream) const
{
    return CVorbisReader(stream).points;
}

std::optional<std::vector<std::int16_t>>
CVorbisSampleDecoder::Decode(std::span<const std::uint8_t> stream) const
{
    CVorbisReader reader(stream);
    // A card holds at most 28 MB; a stream claiming more than 2^31 points is not a sample.
    if (!reader.points || *reader.points > std::uint64_t{std::numeric_limits<std::int32_t>::max()})
        return std::nullopt;
    std::vector<std::int16_t> out(*reader.points);
    std::size_t got = 0;
    while (got < out.size())
    {
        int section = 0;
        const long bytes = ov_read(&reader.file, reinterpret_cast<char*>(out.data() + got),
                                   static_cast<int>(std::min<std::size_t>((out.size() - got) * 2, 1 << 16)),
                                   0, 2, 1, &section);
        // OV_HOLE, OV_EBADLINK, OV_EINVAL: a page is damaged or missing, the stream is not whole.
        if (bytes < 0)
            return std::nullopt;
        if (bytes == 0)
            break;
        got += static_cast<std::size_t>(bytes) / 2;
    }
    if (got != out.size())
        return std::nullopt;
    return out;
}

const CVorbisSampleDecoder& CVorbisSampleDecoder::Instance()
{
    static const CVorbisSampleDecoder decoder;
    return decoder;
}

void InstallSampleDecoder()
{
    SetDefaultSampleDecoder(&CVorbisSampleDecoder::Instance());
}
