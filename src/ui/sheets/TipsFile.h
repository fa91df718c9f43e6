#pragma once
// The tips file of the tip of the day, read a line at a time: one tip to a
// line; lines that start with a blank, a tab or ";" and empty lines are
// skipped; after the last line reading goes on at the top. Lines end with a
// line feed, or a carriage return and line feed (read as a line feed alone);
// a line longer than kMaxLine characters is read in pieces of that length,
// each piece counting as a line.
//
// Plain C++ (stdio and statx) so the reading rules are tested without a dialog.

#include <cstdio>
#include <string>

class CTipsFile
{
public:
    static constexpr std::size_t kMaxLine = 999;

    enum class ReadResult
    {
        Tip,        // a tip was read
        NoTip,      // the whole file was read through without a tip line
        SeekFailed, // going back to the top failed
    };

    CTipsFile() = default;
    ~CTipsFile();
    CTipsFile(const CTipsFile&) = delete;
    CTipsFile& operator=(const CTipsFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return file != nullptr; }
    void Close();

    // When the open file came into being, as ctime text without the line
    // break: its birth time where the file system keeps one, else the time
    // of its last change. Empty when the file cannot be asked.
    std::string GetCreationStamp() const;

    // Byte offsets in the file. Seek fails for a negative offset.
    bool Seek(long position);
    long Tell() const;

    // The next tip line from the present position on, with its line feed.
    // Wraps at most once to the top, so a file without tips ends the search
    // with NoTip (tip empty).
    ReadResult ReadNextTip(std::string& tip);

private:
    // One line or piece; false at the end of the file or on a read error.
    bool ReadLine(std::string& line);

    std::FILE* file = nullptr;
};

// The ctime text of t in local time, trailing white space removed.
std::string CtimeText(long long seconds);
