#include "platform/ByteStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CFileSource::~CFileSource()
{
    Close();
}

bool CFileSource::Open(const std::string& path)
{
    Close();
    // Without O_NONBLOCK, opening a named pipe waits for a writer: a path in
    // a document must never hang the program. Reads block again once the
    // path is known to be a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        // Directories, devices and pipes open on Linux but are no files to read.
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || !(file = ::fdopen(fd, "rb")))
    {
        ::close(fd);
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    position = 0;
    streamBehind = false;
    return true;
}

void CFileSource::Close()
{
    if (file)
        std::fclose(file);
    file = nullptr;
    position = 0;
    size = 0;
    ahead.clear();
    ahead.shrink_to_fit();
    aheadStart = 0;
    lastEnd = kNoRead;
}

// Reads at position, as far as the file goes; what pread read.
std::size_t CFileSource::ReadAt(std::uint64_t at, void* buffer, std::size_t count) const
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < count)
    {
        const ssize_t n = ::pread(fileno(file), out + got, count - got, static_cast<off_t>(at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

std::size_t CFileSource::Read(void* buffer, std::size_t count)
{
    if (!file || count == 0)
        return 0;
    // Large reads (sample data) bypass stdio, whose seek and refill for every
    // sample cost as much again as the data. Where they go on in file order
    // (a bank's samples one after another), a read-ahead window of its own
    // serves the next ones from memory, which reads a bank faster than one
    // read call per sample would; reads here and there (one preset's
    // samples) read just what they ask.
    if (count >= kDirectRead)
    {
        streamBehind = true;
        std::size_t got = 0;
        const bool inside = position >= aheadStart && position + count <= aheadStart + ahead.size();
        const bool goingOn = position >= lastEnd && position - lastEnd <= kReadAhead / 2;
        if (!inside && (count > kReadAhead || !goingOn))
            got = ReadAt(position, buffer, count);
        else
        {
            if (!inside)
            {
                ahead.resize(kReadAhead);
                ahead.resize(ReadAt(position, ahead.data(), ahead.size()));
                aheadStart = position;
            }
            const std::uint64_t from = position - aheadStart;
            got = static_cast<std::size_t>(
                std::min<std::uint64_t>(count, ahead.size() - std::min<std::uint64_t>(from, ahead.size())));
            std::memcpy(buffer, ahead.data() + from, got);
        }
        position += got;
        lastEnd = position;
        return got;
    }
    if (streamBehind)
    {
        if (fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0)
            return 0;
        streamBehind = false;
    }
    const std::size_t got = std::fread(buffer, 1, count, file);
    position += got;
    return got;
}

bool CFileSource::Seek(std::uint64_t to)
{
    if (!file || to > size)
        return false;
    // The stream follows at the next small read: readers seek to where they
    // stand before most reads, and stdio would drop its buffer and ask the
    // kernel each time. (A stream at its end seeks then too, which clears
    // the end mark for the reads after.)
    if (to != position || std::feof(file) || std::ferror(file))
        streamBehind = true;
    position = to;
    return true;
}

CFileSink::~CFileSink()
{
    Close();
}

bool CFileSink::Create(const std::string& path)
{
    Close();
    file = std::fopen(path.c_str(), "wb");
    position = 0;
    good = file != nullptr;
    return good;
}

bool CFileSink::Adopt(int fd)
{
    Close();
    file = fdopen(fd, "wb");
    position = 0;
    good = file != nullptr;
    if (!file)
        ::close(fd);
    return good;
}

bool CFileSink::Close(bool sync)
{
    if (!file)
        return good;
    if (std::fflush(file) != 0)
        good = false;
    if (sync && fsync(fileno(file)) != 0)
        good = false;
    if (std::fclose(file) != 0)
        good = false;
    file = nullptr;
    return good;
}

bool CFileSink::Write(const void* data, std::size_t count)
{
    if (!file || !good)
        return good = false;
    if (count != 0 && std::fwrite(data, 1, count, file) != count)
        return good = false;
    position += count;
    return true;
}

bool CFileSink::Seek(std::uint64_t to)
{
    if (!file || !good)
        return good = false;
    if (fseeko(file, static_cast<off_t>(to), SEEK_SET) != 0)
        return good = false;
    position = to;
    return true;
}

CMemorySource::CMemorySource(const void* bytes, std::size_t length)
    : data(static_cast<const std::uint8_t*>(bytes)), size(length)
{
}

CMemorySource::CMemorySource(const std::vector<std::uint8_t>& bytes)
    : CMemorySource(bytes.data(), bytes.size())
{
}

std::size_t CMemorySource::Read(void* buffer, std::size_t count)
{
    const std::size_t got = std::min(count, size - position);
    if (got != 0)
        std::memcpy(buffer, data + position, got);
    position += got;
    return got;
}

bool CMemorySource::Seek(std::uint64_t to)
{
    if (to > size)
        return false;
    position = static_cast<std::size_t>(to);
    return true;
}

bool CMemorySink::Write(const void* data, std::size_t count)
{
    if (!good)
        return false;
    if (position > capacity || count > capacity - position)
        return good = false;
    const auto* from = static_cast<const std::uint8_t*>(data);
    if (position == bytes.size())
        bytes.insert(bytes.end(), from, from + count); // appended: no zeros written first
    else
    {
        if (position + count > bytes.size())
            bytes.resize(position + count);
        if (count != 0)
            std::memcpy(bytes.data() + position, data, count);
    }
    position += count;
    return true;
}

bool CMemorySink::Seek(std::uint64_t to)
{
    if (!good || to > bytes.size())
        return good = false;
    position = static_cast<std::size_t>(to);
    return true;
}

CopyResult CopyRest(IByteSource& from, IByteSink& to)
{
    std::vector<std::uint8_t> piece(64 * 1024);
    for (std::uint64_t left = from.Size() - std::min(from.Tell(), from.Size()); left > 0;)
    {
        const std::size_t got =
            from.Read(piece.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size())));
        if (got == 0)
            return CopyResult::ReadFailed;
        if (!to.Write(piece.data(), got))
            return CopyResult::WriteFailed;
        left -= got;
    }
    return CopyResult::Done;
}
