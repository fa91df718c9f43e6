#include "cardstate/CardModel.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

namespace
{
constexpr std::string_view kHeader = "tamberly card state 1";
// One sample chunk holds at most 4 GB, so no single item ever takes more.
constexpr std::uint64_t kMaxItemWords = std::uint64_t{1} << 31;

// ---- writing ----

// A text as one token: "=" and the bytes, with those that would break the
// line or the token (and "%" itself) as %XX.
void PutText(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += " =";
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%')
        {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
        else
        {
            out += c;
        }
    }
}

void PutNumber(std::string& out, std::uint64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out += ' ';
    out.append(digits, end);
}

// ---- reading ----

class CLine
{
public:
    explicit CLine(std::string_view line)
    {
        while (!line.empty())
        {
            const auto space = line.find(' ');
            tokens.push_back(line.substr(0, space));
            if (space == std::string_view::npos)
                break;
            line.remove_prefix(space + 1);
        }
    }
    std::size_t Size() const { return tokens.size(); }
    std::string_view Word(std::size_t i) const { return i < tokens.size() ? tokens[i] : std::string_view(); }

    std::optional<std::uint64_t> Number(std::size_t i, std::uint64_t high) const
    {
        const auto token = Word(i);
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (token.empty() || error != std::errc() || end != token.data() + token.size() || value > high)
            return std::nullopt;
        return value;
    }
    std::optional<int> Int(std::size_t i, int low, int high) const
    {
        const auto value = Number(i, static_cast<std::uint64_t>(high));
        if (!value || *value < static_cast<std::uint64_t>(low))
            return std::nullopt;
        return static_cast<int>(*value);
    }
    std::optional<std::string> Text(std::size_t i) const
    {
        const auto token = Word(i);
        if (token.empty() || token.front() != '=')
            return std::nullopt;
        std::string text;
        for (std::size_t at = 1; at < token.size(); ++at)
        {
            if (token[at] == '\0')
                return std::nullopt; // written as %00, which no text holds
            if (token[at] != '%')
            {
                text += token[at];
                continue;
            }
            unsigned value = 0;
            if (at + 2 >= token.size())
                return std::nullopt;
            const auto [end, error] =
                std::from_chars(token.data() + at + 1, token.data() + at + 3, value, 16);
            if (error != std::errc() || end != token.data() + at + 3 || value == 0)
                return std::nullopt;
            text += static_cast<char>(value);
            at += 2;
        }
        return text;
    }

private:
    std::vector<std::string_view> tokens;
};

bool AddWords(std::uint64_t& sum, std::uint64_t words)
{
    if (words > kMaxItemWords)
        return false;
    sum += words;
    return true;
}

// ---- items, as the snapshot and the journal's records write them ----

void PutBankFile(std::string& out, int bank, const CCardModel::BankFile& bankFile)
{
    out += "bank";
    PutNumber(out, static_cast<std::uint64_t>(bank));
    PutNumber(out, bankFile.words);
    PutText(out, bankFile.file);
    PutText(out, bankFile.name);
    out += '\n';
    for (const auto& [slot, name] : bankFile.presets)
    {
        out += "bankpreset";
        PutNumber(out, static_cast<std::uint64_t>(bank));
        PutNumber(out, static_cast<std::uint64_t>(slot));
        PutText(out, name);
        out += '\n';
    }
}

void PutSlotLine(std::string& out, const char* word, int bank, int slot)
{
    out += word;
    PutNumber(out, static_cast<std::uint64_t>(bank));
    PutNumber(out, static_cast<std::uint64_t>(slot));
    out += '\n';
}

void PutPreset(std::string& out, const CCardModel::Slot& where, const CCardModel::Preset& preset)
{
    out += "preset";
    PutNumber(out, static_cast<std::uint64_t>(where.first));
    PutNumber(out, static_cast<std::uint64_t>(where.second));
    PutNumber(out, preset.source);
    PutNumber(out, preset.words);
    PutText(out, preset.file);
    PutText(out, preset.name);
    PutText(out, preset.memory);
    out += '\n';
}

// The items of the lines both formats share; nothing for a broken line.
std::optional<std::pair<int, CCardModel::BankFile>> BankLine(const CLine& line)
{
    const auto bank = line.Int(1, 1, CCardModel::kLastBank);
    const auto words = line.Number(2, kMaxItemWords);
    auto file = line.Text(3);
    auto name = line.Text(4);
    if (line.Size() != 5 || !bank || !words || !file || file->empty() || !name)
        return std::nullopt;
    return std::pair{*bank, CCardModel::BankFile{std::move(*file), std::move(*name), *words, {}, {}}};
}

std::optional<CCardModel::Slot> SlotLine(const CLine& line, int lowBank)
{
    const auto bank = line.Int(1, lowBank, CCardModel::kLastBank);
    const auto slot = line.Int(2, 0, CCardModel::kLastSlot);
    if (line.Size() != 3 || !bank || !slot)
        return std::nullopt;
    return CCardModel::Slot{*bank, *slot};
}

std::optional<std::pair<CCardModel::Slot, CCardModel::Preset>> PresetLine(const CLine& line)
{
    const auto bank = line.Int(1, 0, CCardModel::kLastBank);
    const auto slot = line.Int(2, 0, CCardModel::kLastSlot);
    const auto source = line.Number(3, std::numeric_limits<std::uint32_t>::max());
    const auto words = line.Number(4, kMaxItemWords);
    auto file = line.Text(5);
    auto name = line.Text(6);
    auto memory = line.Size() == 8 ? line.Text(7) : std::optional<std::string>(std::string());
    if ((line.Size() != 7 && line.Size() != 8) || !bank || !slot || !source || !words || !file ||
        file->empty() || !name || !memory || (!memory->empty() && !CCardModel::IsMemoryName(*memory)))
        return std::nullopt;
    return std::pair{CCardModel::Slot{*bank, *slot},
                     CCardModel::Preset{std::move(*file), static_cast<std::uint32_t>(*source),
                                        std::move(*name), *words, std::move(*memory)}};
}
} // namespace

