// "tamberly-cli COMMAND --help" for every command, group and subcommand that
// "tamberly-cli --help" lists, and the manual page tamberly-cli(1) describing
// each of them in the same words.

#include "cli/CliHelpListing.h"
#include "cli/RecordingCardCli.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace cli_help;

const std::string kUsageLead = "Usage: tamberly-cli ";

// The entries of the page's COMMANDS section, each the command's words, its
// arguments and its paragraph as one normalized text ("info FILE.sbk Print
// the INFO texts ..."), formatted by man as a reader sees them.
Lines ManualCommands()
{
    const CliRun man =
        RunCli({"-E", "ascii", "-l", TAMBERLY_SOURCE_DIR "/man/tamberly-cli.1"},
               {.env = {{"MANWIDTH", "1000"}, {"MAN_KEEP_FORMATTING", ""}}, .program = "/usr/bin/man"});
    EXPECT_EQ(man.status, 0) << man.err;
    Lines entries;
    bool inCommands = false;
    for (const std::string& line : SplitLines(man.out))
    {
        if (!line.empty() && line[0] != ' ')
        {
            inCommands = line == "COMMANDS";
            continue;
        }
        if (!inCommands || Normalized(line).empty())
            continue;
        if (Indent(line) <= 7) // a tag line: a new entry
            entries.push_back(Normalized(line));
        else if (!entries.empty())
            entries.back() = Normalized(entries.back() + ' ' + line);
    }
    return entries;
}

// "card load-bank BANK FILE Load a whole ...": what a command's own help
// says, as the page's entry for it would read.
std::string HelpAsEntry(const CliRun& run)
{
    const std::string normal = Normalized(run.out);
    return StartsWith(normal, kUsageLead) ? normal.substr(kUsageLead.size()) : "(no usage line) " + normal;
}
} // namespace

TEST(CliHelp, TheCommandListNamesEveryCommand)
{
    const Lines names = ListedCommands();
    EXPECT_EQ(names, (Lines{"card", "info", "sbk2sf2", "tmb", "wav-options", "wav2sbk"}));
    const CliRun help = RunCli({"--help"});
    EXPECT_NE(help.out.find("COMMAND --help"), std::string::npos) << help.out;
}

TEST(CliHelp, EveryCommandAndSubcommandHasItsOwnHelp)
{
    for (const std::string& name : ListedCommands())
    {
        for (const char* option : {"--help", "-h"})
        {
            const CliRun run = RunCli({name, option});
            EXPECT_EQ(run.status, 0) << name << ' ' << option << ": " << run.err;
            EXPECT_EQ(run.err, "") << name;
            EXPECT_TRUE(StartsWith(run.out, kUsageLead + name)) << run.out;
        }
        const CliRun group = RunCli({name, "--help"});
        if (!IsGroup(group.out))
            continue;
        const Lines subcommands = ListedSubcommands(name, group.out);
        EXPECT_GE(subcommands.size(), 2u) << group.out;
        for (const std::string& sub : subcommands)
        {
            const CliRun run = RunCli({name, sub, "--help"});
            EXPECT_EQ(run.status, 0) << name << ' ' << sub << ": " << run.err;
            EXPECT_EQ(run.err, "");
            EXPECT_TRUE(StartsWith(run.out, kUsageLead + name + ' ' + sub)) << run.out;
            EXPECT_FALSE(IsGroup(run.out)) << run.out;
            // The help asked for after other arguments is the same.
            EXPECT_EQ(RunCli({name, sub, "x", "-h"}).out, run.out) << name << ' ' << sub;
        }
    }
}

TEST(CliHelp, AGroupsHelpListsTheSubcommandsOfItsUsage)
{
    // "  card status | mode gm|gs|mt | ...": the alternatives of the command list.
    const CliRun help = RunCli({"--help"});
    for (const std::string& line : SplitLines(help.out))
    {
        if (Indent(line) != 2 || line.find(" | ") == std::string::npos)
            continue;
        const std::string name = FirstWord(line);
        Lines alternatives;
        std::string rest = line.substr(2 + name.size());
        for (std::size_t from = 0; from <= rest.size();)
        {
            const std::size_t bar = std::min(rest.find(" | ", from), rest.size());
            alternatives.push_back(FirstWord(rest.substr(from, bar - from)));
            from = bar + 3;
        }
        const CliRun group = RunCli({name, "--help"});
        EXPECT_TRUE(IsGroup(group.out)) << group.out;
        EXPECT_EQ(ListedSubcommands(name, group.out), alternatives) << name;
    }
}

TEST(CliHelp, TheManualPageDescribesEveryCommandInTheHelpsWords)
{
    const Lines manual = ManualCommands();
    ASSERT_GE(manual.size(), 10u) << "the page's COMMANDS section was not found";
    std::set<std::string> described;
    for (const std::string& name : ListedCommands())
    {
        const CliRun help = RunCli({name, "--help"});
        Lines commands;
        if (IsGroup(help.out))
            for (const std::string& sub : ListedSubcommands(name, help.out))
                commands.push_back(name + ' ' + sub);
        else
            commands.push_back(name);
        for (const std::string& command : commands)
        {
            std::istringstream words(command);
            Lines args;
            for (std::string word; words >> word;)
                args.push_back(word);
            args.push_back("--help");
            const std::string entry = HelpAsEntry(RunCli(args));
            EXPECT_NE(std::find(manual.begin(), manual.end(), entry), manual.end())
                << "tamberly-cli.1 has no entry that reads as " << command << " --help does:\n  " << entry;
            described.insert(entry);
        }
    }
    // Nor does the page describe a command the program lacks.
    for (const std::string& entry : manual)
        EXPECT_TRUE(described.count(entry)) << "tamberly-cli.1 describes what no --help gives:\n  " << entry;
}

TEST(CliHelp, AnUnknownSubcommandIsBadInput)
{
    for (const Lines& args : {Lines{"card", "bogus", "--help"}, Lines{"tmb", "dump", "-h"}})
    {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2) << args[1];
        EXPECT_NE(run.err.find("unknown subcommand"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST(CliHelp, LongLinesAreBrokenForATerminal)
{
    const CliRun run = RunCli({"card", "render", "--help"});
    for (const std::string& line : SplitLines(run.out))
        EXPECT_LE(line.size(), 79u) << line;
}

// Asking for help runs nothing: neither the card nor the files are touched.
class CliHelpCardTest : public RecordingCardCli
{
};

TEST_F(CliHelpCardTest, HelpLeavesTheCardAndTheFilesAlone)
{
    for (const Lines& args :
         {Lines{"card", "clear-all", "--help"}, Lines{"card", "--help"}, Lines{"card", "mode", "gs", "-h"},
          Lines{"tmb", "load", "x.tmb", "--help"}, Lines{"sbk2sf2", "in.sbk", "out.sf2", "--help"}})
    {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.File("log.txt"))) << args[1] << ": the card was opened";
        EXPECT_FALSE(std::filesystem::exists(dir.File("out.sf2")));
    }
}
