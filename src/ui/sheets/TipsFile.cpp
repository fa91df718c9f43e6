#include "ui/sheets/TipsFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cctype>
#include <ctime>

CTipsFile::~CTipsFile()
{
    Close();
}

bool CTipsFile::Open(const std::string& path)
{
    Close();
    file = std::fopen(path.c_str(), "r");
    return file != nullptr;
}

void CTipsFile::Close()
{
    if (file)
        std::fclose(file);
    file = nullptr;
}

std::string CtimeText(long long seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    char text[64] = {};
    if (!ctime_r(&t, text))
        return {};
    std::string stamp(text);
    while (!stamp.empty() && std::isspace(static_cast<unsigned char>(stamp.back())))
        stamp.pop_back();
    return stamp;
}

std::string CTipsFile::GetCreationStamp() const
{
    if (!file)
        return {};
    const int fd = fileno(file);
    struct statx info = {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_MTIME, &info) == 0)
    {
        if (info.stx_mask & STATX_BTIME)
            return CtimeText(info.stx_btime.tv_sec);
        if (info.stx_mask & STATX_MTIME)
            return CtimeText(info.stx_mtime.tv_sec);
    }
    // A kernel without statx: the last change is all there is.
    struct stat plain = {};
    if (fstat(fd, &plain) != 0)
        return {};
    return CtimeText(plain.st_mtime);
}

bool CTipsFile::Seek(long position)
{
    return file && position >= 0 && std::fseek(file, position, SEEK_SET) == 0;
}

long CTipsFile::Tell() const
{
    return file ? std::ftell(file) : -1;
}

bool CTipsFile::ReadLine(std::string& line)
{
    line.clear();
    while (line.size() < kMaxLine)
    {
        int c = std::getc(file);
        if (c == EOF)
            break;
        if (c == '\r')
        {
            const int next = std::getc(file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                std::ungetc(next, file);
        }
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            return true;
    }
    if (line.size() == kMaxLine)
    {
        // A line of exactly the longest length still takes its line break with it.
        const long mark = std::ftell(file);
        int next = std::getc(file);
        if (next == '\r')
            next = std::getc(file) == '\n' ? '\n' : EOF;
        if (next == '\n')
            line.push_back('\n');
        else if (mark >= 0)
            std::fseek(file, mark, SEEK_SET);
        return true;
    }
    return !line.empty() && !std::ferror(file);
}

CTipsFile::ReadResult CTipsFile::ReadNextTip(std::string& tip)
{
    tip.clear();
    if (!file)
        return ReadResult::NoTip;
    int wraps = 0;
    std::string line;
    for (;;)
    {
        if (!ReadLine(line))
        {
            // A second end of the file means the whole file was read without a tip.
            if (++wraps > 1)
                return ReadResult::NoTip;
            std::clearerr(file);
            if (std::fseek(file, 0, SEEK_SET) != 0)
                return ReadResult::SeekFailed;
            continue;
        }
        const char first = line.front();
        if (first != ' ' && first != '\t' && first != '\n' && first != ';')
        {
            tip = std::move(line);
            return ReadResult::Tip;
        }
    }
}
