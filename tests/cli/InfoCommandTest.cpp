#include "support/CliRunner.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
SoundFontBuilder FixtureBank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Fixture Bank").Info("IENG", "Tab\there").Info("ICMT", "Line one\nLine two \\ end");
    bank.Info("IPRD", "AWE32");
    bank.SampleData(4000);
    const int a = bank.AddSample(0, 1000);
    const int b = bank.AddSample(1000, 1500);
    const int c = bank.AddSample(1500, 4100); // its end is not below the 4000 bytes: no bytes
    const int lead = bank.AddInstrument("Lead", {a, b});
    const int kit = bank.AddInstrument("Kit", {b, c});
    bank.AddPreset("Lead Synth   ", 80, 0, {lead});
    bank.AddPreset("Fl\xf6te", 73, 2, {lead, kit, lead});
    bank.AddPreset("Standard", 0, 128, {kit});
    return bank;
}
} // namespace

TEST(InfoCommand, PrintsTextsAndPresetsOfABank)
{
    TempDir dir;
    const std::string path = dir.File("fixture.sbk");
    FixtureBank().WriteFile(path);

    const CliRun run = RunCli({"info", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "Name:\tFixture Bank\n"
                       "Engineer:\tTab\\there\n"
                       "Created:\t\n"
                       "Copyright:\t\n"
                       "Comment:\tLine one\\nLine two \\\\ end\n"
                       "Product:\tAWE32\n"
                       "Version:\t1.00\n"
                       "Index\tPreset\tBank\tName\tSamples\tBytes\n"
                       "0\t80\t0\tLead Synth\t2\t3000\n"
                       "1\t73\t2\tFl\\xf6te\t4\t4000\n"
                       "2\t0\t128\tDrum Patch 1\t2\t1000\n");
}

TEST(InfoCommand, RefusesWhatIsNoBank)
{
    TempDir dir;
    struct Case
    {
        std::string path;
        std::string why;
    };
    const std::vector<Case> cases = {
        {dir.Write("text.sbk", TextZ("just some text")), "not a SoundFont bank (no RIFF \"sfbk\" form)"},
        {dir.Write("empty.sbk", {}), "not a SoundFont bank (no RIFF \"sfbk\" form)"},
        {dir.Write("nopbag.sbk", FixtureBank().Drop("pbag").Build()),
         "not a SoundFont bank (no \"pbag\" chunk in the \"pdta\" list)"},
        {dir.Write("nopdta.sbk", FixtureBank().Drop("pdta").Build()),
         "not a SoundFont bank (no \"pdta\" list)"},
        {dir.Write("cut.sbk", FixtureBank().ClaimSize("shdr", 1000).Build()),
         "not a SoundFont bank (\"shdr\" chunk cut short)"},
        {dir.Path(), "cannot open (is a directory)"},
        {dir.File("missing.sbk"), "cannot open (no such file)"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.path);
        const CliRun run = RunCli({"info", test.path});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "tamberly-cli: " + test.path + ": " + test.why + "\n");
    }

    const CliRun noFile = RunCli({"info"});
    EXPECT_EQ(noFile.status, 2);
    EXPECT_NE(noFile.err.find("info FILE.sbk"), std::string::npos);
}
