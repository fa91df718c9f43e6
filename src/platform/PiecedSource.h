#pragma once
// A byte source made of pieces laid end to end: bytes it holds, spans of
// other sources read only when asked, and runs of zeros. A file put together
// from parts of others (a converted bank whose sample data stays where it lies
// in the bank it came from) then reads as one file without first being copied
// into memory, and can be streamed to disk or read in parts.

#include "platform/ByteStream.h"

#include <cstdint>
#include <vector>

class CPiecedSource final : public IByteSource
{
public:
    void AddBytes(std::vector<std::uint8_t> bytes);
    // [start, start + length) of from, which must outlive this source. Reads
    // seek it, so it may be shared with others who seek it too.
    void AddSpan(IByteSource& from, std::uint64_t start, std::uint64_t length);
    void AddZeros(std::uint64_t count);

    // Stops short where a span's source does: it was cut or cannot be read.
    std::size_t Read(void* buffer, std::size_t size) override;
    bool Seek(std::uint64_t position) override;
    std::uint64_t Tell() const override { return position; }
    std::uint64_t Size() const override { return size; }

private:
    struct Piece
    {
        std::uint64_t at = 0; // where it starts in this source
        std::uint64_t length = 0;
        const std::uint8_t* bytes = nullptr; // held bytes, or
        IByteSource* from = nullptr;         // a span of another source, or neither: zeros
        std::uint64_t start = 0;             // of the span in from
    };

    void Add(Piece piece);

    std::vector<Piece> pieces; // in order, none empty
    std::vector<std::vector<std::uint8_t>> held;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};
