#pragma once
// Reads the object archive encoding (see ArchiveWriter.h) from an
// IByteSource, trusting nothing the stream claims:
// - a length or count is checked against the bytes left before anything is
//   allocated for it (too large: CArchiveException EndOfFile);
// - strings may also come in the 16-bit character form (0xFF, 0xFFFE, then
//   a length in units in the same three forms); they are returned as UTF-8;
// - a class record must name one of the classes the reader was given,
//   spelled exactly so, with a name shorter than 64 bytes (else BadClass); a
//   schema other than the class's own is accepted only for versionable
//   classes (else BadSchema);
// - a number that was never assigned, or that names a class where an object
//   is expected or the other way round, is BadIndex, and so is an entry that
//   would need a number above the limit.
//
// After an exception the reader is spent: do not read from it again.

#include "bank/ArchiveClasses.h"
#include "bank/ArchiveObject.h"
#include "bank/ArchiveWriter.h"
#include "platform/ByteStream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class CArchiveReader
{
public:
    // Reads from the source's current position. classes are the classes a
    // stream may name; maxNumber lowers the numbering limit (for tests).
    explicit CArchiveReader(IByteSource& source,
                            std::span<const CRuntimeClass* const> classes = ProgramArchiveClasses(),
                            std::uint32_t maxNumber = kMaxArchiveNumber);
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    // All of these throw CArchiveException(EndOfFile) when the stream ends first.
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadDWord();
    std::int32_t ReadInt32() { return static_cast<std::int32_t>(ReadDWord()); }
    std::string ReadString();
    std::uint32_t ReadCount();
    void ReadBytes(void* data, std::size_t size);

    // One object reference. Exactly one of the members is set, or neither
    // for a null reference:
    // - created: a new object read from the stream; the caller owns it;
    // - earlier: an object this reader returned before (as created), owned by
    //   whoever took it then. Callers keep what they read alive while they
    //   go on reading from the same reader.
    struct ObjectRead
    {
        std::unique_ptr<CArchiveObject> created;
        CArchiveObject* earlier = nullptr;
    };
    // required: the class the object must be (BadClass otherwise); null
    // accepts any class the reader knows.
    ObjectRead ReadObject(const CRuntimeClass* required);

    // The schema word of the class record of the object being read (for
    // versionable classes, to tell old layouts from new).
    std::uint16_t GetObjectSchema() const { return objectSchema; }

    // Bytes the stream still holds after the current position.
    std::uint64_t BytesLeft() const;

    // Leaves the source right after the last byte consumed (the reader reads ahead).
    void Close();

private:
    struct Entry
    {
        const CRuntimeClass* cls = nullptr; // the class itself, or the class of the object
        CArchiveObject* object = nullptr;   // null for a class entry
        std::uint16_t schema = 0;
    };

    void Fill();
    // A string length in its three forms; with wide given, 0xFF 0xFFFE sets it
    // (and returns 0) instead of being the length 65534.
    std::uint32_t ReadLength(bool* wide);
    const Entry& ReadClassPart(std::uint16_t tag, std::uint32_t longTag);
    void Number(Entry entry);
    void Check(std::uint64_t needed) const;

    IByteSource& source;
    std::span<const CRuntimeClass* const> classes;
    std::uint32_t maxNumber;
    std::vector<Entry> entries; // entries[n - 1] has number n
    std::uint16_t objectSchema = 0;
    std::array<std::uint8_t, 4096> buffer{};
    std::size_t begin = 0;
    std::size_t end = 0;
};
