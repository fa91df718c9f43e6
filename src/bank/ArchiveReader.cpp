#include "bank/ArchiveReader.h"

#include "bank/ArchiveException.h"
#include "platform/TextEncoding.h"

#include <cstring>

namespace
{
[[noreturn]] void Fail(CArchiveException::Cause cause)
{
    throw CArchiveException(cause);
}

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint32_t kBigClassTag = 0x80000000u;
constexpr std::size_t kMaxClassNameLength = 64;
} // namespace

CArchiveReader::CArchiveReader(IByteSource& input, std::span<const CRuntimeClass* const> known,
                               std::uint32_t limit)
    : source(input), classes(known), maxNumber(limit)
{
}

std::uint64_t CArchiveReader::BytesLeft() const
{
    const std::uint64_t size = source.Size();
    const std::uint64_t tell = source.Tell();
    return (end - begin) + (tell < size ? size - tell : 0);
}

void CArchiveReader::Check(std::uint64_t needed) const
{
    if (needed > BytesLeft())
        Fail(CArchiveException::Cause::EndOfFile);
}

void CArchiveReader::Fill()
{
    if (begin != end)
        return;
    begin = 0;
    end = source.Read(buffer.data(), buffer.size());
}

void CArchiveReader::Close()
{
    const std::size_t unread = end - begin;
    if (unread != 0)
        source.Seek(source.Tell() - unread);
    begin = end = 0;
}

void CArchiveReader::ReadBytes(void* data, std::size_t size)
{
    auto* out = static_cast<std::uint8_t*>(data);
    while (size != 0)
    {
        Fill();
        if (begin == end)
            Fail(CArchiveException::Cause::EndOfFile);
        const std::size_t take = std::min(size, end - begin);
        std::memcpy(out, buffer.data() + begin, take);
        begin += take;
        out += take;
        size -= take;
    }
}

std::uint8_t CArchiveReader::ReadByte()
{
    Fill();
    if (begin == end)
        Fail(CArchiveException::Cause::EndOfFile);
    return buffer[begin++];
}

std::uint16_t CArchiveReader::ReadWord()
{
    if (end - begin >= 2)
    {
        const std::uint16_t value = ReadLE16(buffer.data() + begin);
        begin += 2;
        return value;
    }
    std::uint8_t bytes[2];
    ReadBytes(bytes, sizeof bytes);
    return ReadLE16(bytes);
}

std::uint32_t CArchiveReader::ReadDWord()
{
    if (end - begin >= 4)
    {
        const std::uint32_t value = ReadLE32(buffer.data() + begin);
        begin += 4;
        return value;
    }
    std::uint8_t bytes[4];
    ReadBytes(bytes, sizeof bytes);
    return ReadLE32(bytes);
}

std::uint32_t CArchiveReader::ReadLength(bool* wide)
{
    const std::uint8_t shortLength = ReadByte();
    if (shortLength < 0xFF)
        return shortLength;
    const std::uint16_t wordLength = ReadWord();
    if (wide && wordLength == 0xFFFE)
    {
        *wide = true;
        return 0;
    }
    if (wordLength < 0xFFFF)
        return wordLength;
    return ReadDWord();
}

std::string CArchiveReader::ReadString()
{
    bool wide = false;
    std::uint32_t length = ReadLength(&wide);
    if (!wide)
    {
        Check(length);
        std::string text(length, '\0');
        ReadBytes(text.data(), length);
        return text;
    }
    // The length of a 16-bit text comes again in the same forms; a second
    // 0xFFFE there is just the length 65534.
    length = ReadLength(nullptr);
    Check(2ull * length);
    std::vector<std::uint8_t> units(2ull * length);
    ReadBytes(units.data(), units.size());
    return Utf16LeToUtf8(units.data(), length);
}

std::uint32_t CArchiveReader::ReadCount()
{
    const std::uint16_t count = ReadWord();
    if (count != 0xFFFF)
        return count;
    return ReadDWord();
}

void CArchiveReader::Number(Entry entry)
{
    if (entries.size() >= maxNumber)
        Fail(CArchiveException::Cause::BadIndex);
    entries.push_back(entry);
}

const CArchiveReader::Entry& CArchiveReader::ReadClassPart(std::uint16_t tag, std::uint32_t longTag)
{
    if (tag != kNewClassTag)
    {
        const std::uint32_t number = longTag & ~kBigClassTag;
        if (number == 0 || number > entries.size() || entries[number - 1].object != nullptr)
            Fail(CArchiveException::Cause::BadIndex);
        return entries[number - 1];
    }

    const std::uint16_t schema = ReadWord();
    const std::uint16_t nameLength = ReadWord();
    if (nameLength >= kMaxClassNameLength)
        Fail(CArchiveException::Cause::BadClass);
    char name[kMaxClassNameLength];
    ReadBytes(name, nameLength);
    const std::string_view className(name, nameLength);

    const CRuntimeClass* found = nullptr;
    for (const CRuntimeClass* cls : classes)
    {
        if (cls->className == className && cls->createObject)
        {
            found = cls;
            break;
        }
    }
    if (!found)
        Fail(CArchiveException::Cause::BadClass);
    if (schema != found->schema && !found->versionable)
        Fail(CArchiveException::Cause::BadSchema);
    Number({found, nullptr, schema});
    return entries.back();
}

CArchiveReader::ObjectRead CArchiveReader::ReadObject(const CRuntimeClass* required)
{
    const std::uint16_t tag = ReadWord();
    std::uint32_t longTag;
    if (tag == kBigObjectTag)
        longTag = ReadDWord();
    else
        longTag = (static_cast<std::uint32_t>(tag & kClassTag) << 16) | (tag & ~kClassTag);

    ObjectRead result;
    if ((longTag & kBigClassTag) == 0)
    {
        if (longTag == 0)
            return result;
        if (longTag > entries.size() || entries[longTag - 1].object == nullptr)
            Fail(CArchiveException::Cause::BadIndex);
        const Entry& entry = entries[longTag - 1];
        if (required && entry.cls != required)
            Fail(CArchiveException::Cause::BadClass);
        result.earlier = entry.object;
        return result;
    }

    const Entry classEntry = ReadClassPart(tag, longTag);
    if (required && classEntry.cls != required)
        Fail(CArchiveException::Cause::BadClass);

    result.created = classEntry.cls->createObject();
    Number({classEntry.cls, result.created.get(), classEntry.schema});

    const std::uint16_t outerSchema = objectSchema;
    objectSchema = classEntry.schema;
    result.created->Serialize(*this);
    objectSchema = outerSchema;
    return result;
}
