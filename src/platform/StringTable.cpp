#include "platform/StringTable.h"

#include <cstdarg>
#include <cstdio>
#include <unordered_map>

namespace
{
const std::unordered_map<unsigned, std::string>& Table()
{
    static const std::unordered_map<unsigned, std::string> table = {
#define TAMBERLY_STRING(number, id, text) {number, text},
#include "strings.inc"
#undef TAMBERLY_STRING
    };
    return table;
}
} // namespace

const std::string& LoadString(unsigned id)
{
    static const std::string empty;
    const auto& table = Table();
    const auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

std::string FormatString(unsigned id, ...)
{
    const std::string& format = LoadString(id);
    va_list args;
    va_start(args, id);
    va_list copy;
    va_copy(copy, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length = std::vsnprintf(nullptr, 0, format.c_str(), copy);
    va_end(copy);
    std::string out;
    if (length > 0)
    {
        out.resize(static_cast<std::size_t>(length));
        std::vsnprintf(out.data(), out.size() + 1, format.c_str(), args);
    }
#pragma GCC diagnostic pop
    va_end(args);
    return out;
}
