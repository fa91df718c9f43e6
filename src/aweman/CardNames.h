#pragma once
// How a card names what it holds, the same for every card library: names as
// the files store them, cut at their first NUL and trailing blanks.

#include "soundfont/SoundFontReader.h"

#include <cstdio>
#include <string>

namespace cardnames
{
constexpr std::size_t kMaxNameLength = 255;

inline std::string TrimmedName(std::string text)
{
    text = text.substr(0, text.find('\0'));
    const auto last = text.find_last_not_of(" \t\r\n");
    text.erase(last == std::string::npos ? 0 : last + 1);
    if (text.size() > kMaxNameLength)
        text.resize(kMaxNameLength);
    return text;
}

// A preset's name as the card shows it: the stored name, or its number when the name is blank.
inline std::string PresetName(const PresetHeader& header)
{
    std::string name = TrimmedName(std::string(header.name.data(), header.name.size()));
    if (name.empty())
    {
        char number[16];
        std::snprintf(number, sizeof number, "Preset %03u", static_cast<unsigned>(header.presetNumber));
        name = number;
    }
    return name;
}
} // namespace cardnames
