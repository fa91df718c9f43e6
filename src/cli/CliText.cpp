#include "cli/CliText.h"

#include <cstdio>

std::string EscapeField(std::string_view text, bool passHighBytes)
{
    std::string out;
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F || (byte > 0x7F && !passHighBytes))
        {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
        else
            out += c;
    }
    return out;
}
