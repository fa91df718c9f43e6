// "tamberly-cli card ...": works the card from the shell, everything through
// CAweSession exactly as the program does.

#include "cli/CardSoundCommands.h"
#include "cli/CliCommand.h"
#include "platform/StringTable.h"
#include "soundfont/SoundFontReader.h"
#include "synth/AweSession.h"
#include "synth/CardLimits.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

namespace
{

std::optional<int> ParseNumber(const std::string& text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Number3(int n)
{
    std::string text = std::to_string(n);
    return std::string(text.size() < 3 ? 3 - text.size() : 0, '0') + text;
}

// Arguments checked before the card is touched; a failed check has reported itself.
class CArguments
{
public:
    CArguments(const std::vector<std::string>& arguments, CliContext& cliContext,
               const CliSubcommand& command)
        : args(arguments), context(cliContext), name("card " + command.name), usage(command.usage)
    {
    }
    bool Count(std::size_t expected)
    {
        if (args.size() == expected)
            return true;
        status = CliBadInput(context, name,
                             "expected " + std::to_string(expected) + " argument(s) (usage: " + name +
                                 (usage.empty() ? "" : " ") + usage + ")");
        return false;
    }
    std::optional<int> Number(std::size_t index, const char* what, int low, int high)
    {
        auto value = ParseNumber(args[index], low, high);
        if (!value)
            status = CliBadInput(context, name,
                                 std::string(what) + " must be a number from " + std::to_string(low) +
                                     " to " + std::to_string(high) + ", not \"" + args[index] + "\"");
        return value;
    }
    // A SoundFont preset: its number, or BANK:NUMBER for a preset of a
    // SoundFont 2 or 3 bank other than bank 0 (as "tmb presets" lists them).
    std::optional<int> Preset(std::size_t index)
    {
        const std::string& text = args[index];
        const auto colon = text.find(':');
        const auto bank =
            colon == std::string::npos ? std::optional<int>(0) : ParseNumber(text.substr(0, colon), 0, 128);
        const auto number = ParseNumber(colon == std::string::npos ? text : text.substr(colon + 1), 0,
                                        colon == std::string::npos ? 65535 : 127);
        if (bank && number)
            return static_cast<int>(MakeSourcePreset(*number, *bank));
        status =
            CliBadInput(context, name,
                        "PRESET must be a number from 0 to 65535 or BANK:NUMBER (bank 0 to 128, number 0 "
                        "to 127), not \"" +
                            text + "\"");
        return std::nullopt;
    }
    // The file as an absolute path: the card keeps the name for later.
    std::optional<std::string> File(std::size_t index)
    {
        std::error_code error;
        const auto path = std::filesystem::absolute(args[index], error);
        if (error || !std::filesystem::is_regular_file(path, error))
        {
            status = CliBadInput(context, args[index], "no such file");
            return std::nullopt;
        }
        return path.lexically_normal().string();
    }
    void Bad(const std::string& why) { status = CliBadInput(context, name, why); }
    int Failed(const std::string& why)
    {
        context.err << "tamberly-cli: " << name << ": " << why << '\n';
        return kExitFailure;
    }
    const std::string& Name() const { return name; }
    int status = kExitBadInput;

private:
    const std::vector<std::string>& args;
    CliContext& context;
    std::string name;
    std::string usage;
};

void PrintStatus(CAweSession& card, std::ostream& out)
{
    // One card session for the 16,000 names read below, not one each.
    const CAweBatch batch(card);
    const int mode = card.GetSynthBank();
    static const StringId modeNames[] = {IDS_MODE_GM_VALUE, IDS_MODE_GS_VALUE, IDS_MODE_MT_VALUE};
    out << "Synth mode:   " << mode;
    if (CardLimits::IsSynthMode(mode))
        out << ' ' << LoadString(modeNames[mode]);
    out << " (" << card.GetBankName(0) << ")\n";
    out << "Reverb:       " << card.GetReverb() << '\n';
    out << "Chorus:       " << card.GetChorus() << '\n';
    const int freeKB = card.GetMemoryKB(true);
    out << "Sound memory: " << freeKB << " KB free of " << card.GetMemoryKB(false) << " KB\n";
    // A bank shows when it has a name (a bank file) or holds presets loaded on their own.
    for (int bank = 1; bank <= CardLimits::kLastBank; ++bank)
    {
        const std::string name = card.GetBankName(bank);
        std::vector<std::pair<int, std::string>> slots;
        for (int slot = 0; slot <= CardLimits::kLastSlot; ++slot)
        {
            std::string preset = card.GetPresetName(bank, slot);
            if (!preset.empty())
                slots.emplace_back(slot, std::move(preset));
        }
        if (name.empty() && slots.empty())
            continue;
        out << "Bank " << Number3(bank) << ": " << (name.empty() ? "(no bank file)" : name) << '\n';
        const std::string file = card.GetBankFile(bank);
        if (!file.empty())
            out << "  file: " << file << '\n';
        for (const auto& [slot, preset] : slots)
            out << "  " << Number3(slot) << ' ' << preset << '\n';
    }
}

// Runs one subcommand; prepare checks the arguments and returns the card
// action, or nothing after reporting bad arguments.
using CardAction = std::function<int(CAweSession&, CArguments&, CliContext&)>;
using Preparer = std::function<std::optional<CardAction>(const std::vector<std::string>&, CArguments&)>;

std::optional<CardAction> PrepareStatus(const std::vector<std::string>&, CArguments& check)
{
    if (!check.Count(0))
        return std::nullopt;
    return [](CAweSession& card, CArguments&, CliContext& context)
    {
        PrintStatus(card, context.out);
        return kExitOk;
    };
}

std::optional<CardAction> PrepareMode(const std::vector<std::string>& args, CArguments& check)
{
    if (!check.Count(1))
        return std::nullopt;
    static const std::map<std::string, int> modes = {{"gm", 0}, {"gs", 1}, {"mt", 2}};
    const auto it = modes.find(args[0]);
    if (it == modes.end())
    {
        check.Bad("the mode is gm, gs or mt, not \"" + args[0] + "\"");
        return std::nullopt;
    }
    const int mode = it->second;
    return [mode](CAweSession& card, CArguments& c, CliContext&)
    { return card.SelectSynthBank(mode) ? kExitOk : c.Failed("the card refused the synth mode"); };
}

std::optional<CardAction> PrepareLoadBank(const std::vector<std::string>&, CArguments& check)
{
    if (!check.Count(2))
        return std::nullopt;
    const auto bank = check.Number(0, "BANK", 1, CardLimits::kLastBank);
    const auto file = bank ? check.File(1) : std::nullopt;
    if (!file)
        return std::nullopt;
    return [bank = *bank, file = *file](CAweSession& card, CArguments& c, CliContext&)
    {
        if (card.LoadBank(bank, file))
            return kExitOk;
        // Say why when the file is the reason: the card only answers no.
        CSoundFontReader reader;
        if (!reader.Open(file))
            return c.Failed(file + ": " + reader.GetOpenProblemText());
        return c.Failed("the card refused " + file);
    };
}

std::optional<CardAction> PrepareClear(const std::vector<std::string>&, CArguments& check)
{
    if (!check.Count(1))
        return std::nullopt;
    const auto bank = check.Number(0, "BANK", 1, CardLimits::kLastBank);
    if (!bank)
        return std::nullopt;
    return [bank = *bank](CAweSession& card, CArguments& c, CliContext&)
    { return card.ClearBank(bank) ? kExitOk : c.Failed("the card did not clear the bank"); };
}

std::optional<CardAction> PrepareClearAll(const std::vector<std::string>&, CArguments& check)
{
    if (!check.Count(0))
        return std::nullopt;
    return [](CAweSession& card, CArguments& c, CliContext&)
    { return card.ClearAllBanks() ? kExitOk : c.Failed("the card did not clear every bank"); };
}

std::optional<CardAction> PrepareLoadPreset(const std::vector<std::string>& args, CArguments& check)
{
    if (!check.Count(4))
        return std::nullopt;
    const auto bank = check.Number(0, "BANK", 0, CardLimits::kLastBank);
    const auto slot = bank ? check.Number(1, "SLOT", 0, CardLimits::kLastSlot) : std::nullopt;
    const auto file = slot ? check.File(2) : std::nullopt;
    const auto preset = file ? check.Preset(3) : std::nullopt;
    if (!preset)
        return std::nullopt;
    return [bank = *bank, slot = *slot, file = *file, preset = *preset,
            presetText = args[3]](CAweSession& card, CArguments& c, CliContext& context)
    {
        int usedKB = 0;
        if (!card.LoadPreset(bank, slot, file, preset, &usedKB))
        {
            CSoundFontReader reader;
            if (!reader.Open(file))
                return c.Failed(file + ": " + reader.GetOpenProblemText());
            return c.Failed("the card refused preset " + presetText + " of " + file);
        }
        context.out << Number3(bank) << ':' << Number3(slot) << " loaded, " << usedKB << " KB\n";
        return kExitOk;
    };
}

std::optional<CardAction> PrepareRevert(const std::vector<std::string>&, CArguments& check)
{
    if (!check.Count(2))
        return std::nullopt;
    const auto bank = check.Number(0, "BANK", 0, CardLimits::kLastBank);
    const auto slot = bank ? check.Number(1, "SLOT", 0, CardLimits::kLastSlot) : std::nullopt;
    if (!slot)
        return std::nullopt;
    return [bank = *bank, slot = *slot](CAweSession& card, CArguments& c, CliContext&)
    { return card.RevertPreset(bank, slot) ? kExitOk : c.Failed("the card did not revert the slot"); };
}

std::optional<CardAction> PrepareFx(const std::vector<std::string>&, CArguments& check)
{
    if (!check.Count(2))
        return std::nullopt;
    const auto reverb = check.Number(0, "REVERB", 0, CardLimits::kLastEffect);
    const auto chorus = reverb ? check.Number(1, "CHORUS", 0, CardLimits::kLastEffect) : std::nullopt;
    if (!chorus)
        return std::nullopt;
    return [reverb = *reverb, chorus = *chorus](CAweSession& card, CArguments& c, CliContext&)
    {
        if (!card.SetReverb(reverb))
            return c.Failed("the card refused the reverb type");
        return card.SetChorus(chorus) ? kExitOk : c.Failed("the card refused the chorus type");
    };
}

// The subcommands in the manual page's order, with its texts.
struct CardSubcommand
{
    CliSubcommand help;
    Preparer prepare; // none for render and play, which sound from the card's state on disk
};

const std::vector<CardSubcommand>& Subcommands()
{
    static const std::vector<CardSubcommand> table = {
        {{"status", "",
          "Print the synth mode, the reverb and chorus types, the free and total sound memory, and every "
          "user "
          "bank that holds a bank file or presets loaded on their own."},
         PrepareStatus},
        {{"mode", "gm|gs|mt", "Switch the synth bank to General MIDI, Roland GS or MT-32."}, PrepareMode},
        {{"load-bank", "BANK FILE", "Load a whole SoundFont bank file into user bank BANK (1 to 127)."},
         PrepareLoadBank},
        {{"clear", "BANK", "Empty user bank BANK (1 to 127)."}, PrepareClear},
        {{"clear-all", "", "Empty user banks 1 to 127."}, PrepareClearAll},
        {{"load-preset", "BANK SLOT FILE PRESET",
          "Load preset number PRESET of a SoundFont file into BANK:SLOT (0 to 127 each) and print the memory "
          "it took. A preset of a SoundFont 2 or 3 bank other than bank 0 is named BANK:NUMBER, as tmb "
          "presets lists it."},
         PrepareLoadPreset},
        {{"revert", "BANK SLOT", "Put back in the slot what the bank's registered file holds, or empty it."},
         PrepareRevert},
        {{"fx", "REVERB CHORUS", "Set the reverb and chorus types (0 to 7 each)."}, PrepareFx},
        {{"render", kCardRenderUsage,
          "Render what the card plays for the given notes (key numbers 0 to 127, held for S seconds, default "
          "2, "
          "at most 600; velocity 1 to 127, default 100) into a 16-bit stereo wave file. With --midi, render "
          "a MIDI file through the card instead, to its end or for its first S seconds, faster than real "
          "time; OUT.flac writes FLAC."},
         nullptr},
        {{"play", kCardPlayUsage,
          "Play the same notes as card render through the sound device, then let them ring for a moment."},
         nullptr},
        {{"play-midi", kCardPlayMidiUsage,
          "Play a MIDI file through the card on the sound device; Ctrl+C stops it (all notes off, exit "
          "status 130)."},
         nullptr},
    };
    return table;
}

std::vector<CliSubcommand> SubcommandHelp()
{
    std::vector<CliSubcommand> help;
    for (const CardSubcommand& sub : Subcommands())
        help.push_back(sub.help);
    return help;
}

int RunCard(const std::vector<std::string>& args, CliContext& context)
{
    const auto bad = [&](const std::string& what, const std::string& why)
    { return CliBadInput(context, what, why + " (usage: card " + CliGroupUsage(SubcommandHelp()) + ")"); };
    if (args.empty())
        return bad("card", "missing subcommand");
    const auto& table = Subcommands();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const CardSubcommand& sub) { return sub.help.name == args[0]; });
    if (it == table.end())
        return bad("card " + args[0], "unknown subcommand");

    const std::vector<std::string> rest(args.begin() + 1, args.end());
    // The card's sound is played from its state on disk, not through the manager.
    if (!it->prepare)
    {
        if (args[0] == "play-midi")
            return RunCardPlayMidi(rest, context);
        return args[0] == "render" ? RunCardRender(rest, context) : RunCardPlay(rest, context);
    }
    CArguments check(rest, context, it->help);
    const auto action = it->prepare(rest, check);
    if (!action)
        return check.status;

    CAweSession card;
    if (!card.IsAvailable())
        return CliBadInput(context, "card", LoadString(IDS_AWE_NOT_AVAILABLE));
    return (*action)(card, check, context);
}

const bool registered = RegisterCliCommand({"card", "",
                                            "drive the card: show its state, switch the synth mode and "
                                            "effects, load and clear banks and presets, hear it",
                                            RunCard, "", SubcommandHelp()});
} // namespace
