#include "bank/ArchiveWriter.h"

#include "bank/ArchiveException.h"
#include "platform/FileException.h"

#include <algorithm>
#include <cstring>
#include <limits>

CArchiveWriter::CArchiveWriter(IByteSink& target, std::uint32_t limit) : sink(target), maxNumber(limit) {}

CArchiveWriter::~CArchiveWriter()
{
    if (used != 0 && sink.Good())
        sink.Write(buffer.data(), used);
}

void CArchiveWriter::FlushBuffer()
{
    const std::size_t size = used;
    used = 0;
    if (size != 0 && !sink.Write(buffer.data(), size))
        throw CFileException(CFileException::Cause::Generic, {});
}

void CArchiveWriter::Flush()
{
    FlushBuffer();
    if (!sink.Good())
        throw CFileException(CFileException::Cause::Generic, {});
}

void CArchiveWriter::WriteBytes(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size >= buffer.size())
    {
        FlushBuffer();
        if (!sink.Write(bytes, size))
            throw CFileException(CFileException::Cause::Generic, {});
        return;
    }
    if (size > buffer.size() - used)
        FlushBuffer();
    std::memcpy(buffer.data() + used, bytes, size);
    used += size;
}

void CArchiveWriter::WriteByte(std::uint8_t value)
{
    if (used == buffer.size())
        FlushBuffer();
    buffer[used++] = value;
}

void CArchiveWriter::WriteWord(std::uint16_t value)
{
    std::uint8_t bytes[2];
    WriteLE16(bytes, value);
    WriteBytes(bytes, sizeof bytes);
}

void CArchiveWriter::WriteDWord(std::uint32_t value)
{
    std::uint8_t bytes[4];
    WriteLE32(bytes, value);
    WriteBytes(bytes, sizeof bytes);
}

void CArchiveWriter::WriteString(std::string_view bytes)
{
    const std::size_t length = bytes.size();
    if (length > std::numeric_limits<std::uint32_t>::max())
        throw CArchiveException(CArchiveException::Cause::Generic);
    if (length < 0xFF)
    {
        WriteByte(static_cast<std::uint8_t>(length));
    }
    else
    {
        WriteByte(0xFF);
        // 0xFFFE announces 16-bit characters and 0xFFFF a 32-bit length, so
        // the 16-bit form ends at 65533.
        if (length < 0xFFFE)
        {
            WriteWord(static_cast<std::uint16_t>(length));
        }
        else
        {
            WriteWord(0xFFFF);
            WriteDWord(static_cast<std::uint32_t>(length));
        }
    }
    WriteBytes(bytes.data(), length);
}

void CArchiveWriter::WriteCount(std::uint32_t count)
{
    if (count < 0xFFFF)
    {
        WriteWord(static_cast<std::uint16_t>(count));
        return;
    }
    WriteWord(0xFFFF);
    WriteDWord(count);
}

namespace
{
std::size_t SlotOf(const CArchiveObject* object, std::size_t mask)
{
    // Fibonacci hashing of the address; the low bits are alignment zeros.
    const auto bits = reinterpret_cast<std::uintptr_t>(object) >> 4;
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}
} // namespace

std::uint32_t CArchiveWriter::FindObject(const CArchiveObject* object) const
{
    if (objectSlots.empty())
        return 0;
    const std::size_t mask = objectSlots.size() - 1;
    for (std::size_t i = SlotOf(object, mask);; i = (i + 1) & mask)
    {
        if (objectSlots[i].object == object)
            return objectSlots[i].number;
        if (objectSlots[i].object == nullptr)
            return 0;
    }
}

void CArchiveWriter::AddObject(const CArchiveObject* object, std::uint32_t number)
{
    if (2 * (objectCount + 1) > objectSlots.size())
    {
        std::vector<Slot> old(std::max<std::size_t>(64, 2 * objectSlots.size()));
        old.swap(objectSlots);
        const std::size_t mask = objectSlots.size() - 1;
        for (const Slot& slot : old)
        {
            if (!slot.object)
                continue;
            std::size_t i = SlotOf(slot.object, mask);
            while (objectSlots[i].object)
                i = (i + 1) & mask;
            objectSlots[i] = slot;
        }
    }
    const std::size_t mask = objectSlots.size() - 1;
    std::size_t i = SlotOf(object, mask);
    while (objectSlots[i].object)
        i = (i + 1) & mask;
    objectSlots[i] = {object, number};
    ++objectCount;
}

std::uint32_t CArchiveWriter::NextNumber()
{
    if (lastNumber >= maxNumber)
        throw CArchiveException(CArchiveException::Cause::BadIndex);
    return ++lastNumber;
}

void CArchiveWriter::WriteObject(const CArchiveObject* object)
{
    if (!object)
    {
        WriteWord(0);
        return;
    }
    if (const std::uint32_t known = FindObject(object); known != 0)
    {
        if (known < 0x7FFF)
        {
            WriteWord(static_cast<std::uint16_t>(known));
        }
        else
        {
            WriteWord(0x7FFF);
            WriteDWord(known);
        }
        return;
    }

    const CRuntimeClass& cls = object->GetRuntimeClass();
    const auto known = std::find_if(classNumbers.begin(), classNumbers.end(),
                                    [&](const auto& entry) { return entry.first == &cls; });
    if (known != classNumbers.end())
    {
        if (known->second < 0x7FFF)
        {
            WriteWord(static_cast<std::uint16_t>(0x8000 | known->second));
        }
        else
        {
            WriteWord(0x7FFF);
            WriteDWord(0x80000000u | known->second);
        }
    }
    else
    {
        const std::uint32_t number = NextNumber();
        WriteWord(0xFFFF);
        WriteWord(cls.schema);
        WriteWord(static_cast<std::uint16_t>(cls.className.size()));
        WriteBytes(cls.className.data(), cls.className.size());
        classNumbers.emplace_back(&cls, number);
    }
    AddObject(object, NextNumber());
    object->Serialize(*this);
}
