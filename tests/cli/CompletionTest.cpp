// The bash completion of tamberly-cli (res/completion/tamberly-cli), sourced
// in bash after bash-completion's own functions as an interactive shell has
// them: commands, subcommands and options as the help lists them, and files
// of the types each argument takes.

#include "cli/CliHelpListing.h"
#include "support/CliRunner.h"
#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using namespace cli_help;

const char* const kBashCompletion = "/usr/share/bash-completion/bash_completion";

// Completes the last of words (the word being typed) for "tamberly-cli
// words...", in folder, and returns the candidates sorted.
Lines Complete(const Lines& words, const std::string& folder)
{
    const std::string script = R"(
source "$1" || exit 3
source "$2" || exit 4
shift 2
function=$(complete -p tamberly-cli | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
[[ -n $function ]] || exit 5
COMP_WORDS=("$@")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE="${COMP_WORDS[*]}"
COMP_POINT=${#COMP_LINE}
COMPREPLY=()
"$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
((${#COMPREPLY[@]} == 0)) || printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
)";
    Lines args = {"-c",
                  script,
                  "bash",
                  kBashCompletion,
                  TAMBERLY_SOURCE_DIR "/res/completion/tamberly-cli",
                  TAMBERLY_BIN_DIR "/tamberly-cli"};
    args.insert(args.end(), words.begin(), words.end());
    const CliRun run = RunCli(args, {.workDir = folder, .program = "/bin/bash"});
    EXPECT_EQ(run.status, 0) << ::testing::PrintToString(words) << ": " << run.err;
    return SplitLines(run.out);
}

Lines Sorted(Lines lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

class CompletionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(kBashCompletion))
            << "bash-completion is not installed (scripts/bootstrap installs it)";
        for (const char* name : {"a.sbk", "B.SBK", "c.wav", "d.tmb", "e.shb", "f.sf2", "g.txt", "h.mid",
                                 "i.KAR", "j.flac", "k.SF3"})
            dir.Write(name, Bytes{'x'});
        std::filesystem::create_directory(dir.File("sub"));
    }

    Lines Complete(const Lines& words) { return ::Complete(words, dir.Path()); }

    TempDir dir;
};
} // namespace

TEST_F(CompletionTest, TheFirstWordIsACommand)
{
    EXPECT_EQ(Complete({"ca"}), Lines{"card"});
    EXPECT_EQ(Complete({"wav"}), (Lines{"wav-options", "wav2sbk"}));
    EXPECT_EQ(Complete({"--"}), (Lines{"--help", "--version"}));
    // Every command the help lists, and nothing else.
    EXPECT_EQ(Complete({""}), Sorted(ListedCommands()));
}

TEST_F(CompletionTest, AGroupsSecondWordIsOneOfItsSubcommands)
{
    for (const char* group : {"card", "tmb"})
    {
        const CliRun help = RunCli({group, "--help"});
        EXPECT_EQ(Complete({group, ""}), Sorted(ListedSubcommands(group, help.out))) << group;
        EXPECT_EQ(Complete({group, "--h"}), Lines{"--help"}) << group;
    }
    EXPECT_EQ(Complete({"card", "load-"}), (Lines{"load-bank", "load-preset"}));
    EXPECT_EQ(Complete({"card", "mode", ""}), (Lines{"gm", "gs", "mt"}));
}

TEST_F(CompletionTest, FileArgumentsOfferFilesOfTheirTypeAndFolders)
{
    const Lines banks = {"B.SBK", "a.sbk", "sub"};
    // Commands that read any version of SoundFont offer all three kinds.
    const Lines allBanks = {"B.SBK", "a.sbk", "f.sf2", "k.SF3", "sub"};
    EXPECT_EQ(Complete({"info", ""}), allBanks);
    EXPECT_EQ(Complete({"sbk2sf2", ""}), banks);
    EXPECT_EQ(Complete({"sbk2sf2", "a.sbk", ""}), (Lines{"f.sf2", "sub"}));
    EXPECT_EQ(Complete({"wav-options", ""}), (Lines{"c.wav", "j.flac", "sub"}));
    EXPECT_EQ(Complete({"wav2sbk", ""}), (Lines{"c.wav", "j.flac", "sub"}));
    EXPECT_EQ(Complete({"wav2sbk", "c.wav", "4", ""}), banks);
    EXPECT_EQ(Complete({"tmb", "show", ""}), (Lines{"d.tmb", "e.shb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "check", ""}), (Lines{"d.tmb", "e.shb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "relink", ""}), (Lines{"d.tmb", "sub"}));
    // The options of finding a document's files, and their values.
    EXPECT_EQ(Complete({"tmb", "relink", "d.tmb", "-"}), (Lines{"--help", "--map", "--search", "-o"}));
    EXPECT_EQ(Complete({"tmb", "check", "--search", ""}), Lines{"sub"});
    EXPECT_EQ(Complete({"tmb", "check", "--map", ""}), Lines{});
    EXPECT_EQ(Complete({"tmb", "relink", "d.tmb", "-o", ""}), (Lines{"d.tmb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "load", "--search", "sub", ""}), (Lines{"d.tmb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "load", ""}), (Lines{"d.tmb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "import-shb", ""}), (Lines{"e.shb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "import-shb", "e.shb", ""}), (Lines{"d.tmb", "sub"}));
    EXPECT_EQ(Complete({"tmb", "presets", ""}),
              (Lines{"B.SBK", "a.sbk", "c.wav", "d.tmb", "f.sf2", "j.flac", "k.SF3", "sub"}));
    EXPECT_EQ(Complete({"card", "load-bank", "1", ""}), allBanks);
    EXPECT_EQ(Complete({"card", "load-preset", "1", "0", ""}), allBanks);
    EXPECT_EQ(Complete({"card", "render", ""}), (Lines{"c.wav", "j.flac", "sub"}));
    EXPECT_EQ(Complete({"card", "play-midi", ""}), (Lines{"h.mid", "i.KAR", "sub"}));
    EXPECT_EQ(Complete({"card", "render", "x.wav", "--midi", ""}), (Lines{"h.mid", "i.KAR", "sub"}));
    EXPECT_EQ(Complete({"info", "a"}), Lines{"a.sbk"});
    // No argument past the last a command takes.
    EXPECT_EQ(Complete({"info", "a.sbk", ""}), Lines{});
}

TEST_F(CompletionTest, TheSoundSubcommandsOptions)
{
    const Lines options = {"--bank", "--help", "--notes", "--program", "--seconds", "--velocity"};
    EXPECT_EQ(Complete({"card", "render", "-"}),
              (Lines{"--bank", "--help", "--midi", "--notes", "--program", "--seconds", "--velocity"}));
    EXPECT_EQ(Complete({"card", "play", "--"}), options);
    EXPECT_EQ(Complete({"card", "play-midi", "-"}), Lines{"--help"});
    EXPECT_EQ(Complete({"card", "render", "--bank", ""}), Lines{}) << "a value, not a file";
    // Options and their values do not count as the output file.
    EXPECT_EQ(Complete({"card", "render", "--bank", "1", "--notes", "60", ""}),
              (Lines{"c.wav", "j.flac", "sub"}));
    EXPECT_EQ(Complete({"card", "render", "x.wav", "--bank", "1", ""}), Lines{});
    EXPECT_EQ(Complete({"card", "render", "--midi", "h.mid", ""}), (Lines{"c.wav", "j.flac", "sub"}));
    EXPECT_EQ(Complete({"info", "-"}), Lines{"--help"});
}

TEST_F(CompletionTest, NumbersComeFromTheFileTheyBelongTo)
{
    // The preset numbers of the bank named before, as "tamberly-cli info" lists them.
    SoundFontBuilder bank;
    bank.Info("INAM", "Numbers").Info("ICRD", "1996");
    bank.SampleData(1000);
    const int sample = bank.AddSample(0, 500);
    const int lead = bank.AddInstrument("Lead", {sample});
    bank.AddPreset("Lead", 80, 0, {lead});
    bank.AddPreset("Pad", 7, 0, {lead});
    bank.WriteFile(dir.File("numbers.sbk"));
    EXPECT_EQ(Complete({"card", "load-preset", "1", "0", "numbers.sbk", ""}), (Lines{"7", "80"}));
    EXPECT_EQ(Complete({"card", "load-preset", "1", "0", "'numbers.sbk'", "8"}), Lines{"80"});
    EXPECT_EQ(Complete({"card", "load-preset", "1", "0", "missing.sbk", ""}), Lines{});

    // The conversion options a wave file offers, as "tamberly-cli wav-options" lists them.
    dir.Write("tone.wav", WaveBuilder()
                              .Channels(1)
                              .Rate(22050)
                              .Frames(2000, [](std::size_t f, unsigned) { return int(f % 100); })
                              .Build());
    Lines offered;
    for (const std::string& line : SplitLines(RunCli({"wav-options", dir.File("tone.wav")}).out))
        offered.push_back(line.substr(0, line.find('\t')));
    ASSERT_FALSE(offered.empty());
    EXPECT_EQ(Complete({"wav2sbk", "tone.wav", ""}), Sorted(offered));
}
