#include "platform/ProgramLibrary.h"

#include <system_error>

std::filesystem::path RunningExecutable()
{
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable;
}

std::string ProgramLibraryPath(const std::filesystem::path& executable, const std::string& name)
{
    if (!executable.empty())
    {
        const auto folder = executable.parent_path();
        for (const auto& candidate : {folder / name, folder / ".." / "lib" / "tamberly" / name})
        {
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error))
                return candidate.lexically_normal().string();
        }
    }
    return name;
}
