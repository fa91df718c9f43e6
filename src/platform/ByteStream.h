#pragma once
// Byte sources and sinks: the small I/O interface every reader and writer of
// the core goes through, so that tests and fuzzers can feed memory buffers
// and a full disk can be simulated.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class IByteSource
{
public:
    virtual ~IByteSource() = default;
    // Reads up to size bytes at the current position; returns how many were read.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    // Moves to an absolute position; false (position unchanged) past the end.
    virtual bool Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Tell() const = 0;
    virtual std::uint64_t Size() const = 0;
};

class IByteSink
{
public:
    virtual ~IByteSink() = default;
    // Writes size bytes at the current position; false once anything failed.
    virtual bool Write(const void* data, std::size_t size) = 0;
    virtual bool Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Tell() const = 0;
    // False when any write or seek failed since the sink was made.
    virtual bool Good() const = 0;
};

// A read-only file: small reads with the C library's buffering, large ones
// straight from the kernel.
class CFileSource final : public IByteSource
{
public:
    CFileSource() = default;
    ~CFileSource() override;
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file != nullptr; }

    std::size_t Read(void* buffer, std::size_t size) override;
    bool Seek(std::uint64_t position) override;
    std::uint64_t Tell() const override { return position; }
    std::uint64_t Size() const override { return size; }

private:
    static constexpr std::size_t kDirectRead = 16 * 1024;
    static constexpr std::size_t kReadAhead = 128 * 1024;

    std::size_t ReadAt(std::uint64_t at, void* buffer, std::size_t count) const;

    std::FILE* file = nullptr;
    std::uint64_t position = 0;
    std::uint64_t size = 0;
    bool streamBehind = false; // stdio's position is not position: seek before reading through it
    static constexpr std::uint64_t kNoRead = ~std::uint64_t{0};
    std::vector<std::uint8_t> ahead; // the read-ahead window of large reads, from aheadStart
    std::uint64_t aheadStart = 0;
    std::uint64_t lastEnd = kNoRead; // where the last large read ended
};

// A file created (or truncated) for writing with the C library's buffering.
class CFileSink final : public IByteSink
{
public:
    CFileSink() = default;
    ~CFileSink() override;
    CFileSink(const CFileSink&) = delete;
    CFileSink& operator=(const CFileSink&) = delete;

    bool Create(const std::string& path);
    // Adopts a descriptor opened for writing (closed with the sink).
    bool Adopt(int fd);
    // Flushes and closes; false when a write, the flush or the close failed.
    bool Close(bool sync = false);

    bool Write(const void* data, std::size_t size) override;
    bool Seek(std::uint64_t position) override;
    std::uint64_t Tell() const override { return position; }
    bool Good() const override { return good; }

private:
    std::FILE* file = nullptr;
    std::uint64_t position = 0;
    bool good = true;
};

// Reads from a byte range the caller keeps alive.
class CMemorySource final : public IByteSource
{
public:
    CMemorySource(const void* data, std::size_t size);
    explicit CMemorySource(const std::vector<std::uint8_t>& bytes);

    std::size_t Read(void* buffer, std::size_t size) override;
    bool Seek(std::uint64_t position) override;
    std::uint64_t Tell() const override { return position; }
    std::uint64_t Size() const override { return size; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

// Collects written bytes in memory; a capacity limit simulates a full disk.
class CMemorySink final : public IByteSink
{
public:
    explicit CMemorySink(std::size_t capacity = SIZE_MAX) : capacity(capacity) {}

    bool Write(const void* data, std::size_t size) override;
    bool Seek(std::uint64_t position) override;
    std::uint64_t Tell() const override { return position; }
    bool Good() const override { return good; }

    const std::vector<std::uint8_t>& Bytes() const { return bytes; }
    // Room for size bytes in all, so that a writer knowing its size grows the buffer once.
    void Reserve(std::size_t size) { bytes.reserve(std::min(size, capacity)); }
    // Hands the bytes over; the sink is empty afterwards.
    std::vector<std::uint8_t> Take()
    {
        std::vector<std::uint8_t> taken;
        taken.swap(bytes);
        position = 0;
        return taken;
    }

private:
    std::vector<std::uint8_t> bytes;
    std::size_t capacity;
    std::size_t position = 0;
    bool good = true;
};

// Copies from's bytes from its position to its end into to, a piece at a time.
enum class CopyResult
{
    Done,
    ReadFailed, // the source ended early or could not be read
    WriteFailed,
};
CopyResult CopyRest(IByteSource& from, IByteSink& to);

// Little-endian decoding and encoding, independent of the host's byte order.
inline std::uint16_t ReadLE16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadLE32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void WriteLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteLE32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
// The same, added at the end of records being put together.
inline void AppendLE16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    AppendLE16(out, static_cast<std::uint16_t>(v));
    AppendLE16(out, static_cast<std::uint16_t>(v >> 16));
}
