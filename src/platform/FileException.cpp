#include "platform/FileException.h"

#include "platform/ByteStream.h"

#include <cerrno>
#include <sys/stat.h>

namespace
{
std::string Describe(CFileException::Cause cause, const std::string& fileName)
{
    const char* why = "file error";
    switch (cause)
    {
    case CFileException::Cause::Generic:
        break;
    case CFileException::Cause::FileNotFound:
        why = "not found";
        break;
    case CFileException::Cause::AccessDenied:
        why = "access denied";
        break;
    case CFileException::Cause::SharingViolation:
        why = "in use";
        break;
    case CFileException::Cause::DiskFull:
        why = "disk full";
        break;
    }
    return fileName.empty() ? std::string(why) : fileName + ": " + why;
}
} // namespace

CFileException::CFileException(Cause fileCause, std::string name)
    : CException(Describe(fileCause, name)), cause(fileCause), fileName(std::move(name))
{
}

CFileException CFileException::FromErrno(int error, std::string fileName)
{
    switch (error)
    {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return CFileException(Cause::FileNotFound, std::move(fileName));
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return CFileException(Cause::AccessDenied, std::move(fileName));
    case EBUSY:
    case ETXTBSY:
        return CFileException(Cause::SharingViolation, std::move(fileName));
    case ENOSPC:
    case EDQUOT:
        return CFileException(Cause::DiskFull, std::move(fileName));
    default:
        return CFileException(Cause::Generic, std::move(fileName));
    }
}

void OpenForReading(CFileSource& source, const std::string& path)
{
    errno = 0;
    if (source.Open(path))
        return;
    int error = errno;
    // CFileSource refuses folders, devices and pipes after a successful open, so
    // errno may say nothing; ask the file system what the path is.
    struct stat st
    {
    };
    if (error == 0 && ::stat(path.c_str(), &st) == 0)
        error = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
    throw CFileException::FromErrno(error, path);
}
