#include "platform/RiffFile.h"

#include <algorithm>

bool CRiffReader::ReadExact(void* buffer, std::size_t size)
{
    return source.Read(buffer, size) == size;
}

bool CRiffReader::Descend(CRiffChunk& ck, const CRiffChunk* parent, Find find)
{
    const std::uint64_t bound = parent ? std::min(parent->limit, source.Size()) : source.Size();
    std::uint64_t position = source.Tell();

    for (;;)
    {
        if (position > bound || bound - position < 8)
            return false;
        if (!source.Seek(position))
            return false;
        std::uint8_t header[12];
        if (!ReadExact(header, 8))
            return false;

        CRiffChunk found;
        found.ckid = ReadLE32(header);
        found.cksize = ReadLE32(header + 4);
        found.dataOffset = position + 8;
        found.limit = std::min<std::uint64_t>(found.dataOffset + found.cksize, bound);

        const bool isContainer = found.ckid == kFourCCRiff || found.ckid == kFourCCList;
        bool typeRead = false;
        if (isContainer && found.Available() >= 4)
        {
            if (!ReadExact(header + 8, 4))
                return false;
            found.fccType = ReadLE32(header + 8);
            typeRead = true;
        }

        bool match = false;
        switch (find)
        {
        case Find::Next:
            match = true;
            break;
        case Find::Chunk:
            match = found.ckid == ck.ckid;
            break;
        case Find::Riff:
            match = found.ckid == kFourCCRiff && typeRead && found.fccType == ck.fccType;
            break;
        case Find::List:
            match = found.ckid == kFourCCList && typeRead && found.fccType == ck.fccType;
            break;
        }

        if (match)
        {
            ck = found;
            // The position stays after the type of a container, at the data otherwise.
            if (!typeRead && !source.Seek(found.dataOffset))
                return false;
            return true;
        }

        // Skip the data and its pad byte; a size running past the bound ends the search.
        const std::uint64_t next = found.dataOffset + found.cksize + (found.cksize & 1u);
        if (next > bound)
            return false;
        position = next;
    }
}

bool CRiffReader::Ascend(const CRiffChunk& ck)
{
    const std::uint64_t end = ck.dataOffset + ck.cksize + (ck.cksize & 1u);
    const std::uint64_t fileEnd = source.Size();
    if (end <= fileEnd && source.Seek(end))
        return ck.dataOffset + ck.cksize <= ck.limit;
    source.Seek(std::min(ck.limit, fileEnd));
    return false;
}

bool CRiffWriter::CreateChunk(CRiffChunk& ck, Create kind)
{
    std::uint8_t header[12];
    std::size_t length = 8;
    if (kind == Create::Riff)
        ck.ckid = kFourCCRiff;
    else if (kind == Create::List)
        ck.ckid = kFourCCList;
    WriteLE32(header, ck.ckid);
    WriteLE32(header + 4, 0);
    if (kind != Create::Chunk)
    {
        WriteLE32(header + 8, ck.fccType);
        length = 12;
    }
    ck.cksize = 0;
    ck.dataOffset = sink.Tell() + 8;
    return sink.Write(header, length);
}

bool CRiffWriter::Ascend(CRiffChunk& ck)
{
    const std::uint64_t end = sink.Tell();
    if (end < ck.dataOffset || end - ck.dataOffset > UINT32_MAX)
        return false;
    ck.cksize = static_cast<std::uint32_t>(end - ck.dataOffset);
    std::uint8_t size[4];
    WriteLE32(size, ck.cksize);
    bool ok = true;
    if (ck.cksize & 1u)
    {
        const std::uint8_t pad = 0;
        ok = sink.Write(&pad, 1);
    }
    const std::uint64_t after = sink.Tell();
    ok = ok && sink.Seek(ck.dataOffset - 4) && sink.Write(size, 4) && sink.Seek(after);
    return ok;
}

bool CRiffWriter::WriteText(FourCC id, std::string_view text, std::size_t maxBytes)
{
    std::vector<std::uint8_t> data(
        text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), maxBytes - 1)));
    data.push_back(0);
    if (data.size() % 2 != 0)
        data.push_back(0);
    return WriteChunk(id, data.data(), data.size());
}

bool CRiffWriter::WriteChunk(FourCC id, const void* data, std::size_t size)
{
    CRiffChunk ck;
    ck.ckid = id;
    return CreateChunk(ck, Create::Chunk) && sink.Write(data, size) && Ascend(ck);
}
