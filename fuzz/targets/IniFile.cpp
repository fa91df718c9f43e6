// INI text as Soundshelf bank files carry it: the lookups the import makes
// (its sections and numbered keys until the first empty value) and lookups
// of names taken from the input itself, each checked against the reader's
// rules: at most the buffer less one, one line, names matched without
// regard to ASCII case, a file read the same as the text.

#include "FuzzTarget.h"

#include "platform/IniFile.h"
#include "platform/StringTable.h"

#include <string>

namespace
{
std::string Cased(std::string_view text, bool upper)
{
    std::string out(text);
    for (char& c : out)
    {
        if (upper && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (!upper && c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string CheckLookup(const CIniFile& ini, std::string_view section, std::string_view key)
{
    const std::string value = ini.GetString(section, key);
    FUZZ_CHECK(value.size() < CIniFile::kValueBufferSize);
    FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(ini.GetString(Cased(section, true), Cased(key, false)) == value);
    FUZZ_CHECK(ini.GetString(Cased(section, false), Cased(key, true)) == value);
    // A smaller buffer cuts the same value.
    FUZZ_CHECK(ini.GetString(section, key, 8) == value.substr(0, 7));
    FUZZ_CHECK(ini.GetString(section, key, 1).empty() && ini.GetString(section, key, 0).empty());
    // A big buffer cuts nothing the default one keeps.
    FUZZ_CHECK(ini.GetString(section, key, 1u << 20).substr(0, CIniFile::kValueBufferSize - 1) == value);
    return value;
}

// Numbered keys read until the first empty value, as the import reads them.
void ReadNumbered(const CIniFile& ini, unsigned sectionId, unsigned keyId)
{
    const std::string& section = LoadString(sectionId);
    for (int i = 1; i <= 10000; ++i)
        if (CheckLookup(ini, section, FormatString(keyId, i)).empty())
            break;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = AsText(data, size);
    CIniFile ini;
    ini.Parse(text);

    const std::string reverb =
        CheckLookup(ini, LoadString(IDS_SHB_SECTION_AWE), LoadString(IDS_SHB_KEY_REVERB));
    CheckLookup(ini, LoadString(IDS_SHB_SECTION_AWE), LoadString(IDS_SHB_KEY_CHORUS));
    ReadNumbered(ini, IDS_SHB_SECTION_USER_BANKS, IDS_SHB_KEY_USER);
    ReadNumbered(ini, IDS_SHB_SECTION_INSTRUMENTS, IDS_SHB_KEY_INSTRUMENT);

    // Names from the input: the text of its first lines, whole and trimmed of brackets.
    std::string_view rest = text;
    for (int line = 0; line < 4 && !rest.empty(); ++line)
    {
        const std::size_t end = rest.find('\n');
        std::string_view name = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        CheckLookup(ini, name, name);
        if (name.size() >= 2)
            CheckLookup(ini, name.substr(1, name.size() - 2), LoadString(IDS_SHB_KEY_REVERB));
        const std::size_t equals = name.find('=');
        if (equals != std::string_view::npos)
            CheckLookup(ini, LoadString(IDS_SHB_SECTION_AWE), name.substr(0, equals));
    }
    CheckLookup(ini, "", "");

    // The same text as a file reads the same.
    CFuzzFile::Input().Write(data, size);
    CIniFile loaded;
    FUZZ_CHECK(loaded.Load(CFuzzFile::Input().Path()));
    FUZZ_CHECK(loaded.GetString(LoadString(IDS_SHB_SECTION_AWE), LoadString(IDS_SHB_KEY_REVERB)) == reverb);
    FUZZ_CHECK(CIniFile::ReadString(CFuzzFile::Input().Path(), LoadString(IDS_SHB_SECTION_AWE),
                                    LoadString(IDS_SHB_KEY_REVERB)) == reverb);
    return 0;
}
