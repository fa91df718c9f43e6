// Soundshelf bank files (.shb): the two entry parsers over the input as one
// entry value, then the input as a whole file through CShbFile::Load. The
// fixed fields are checked against the C library's atoi of the same
// characters, the text parts against the bytes they were cut from.

#include "FuzzTarget.h"

#include "bank/ShbFile.h"

#include <cstdlib>
#include <string>

namespace
{
// atoi of value[start, start + length), the way the entries' numbers are meant
// to be read (a NUL ends the number for both); the fields are at most 4
// characters, so atoi cannot overflow.
int Atoi(std::string_view value, std::size_t start, std::size_t length)
{
    if (start >= value.size())
        return 0;
    const std::string field(value.substr(start, length));
    return std::atoi(field.c_str());
}

void CheckUserBank(std::string_view value)
{
    const auto entry = CShbFile::ParseUserBank(value);
    const int bank = Atoi(value, 0, 3);
    FUZZ_CHECK(entry.has_value() == (value.size() > 6 && bank >= 1 && bank <= 127));
    if (entry)
        FUZZ_CHECK(entry->bank == bank && entry->path == value.substr(6));
}

void CheckInstrument(std::string_view value)
{
    const auto entry = CShbFile::ParseInstrument(value);
    const bool hasBank = value.size() > 3 && value[3] == ':';
    const std::size_t textStart = hasBank ? 10 : 6;
    if (!entry)
    {
        // Refused only when there is no "/" with room for the closing five after it.
        if (value.size() > textStart)
        {
            const std::size_t slash = value.find('/', textStart);
            FUZZ_CHECK(slash == std::string_view::npos || slash + 5 >= value.size());
        }
        return;
    }
    FUZZ_CHECK(value.size() > textStart);
    // Both targets in range, or both unassigned.
    const bool assigned = entry->targetPatch != -1;
    FUZZ_CHECK(assigned == (entry->targetBank != -1));
    if (assigned)
    {
        FUZZ_CHECK(entry->targetPatch >= 0 && entry->targetPatch <= 127);
        FUZZ_CHECK(entry->targetBank >= 0 && entry->targetBank <= 127);
        FUZZ_CHECK(hasBank || entry->targetBank == 0);
    }
    if (assigned)
    {
        FUZZ_CHECK(entry->targetPatch == Atoi(value, 0, 3));
        if (hasBank)
            FUZZ_CHECK(entry->targetBank == Atoi(value, 4, 3));
    }
    // path "/" name and five closing characters, cut at the first "/".
    FUZZ_CHECK(entry->sourceFile.find('/') == std::string::npos);
    FUZZ_CHECK(value.size() == textStart + entry->sourceFile.size() + 1 + entry->name.size() + 5);
    FUZZ_CHECK(value.substr(textStart, entry->sourceFile.size()) == entry->sourceFile);
    FUZZ_CHECK(value[textStart + entry->sourceFile.size()] == '/');
    FUZZ_CHECK(value.substr(textStart + entry->sourceFile.size() + 1, entry->name.size()) == entry->name);
    FUZZ_CHECK(entry->sourcePatch == Atoi(value, value.size() - 4, 4));
}

void CheckFile(const CShbFile& shb)
{
    for (const ShbUserBank& bank : shb.userBanks)
        FUZZ_CHECK(bank.bank >= 1 && bank.bank <= 127);
    for (const ShbInstrument& instrument : shb.instruments)
        FUZZ_CHECK((instrument.targetPatch == -1) == (instrument.targetBank == -1));
    FUZZ_CHECK(shb.skipped >= 0);
    if (!shb.userBanks.empty() || !shb.instruments.empty() || shb.skipped > 0)
        FUZZ_CHECK(shb.HasEntries());
}

bool SameFile(const CShbFile& a, const CShbFile& b)
{
    if (a.reverb != b.reverb || a.chorus != b.chorus || a.skipped != b.skipped ||
        a.HasEntries() != b.HasEntries() || a.userBanks.size() != b.userBanks.size() ||
        a.instruments.size() != b.instruments.size())
        return false;
    for (std::size_t i = 0; i < a.userBanks.size(); ++i)
        if (a.userBanks[i].bank != b.userBanks[i].bank || a.userBanks[i].path != b.userBanks[i].path)
            return false;
    for (std::size_t i = 0; i < a.instruments.size(); ++i)
    {
        const ShbInstrument& x = a.instruments[i];
        const ShbInstrument& y = b.instruments[i];
        if (x.targetPatch != y.targetPatch || x.targetBank != y.targetBank || x.sourceFile != y.sourceFile ||
            x.name != y.name || x.sourcePatch != y.sourcePatch)
            return false;
    }
    return true;
}

// Read by every input in turn: what one file left must not show in the next.
CShbFile& Reused()
{
    static CShbFile shb;
    return shb;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = AsText(data, size);
    // The first line alone is the entry value an INI reader would hand over.
    const std::string_view entry = text.substr(0, std::min(text.find('\n'), text.size()));
    CheckUserBank(entry);
    CheckInstrument(entry);

    CFuzzFile::Input().Write(data, size);
    CShbFile fresh;
    FUZZ_CHECK(fresh.Load(CFuzzFile::Input().Path()));
    CheckFile(fresh);
    FUZZ_CHECK(Reused().Load(CFuzzFile::Input().Path()));
    FUZZ_CHECK(SameFile(fresh, Reused()));

    // A file that cannot be read keeps nothing.
    FUZZ_CHECK(!Reused().Load(CFuzzFile::Input().Path() + "-missing"));
    FUZZ_CHECK(Reused().userBanks.empty() && Reused().instruments.empty() && !Reused().HasEntries());
    return 0;
}
