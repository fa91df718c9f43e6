#pragma once
// What tamberly-cli's help lists, read back for the tests: the commands of
// "tamberly-cli --help" and the subcommands of a group's "GROUP --help".

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace cli_help
{
using Lines = std::vector<std::string>;

inline Lines SplitLines(const std::string& text)
{
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs of white space as one space, none at either end: the page and the
// help break their lines in different places.
inline std::string Normalized(const std::string& text)
{
    std::istringstream words(text);
    std::string out;
    for (std::string word; words >> word;)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

inline std::string FirstWord(const std::string& text)
{
    const std::string normal = Normalized(text);
    return normal.substr(0, normal.find(' '));
}

inline bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

inline std::size_t Indent(const std::string& line)
{
    return line.find_first_not_of(' ') == std::string::npos ? line.size() : line.find_first_not_of(' ');
}

// The commands "tamberly-cli --help" lists: "  NAME USAGE" lines, each
// followed by its summary.
inline Lines ListedCommands()
{
    const CliRun help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    Lines names;
    for (const std::string& line : SplitLines(help.out))
        if (Indent(line) == 2 && line.size() > 2 && line[2] >= 'a' && line[2] <= 'z')
            names.push_back(FirstWord(line));
    return names;
}

// The subcommands a group's help lists: "  GROUP NAME USAGE" lines.
inline Lines ListedSubcommands(const std::string& group, const std::string& help)
{
    Lines names;
    for (const std::string& line : SplitLines(help))
        if (Indent(line) == 2 && StartsWith(line, "  " + group + ' '))
            names.push_back(FirstWord(line.substr(group.size() + 3)));
    return names;
}

inline bool IsGroup(const std::string& help)
{
    return help.find("\nSubcommands:\n") != std::string::npos;
}
} // namespace cli_help
