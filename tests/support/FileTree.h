#pragma once
// Folder trees on disk for the tests that find files by path and by name:
// files placed at relative paths (folders made on the way), links, and
// folders the test cannot read.

#include "support/RiffBuilder.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

// Writes data to root/relative ("/" separates), making the folders on the
// way; returns the file's path.
inline std::string PlaceFile(const std::string& root, const std::string& relative,
                             const Bytes& data = Bytes{'x'})
{
    const std::filesystem::path file = std::filesystem::path(root) / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.native());
    return file.native();
}

// A folder made on the way down, as PlaceFile makes them.
inline std::string PlaceFolder(const std::string& root, const std::string& relative)
{
    const std::filesystem::path folder = std::filesystem::path(root) / relative;
    std::filesystem::create_directories(folder);
    return folder.native();
}

// Takes every permission from a folder for the object's lifetime, and gives
// them back so the temporary folder can be removed.
class ScopedUnreadableFolder
{
public:
    explicit ScopedUnreadableFolder(std::string folderPath) : path(std::move(folderPath))
    {
        ::chmod(path.c_str(), 0);
    }
    ~ScopedUnreadableFolder() { ::chmod(path.c_str(), 0700); }
    ScopedUnreadableFolder(const ScopedUnreadableFolder&) = delete;
    ScopedUnreadableFolder& operator=(const ScopedUnreadableFolder&) = delete;

private:
    std::string path;
};
