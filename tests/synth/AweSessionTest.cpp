#include "synth/AweSession.h"
#include "support/CardRecorder.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;
using Tree = CRegistryStore::Tree;

const std::string kSettings = "Software\\Creative Tech\\sbawe32\\Settings";

// One command as the session brackets it.
Lines Bracketed(const std::string& command)
{
    return {"901 h=0", command, "902 h=77"};
}

// Commands one operation sends in one session of the card.
Lines InOneSession(const Lines& commands)
{
    Lines all = {"901 h=0"};
    all.insert(all.end(), commands.begin(), commands.end());
    all.push_back("902 h=77");
    return all;
}

Lines Join(std::initializer_list<Lines> parts)
{
    Lines all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class AweSessionTest : public ::testing::Test
{
protected:
    // A driver registered the way the card's driver does it.
    void RegisterDriver(const std::string& synthesizer = "0")
    {
        ASSERT_TRUE(CRegistryStore(dir.Path())
                        .Update(
                            [&](Tree& tree)
                            {
                                const std::string drivers = kMidiDriversKey;
                                tree.SetValue(drivers + "\\sbawe32.drv<0000>", "SOFTWAREKEY",
                                              "Software\\Creative Tech\\sbawe32");
                                tree.SetValue(kSettings, "Synthesizer", synthesizer);
                                tree.SetValue(kSettings, "GM", "/banks/gm.sbk");
                                tree.SetValue(kSettings, "GS", "/banks/gs.sbk");
                                tree.SetValue(kSettings, "MT", "/banks/mt.sbk");
                                tree.SetValue(kSettings + "\\UserBank", "B005", "/banks/user five.sbk");
                            }));
    }
    void SetSynthesizer(const std::string& value)
    {
        ASSERT_TRUE(CRegistryStore(dir.Path())
                        .Update([&](Tree& tree) { tree.SetValue(kSettings, "Synthesizer", value); }));
    }
    std::unique_ptr<CAweSession> MakeSession()
    {
        auto session = std::make_unique<CAweSession>(TAMBERLY_RECORDER_PATH, CRegistryStore(dir.Path()));
        recorder.Take();
        return session;
    }

    TempDir dir;
    CardRecorder recorder{TAMBERLY_RECORDER_PATH};
};
} // namespace

TEST_F(AweSessionTest, EveryOperationIsOneCommandBetweenOpenAndClose)
{
    auto session = MakeSession();
    ASSERT_TRUE(session->IsAvailable());

    recorder.Script(kAweGetBankName, 0, "Strings \t  ");
    EXPECT_EQ(session->GetBankName(3), "Strings");
    EXPECT_EQ(recorder.Take(), Bracketed("909 h=77 bank=3 size=50"));

    recorder.Script(kAweGetSynthBank, 0, "General MIDI ");
    EXPECT_EQ(session->GetBankName(0), "General MIDI");
    EXPECT_EQ(recorder.Take(), Bracketed("906 h=77 size=50"));

    recorder.Script(kAweGetPresetName, 0, "Piano\n");
    EXPECT_EQ(session->GetPresetName(7, 127), "Piano");
    EXPECT_EQ(recorder.Take(), Bracketed("912 h=77 bank=7 preset=127 size=50"));

    recorder.Script(kAweGetPresetName, 3, "ignored on failure");
    EXPECT_EQ(session->GetPresetName(7, 1), "");
    recorder.Take();

    EXPECT_TRUE(session->LoadBank(5, "/x/my bank.sbk"));
    EXPECT_EQ(recorder.Take(), Bracketed("908 h=77 bank=5 path=/x/my bank.sbk"));
    EXPECT_TRUE(session->ClearBank(127));
    EXPECT_EQ(recorder.Take(), Bracketed("910 h=77 bank=127"));
    EXPECT_TRUE(session->ClearPreset(3, 9));
    EXPECT_EQ(recorder.Take(), Bracketed("913 h=77 bank=3 preset=9"));

    recorder.Script(kAweSelectSynthBank, 1);
    EXPECT_FALSE(session->SelectSynthBank(2));
    EXPECT_EQ(recorder.Take(), Bracketed("907 h=77 bank=2"));
    EXPECT_EQ(session->GetOpenCount(), 0);
}

TEST_F(AweSessionTest, NamesNeverReadPastTheBuffer)
{
    auto session = MakeSession();
    const std::string longName(60, 'n');
    recorder.Script(kAweGetBankName, 0, longName.c_str());
    EXPECT_EQ(session->GetBankName(9), std::string(50, 'n'));
    recorder.Script(kAweGetSynthBank, 0, "   ");
    EXPECT_EQ(session->GetBankName(0), "");
}

