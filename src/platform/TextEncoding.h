#pragma once
// Conversions between the byte texts stored in files and the UTF-8 text the
// program shows. Files keep their bytes as they stand; only display turns
// them into text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined
// become the C1 control characters of the same value, as Windows maps them.
std::string Windows1252ToUtf8(std::string_view bytes);

// units 16-bit little-endian code units at data as UTF-8; an unpaired
// surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t units);

// Display text of stored bytes: the bytes themselves when they are UTF-8
// (what this program writes), else Windows-1252 (what documents of the
// earlier Windows program hold).
std::string StoredTextToDisplay(std::string_view bytes);
