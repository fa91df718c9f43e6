#include "platform/IniFile.h"

#include "platform/AtomicFile.h"

namespace
{
bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}
} // namespace

void CIniFile::Parse(std::string_view text)
{
    sections.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    // Entries above the first section header belong to no section and can
    // never be found by name; they are parsed and dropped.
    Section* current = nullptr;
    while (!text.empty())
    {
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        if (end == std::string_view::npos)
            text = {};
        else
            text.remove_prefix(end + 1);

        line = Trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[')
        {
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos)
            {
                sections.push_back({std::string(line.substr(1, close - 1)), {}});
                current = &sections.back();
                continue;
            }
        }
        if (!current)
            continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
        {
            current->entries.emplace_back(std::string(line), std::string());
            continue;
        }
        current->entries.emplace_back(std::string(Trim(line.substr(0, equals))),
                                      std::string(Trim(line.substr(equals + 1))));
    }
}

bool CIniFile::Load(const std::string& path)
{
    std::string content;
    if (!ReadWholeFile(path, content))
    {
        sections.clear();
        return false;
    }
    Parse(content);
    return true;
}

std::string CIniFile::GetString(std::string_view section, std::string_view key, std::size_t bufferSize) const
{
    if (bufferSize == 0)
        return {};
    for (const Section& s : sections)
    {
        if (!EqualNoCase(s.name, section))
            continue;
        for (const auto& [name, value] : s.entries)
        {
            if (!EqualNoCase(name, key))
                continue;
            std::string_view v = value;
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return std::string(v.substr(0, bufferSize - 1));
        }
        // Only the first section of a name is searched.
        return {};
    }
    return {};
}

std::string CIniFile::ReadString(const std::string& path, std::string_view section, std::string_view key,
                                 std::size_t bufferSize)
{
    CIniFile file;
    file.Load(path);
    return file.GetString(section, key, bufferSize);
}
