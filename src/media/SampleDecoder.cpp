#include "media/SampleDecoder.h"

#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace
{
// libsndfile reads the stream through these, from memory.
struct MemoryStream
{
    std::span<const std::uint8_t> bytes;
    sf_count_t position = 0;
};

sf_count_t Length(void* user)
{
    return static_cast<sf_count_t>(static_cast<MemoryStream*>(user)->bytes.size());
}

sf_count_t Seek(sf_count_t offset, int whence, void* user)
{
    auto* stream = static_cast<MemoryStream*>(user);
    const auto size = static_cast<sf_count_t>(stream->bytes.size());
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = stream->position;
    else if (whence == SEEK_END)
        base = size;
    const sf_count_t target = base + offset;
    if (target < 0 || target > size)
        return -1;
    stream->position = target;
    return target;
}

sf_count_t Read(void* buffer, sf_count_t count, void* user)
{
    auto* stream = static_cast<MemoryStream*>(user);
    const auto size = static_cast<sf_count_t>(stream->bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(size - stream->position, 0, std::max<sf_count_t>(count, 0));
    if (n > 0)
        std::memcpy(buffer, stream->bytes.data() + stream->position, static_cast<std::size_t>(n));
    stream->position += n;
    return n;
}

sf_count_t Write(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t Tell(void* user)
{
    return static_cast<MemoryStream*>(user)->position;
}

// An open Ogg Vorbis stream of memory; anything else (a wave, a FLAC stream,
// garbage) is not a compressed SoundFont sample and is not opened.
class CVorbisReader
{
public:
    explicit CVorbisReader(std::span<const std::uint8_t> bytes) : stream{bytes}
    {
        SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
        file = sf_open_virtual(&io, SFM_READ, &info, &stream);
        if (file &&
            ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_OGG ||
             (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_VORBIS || info.channels < 1 || info.frames < 0))
        {
            sf_close(file);
            file = nullptr;
        }
    }
    ~CVorbisReader()
    {
        if (file)
            sf_close(file);
    }
    CVorbisReader(const CVorbisReader&) = delete;
    CVorbisReader& operator=(const CVorbisReader&) = delete;

    SNDFILE* file = nullptr;
    SF_INFO info{};

private:
    MemoryStream stream;
};
} // namespace

std::optional<std::uint64_t> CSndfileSampleDecoder::DecodedPoints(std::span<const std::uint8_t> stream) const
{
    const CVorbisReader reader(stream);
    if (!reader.file)
        return std::nullopt;
    return static_cast<std::uint64_t>(reader.info.frames) * static_cast<std::uint64_t>(reader.info.channels);
}

// Decoding goes through libvorbisfile, which reports a gap in the stream (a
// page whose checksum fails) where libsndfile would quietly skip it.
std::optional<std::vector<std::int16_t>>
CSndfileSampleDecoder::Decode(std::span<const std::uint8_t> stream) const
{
    const auto points = DecodedPoints(stream);
    // A card holds at most 28 MB; a stream claiming more than 2^31 points is not a sample.
    if (!points || *points > std::uint64_t{std::numeric_limits<std::int32_t>::max()})
        return std::nullopt;
    MemoryStream memory{stream};
    const ov_callbacks callbacks{
        [](void* buffer, std::size_t size, std::size_t count, void* user) -> std::size_t
        {
            const sf_count_t want = static_cast<sf_count_t>(size * count);
            return size ? static_cast<std::size_t>(Read(buffer, want, user)) / size : 0;
        },
        [](void* user, ogg_int64_t offset, int whence) -> int
        { return Seek(static_cast<sf_count_t>(offset), whence, user) < 0 ? -1 : 0; },
        nullptr, [](void* user) -> long { return static_cast<long>(Tell(user)); }};
    OggVorbis_File file;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0)
        return std::nullopt;
    std::vector<std::int16_t> out(*points);
    std::size_t got = 0;
    bool damaged = false;
    while (got < out.size())
    {
        int section = 0;
        const long bytes = ov_read(&file, reinterpret_cast<char*>(out.data() + got),
                                   static_cast<int>(std::min<std::size_t>((out.size() - got) * 2, 1 << 16)),
                                   0, 2, 1, &section);
        if (bytes <= 0)
        {
            damaged = bytes < 0; // OV_HOLE, OV_EBADLINK, OV_EINVAL: the stream is not whole
            break;
        }
        got += static_cast<std::size_t>(bytes) / 2;
    }
    ov_clear(&file);
    if (damaged || got != out.size())
        return std::nullopt;
    return out;
}

const CSndfileSampleDecoder& CSndfileSampleDecoder::Instance()
{
    static const CSndfileSampleDecoder decoder;
    return decoder;
}

void InstallSampleDecoder()
{
    SetDefaultSampleDecoder(&CSndfileSampleDecoder::Instance());
}