TEST_F(AweSessionTest, NestedOpensShareOneManagerHandle)
{
    auto session = MakeSession();
    recorder.Default(kAweOpen, 0, "", 4242);
    EXPECT_EQ(session->Open(), 1);
    EXPECT_EQ(session->Open(), 2);
    EXPECT_TRUE(session->SendCommand(kAweClearBank, 4, 0)); // open count 3 during the call
    EXPECT_EQ(session->GetOpenCount(), 2);
    session->Close(false);
    EXPECT_EQ(session->GetOpenCount(), 1);
    session->Close(false);
    EXPECT_EQ(session->GetOpenCount(), 0);
    session->Close(false);
    EXPECT_EQ(recorder.Take(), (Lines{"901 h=0", "910 h=4242 bank=4", "902 h=4242"}));

    recorder.Default(kAweOpen, 0, "", 4242);
    session->Open();
    session->Open();
    session->Close(true);
    EXPECT_EQ(session->GetOpenCount(), 0);
    EXPECT_EQ(recorder.Take(), (Lines{"901 h=0", "902 h=4242"}));
}

TEST_F(AweSessionTest, FailingOpenEndsTheOperation)
{
    auto session = MakeSession();
    recorder.Default(kAweOpen, 1);
    EXPECT_EQ(session->Open(), 0);
    EXPECT_FALSE(session->ClearBank(3));
    EXPECT_EQ(session->GetMemoryKB(true), 0);
    EXPECT_EQ(session->GetBankName(2), "");
    EXPECT_EQ(session->GetOpenCount(), 0);
    EXPECT_EQ(recorder.Take(), (Lines{"901 h=0", "901 h=0", "901 h=0", "901 h=0"}));
}

TEST_F(AweSessionTest, BanksAndPresetsOutside0To127SendNothing)
{
    RegisterDriver();
    auto session = MakeSession();
    int usedKB = 55;
    for (const int bad : {-1, 128})
    {
        EXPECT_EQ(session->GetBankName(bad), "");
        EXPECT_EQ(session->GetPresetName(bad, 0), "");
        EXPECT_EQ(session->GetPresetName(0, bad), "");
        EXPECT_FALSE(session->LoadBank(bad, "/a.sbk"));
        EXPECT_FALSE(session->ClearBank(bad));
        EXPECT_FALSE(session->ClearPreset(bad, 0));
        EXPECT_FALSE(session->ClearPreset(1, bad));
        EXPECT_FALSE(session->LoadPreset(bad, 0, "/a.sbk", 0, &usedKB));
        EXPECT_EQ(usedKB, 0);
        usedKB = 55;
        EXPECT_FALSE(session->LoadPreset(0, bad, "/a.sbk", 0, &usedKB));
        EXPECT_EQ(usedKB, 0);
        EXPECT_FALSE(session->RevertPreset(bad, 0));
        EXPECT_FALSE(session->RevertPreset(5, bad));
        EXPECT_EQ(session->GetBankFile(bad), "");
    }
    EXPECT_FALSE(session->ClearBank(0)); // the synth bank is never emptied
    EXPECT_FALSE(session->LoadPreset(1, 1, "/a.sbk", -1, nullptr));
    EXPECT_EQ(recorder.Take(), Lines{});
}

TEST_F(AweSessionTest, ClearAllBanksStopsAtTheFirstFailure)
{
    auto session = MakeSession();
    for (int i = 0; i < 4; ++i)
        recorder.Script(kAweClearBank, 0);
    recorder.Script(kAweClearBank, 2);
    EXPECT_FALSE(session->ClearAllBanks());
    Lines expected;
    for (int bank = 1; bank <= 5; ++bank)
        expected.push_back("910 h=77 bank=" + std::to_string(bank));
    EXPECT_EQ(recorder.Take(), InOneSession(expected));

    EXPECT_TRUE(session->ClearAllBanks());
    const Lines all = recorder.Take();
    ASSERT_EQ(all.size(), 127u + 2);
    EXPECT_EQ(all[1], "910 h=77 bank=1");
    EXPECT_EQ(all[all.size() - 2], "910 h=77 bank=127");
}

TEST_F(AweSessionTest, SynthBankNumberAndReselection)
{
    auto session = MakeSession();
    recorder.Script(kAweGetSynthBank, 0, "MT-32", 2);
    EXPECT_EQ(session->GetSynthBank(), 2);
    EXPECT_EQ(recorder.Take(), Bracketed("906 h=77 size=256"));

    recorder.Script(kAweGetSynthBank, 1, "", 2);
    EXPECT_EQ(session->GetSynthBank(), 0);
    recorder.Take();

    recorder.Script(kAweGetSynthBank, 0, "GS", 1);
    EXPECT_TRUE(session->SelectSynthBank(-1));
    EXPECT_EQ(recorder.Take(), Join({Bracketed("906 h=77 size=256"), Bracketed("907 h=77 bank=1")}));
}

