#pragma once
// A file that could not be opened, read or written. The cause picks the
// message a front end shows ("%1 was not found." and so on); the file name
// fills its %1.

#include "platform/Exception.h"

#include <string>

class CFileSource;

class CFileException : public CException
{
public:
    enum class Cause
    {
        Generic,
        FileNotFound,
        AccessDenied,
        SharingViolation,
        DiskFull,
    };

    CFileException(Cause cause, std::string fileName);

    // The cause an errno value stands for.
    static CFileException FromErrno(int error, std::string fileName);

    Cause GetCause() const { return cause; }
    const std::string& GetFileName() const { return fileName; }

private:
    Cause cause;
    std::string fileName;
};

// Opens path for reading or throws the matching CFileException.
void OpenForReading(CFileSource& source, const std::string& path);
