#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
    {
        ::fsync(fd);
        ::close(fd);
    }
}

// Whether name is a temporary Open makes for target: "." target "." and the
// six letters and digits mkostemp puts in place of XXXXXX.
bool IsTemporaryOf(const std::string& name, const std::string& target)
{
    const std::string prefix = "." + target + ".";
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
    {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Removes the temporaries of target that writers killed before their commit
// left behind. Only those untouched for an hour: a younger one may belong to
// a save that is still going on in another process.
void SweepStaleTemporaries(const std::string& folder, const std::string& target)
{
    constexpr time_t kStaleSeconds = 60 * 60;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (!IsTemporaryOf(name, target))
            continue;
        const std::string path = folder + "/" + name;
        struct stat st
        {
        };
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kStaleSeconds)
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

mode_t NewFileMode(const std::string& target)
{
    struct stat st
    {
    };
    if (::stat(target.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

CAtomicFile::CAtomicFile(std::string targetPath, Durability durability)
    : target(std::move(targetPath)), durability(durability)
{
}

CAtomicFile::~CAtomicFile()
{
    Discard();
}

bool CAtomicFile::Open()
{
    Discard();
    std::string pattern = FolderOf(target) + "/." + NameOf(target) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    temp.assign(name.data());
    ::fchmod(fd, NewFileMode(target));
    open = sink.Adopt(fd);
    if (!open)
    {
        ::unlink(temp.c_str());
        temp.clear();
    }
    return open;
}

bool CAtomicFile::Commit()
{
    if (!open)
        return false;
    open = false;
    const bool synced = durability == Durability::Synced;
    // Only a file written before can have had a writer that was killed: a
    // new name (as every sound memory copy of the card has) needs no sweep.
    struct stat st
    {
    };
    const bool replacing = ::lstat(target.c_str(), &st) == 0;
    if (!sink.Close(synced) || std::rename(temp.c_str(), target.c_str()) != 0)
    {
        const int saved = errno;
        ::unlink(temp.c_str());
        temp.clear();
        errno = saved;
        return false;
    }
    temp.clear();
    if (synced)
        SyncFolder(FolderOf(target));
    if (replacing)
        SweepStaleTemporaries(FolderOf(target), NameOf(target));
    return true;
}

void CAtomicFile::Discard()
{
    if (open)
    {
        sink.Close();
        open = false;
    }
    if (!temp.empty())
    {
        ::unlink(temp.c_str());
        temp.clear();
    }
}

bool ReadWholeFile(const std::string& path, std::string& out)
{
    CFileSource source;
    if (!source.Open(path))
        return false;
    out.resize(static_cast<std::size_t>(source.Size()));
    return source.Read(out.data(), out.size()) == out.size();
}

bool WriteWholeFileAtomic(const std::string& path, const std::string& data,
                          CAtomicFile::Durability durability)
{
    CAtomicFile file(path, durability);
    return file.Open() && file.Sink().Write(data.data(), data.size()) && file.Commit();
}
