#pragma once
// A fixture for tamberly-cli with the recording card manager library as the
// card: the test scripts the card's answers and reads back the commands the
// card got. The program runs in the test's folder with the card home "home".

#include "platform/AtomicFile.h"
#include "platform/RegistryStore.h"
#include "support/CliRunner.h"
#include "support/RiffBuilder.h"
#include "synth/AweManager.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

class RecordingCardCli : public ::testing::Test
{
protected:
    using Lines = std::vector<std::string>;

    // A card driver registered with the General MIDI synth bank and these
    // user bank files (bank number to path).
    explicit RecordingCardCli(const std::vector<std::pair<int, std::string>>& userBanks = {})
    {
        CRegistryStore(dir.File("home"))
            .Update(
                [&](CRegistryStore::Tree& tree)
                {
                    tree.SetValue(std::string(kMidiDriversKey) + "\\sbawe32.drv<0000>", "SOFTWAREKEY",
                                  "Software\\Card");
                    tree.SetValue("Software\\Card\\Settings", "Synthesizer", "0");
                    tree.SetValue("Software\\Card\\Settings", "GM", "/banks/gm.sbk");
                    for (const auto& [bank, path] : userBanks)
                    {
                        char name[8];
                        std::snprintf(name, sizeof name, "B%03d", bank);
                        tree.SetValue("Software\\Card\\Settings\\UserBank", name, path);
                    }
                });
    }

    // A line of the recorder's script: "script|default CODE RESULT VALUE1 VALUE2 NAME".
    void Script(const std::string& line) { script += line + '\n'; }

    // An empty library leaves the program to find its own.
    CliRun Cli(const Lines& args, const std::string& library = TAMBERLY_RECORDER_PATH,
               const std::string& program = {})
    {
        std::ofstream(dir.File("script.txt")) << script;
        std::remove(dir.File("log.txt").c_str());
        return RunCli(args, {.env = {{"TAMBERLY_AWEMAN", library},
                                     {"TAMBERLY_CARD_HOME", "home"},
                                     {"TAMBERLY_RECORDER_SCRIPT", "script.txt"},
                                     {"TAMBERLY_RECORDER_LOG", "log.txt"}},
                             .workDir = dir.Path(),
                             .program = program});
    }

    // The commands the card got that start with prefix, without the open and
    // close around each.
    Lines Commands(const std::string& prefix = "")
    {
        std::string log;
        ReadWholeFile(dir.File("log.txt"), log);
        Lines lines;
        std::istringstream in(log);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("901 ", 0) != 0 && line.rfind("902 ", 0) != 0 && line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        return lines;
    }

    TempDir dir;
    std::string script;
};