TEST_F(AweSessionTest, MemoryInKilobytesRoundsDown)
{
    auto session = MakeSession();
    recorder.Script(kAweGetMemory, 0, "", 1023, 512);
    EXPECT_EQ(session->GetMemoryKB(false), 1);
    recorder.Script(kAweGetMemory, 0, "", 1023, 512);
    EXPECT_EQ(session->GetMemoryKB(true), 1);
    recorder.Script(kAweGetMemory, 0, "", 511, 511);
    EXPECT_EQ(session->GetMemoryKB(false), 0);
    recorder.Script(kAweGetMemory, 1, "", 4096 * 512, 4096 * 512);
    EXPECT_EQ(session->GetMemoryKB(false), 0);
    EXPECT_EQ(recorder.Take().size(), 4u * 3);
}

TEST_F(AweSessionTest, EffectsKeepTheOtherType)
{
    auto session = MakeSession();
    recorder.Default(kAweGetEffects, 0, "", 3, 6);
    EXPECT_EQ(session->GetReverb(), 3);
    EXPECT_EQ(session->GetChorus(), 6);
    recorder.Take();

    recorder.Default(kAweGetEffects, 0, "", 3, 6);
    EXPECT_TRUE(session->SetReverb(4));
    EXPECT_EQ(recorder.Take(),
              Join({Bracketed("904 h=77"), Bracketed("905 h=77 selector=0 reverb=4 chorus=6")}));

    recorder.Default(kAweGetEffects, 0, "", 3, 6);
    EXPECT_TRUE(session->SetChorus(5));
    EXPECT_EQ(recorder.Take(),
              Join({Bracketed("904 h=77"), Bracketed("905 h=77 selector=0 reverb=3 chorus=5")}));

    // A failing read gives 0 whatever the library left in the record.
    recorder.Default(kAweGetEffects, 9, "", 3, 6);
    EXPECT_EQ(session->GetReverb(), 0);
    EXPECT_EQ(session->GetChorus(), 0);
}

TEST_F(AweSessionTest, LoadPresetClearsThenMeasuresTheMemoryItTook)
{
    RegisterDriver("1");
    auto session = MakeSession();
    recorder.Script(kAweGetMemory, 0, "", 8192 * 512, 3000 * 512);
    recorder.Script(kAweGetMemory, 0, "", 8192 * 512, 2200 * 512 + 511);
    int usedKB = -1;
    EXPECT_TRUE(session->LoadPreset(0, 5, "/x/a.sbk", 7, &usedKB));
    EXPECT_EQ(usedKB, 800);
    // A synth bank slot first gets its own preset back from the mode's file.
    EXPECT_EQ(recorder.Take(),
              InOneSession({"911 h=77 bank=0 preset=5 path=/banks/gs.sbk source=5", "308 h=77",
                            "911 h=77 bank=0 preset=5 path=/x/a.sbk source=7", "308 h=77"}));

    EXPECT_TRUE(session->LoadPreset(9, 0, "/x/b.sbk", 0, &usedKB));
    EXPECT_EQ(recorder.Take(), InOneSession({"913 h=77 bank=9 preset=0", "308 h=77",
                                             "911 h=77 bank=9 preset=0 path=/x/b.sbk source=0", "308 h=77"}));

    // A failed load reports 0 KB (never a loaded size) and measures nothing more.
    recorder.Script(kAweGetMemory, 0, "", 8192 * 512, 3000 * 512);
    recorder.Script(kAweLoadPreset, 5);
    usedKB = 123;
    EXPECT_FALSE(session->LoadPreset(9, 1, "/x/b.sbk", 0, &usedKB));
    EXPECT_EQ(usedKB, 0);
    EXPECT_EQ(recorder.Take(), InOneSession({"913 h=77 bank=9 preset=1", "308 h=77",
                                             "911 h=77 bank=9 preset=1 path=/x/b.sbk source=0"}));

    // Without a place for the size nothing is measured and nothing is written,
    // whether the load succeeds or fails.
    EXPECT_TRUE(session->LoadPreset(9, 2, "/x/b.sbk", 3, nullptr));
    recorder.Script(kAweLoadPreset, 5);
    EXPECT_FALSE(session->LoadPreset(9, 2, "/x/b.sbk", 3, nullptr));
    const Lines calls = recorder.Take();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "308 h=77"), 0);
    EXPECT_EQ(calls.size(), 2u * 4);
}

