#include "platform/CardHome.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

bool IsFolder(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string CardHomePath()
{
    if (const char* home = std::getenv("TAMBERLY_CARD_HOME"); home && *home)
        return home;
    // The base directory rules: a relative value is invalid and ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
        return std::string(state) + "/tamberly/card";
    return HomeFolder() + "/.local/state/tamberly/card";
}

bool MakeFolders(const std::string& path)
{
    if (path.empty())
        return false;
    if (IsFolder(path))
        return true;
    const auto slash = path.find_last_of('/', path.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash)))
        return false;
    // Another process may create it between the check and here.
    return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && IsFolder(path));
}
