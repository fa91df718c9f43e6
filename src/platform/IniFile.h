#pragma once
// Reads INI-style text files the way the Windows profile functions do, so
// that set-up files written on Windows read the same here:
// - "[section]" lines open a section; "key=value" lines belong to the last one;
// - section and key names match without regard to ASCII case;
// - blanks around keys and values are dropped, and one pair of matching
//   quotes (" or ') around a value is removed;
// - lines end in CR LF, LF or CR; lines whose first non-blank is ';' are comments;
// - the first section of a name and the first key of a name in it win;
// - a value is cut to fit the caller's buffer (bufferSize - 1 characters);
// - whatever is missing or unreadable reads as an empty text.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CIniFile
{
public:
    // The buffer the program reads values with: at most 199 characters.
    static constexpr std::size_t kValueBufferSize = 200;

    // Replaces the content with the entries of text.
    void Parse(std::string_view text);
    // Parses the file at path; false (and no entries) when it cannot be read.
    bool Load(const std::string& path);

    // The value of key in section, cut to bufferSize - 1 characters; empty
    // when either is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::size_t bufferSize = kValueBufferSize) const;

    // One lookup in the file at path, as the Windows profile function makes it.
    static std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                                  std::size_t bufferSize = kValueBufferSize);

private:
    struct Section
    {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    std::vector<Section> sections;
};