TEST_F(AweSessionTest, RevertPutsBackTheBankFilePresetOrEmptiesTheSlot)
{
    RegisterDriver();
    auto session = MakeSession();
    EXPECT_TRUE(session->RevertPreset(5, 12));
    EXPECT_EQ(recorder.Take(),
              InOneSession({"913 h=77 bank=5 preset=12",
                            "911 h=77 bank=5 preset=12 path=/banks/user five.sbk source=12"}));
    EXPECT_TRUE(session->RevertPreset(6, 12));
    EXPECT_EQ(recorder.Take(), Bracketed("913 h=77 bank=6 preset=12"));
    EXPECT_TRUE(session->ClearPreset(0, 40));
    EXPECT_EQ(recorder.Take(), Bracketed("911 h=77 bank=0 preset=40 path=/banks/gm.sbk source=40"));
}

TEST_F(AweSessionTest, BankFileFollowsTheSynthesizerValue)
{
    RegisterDriver();
    auto session = MakeSession();
    EXPECT_EQ(session->GetSettingsKey(), kSettings);
    EXPECT_EQ(session->GetBankFile(5), "/banks/user five.sbk");
    EXPECT_EQ(session->GetBankFile(6), "");
    const std::pair<const char*, const char*> cases[] = {
        {"1", "/banks/gs.sbk"}, {"  2", "/banks/mt.sbk"},    {"abc", "/banks/gm.sbk"}, {"3", ""}, {"-1", ""},
        {"", "/banks/gm.sbk"},  {"99999999999999999999", ""}};
    for (const auto& [value, file] : cases)
    {
        SetSynthesizer(value);
        EXPECT_EQ(session->GetBankFile(0), file) << "Synthesizer=" << value;
    }
    EXPECT_EQ(recorder.Take(), Lines{});
}

TEST_F(AweSessionTest, DriverIsTheFirstLowerCaseSbawe32Subkey)
{
    const std::string drivers = kMidiDriversKey;
    ASSERT_TRUE(CRegistryStore(dir.Path())
                    .Update(
                        [&](Tree& tree)
                        {
                            tree.SetValue(drivers + "\\other.drv<0000>", "SOFTWAREKEY", "Software\\Other");
                            tree.SetValue(drivers + "\\SBAWE32.DRV<0001>", "SOFTWAREKEY",
                                          "Software\\Capitals");
                            tree.SetValue(drivers + "\\sbawe32.dr", "SOFTWAREKEY", "Software\\Short");
                            tree.SetValue(drivers + "\\sbawe32.drv<0002>", "SOFTWAREKEY", "Software\\First");
                            tree.SetValue(drivers + "\\sbawe32.drv", "SOFTWAREKEY", "Software\\Second");
                            tree.SetValue("Software\\First\\Settings\\UserBank", "B001", "/first.sbk");
                        }));
    auto session = MakeSession();
    EXPECT_EQ(session->GetSettingsKey(), "Software\\First\\Settings");
    EXPECT_EQ(session->GetBankFile(1), "/first.sbk");
}

TEST_F(AweSessionTest, NoDriverMeansNoBankFiles)
{
    ASSERT_TRUE(CRegistryStore(dir.Path())
                    .Update(
                        [&](Tree& tree)
                        {
                            tree.SetValue(std::string(kMidiDriversKey) + "\\SBAWE32.DRV", "SOFTWAREKEY",
                                          "Software\\Capitals");
                            tree.CreateKey(std::string(kMidiDriversKey) +
                                           "\\sbawe32.drv<0000>"); // no software key
                            tree.SetValue("Settings\\UserBank", "B001", "/stray.sbk");
                        }));
    auto session = MakeSession();
    EXPECT_EQ(session->GetSettingsKey(), "");
    EXPECT_EQ(session->GetBankFile(0), "");
    EXPECT_EQ(session->GetBankFile(1), "");
    EXPECT_TRUE(session->RevertPreset(1, 3)); // an empty slot then
    EXPECT_EQ(recorder.Take(), Bracketed("913 h=77 bank=1 preset=3"));
}

TEST_F(AweSessionTest, DestructionClosesAnOpenManager)
{
    auto session = MakeSession();
    session->Open();
    session->Open();
    session.reset();
    EXPECT_EQ(recorder.Take(), (Lines{"901 h=0", "902 h=77"}));
}

