#pragma once
// What the About box tells of the machine: its physical memory and the free
// space of the file system that holds a folder. Plain C++ over sysinfo(2),
// statvfs(3) and /proc/self/mountinfo.

#include <optional>
#include <string>

// Total physical memory in bytes; nothing when the system does not tell.
std::optional<unsigned long long> PhysicalMemoryBytes();
// "%lu KB" of bytes / 1024, truncated.
std::string PhysicalMemoryText(unsigned long long bytes);

struct DiskSpace
{
    unsigned long long freeKB = 0; // available to unprivileged users
    std::string mountPoint;        // where the file system holding the folder is mounted
};
// The free space of folder's file system; nothing when it cannot be asked.
std::optional<DiskSpace> QueryDiskSpace(const std::string& folder);
// "%llu KB Free on %s" with the mount point, or "Unavailable".
std::string DiskSpaceText(const std::optional<DiskSpace>& space);

// The mount point of the file system holding path (an existing file or
// folder), from the mount table, else by walking up while the device stays
// the same. Empty when path does not exist.
std::string MountPointOf(const std::string& path);
// The longest mount point of a mountinfo text that holds the absolute,
// resolved path; empty when none does. Mount points are unescaped (\040 a blank).
std::string MountPointFromTable(const std::string& mountinfo, const std::string& path);
