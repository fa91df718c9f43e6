// "tamberly-cli COMMAND --help": every command's usage from what it
// registered, the same way for single commands, groups and subcommands.

#include "cli/CliCommand.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace
{
constexpr std::size_t kWidth = 79;

bool IsHelpOption(const std::string& word)
{
    return word == "--help" || word == "-h";
}

// text broken into lines of at most kWidth columns where it can be: the first
// line starts with first, the others with the indent.
void PrintWrapped(std::ostream& out, const std::string& first, const std::string& text, std::size_t indent)
{
    std::istringstream words(text);
    std::string line = first;
    bool empty = first.empty() || first.back() == ' ';
    for (std::string word; words >> word;)
    {
        if (!empty && line.size() + 1 + word.size() > kWidth)
        {
            out << line << '\n';
            line.assign(indent, ' ');
            empty = true;
        }
        if (!empty)
            line += ' ';
        line += word;
        empty = false;
    }
    out << line << '\n';
}

std::string Joined(const std::string& name, const std::string& usage)
{
    return usage.empty() ? name : name + ' ' + usage;
}

std::string Sentence(std::string text)
{
    if (!text.empty())
    {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        if (text.back() != '.')
            text += '.';
    }
    return text;
}

void PrintUsage(std::ostream& out, const std::string& words, const std::string& usage,
                const std::string& description)
{
    const std::string lead = "Usage: tamberly-cli ";
    PrintWrapped(out, lead + words, usage, lead.size());
    PrintWrapped(out, "", description, 0);
}

void PrintGroup(std::ostream& out, const CliCommand& group)
{
    PrintUsage(out, group.name, "SUBCOMMAND [ARGUMENTS]", Sentence(group.summary));
    out << "\nSubcommands:\n";
    for (const CliSubcommand& sub : group.subcommands)
    {
        PrintWrapped(out, "  " + group.name + ' ' + sub.name, sub.usage, 6);
        PrintWrapped(out, "      ", sub.description, 6);
    }
    out << "\n\"tamberly-cli " << group.name << " SUBCOMMAND --help\" shows one subcommand's usage.\n";
}
} // namespace

std::string CliGroupUsage(const std::vector<CliSubcommand>& subcommands)
{
    std::string usage;
    for (const CliSubcommand& sub : subcommands)
        usage += (usage.empty() ? "" : " | ") + Joined(sub.name, sub.usage);
    return usage;
}

std::optional<int> CliCommandHelp(const CliCommand& command, const std::vector<std::string>& args,
                                  CliContext& context)
{
    const auto asked = std::find_if(args.begin(), args.end(), IsHelpOption);
    if (asked == args.end())
        return std::nullopt;
    if (command.subcommands.empty())
    {
        PrintUsage(context.out, command.name, command.usage,
                   command.description.empty() ? Sentence(command.summary) : command.description);
    }
    else if (asked == args.begin())
    {
        PrintGroup(context.out, command);
    }
    else
    {
        const auto sub = std::find_if(command.subcommands.begin(), command.subcommands.end(),
                                      [&](const CliSubcommand& s) { return s.name == args[0]; });
        if (sub == command.subcommands.end())
            return CliBadInput(context, command.name + ' ' + args[0],
                               "unknown subcommand (see tamberly-cli " + command.name + " --help)");
        PrintUsage(context.out, command.name + ' ' + sub->name, sub->usage, sub->description);
    }
    context.out.flush();
    return context.out ? kExitOk : kExitFailure;
}
