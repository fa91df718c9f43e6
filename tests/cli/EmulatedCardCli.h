#pragma once
// A fixture for tamberly-cli against the emulated card it finds beside
// itself, with a card of the test's own.

#include "support/CliRunner.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class EmulatedCardCli : public ::testing::Test
{
protected:
    // Runs tamberly-cli in the test's folder, where relative names (such as
    // those a Soundshelf file gives its banks) are found; the exit status,
    // with what it wrote in out and err.
    int Cli(const std::vector<std::string>& args)
    {
        const CliRun run =
            RunCli(args, {.env = {{"TAMBERLY_CARD_HOME", dir.File("card home")}, {"TAMBERLY_AWEMAN", ""}},
                          .workDir = dir.Path()});
        out = run.out;
        err = run.err;
        return run.status;
    }

    TempDir dir;
    std::string out;
    std::string err;
};