TEST_F(AweSessionTest, TheStatusLineIsTheLibrarysWithoutACommand)
{
    auto session = MakeSession();
    EXPECT_EQ(session->GetStatusText(), "");
    recorder.Status("The card's device hw:0,2 cannot be reached.");
    EXPECT_EQ(session->GetStatusText(), "The card's device hw:0,2 cannot be reached.");
    const std::string longer(2000, 'x');
    recorder.Status(longer.c_str());
    EXPECT_EQ(session->GetStatusText(), longer.substr(0, 511)) << "cut to the buffer, never past it";
    EXPECT_TRUE(recorder.Take().empty()) << "asking sends no manager command";
}

TEST(AweSessionWithoutLibrary, EverythingFailsQuietly)
{
    TempDir dir;
    for (const std::string& library : {dir.File("libmissing.so"), std::string("libm.so.6")})
    {
        CAweSession session(library, CRegistryStore(dir.Path()));
        EXPECT_FALSE(session.IsAvailable()) << library;
        EXPECT_EQ(session.Open(), 0);
        EXPECT_EQ(session.GetOpenCount(), 0);
        EXPECT_FALSE(session.SendCommand(kAweClearBank, 1, 0));
        EXPECT_EQ(session.GetMemoryKB(true), 0);
        EXPECT_EQ(session.GetBankName(0), "");
        EXPECT_EQ(session.GetPresetName(1, 1), "");
        EXPECT_EQ(session.GetSynthBank(), 0);
        EXPECT_FALSE(session.SelectSynthBank(-1));
        EXPECT_EQ(session.GetReverb(), 0);
        EXPECT_FALSE(session.SetChorus(2));
        EXPECT_FALSE(session.LoadBank(1, "/a.sbk"));
        EXPECT_FALSE(session.ClearAllBanks());
        int usedKB = 7;
        EXPECT_FALSE(session.LoadPreset(1, 1, "/a.sbk", 0, &usedKB));
        EXPECT_EQ(usedKB, 0);
        EXPECT_FALSE(session.RevertPreset(1, 1));
        EXPECT_EQ(session.GetStatusText(), "");
        session.Close(true);
    }
}

TEST(AweSessionLibrary, TheEmulatedCardIsKnownByItsLibraryName)
{
    TempDir dir;
    const std::string emulated = dir.File(kAweManagerLibraryName);
    std::filesystem::copy_file(TAMBERLY_RECORDER_PATH, emulated);

    CAweSession card(emulated, CRegistryStore(dir.Path()));
    ASSERT_TRUE(card.IsAvailable());
    EXPECT_TRUE(card.IsEmulatedCard());
    EXPECT_EQ(card.GetLibraryPath(), emulated);

    CAweSession other(TAMBERLY_RECORDER_PATH, CRegistryStore(dir.Path()));
    ASSERT_TRUE(other.IsAvailable());
    EXPECT_FALSE(other.IsEmulatedCard());

    // The name alone is no card: a library that does not load is none.
    CAweSession missing(dir.File("gone/" + std::string(kAweManagerLibraryName)), CRegistryStore(dir.Path()));
    EXPECT_FALSE(missing.IsEmulatedCard());
}

TEST(AweSessionLibrary, DefaultLibraryBesideTheProgramThenInItsInstalledFolder)
{
    TempDir dir;
    const std::filesystem::path root = dir.Path();
    const auto program = root / "bin" / "tamberly";
    const auto beside = root / "bin" / kAweManagerLibraryName;
    const auto installed = root / "lib" / "tamberly" / kAweManagerLibraryName;
    std::filesystem::create_directories(beside.parent_path());
    std::filesystem::create_directories(installed.parent_path());

    // Nowhere to be found: the dynamic linker gets the bare name.
    EXPECT_EQ(CAweSession::DefaultLibraryPath(program), kAweManagerLibraryName);
    EXPECT_EQ(CAweSession::DefaultLibraryPath({}), kAweManagerLibraryName);

    // A folder by that name is no library.
    std::filesystem::create_directories(installed);
    EXPECT_EQ(CAweSession::DefaultLibraryPath(program), kAweManagerLibraryName);
    std::filesystem::remove(installed);

    std::filesystem::copy_file(TAMBERLY_RECORDER_PATH, installed);
    EXPECT_EQ(CAweSession::DefaultLibraryPath(program), installed.string());
    CAweSession card(CAweSession::DefaultLibraryPath(program), CRegistryStore(dir.Path()));
    EXPECT_TRUE(card.IsAvailable());
    EXPECT_TRUE(card.IsEmulatedCard());

    // The build tree's copy beside the program comes first.
    std::filesystem::copy_file(TAMBERLY_RECORDER_PATH, beside);
    EXPECT_EQ(CAweSession::DefaultLibraryPath(program), beside.string());
}
