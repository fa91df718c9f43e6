#pragma once
// A byte source that answers chosen spans of another from memory. A reader
// that walks small chunks of a file back and forth (the RIFF lists of a
// SoundFont bank's headers) reads each span once, in one read, instead of
// seeking the file for every chunk header; reads elsewhere (sample data)
// go to the file as before. The answers are the file's bytes either way.

#include "platform/ByteStream.h"

#include <cstdint>
#include <memory>
#include <vector>

class CWindowedSource final : public IByteSource
{
public:
    explicit CWindowedSource(std::unique_ptr<IByteSource> inner);

    // Reads [start, start + length) of the inner source (as far as it goes)
    // into memory. False, and nothing kept, when the span overlaps one kept
    // already, is empty or cannot be held; the source then reads it as before.
    bool Keep(std::uint64_t start, std::uint64_t length);

    std::size_t Read(void* buffer, std::size_t size) override;
    bool Seek(std::uint64_t position) override;
    std::uint64_t Tell() const override { return position; }
    std::uint64_t Size() const override { return inner->Size(); }

private:
    struct Window
    {
        std::uint64_t start = 0;
        std::vector<std::uint8_t> bytes;
        std::uint64_t End() const { return start + bytes.size(); }
    };

    std::unique_ptr<IByteSource> inner;
    std::vector<Window> windows; // never overlapping
    std::uint64_t position = 0;
};