std::uint64_t CCardModel::UsedWords() const
{
    std::uint64_t used = 0;
    for (const auto& [bank, bankFile] : bankFiles)
        used += bankFile.words;
    for (const auto& [slot, preset] : presets)
        used += preset.words;
    return used;
}

std::uint64_t CCardModel::FreeWords(std::uint64_t totalWords) const
{
    const std::uint64_t used = UsedWords();
    return used < totalWords ? totalWords - used : 0;
}

CardResult CCardModel::SelectSynthMode(int mode)
{
    if (mode < 0 || mode > kLastSynthMode)
        return CardResult::OutOfRange;
    synthMode = mode;
    std::erase_if(presets, [](const auto& entry) { return entry.first.first == 0; });
    return CardResult::Ok;
}

CardResult CCardModel::SetEffects(int reverbType, int chorusType)
{
    if (reverbType < 0 || reverbType > kLastEffect || chorusType < 0 || chorusType > kLastEffect)
        return CardResult::OutOfRange;
    reverb = reverbType;
    chorus = chorusType;
    return CardResult::Ok;
}

CardResult CCardModel::LoadBankFile(int bank, BankFile bankFile, std::uint64_t totalWords)
{
    if (!IsUserBank(bank))
        return CardResult::OutOfRange;
    if (bankFile.words > kMaxItemWords)
        return CardResult::NoMemory;
    const auto old = bankFiles.find(bank);
    const std::uint64_t freed = old == bankFiles.end() ? 0 : old->second.words;
    if (bankFile.words > FreeWords(totalWords) + freed)
        return CardResult::NoMemory;
    bankFile.emptied.clear();
    bankFiles[bank] = std::move(bankFile);
    return CardResult::Ok;
}

CardResult CCardModel::ClearBank(int bank)
{
    if (!IsUserBank(bank))
        return CardResult::OutOfRange;
    bankFiles.erase(bank);
    std::erase_if(presets, [bank](const auto& entry) { return entry.first.first == bank; });
    return CardResult::Ok;
}

CardResult CCardModel::LoadPreset(int bank, int slot, Preset preset, std::uint64_t totalWords)
{
    if (!IsBank(bank) || !IsSlot(slot))
        return CardResult::OutOfRange;
    if (preset.words > kMaxItemWords)
        return CardResult::NoMemory;
    const auto old = presets.find({bank, slot});
    const std::uint64_t freed = old == presets.end() ? 0 : old->second.words;
    if (preset.words > FreeWords(totalWords) + freed)
        return CardResult::NoMemory;
    presets[{bank, slot}] = std::move(preset);
    return CardResult::Ok;
}

