#include "bank/ArchiveWriter.h"

#include "bank/ArchiveException.h"
#include "platform/FileException.h"

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
    if (const auto known = objectNumbers.find(object); known != objectNumbers.end())
    {
        if (known->second < 0x7FFF)
        {
            WriteWord(static_cast<std::uint16_t>(known->second));
        }
        else
        {
            WriteWord(0x7FFF);
            WriteDWord(known->second);
        }
        return;
    }

    const CRuntimeClass& cls = object->GetRuntimeClass();
    if (const auto known = classNumbers.find(&cls); known != classNumbers.end())
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
        classNumbers.emplace(&cls, number);
    }
    objectNumbers.emplace(object, NextNumber());
    object->Serialize(*this);
}
