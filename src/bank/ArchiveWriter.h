#pragma once
// Writes the object archive encoding through an IByteSink (all integers
// little-endian):
// - strings: a length (one byte below 255; 0xFF and 16 bits below 65534;
//   0xFF, 0xFFFF and 32 bits otherwise), then the bytes as they stand;
// - counts: 16 bits below 0xFFFF, else 0xFFFF and 32 bits;
// - objects: 0 for null; the number of an object written before; or the
//   class part (a new class record 0xFFFF, schema, name length, name, or the
//   number of a class recorded before with the top bit set) followed by the
//   object's own data. Classes and objects share one numbering from 1.
//
// Writes are buffered: call Flush() before relying on the sink.

#include "bank/ArchiveObject.h"
#include "platform/ByteStream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// The highest number one stream may assign to a class or an object.
inline constexpr std::uint32_t kMaxArchiveNumber = 1073741821;

class CArchiveWriter
{
public:
    // maxNumber lowers the numbering limit (tests reach it that way).
    explicit CArchiveWriter(IByteSink& sink, std::uint32_t maxNumber = kMaxArchiveNumber);
    // Flushes what is buffered, ignoring failures: call Flush() to learn of them.
    ~CArchiveWriter();
    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    void WriteByte(std::uint8_t value);
    void WriteWord(std::uint16_t value);
    void WriteDWord(std::uint32_t value);
    void WriteInt32(std::int32_t value) { WriteDWord(static_cast<std::uint32_t>(value)); }
    void WriteString(std::string_view bytes);
    void WriteCount(std::uint32_t count);
    // Writes a reference to object (null allowed); the object is not owned.
    // Throws CArchiveException(BadIndex) past the numbering limit.
    void WriteObject(const CArchiveObject* object);
    void WriteBytes(const void* data, std::size_t size);

    // Hands the buffered bytes to the sink; throws CFileException when the
    // sink failed at any point.
    void Flush();

private:
    std::uint32_t NextNumber();
    void FlushBuffer();
    // Numbers of the objects written so far: an open-addressing table, as
    // a stream may hold hundreds of thousands of them.
    std::uint32_t FindObject(const CArchiveObject* object) const;
    void AddObject(const CArchiveObject* object, std::uint32_t number);

    IByteSink& sink;
    std::uint32_t maxNumber;
    std::uint32_t lastNumber = 0;
    struct Slot
    {
        const CArchiveObject* object = nullptr;
        std::uint32_t number = 0;
    };
    std::vector<Slot> objectSlots; // size a power of two, at most half full
    std::size_t objectCount = 0;
    std::vector<std::pair<const CRuntimeClass*, std::uint32_t>> classNumbers;
    std::array<std::uint8_t, 4096> buffer{};
    std::size_t used = 0;
};