CardResult CCardModel::RestoreSlot(int bank, int slot)
{
    if (!IsBank(bank) || !IsSlot(slot))
        return CardResult::OutOfRange;
    if (bank != 0)
    {
        const auto bankFile = bankFiles.find(bank);
        if (bankFile == bankFiles.end() || !bankFile->second.presets.contains(slot))
            return CardResult::Empty;
        bankFile->second.emptied.erase(slot);
    }
    presets.erase({bank, slot});
    return CardResult::Ok;
}

CardResult CCardModel::ClearSlot(int bank, int slot)
{
    if (!IsUserBank(bank) || !IsSlot(slot))
        return CardResult::OutOfRange;
    presets.erase({bank, slot});
    const auto bankFile = bankFiles.find(bank);
    if (bankFile != bankFiles.end() && bankFile->second.presets.contains(slot))
        bankFile->second.emptied.insert(slot);
    return CardResult::Ok;
}

std::optional<std::string> CCardModel::SlotName(int bank, int slot) const
{
    if (const auto preset = presets.find({bank, slot}); preset != presets.end())
        return preset->second.name;
    const auto bankFile = bankFiles.find(bank);
    if (bankFile == bankFiles.end() || bankFile->second.emptied.contains(slot))
        return std::nullopt;
    const auto name = bankFile->second.presets.find(slot);
    if (name == bankFile->second.presets.end())
        return std::nullopt;
    return name->second;
}

std::optional<std::string> CCardModel::BankName(int bank) const
{
    const auto bankFile = bankFiles.find(bank);
    if (bankFile == bankFiles.end())
        return std::nullopt;
    return bankFile->second.name;
}

