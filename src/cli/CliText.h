#pragma once
// Texts from files in the commands' tab-separated output.

#include <string>
#include <string_view>

// text with what would break a field or a line escaped: backslash, newline,
// carriage return and tab as \\, \n, \r and \t, other control bytes and DEL
// as \xNN. Bytes from 0x80 up are escaped the same way unless passHighBytes
// (for text already converted to UTF-8).
std::string EscapeField(std::string_view text, bool passHighBytes);
