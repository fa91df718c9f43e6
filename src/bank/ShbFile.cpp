#include "bank/ShbFile.h"

#include "platform/IniFile.h"
#include "platform/StringTable.h"
#include "synth/CardLimits.h"

#include <algorithm>
#include <limits>

namespace
{

// atoi within one field: blanks, a sign, then digits up to the first other
// character or the field's end. Saturates instead of overflowing.
int FieldNumber(std::string_view value, std::size_t start, std::size_t length)
{
    if (start >= value.size())
        return 0;
    const std::string_view field = value.substr(start, length);
    std::size_t at = 0;
    while (at < field.size() && (field[at] == ' ' || (field[at] >= '\t' && field[at] <= '\r')))
        ++at;
    bool negative = false;
    if (at < field.size() && (field[at] == '+' || field[at] == '-'))
        negative = field[at++] == '-';
    long long number = 0;
    for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at)
        number = std::min<long long>(number * 10 + (field[at] - '0'), std::numeric_limits<int>::max());
    return static_cast<int>(negative ? -number : number);
}

constexpr std::size_t kNumberField = 3;
constexpr std::size_t kBankMark = 3; // ':' when a bank follows
constexpr std::size_t kBankField = 4;
constexpr std::size_t kUserBankPath = 6;
constexpr std::size_t kTextWithoutBank = 6;
constexpr std::size_t kTextWithBank = 10;
constexpr std::size_t kPresetTail = 5; // a separator and four digits
constexpr std::size_t kPresetDigits = 4;
} // namespace

std::optional<ShbUserBank> CShbFile::ParseUserBank(std::string_view value)
{
    if (value.size() <= kUserBankPath)
        return std::nullopt;
    ShbUserBank entry;
    entry.bank = FieldNumber(value, 0, kNumberField);
    if (entry.bank < 1 || entry.bank > CardLimits::kLastBank)
        return std::nullopt;
    entry.path = std::string(value.substr(kUserBankPath));
    return entry;
}

std::optional<ShbInstrument> CShbFile::ParseInstrument(std::string_view value)
{
    const bool hasBank = value.size() > kBankMark && value[kBankMark] == ':';
    const std::size_t textStart = hasBank ? kTextWithBank : kTextWithoutBank;
    if (value.size() <= textStart)
        return std::nullopt;
    const std::size_t slash = value.find('/', textStart);
    // The "/" must come before the closing separator and digits.
    if (slash == std::string_view::npos || slash + kPresetTail >= value.size())
        return std::nullopt;

    ShbInstrument entry;
    entry.targetPatch = FieldNumber(value, 0, kNumberField);
    entry.targetBank = hasBank ? FieldNumber(value, kBankField, kNumberField) : 0;
    if (entry.targetPatch < 0 || entry.targetPatch > CardLimits::kLastSlot || entry.targetBank < 0 ||
        entry.targetBank > CardLimits::kLastBank)
        entry.targetPatch = entry.targetBank = -1;
    entry.sourceFile = std::string(value.substr(textStart, slash - textStart));
    const std::size_t nameEnd = value.size() - kPresetTail;
    entry.name = std::string(value.substr(slash + 1, nameEnd - (slash + 1)));
    entry.sourcePatch = FieldNumber(value, value.size() - kPresetDigits, kPresetDigits);
    return entry;
}

bool CShbFile::Load(const std::string& path)
{
    reverb = chorus = skipped = 0;
    userBanks.clear();
    instruments.clear();
    hasEntries = false;

    CIniFile ini;
    if (!ini.Load(path))
        return false;
    const std::string& awe = LoadString(IDS_SHB_SECTION_AWE);
    const std::string reverbText = ini.GetString(awe, LoadString(IDS_SHB_KEY_REVERB));
    const std::string chorusText = ini.GetString(awe, LoadString(IDS_SHB_KEY_CHORUS));
    reverb = FieldNumber(reverbText, 0, std::string::npos);
    chorus = FieldNumber(chorusText, 0, std::string::npos);
    hasEntries = !reverbText.empty() || !chorusText.empty();

    const std::string& banks = LoadString(IDS_SHB_SECTION_USER_BANKS);
    for (int i = 1;; ++i)
    {
        const std::string value = ini.GetString(banks, FormatString(IDS_SHB_KEY_USER, i));
        if (value.empty())
            break;
        hasEntries = true;
        if (auto entry = ParseUserBank(value))
            userBanks.push_back(std::move(*entry));
        else
            ++skipped;
    }

    const std::string& list = LoadString(IDS_SHB_SECTION_INSTRUMENTS);
    for (int i = 1;; ++i)
    {
        const std::string value = ini.GetString(list, FormatString(IDS_SHB_KEY_INSTRUMENT, i));
        if (value.empty())
            break;
        hasEntries = true;
        if (auto entry = ParseInstrument(value))
            instruments.push_back(std::move(*entry));
        else
            ++skipped;
    }
    return true;
}
