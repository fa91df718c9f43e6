#include "platform/PiecedSource.h"

#include <algorithm>
#include <cstring>

void CPiecedSource::Add(Piece piece)
{
    if (piece.length == 0)
        return;
    piece.at = size;
    size += piece.length;
    // Zeros after zeros, or a span going on where the last one ended, are one piece.
    if (!pieces.empty() && !piece.bytes)
    {
        Piece& last = pieces.back();
        if (!last.bytes && last.from == piece.from &&
            (!piece.from || last.start + last.length == piece.start))
        {
            last.length += piece.length;
            return;
        }
    }
    pieces.push_back(piece);
}

void CPiecedSource::AddBytes(std::vector<std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    // Moving a vector keeps its buffer, so the piece may point into it
    // however the list of held vectors grows.
    held.push_back(std::move(bytes));
    Add({.length = held.back().size(), .bytes = held.back().data()});
}

void CPiecedSource::AddSpan(IByteSource& from, std::uint64_t start, std::uint64_t length)
{
    Add({.length = length, .from = &from, .start = start});
}

void CPiecedSource::AddZeros(std::uint64_t count)
{
    Add({.length = count});
}

std::size_t CPiecedSource::Read(void* buffer, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    // The first piece ending after the position; on from there in order.
    auto piece = std::upper_bound(pieces.begin(), pieces.end(), position,
                                  [](std::uint64_t at, const Piece& p) { return at < p.at + p.length; });
    for (; done < count && piece != pieces.end(); ++piece)
    {
        const std::uint64_t offset = position - piece->at;
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - done, piece->length - offset));
        std::size_t got = n;
        if (piece->bytes)
            std::memcpy(out + done, piece->bytes + offset, n);
        else if (piece->from)
            got = piece->from->Seek(piece->start + offset) ? piece->from->Read(out + done, n) : 0;
        else
            std::memset(out + done, 0, n);
        done += got;
        position += got;
        if (got < n)
            break;
    }
    return done;
}

bool CPiecedSource::Seek(std::uint64_t to)
{
    if (to > size)
        return false;
    position = to;
    return true;
}
