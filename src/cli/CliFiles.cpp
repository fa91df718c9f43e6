#include "cli/CliFiles.h"

#include <cstring>
#include <filesystem>

std::string WhyCannotOpen(const std::string& path, int error)
{
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    if (!std::filesystem::exists(status))
        return "cannot open (no such file)";
    if (std::filesystem::is_directory(status))
        return "cannot open (is a directory)";
    if (!std::filesystem::is_regular_file(status))
        return "cannot open (not a regular file)";
    return std::string("cannot open (") + (error != 0 ? std::strerror(error) : "not readable") + ")";
}
