#include "ui/sheets/MachineStatus.h"

#include "platform/StringTable.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace
{
// "\040" and its kin in a mount table field.
std::string Unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i)
    {
        if (field[i] == '\\' && i + 3 < field.size())
        {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos)
            {
                out.push_back(static_cast<char>(std::strtol(digits.c_str(), nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool Holds(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/")
        return !path.empty() && path.front() == '/';
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

std::string ResolvedPath(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

std::string MountPointByDevice(const std::string& resolved)
{
    struct stat info = {};
    if (stat(resolved.c_str(), &info) != 0)
        return {};
    std::string current = resolved;
    while (current != "/")
    {
        const std::size_t slash = current.find_last_of('/');
        const std::string parent = slash == 0 ? "/" : current.substr(0, slash);
        struct stat above = {};
        if (stat(parent.c_str(), &above) != 0 || above.st_dev != info.st_dev)
            break;
        current = parent;
    }
    return current;
}
} // namespace

std::optional<unsigned long long> PhysicalMemoryBytes()
{
    struct sysinfo info = {};
    if (sysinfo(&info) != 0)
        return std::nullopt;
    return static_cast<unsigned long long>(info.totalram) * (info.mem_unit ? info.mem_unit : 1);
}

std::string PhysicalMemoryText(unsigned long long bytes)
{
    return FormatString(IDS_ABOUT_MEMORY, static_cast<unsigned long>(bytes / 1024));
}

std::optional<DiskSpace> QueryDiskSpace(const std::string& folder)
{
    struct statvfs info = {};
    if (statvfs(folder.c_str(), &info) != 0)
        return std::nullopt;
    const unsigned long long blocks = info.f_bavail;
    const unsigned long long blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
    DiskSpace space;
    // Split so that no product of two large numbers is formed.
    space.freeKB = blocks / 1024 * blockSize + blocks % 1024 * blockSize / 1024;
    space.mountPoint = MountPointOf(folder);
    if (space.mountPoint.empty())
        return std::nullopt;
    return space;
}

std::string DiskSpaceText(const std::optional<DiskSpace>& space)
{
    if (!space)
        return LoadString(IDS_ABOUT_DISK_UNAVAILABLE);
    return FormatString(IDS_ABOUT_DISK_FREE, space->freeKB, space->mountPoint.c_str());
}

std::string MountPointFromTable(const std::string& mountinfo, const std::string& path)
{
    std::istringstream lines(mountinfo);
    std::string line;
    std::string best;
    while (std::getline(lines, line))
    {
        // id, parent id, major:minor, root, mount point, ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint))
            continue;
        mountPoint = Unescape(mountPoint);
        // Later lines mount over earlier ones at the same place.
        if (Holds(mountPoint, path) && mountPoint.size() >= best.size())
            best = mountPoint;
    }
    return best;
}

std::string MountPointOf(const std::string& path)
{
    const std::string resolved = ResolvedPath(path);
    if (resolved.empty())
        return {};
    std::ifstream table("/proc/self/mountinfo");
    if (table)
    {
        std::ostringstream text;
        text << table.rdbuf();
        const std::string found = MountPointFromTable(text.str(), resolved);
        if (!found.empty())
            return found;
    }
    return MountPointByDevice(resolved);
}
