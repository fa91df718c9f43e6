// The runner the command-line tests start programs with: what it hands the
// child arrives unchanged, and what the child writes comes back in full.

#include "support/CliRunner.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

TEST(CliRunner, ArgumentsArriveAsTheyAreWithoutAShell)
{
    const CliRun run = RunCli({"[%s]\n", "two words", "it's", "$HOME", "*", "", "a\nb", "\"q\""},
                              {.program = "/usr/bin/printf"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "[two words]\n[it's]\n[$HOME]\n[*]\n[]\n[a\nb]\n[\"q\"]\n");
    EXPECT_EQ(run.err, "");
}

TEST(CliRunner, EnvironmentWorkingFolderAndStatus)
{
    ::setenv("TAMBERLY_RUNNER_INHERITED", "kept", 1);
    ::setenv("TAMBERLY_RUNNER_GONE", "here", 1);
    const CliRun env = RunCli({}, {.env = {{"TAMBERLY_RUNNER_SET", "a b=c"},
                                           {"TAMBERLY_RUNNER_INHERITED", "changed"},
                                           {"TAMBERLY_RUNNER_GONE", ""}},
                                   .program = "/usr/bin/env"});
    ::unsetenv("TAMBERLY_RUNNER_INHERITED");
    ::unsetenv("TAMBERLY_RUNNER_GONE");
    EXPECT_EQ(env.status, 0) << env.err;
    EXPECT_NE(env.out.find("\nTAMBERLY_RUNNER_SET=a b=c\n"), std::string::npos) << env.out;
    EXPECT_NE(env.out.find("\nTAMBERLY_RUNNER_INHERITED=changed\n"), std::string::npos) << env.out;
    EXPECT_EQ(env.out.find("TAMBERLY_RUNNER_INHERITED=kept"), std::string::npos) << env.out;
    EXPECT_EQ(env.out.find("TAMBERLY_RUNNER_GONE"), std::string::npos) << env.out;

    TempDir dir;
    const CliRun pwd = RunCli({"-P"}, {.workDir = dir.Path(), .program = "/usr/bin/pwd"});
    EXPECT_EQ(pwd.out, std::filesystem::canonical(dir.Path()).string() + "\n");

    // Standard error apart from the output, and the exit status as the program gave it.
    const CliRun missing = RunCli({dir.File("missing")}, {.program = "/usr/bin/cat"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("missing"), std::string::npos);

    EXPECT_EQ(RunCli({}, {.program = dir.File("no-such-program")}).status, 127);
    EXPECT_EQ(RunCli({}, {.workDir = dir.File("no-such-folder"), .program = "/usr/bin/true"}).status, 127);
}

TEST(CliRunner, InputAndOutputBeyondAPipeBufferDoNotStall)
{
    std::string text;
    for (int line = 0; text.size() < 3 * 1024 * 1024; ++line)
        text += "line " + std::to_string(line) + '\n';
    const CliRun echoed = RunCli({}, {.stdinText = text, .program = "/usr/bin/cat"});
    EXPECT_EQ(echoed.status, 0);
    EXPECT_EQ(echoed.out.size(), text.size());
    EXPECT_TRUE(echoed.out == text);

    // A child that never reads its input neither hangs the runner nor ends it with SIGPIPE.
    const CliRun ignored = RunCli({}, {.stdinText = text, .program = "/usr/bin/true"});
    EXPECT_EQ(ignored.status, 0);
    EXPECT_EQ(ignored.out, "");
}
