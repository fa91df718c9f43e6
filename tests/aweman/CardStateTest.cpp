#include "aweman/CardFixture.h"
#include "cardstate/CardModel.h"

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
CCardModel ModelWithEverything()
{
    CCardModel model;
    model.synthMode = 2;
    model.reverb = 7;
    model.chorus = 0;
    CCardModel::BankFile bankFile;
    bankFile.file = "/banks/odd name%20 \"quoted\"\n.sbk";
    bankFile.name = "Caf\xc3\xa9 % =100";
    bankFile.words = 123456;
    bankFile.presets = {{0, "Grand  Piano "}, {127, ""}};
    bankFile.emptied = {127};
    EXPECT_EQ(model.LoadBankFile(9, bankFile, 1u << 30), CardResult::Ok);
    model.bankFiles[9].emptied = {127};
    EXPECT_EQ(model.LoadPreset(0, 3, {"/a b.sbk", 65535, "Tab\there", 7, "0123456789abcdefz"}, 1u << 30),
              CardResult::Ok);
    EXPECT_EQ(model.LoadPreset(127, 127, {"/c.sbk", 0, "", 0, ""}, 1u << 30), CardResult::Ok);
    return model;
}

// Runs work in a child process; true when it reported success.
bool InChild(const std::function<bool()>& work)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}
} // namespace

