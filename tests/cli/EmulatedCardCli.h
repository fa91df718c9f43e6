#pragma once
// A fixture for tamberly-cli against the emulated card it finds beside
// itself, with a card of the test's own.

#include "support/CliRunner.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"

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

    // A bank named "Orchestra" in the test's folder: Violin on preset 0 with
    // 1 KB of samples, Cello on preset 5 with 8 KB. Its full path.
    std::string WriteOrchestra(const std::string& name)
    {
        SoundFontBuilder bank;
        bank.Info("INAM", "Orchestra").SampleData(64 * 1024);
        const int violin = bank.AddSample(0, 1024);
        const int cello = bank.AddSample(1024, 1024 + 8192);
        bank.AddPreset("Violin", 0, 0, {bank.AddInstrument("Violin", {violin})});
        bank.AddPreset("Cello", 5, 0, {bank.AddInstrument("Cello", {cello})});
        return dir.Write(name, bank.Build());
    }

    TempDir dir;
    std::string out;
    std::string err;
};
