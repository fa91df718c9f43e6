#include "cardstate/CardFiles.h"

#include <sys/stat.h>

FileStamp FileStamp::Of(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

FileStamp FileStamp::Of(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return Of(st);
}

std::string FileStamp::Text() const
{
    if (*this == FileStamp())
        return "missing";
    return std::to_string(device) + ':' + std::to_string(inode) + ':' + std::to_string(size) + ':' +
           std::to_string(seconds) + '.' + std::to_string(nanoseconds);
}
