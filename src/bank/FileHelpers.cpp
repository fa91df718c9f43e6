#include "bank/FileHelpers.h"

#include "platform/IniFile.h"
#include "platform/StringTable.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

std::string GetPathPart(const std::string& path, int part)
{
    std::size_t start = 0;
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (hasDrive)
        start = 2;
    const std::size_t lastSeparator = path.find_last_of("\\/");
    const std::size_t nameStart =
        (lastSeparator == std::string::npos || lastSeparator < start) ? start : lastSeparator + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        dot = path.size();

    switch (part)
    {
    case PathDrive:
        return path.substr(0, start);
    case PathDirectory:
        return path.substr(start, nameStart - start);
    case PathFileName:
        return path.substr(nameStart, dot - nameStart);
    case PathExtension:
        return path.substr(dot);
    case PathFileNameExt:
        return path.substr(nameStart);
    default:
        return {};
    }
}

FileType GetFileType(const std::string& path)
{
    std::string extension = GetPathPart(path, PathExtension);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    // The other sample files are sources like waves: same options, same
    // conversion, read through the program's sample decoder.
    if (extension == ".WAV" || extension == ".AIF" || extension == ".AIFF" || extension == ".AIFC" ||
        extension == ".FLAC" || extension == ".OGG" || extension == ".OGA")
        return FileTypeWave;
    // Any version of SoundFont is one type: the reader tells them apart by content.
    if (extension == ".SBK" || extension == ".SF2" || extension == ".SF3")
        return FileTypeSoundFont;
    if (extension == ".TMB")
        return FileTypeDocument;
    if (extension == ".MID" || extension == ".MIDI" || extension == ".KAR" || extension == ".RMI")
        return FileTypeMidi;
    return FileTypeNone;
}

std::string MakeTempFileName()
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error)
        folder = "/tmp";
    std::string name = (folder / "TMBXXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return name;
}

std::string ReadProfileString(const std::string& file, unsigned sectionId, unsigned keyId, int index)
{
    const std::string key = index >= 0 ? FormatString(keyId, index) : LoadString(keyId);
    return CIniFile::ReadString(file, LoadString(sectionId), key);
}