bool CCardModel::IsMemoryName(std::string_view text)
{
    return !text.empty() && text.size() <= 32 &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

std::string CCardModel::MemoryFileName(std::string_view memory)
{
    return std::string(kMemoryFolder) + '/' + std::string(memory) + ".sf2";
}

// The format, one item a line, tokens separated by one blank:
//   tamberly card state 1
//   synth <mode>
//   effects <reverb> <chorus>
//   bank <bank> <words> =<file> =<name>
//   bankpreset <bank> <slot> =<name>       (after its bank)
//   emptied <bank> <slot>                  (after the bankpreset it empties)
//   preset <bank> <slot> <source> <words> =<file> =<name> =<memory>
//   end
// (A preset line without its memory token, as older cards wrote it, reads
// as a preset without a memory copy.)
std::string CCardModel::Serialize() const
{
    std::string out;
    std::size_t lines = presets.size();
    for (const auto& [bank, bankFile] : bankFiles)
        lines += 1 + bankFile.presets.size() + bankFile.emptied.size();
    out.reserve(64 + 80 * lines);
    out += kHeader;
    out += "\nsynth";
    PutNumber(out, static_cast<std::uint64_t>(synthMode));
    out += "\neffects";
    PutNumber(out, static_cast<std::uint64_t>(reverb));
    PutNumber(out, static_cast<std::uint64_t>(chorus));
    out += '\n';
    for (const auto& [bank, bankFile] : bankFiles)
    {
        PutBankFile(out, bank, bankFile);
        for (const int slot : bankFile.emptied)
            PutSlotLine(out, "emptied", bank, slot);
    }
    for (const auto& [where, preset] : presets)
        PutPreset(out, where, preset);
    out += "end\n";
    return out;
}

std::optional<CCardModel> CCardModel::Parse(std::string_view text)
{
    CCardModel model;
    bool sawSynth = false;
    bool sawEffects = false;
    bool ended = false;
    bool first = true;
    std::uint64_t total = 0;
    while (!text.empty())
    {
        const auto newline = text.find('\n');
        if (newline == std::string_view::npos)
            return std::nullopt; // every line of a whole file ends
        const std::string_view raw = text.substr(0, newline);
        text.remove_prefix(newline + 1);
        if (ended)
            return std::nullopt;
        if (first)
        {
            if (raw != kHeader)
                return std::nullopt;
            first = false;
            continue;
        }
        const CLine line(raw);
        const auto word = line.Word(0);
        if (word == "synth" && line.Size() == 2 && !sawSynth)
        {
            const auto mode = line.Int(1, 0, kLastSynthMode);
            if (!mode)
                return std::nullopt;
            model.synthMode = *mode;
            sawSynth = true;
        }
        else if (word == "effects" && line.Size() == 3 && !sawEffects)
        {
            const auto reverbType = line.Int(1, 0, kLastEffect);
            const auto chorusType = line.Int(2, 0, kLastEffect);
            if (!reverbType || !chorusType)
                return std::nullopt;
            model.reverb = *reverbType;
            model.chorus = *chorusType;
            sawEffects = true;
        }
        else if (word == "bank")
        {
            auto item = BankLine(line);
            if (!item || model.bankFiles.contains(item->first) || !AddWords(total, item->second.words))
                return std::nullopt;
            model.bankFiles.insert(std::move(*item));
        }
        else if (word == "bankpreset" && line.Size() == 4)
        {
            const auto bank = line.Int(1, 1, kLastBank);
            const auto slot = line.Int(2, 0, kLastSlot);
            auto name = line.Text(3);
            if (!bank || !slot || !name || !model.bankFiles.contains(*bank))
                return std::nullopt;
            if (!model.bankFiles[*bank].presets.emplace(*slot, std::move(*name)).second)
                return std::nullopt;
        }
        else if (word == "emptied")
        {
            const auto where = SlotLine(line, 1);
            if (!where || !model.bankFiles.contains(where->first))
                return std::nullopt;
            BankFile& bankFile = model.bankFiles[where->first];
            if (!bankFile.presets.contains(where->second) || !bankFile.emptied.insert(where->second).second)
                return std::nullopt;
        }
        else if (word == "preset")
        {
            auto item = PresetLine(line);
            if (!item || model.presets.contains(item->first) || !AddWords(total, item->second.words))
                return std::nullopt;
            model.presets.insert(std::move(*item));
        }
        else if (word == "end" && line.Size() == 1)
        {
            ended = true;
        }
        else
        {
            return std::nullopt;
        }
    }
    if (!ended || !sawSynth || !sawEffects)
        return std::nullopt;
    return model;
}

// A record is the lines of the items a change touched, applied in order:
//   synth <mode> / effects <reverb> <chorus>      the value as it now is
//   bank ... and its bankpreset lines             the bank file put anew (nothing emptied)
//   unbank <bank>                                 the bank file gone
//   emptied <bank> <slot> / unemptied <bank> <slot>
//   preset ...                                    the slot's preset put anew
//   unpreset <bank> <slot>                        the slot's preset gone
// Each line states a value, never a step from the one before, so replaying a
// record over a state that already holds it changes nothing.
std::string CCardModel::RecordOf(const CCardModel& before, const CCardModel& after)
{
    std::string out;
    if (after.synthMode != before.synthMode)
    {
        out += "synth";
        PutNumber(out, static_cast<std::uint64_t>(after.synthMode));
        out += '\n';
    }
    if (after.reverb != before.reverb || after.chorus != before.chorus)
    {
        out += "effects";
        PutNumber(out, static_cast<std::uint64_t>(after.reverb));
        PutNumber(out, static_cast<std::uint64_t>(after.chorus));
        out += '\n';
    }
    for (const auto& [bank, bankFile] : before.bankFiles)
        if (!after.bankFiles.contains(bank))
        {
            out += "unbank";
            PutNumber(out, static_cast<std::uint64_t>(bank));
            out += '\n';
        }
    for (const auto& [bank, bankFile] : after.bankFiles)
    {
        const auto old = before.bankFiles.find(bank);
        const bool same = old != before.bankFiles.end() && old->second.file == bankFile.file &&
                          old->second.name == bankFile.name && old->second.words == bankFile.words &&
                          old->second.presets == bankFile.presets;
        if (!same)
            PutBankFile(out, bank, bankFile);
        for (const int slot : bankFile.emptied)
            if (!same || !old->second.emptied.contains(slot))
                PutSlotLine(out, "emptied", bank, slot);
        if (same)
            for (const int slot : old->second.emptied)
                if (!bankFile.emptied.contains(slot))
                    PutSlotLine(out, "unemptied", bank, slot);
    }
    // Both maps walked side by side in slot order: a command changes a slot
    // or two of a card that may hold thousands of presets. The lines come
    // in the order separate walks gave them (every removal first).
    std::vector<std::map<Slot, Preset>::const_iterator> added;
    auto old = before.presets.begin();
    for (auto now = after.presets.begin(); now != after.presets.end(); ++now)
    {
        for (; old != before.presets.end() && old->first < now->first; ++old)
            PutSlotLine(out, "unpreset", old->first.first, old->first.second);
        if (old != before.presets.end() && old->first == now->first)
        {
            if (old->second != now->second)
                added.push_back(now);
            ++old;
        }
        else
        {
            added.push_back(now);
        }
    }
    for (; old != before.presets.end(); ++old)
        PutSlotLine(out, "unpreset", old->first.first, old->first.second);
    for (const auto& preset : added)
        PutPreset(out, preset->first, preset->second);
    return out;
}

bool CCardModel::ApplyRecord(std::string_view record)
{
    // Changed in place, with the first value of each item the record touches
    // kept to put back if a later line fails: a copy of the whole card for
    // every record would make a replay quadratic.
    const int oldSynth = synthMode, oldReverb = reverb, oldChorus = chorus;
    std::map<int, std::optional<BankFile>> oldBanks;
    std::map<Slot, std::optional<Preset>> oldPresets;
    const auto touchBank = [&](int bank)
    {
        if (!oldBanks.contains(bank))
        {
            const auto found = bankFiles.find(bank);
            oldBanks[bank] = found == bankFiles.end() ? std::nullopt : std::optional<BankFile>(found->second);
        }
    };
    const auto touchPreset = [&](const Slot& where)
    {
        if (!oldPresets.contains(where))
        {
            const auto found = presets.find(where);
            oldPresets[where] = found == presets.end() ? std::nullopt : std::optional<Preset>(found->second);
        }
    };
    const auto undo = [&]
    {
        synthMode = oldSynth;
        reverb = oldReverb;
        chorus = oldChorus;
        for (auto& [bank, old] : oldBanks)
            if (old)
                bankFiles[bank] = std::move(*old);
            else
                bankFiles.erase(bank);
        for (auto& [where, old] : oldPresets)
            if (old)
                presets[where] = std::move(*old);
            else
                presets.erase(where);
        return false;
    };
    while (!record.empty())
    {
        const auto newline = record.find('\n');
        if (newline == std::string_view::npos)
            return undo();
        const CLine line(record.substr(0, newline));
        record.remove_prefix(newline + 1);
        const auto word = line.Word(0);
        if (word == "synth" && line.Size() == 2)
        {
            const auto mode = line.Int(1, 0, kLastSynthMode);
            if (!mode)
                return undo();
            synthMode = *mode;
        }
        else if (word == "effects" && line.Size() == 3)
        {
            const auto reverbType = line.Int(1, 0, kLastEffect);
            const auto chorusType = line.Int(2, 0, kLastEffect);
            if (!reverbType || !chorusType)
                return undo();
            reverb = *reverbType;
            chorus = *chorusType;
        }
        else if (word == "bank")
        {
            auto item = BankLine(line);
            if (!item)
                return undo();
            touchBank(item->first);
            bankFiles[item->first] = std::move(item->second);
        }
        else if (word == "bankpreset" && line.Size() == 4)
        {
            const auto bank = line.Int(1, 1, kLastBank);
            const auto slot = line.Int(2, 0, kLastSlot);
            auto name = line.Text(3);
            if (!bank || !slot || !name || !bankFiles.contains(*bank))
                return undo();
            touchBank(*bank);
            bankFiles[*bank].presets[*slot] = std::move(*name);
        }
        else if (word == "unbank" && line.Size() == 2)
        {
            const auto bank = line.Int(1, 1, kLastBank);
            if (!bank)
                return undo();
            touchBank(*bank);
            bankFiles.erase(*bank);
        }
        else if (word == "emptied" || word == "unemptied")
        {
            const auto where = SlotLine(line, 1);
            const auto bankFile = where ? bankFiles.find(where->first) : bankFiles.end();
            if (bankFile == bankFiles.end() || !bankFile->second.presets.contains(where->second))
                return undo();
            touchBank(where->first);
            if (word == "emptied")
                bankFile->second.emptied.insert(where->second);
            else
                bankFile->second.emptied.erase(where->second);
        }
        else if (word == "preset")
        {
            auto item = PresetLine(line);
            if (!item)
                return undo();
            touchPreset(item->first);
            presets[item->first] = std::move(item->second);
        }
        else if (word == "unpreset")
        {
            const auto where = SlotLine(line, 0);
            if (!where)
                return undo();
            touchPreset(*where);
            presets.erase(*where);
        }
        else
        {
            return undo();
        }
    }
    return true;
}
