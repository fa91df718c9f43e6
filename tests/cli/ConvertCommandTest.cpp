#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"
#include "support/CliRunner.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace
{
CliRun Sbk2Sf2(const std::vector<std::string>& args)
{
    std::vector<std::string> all{"sbk2sf2"};
    all.insert(all.end(), args.begin(), args.end());
    return RunCli(all);
}

Bytes SmallBank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Small").SampleData(3000);
    bank.AddSample(0, 700);
    bank.AddPreset("Piano", 0, 0, {bank.AddInstrument("Piano", {0})});
    return bank.Build();
}

std::size_t FilesIn(const TempDir& dir)
{
    std::filesystem::directory_iterator entries(dir.Path());
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}
} // namespace

TEST(Sbk2Sf2Command, WritesWhatTheConverterMakes)
{
    TempDir dir;
    const Bytes sbk = SmallBank();
    const std::string in = dir.Write("small.sbk", sbk);
    const CliRun run = Sbk2Sf2({in, dir.File("small.sf2")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    CMemorySource source(sbk);
    Bytes expected;
    ASSERT_TRUE(CSoundFont2Converter().ConvertBank(source, expected));
    EXPECT_EQ(ReadFileBytes(dir.File("small.sf2")), expected);
}

TEST(Sbk2Sf2Command, BadInputIsOneLineAndStatus2)
{
    TempDir dir;
    const Bytes sbk = SmallBank();
    const std::string cut = dir.Write("cut.sbk", Bytes(sbk.begin(), sbk.end() - 20));
    const std::string sf2 = dir.Write("out.sf2", {'o', 'l', 'd'});

    CliRun run = Sbk2Sf2({cut, sf2});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "tamberly-cli: " + cut + ": not a SoundFont bank (no \"shdr\" chunk in the \"pdta\" list)\n");
    EXPECT_EQ(ReadFileBytes(sf2), Bytes({'o', 'l', 'd'})); // untouched, nothing left beside it
    EXPECT_EQ(FilesIn(dir), 2u);

    run = Sbk2Sf2({dir.File("missing.sbk"), sf2});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tamberly-cli: " + dir.File("missing.sbk") + ": cannot open (no such file)\n");

    run = Sbk2Sf2({dir.Path(), sf2});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tamberly-cli: " + dir.Path() + ": cannot open (is a directory)\n");

    run = Sbk2Sf2({cut});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tamberly-cli: sbk2sf2: expects two arguments: IN.sbk OUT.sf2\n");

    // An output that cannot be written is a failure of the run, not of the input.
    const std::string good = dir.Write("good.sbk", sbk);
    run = Sbk2Sf2({good, dir.File("no/such/folder/out.sf2")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("tamberly-cli: " + dir.File("no/such/folder/out.sf2") + ": cannot write", 0), 0u)
        << run.err;
    EXPECT_EQ(ReadFileBytes(sf2), Bytes({'o', 'l', 'd'}));
}
