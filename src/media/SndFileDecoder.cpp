#include "media/SndFileDecoder.h"

#include <algorithm>
#include <limits>

namespace
{
sf_count_t SourceLength(void* user)
{
    return static_cast<sf_count_t>(static_cast<IByteSource*>(user)->Size());
}

sf_count_t SourceSeek(sf_count_t offset, int whence, void* user)
{
    auto* source = static_cast<IByteSource*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<sf_count_t>(source->Tell());
    else if (whence == SEEK_END)
        base = static_cast<sf_count_t>(source->Size());
    // A position outside the data is refused, not wrapped.
    if ((offset > 0 && base > std::numeric_limits<sf_count_t>::max() - offset) || base + offset < 0 ||
        !source->Seek(static_cast<std::uint64_t>(base + offset)))
        return -1;
    return static_cast<sf_count_t>(source->Tell());
}

sf_count_t SourceRead(void* buffer, sf_count_t count, void* user)
{
    if (count <= 0)
        return 0;
    return static_cast<sf_count_t>(
        static_cast<IByteSource*>(user)->Read(buffer, static_cast<std::size_t>(count)));
}

sf_count_t SourceWrite(const void*, sf_count_t, void*)
{
    return 0; // the decoder never writes
}

sf_count_t SourceTell(void* user)
{
    return static_cast<sf_count_t>(static_cast<IByteSource*>(user)->Tell());
}

SF_VIRTUAL_IO virtualIo = {SourceLength, SourceSeek, SourceRead, SourceWrite, SourceTell};

// The containers read here; libsndfile knows many more (raw PCM, old
// workstation formats) that nobody calls a sample file for this card.
const char* ContainerName(int format)
{
    switch (format & SF_FORMAT_TYPEMASK)
    {
    case SF_FORMAT_AIFF:
        return "AIFF";
    case SF_FORMAT_FLAC:
        return "FLAC";
    case SF_FORMAT_OGG:
        return "Ogg";
    default:
        return nullptr;
    }
}
} // namespace

std::unique_ptr<CSndFileDecoder> CSndFileDecoder::Open(IByteSource& source, std::string& error)
{
    std::unique_ptr<CSndFileDecoder> decoder(new CSndFileDecoder());
    if (!source.Seek(0))
    {
        error = "cannot be read";
        return nullptr;
    }
    decoder->file = sf_open_virtual(&virtualIo, SFM_READ, &decoder->info, &source);
    if (!decoder->file)
    {
        error =
            std::string("not an AIFF, FLAC or Ogg Vorbis file (").append(sf_strerror(nullptr)).append(")");
        return nullptr;
    }
    if (!ContainerName(decoder->info.format))
    {
        error = "not an AIFF, FLAC or Ogg Vorbis file";
        return nullptr;
    }
    if ((decoder->info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG &&
        (decoder->info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_VORBIS)
    {
        error = "an Ogg file that does not hold Vorbis sound";
        return nullptr;
    }
    // Floats of full scale 1 whatever the file stores, with no clipping by
    // the library: conversion rounds and clips once, on the way to 16 bits.
    sf_command(decoder->file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    sf_command(decoder->file, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    return decoder;
}

CSndFileDecoder::~CSndFileDecoder()
{
    if (file)
        sf_close(file);
}

std::uint32_t CSndFileDecoder::Rate() const
{
    return info.samplerate > 0 ? static_cast<std::uint32_t>(info.samplerate) : 0;
}

std::uint32_t CSndFileDecoder::Channels() const
{
    return info.channels > 0 ? static_cast<std::uint32_t>(info.channels) : 0;
}

std::uint64_t CSndFileDecoder::Frames() const
{
    return info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
}

std::string CSndFileDecoder::Description() const
{
    const char* name = ContainerName(info.format);
    return name ? name : "sample";
}

bool CSndFileDecoder::Rewind()
{
    return sf_seek(file, 0, SEEK_SET) == 0;
}

std::size_t CSndFileDecoder::Read(float* out, std::size_t frames)
{
    if (frames == 0)
        return 0;
    const sf_count_t got = sf_readf_float(file, out, static_cast<sf_count_t>(frames));
    return got > 0 ? std::min(static_cast<std::size_t>(got), frames) : 0;
}
