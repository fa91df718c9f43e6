#pragma once
// What every fuzz target shares: the entry point libFuzzer (or the corpus
// replayer in StandaloneMain.cpp) calls, a check that turns a broken
// invariant into a finding, a reader of control bytes taken off the front of
// an input, and an in-memory file for readers that only take a path.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// abort() reaches the fuzzer as a crash, so it keeps the input that broke the rule.
[[noreturn]] inline void FuzzFail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                                \
    do                                                                                                       \
    {                                                                                                        \
        if (!(condition))                                                                                    \
            FuzzFail(#condition, __FILE__, __LINE__);                                                        \
    } while (0)

// Hands out the bytes of an input from the front: control bytes first, the
// rest as the file under test. An exhausted input gives zeros.
class CFuzzInput
{
public:
    CFuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    std::uint8_t Byte()
    {
        if (position == size)
            return 0;
        return data[position++];
    }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    // The bytes not yet taken.
    const std::uint8_t* Rest() const { return data + position; }
    std::size_t RestSize() const { return size - position; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

// A file that lives in memory (memfd), reachable by a path under
// /proc/self/fd, so readers that open a path read the fuzz input without
// touching the disk. Each Write replaces the content.
class CFuzzFile
{
public:
    // The one a target writes its inputs to, made on first use.
    static CFuzzFile& Input()
    {
        static CFuzzFile file;
        return file;
    }

    CFuzzFile()
    {
        fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (fd < 0)
            FuzzFail("memfd_create", __FILE__, __LINE__);
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    ~CFuzzFile() { ::close(fd); }
    CFuzzFile(const CFuzzFile&) = delete;
    CFuzzFile& operator=(const CFuzzFile&) = delete;

    void Write(const std::uint8_t* data, std::size_t size)
    {
        if (::ftruncate(fd, 0) != 0)
            FuzzFail("ftruncate", __FILE__, __LINE__);
        std::size_t done = 0;
        while (done < size)
        {
            const ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (put <= 0)
                FuzzFail("pwrite", __FILE__, __LINE__);
            done += static_cast<std::size_t>(put);
        }
    }
    const std::string& Path() const { return path; }

private:
    int fd = -1;
    std::string path;
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}
