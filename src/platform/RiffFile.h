#pragma once
// RIFF chunk navigation with the descend / ascend model of the classic
// multimedia file services: a chunk is an 8-byte header (id, little-endian
// size) followed by its data and a pad byte after data of odd size; "RIFF"
// and "LIST" chunks begin their data with a four-character type.
//
// Sizes read from a file are never trusted: every search is bounded by the
// end of its parent chunk and by the end of the file, whichever comes first,
// so a size field that lies can make a search fail but never makes anything
// be read past either bound.

#include "platform/ByteStream.h"

#include <cstdint>
#include <string_view>

using FourCC = std::uint32_t;

constexpr FourCC MakeFourCC(std::string_view id)
{
    return static_cast<FourCC>(static_cast<unsigned char>(id[0])) |
           (static_cast<FourCC>(static_cast<unsigned char>(id[1])) << 8) |
           (static_cast<FourCC>(static_cast<unsigned char>(id[2])) << 16) |
           (static_cast<FourCC>(static_cast<unsigned char>(id[3])) << 24);
}

constexpr FourCC kFourCCRiff = MakeFourCC("RIFF");
constexpr FourCC kFourCCList = MakeFourCC("LIST");

struct CRiffChunk
{
    FourCC ckid = 0;
    std::uint32_t cksize = 0;     // the size the header claims
    FourCC fccType = 0;           // form or list type of "RIFF" and "LIST" chunks
    std::uint64_t dataOffset = 0; // first byte after the 8-byte header
    std::uint64_t limit = 0;      // end of the data as far as parent and file reach

    // Bytes of data really there: the claimed size cut at the parent's end or the file's.
    std::uint64_t Available() const { return limit > dataOffset ? limit - dataOffset : 0; }
    // True when the claimed size fits inside the parent and the file.
    bool IsWhole() const { return dataOffset + cksize <= limit; }
};

class CRiffReader
{
public:
    enum class Find
    {
        Next,  // take whatever chunk comes next
        Chunk, // the first chunk whose id is ck.ckid
        Riff,  // the first "RIFF" chunk whose form type is ck.fccType
        List,  // the first "LIST" chunk whose list type is ck.fccType
    };

    explicit CRiffReader(IByteSource& source) : source(source) {}

    // Searches from the current position, inside parent (or up to the end of
    // the file when parent is null), for the chunk that find asks for. On
    // success ck is filled and the position is at its data (after the type of
    // a "RIFF" or "LIST" chunk). On failure ck is unchanged apart from the
    // search keys and the position is unspecified.
    bool Descend(CRiffChunk& ck, const CRiffChunk* parent, Find find);

    // Moves past the chunk's data and pad byte. False when that point lies
    // beyond the file or the chunk's parent (the position is then at the
    // chunk's limit, where every further search inside the parent fails).
    bool Ascend(const CRiffChunk& ck);

    // Reads exactly size bytes; false on a short read.
    bool ReadExact(void* buffer, std::size_t size);

    bool Seek(std::uint64_t position) { return source.Seek(position); }
    std::uint64_t Tell() const { return source.Tell(); }
    IByteSource& Source() { return source; }

private:
    IByteSource& source;
};

class CRiffWriter
{
public:
    enum class Create
    {
        Chunk,
        Riff,
        List,
    };

    explicit CRiffWriter(IByteSink& sink) : sink(sink) {}

    // Writes the header of a new chunk (and the type of a "RIFF" or "LIST"
    // chunk) with a size of 0, to be filled in by Ascend.
    bool CreateChunk(CRiffChunk& ck, Create kind);
    // Writes the data size into the chunk's header and a zero pad byte after
    // data of odd size; the position ends after the chunk.
    bool Ascend(CRiffChunk& ck);
    // A whole chunk of known content in one call.
    bool WriteChunk(FourCC id, const void* data, std::size_t size);
    // An INFO text chunk: the text (at most maxBytes - 1 of it), a closing
    // zero byte, and another where that leaves the size odd.
    bool WriteText(FourCC id, std::string_view text, std::size_t maxBytes = 256);

    bool Write(const void* data, std::size_t size) { return sink.Write(data, size); }
    bool Good() const { return sink.Good(); }
    std::uint64_t Tell() const { return sink.Tell(); }
    IByteSink& Sink() { return sink; }

private:
    IByteSink& sink;
};