TEST(CardModel, StateTextRoundTripsEveryField)
{
    const CCardModel model = ModelWithEverything();
    const std::string text = model.Serialize();
    EXPECT_EQ(text.find('\t'), std::string::npos);
    EXPECT_EQ(text.find("Caf\xc3"), std::string::npos) << "bytes outside plain ASCII are escaped";
    const auto parsed = CCardModel::Parse(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(*parsed, model);
    EXPECT_EQ(parsed->UsedWords(), 123456u + 7u);
}

TEST(CardModel, DamagedStateTextIsRefused)
{
    const std::string good = ModelWithEverything().Serialize();
    // Every cut short of the whole text is damage, whatever line it ends in.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_FALSE(CCardModel::Parse(good.substr(0, length))) << length;

    const std::string head = "tamberly card state 1\nsynth 0\neffects 4 2\n";
    for (const std::string& text : std::vector<std::string>{
             "tamberly card state 2\nsynth 0\neffects 4 2\nend\n",
             head + "end\nsynth 1\n",
             head + "end\n\n",
             head + "synth 1\nend\n",
             "tamberly card state 1\nsynth 3\neffects 4 2\nend\n",
             "tamberly card state 1\nsynth 0\neffects 8 2\nend\n",
             "tamberly card state 1\nsynth -1\neffects 4 2\nend\n",
             "tamberly card state 1\neffects 4 2\nend\n",
             head + "bank 0 10 =/a =A\nend\n",
             head + "bank 128 10 =/a =A\nend\n",
             head + "bank 5 10 =/a =A\nbank 5 10 =/b =B\nend\n",
             head + "bank 5 10 = =A\nend\n",
             head + "bank 5 10 /a =A\nend\n",
             head + "bank 5 99999999999999999999 =/a =A\nend\n",
             head + "bank 5 4294967296 =/a =A\nend\n",
             head + "bank 5 10 =/a%2 =A\nend\n",
             head + "bank 5 10 =/a%00 =A\nend\n",
             // Nor raw: a text that held one would be written as %00 and read back as damage.
             head + std::string("bank 5 10 =/a\0b =A\nend\n", 23),
             head + std::string("preset 0 1 0 1 =/a =A\0\nend\n", 27),
             head + "bank 5 10 =/a%zz =A\nend\n",
             head + "bank 5 10 =/a =A extra\nend\n",
             head + "bankpreset 5 0 =A\nend\n",
             head + "bank 5 10 =/a =A\nbankpreset 5 128 =B\nend\n",
             head + "bank 5 10 =/a =A\nbankpreset 5 1 =B\nbankpreset 5 1 =C\nend\n",
             head + "bank 5 10 =/a =A\nemptied 5 1\nend\n",
             head + "preset 0 128 0 1 =/a =A\nend\n",
             head + "preset 0 1 4294967296 1 =/a =A\nend\n",
             head + "preset 0 1 0 1 =/a =A\npreset 0 1 0 1 =/a =A\nend\n",
             head + "preset  0 1 0 1 =/a =A\nend\n",
             // A memory name never leaves the memory folder.
             head + "preset 0 1 0 1 =/a =A =../x\nend\n",
             head + "preset 0 1 0 1 =/a =A =a/b\nend\n",
             head + "preset 0 1 0 1 =/a =A =ABC\nend\n",
             head + "preset 0 1 0 1 =/a =A =" + std::string(33, 'a') + "\nend\n",
             head + "preset 0 1 0 1 =/a =A =a =b\nend\n",
             head + "bank 5 +10 =/a =A\nend\n",
             head + "garbage\nend\n",
             head + "end",
             std::string("tamberly card state 1\0\nsynth 0\n", 32),
         })
    {
        EXPECT_FALSE(CCardModel::Parse(text)) << text;
    }
    EXPECT_TRUE(CCardModel::Parse(head + "end\n"));
}

TEST(CardModel, APresetLineWithoutMemoryReadsAsAPresetWithoutCopy)
{
    const auto parsed = CCardModel::Parse("tamberly card state 1\nsynth 0\neffects 4 2\n"
                                          "preset 3 4 5 6 =/a.sbk =Name\nend\n");
    ASSERT_TRUE(parsed);
    ASSERT_TRUE(parsed->presets.contains({3, 4}));
    EXPECT_EQ(parsed->presets.at({3, 4}).memory, "");
    EXPECT_EQ(parsed->presets.at({3, 4}).name, "Name");
}

TEST_F(CardTest, ADamagedStateFileIsAFreshCard)
{
    const std::string strings = WriteBank("strings.sbk", {{"Violin", 0, 0, 1024}}, 64 * 1024, "Strings");
    {
        const auto card = Session();
        ASSERT_TRUE(card->LoadBank(5, strings));
        ASSERT_TRUE(card->SelectSynthBank(1));
        ASSERT_TRUE(card->SetReverb(0));
    }
    // The card as a whole snapshot (the commands above are in the journal).
    const auto read = ReadState();
    ASSERT_TRUE(read);
    const std::string good = read->Serialize();
    const std::string damaged[] = {
        good.substr(0, good.size() / 2),
        std::string(5000, '\xff'),
        "",
        "tamberly card state 1\nsynth 1\neffects 0 2\nbank 5 32768 =" + strings +
            " =Strings\nbank 5 1 =/x =Y\nend\n",
    };
    for (const std::string& text : damaged)
    {
        ASSERT_TRUE(WriteWholeFileAtomic(home.File("card.state"), text));
        const auto card = Session();
        EXPECT_EQ(card->GetMemoryKB(true), 28672);
        EXPECT_EQ(card->GetBankName(5), "");
        EXPECT_EQ(card->GetSynthBank(), 0);
        EXPECT_EQ(card->GetReverb(), 4);
        // The registry follows the fresh card and the fresh state replaced the damage.
        EXPECT_EQ(card->GetBankFile(5), "");
        EXPECT_EQ(Registry().GetValue(card->GetSettingsKey(), "Synthesizer"), "0");
        EXPECT_EQ(CCardModel::Parse(ReadHomeFile("card.state")), CCardModel());
        ASSERT_TRUE(WriteWholeFileAtomic(home.File("card.state"), good));
        EXPECT_EQ(Session()->GetBankName(5), "Strings");
    }

    // A folder where the state belongs cannot be replaced: the card works fresh all the same.
    ASSERT_EQ(::unlink(home.File("card.state").c_str()), 0);
    ASSERT_EQ(::mkdir(home.File("card.state").c_str(), 0700), 0);
    const auto card = Session();
    EXPECT_EQ(card->GetSynthBank(), 0);
    EXPECT_EQ(card->GetBankName(0), "General MIDI");
    EXPECT_FALSE(card->LoadBank(5, strings)) << "a change that cannot be kept is refused";
    ASSERT_EQ(::rmdir(home.File("card.state").c_str()), 0);
}

TEST_F(CardTest, TheStateIsWrittenOnlyWhenSomethingChanged)
{
    const std::string strings = WriteBank("strings.sbk", {{"Violin", 0, 0, 1024}}, 64 * 1024, "Strings");
    const auto card = Session();
    ASSERT_TRUE(card->SetReverb(6));
    const Snapshot before = Take();
    ASSERT_FALSE(before.state.empty());
    EXPECT_TRUE(card->SetReverb(6));
    EXPECT_TRUE(card->ClearBank(7));
    EXPECT_TRUE(card->ClearPreset(7, 1));
    EXPECT_TRUE(card->SelectSynthBank(0));
    card->GetMemoryKB(true);
    card->GetPresetName(0, 1);
    EXPECT_EQ(Take(), before);
    EXPECT_TRUE(card->LoadBank(7, strings));
    EXPECT_NE(Take(), before);
}

TEST_F(CardTest, ASecondProcessSeesTheCardAsTheFirstLeftIt)
{
    const std::string strings =
        WriteBank("strings.sbk", {{"Violin", 0, 0, 1024}, {"Cello", 5, 0, 8192}}, 64 * 1024, "Strings");
    const auto card = Session();
    ASSERT_TRUE(card->LoadBank(2, strings));
    ASSERT_EQ(card->GetPresetName(0, 0), "Acoustic Grand Piano"); // the parent's card has read the state

    EXPECT_TRUE(InChild(
        [&]
        {
            const auto other = Session();
            int used = 0;
            return other->GetBankName(2) == "Strings" && other->GetMemoryKB(true) == 28672 - 64 &&
                   other->LoadPreset(3, 1, strings, 5, &used) && used == 16 && other->SelectSynthBank(2) &&
                   other->SetChorus(7) && other->ClearBank(2);
        }));

    EXPECT_EQ(card->GetBankName(2), "");
    EXPECT_EQ(card->GetPresetName(3, 1), "Cello");
    EXPECT_EQ(card->GetSynthBank(), 2);
    EXPECT_EQ(card->GetPresetName(0, 0), "Acou Piano 1");
    EXPECT_EQ(card->GetChorus(), 7);
    EXPECT_EQ(card->GetMemoryKB(true), 28672 - 16);
    EXPECT_EQ(card->GetBankFile(0), Registry().GetValue(card->GetSettingsKey(), "MT"));
}

TEST_F(CardTest, TwoProcessesLoadingAtOnceLoseNothing)
{
    const std::string strings =
        WriteBank("strings.sbk", {{"Violin", 0, 0, 16}, {"Cello", 5, 0, 16}}, 1024, "Strings");
    Session(); // installs the card before the children race for it
    constexpr int kPerChild = 40;
    std::vector<pid_t> children;
    for (int part = 0; part < 2; ++part)
    {
        const pid_t child = ::fork();
        if (child == 0)
        {
            const auto card = Session();
            bool ok = true;
            for (int slot = part * kPerChild; slot < (part + 1) * kPerChild; ++slot)
                ok = card->LoadPreset(9, slot, strings, part == 0 ? 0 : 5, nullptr) && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children)
    {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto card = Session();
    for (int slot = 0; slot < 2 * kPerChild; ++slot)
        EXPECT_EQ(card->GetPresetName(9, slot), slot < kPerChild ? "Violin" : "Cello") << slot;
    const auto state = ReadState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->presets.size(), 2u * kPerChild);
    EXPECT_EQ(state->UsedWords(), 2u * kPerChild * 16);
}
