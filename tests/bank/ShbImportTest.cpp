#include "DocumentFixture.h"
#include "bank/ShbFile.h"

#include <algorithm>

namespace
{
std::string Describe(const std::optional<ShbInstrument>& entry)
{
    if (!entry)
        return "skipped";
    return std::to_string(entry->targetBank) + ":" + std::to_string(entry->targetPatch) + " [" +
           entry->sourceFile + "] [" + entry->name + "] " + std::to_string(entry->sourcePatch);
}

std::string WriteShb(const TempDir& dir, const std::string& name, const std::string& text)
{
    Bytes bytes;
    PutText(bytes, text);
    return dir.Write(name, bytes);
}

CardRecorder::Lines Only(const CardRecorder::Lines& lines, const std::string& prefix)
{
    CardRecorder::Lines kept;
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0)
            kept.push_back(line);
    return kept;
}
} // namespace

TEST(ShbEntries, InstrumentsReadTheirFixedFields)
{
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("012:003   C:\\BANKS\\A.SBK/Piano 0024")),
              "3:12 [C:\\BANKS\\A.SBK] [Piano] 24");
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("012   C:\\BANKS\\A.SBK/Piano 0024")),
              "0:12 [C:\\BANKS\\A.SBK] [Piano] 24");
    // Separators that happen to be digits lengthen no number.
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("012:003999C:\\A.SBK/Strings/290048")),
              "3:12 [C:\\A.SBK] [Strings/2] 48");
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("0129991/A.SBK/Pad10007")), "0:12 [1] [A.SBK/Pad] 7");
    // Blanks and signs as atoi reads them; a name may be empty.
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("  7   A.SBK/ -012")), "0:7 [A.SBK] [] -12");
    // Targets the card does not have leave the instrument unassigned.
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("200   A.SBK/Far 0001")), "-1:-1 [A.SBK] [Far] 1");
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("005:300   A.SBK/Far 0001")), "-1:-1 [A.SBK] [Far] 1");
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("-01   A.SBK/Far 0001")), "-1:-1 [A.SBK] [Far] 1");
}

TEST(ShbEntries, EntriesTooShortOrWithoutTheirSlashAreSkipped)
{
    for (const std::string value :
         {"", "0", "012", "012:003", "012   ", "012:003   ", "012   A.SBK Piano 0024", "012   A.SBK/0024",
          "012   A/024", "012:003   /0024", "012:003/  X Y 0001"})
        EXPECT_EQ(Describe(CShbFile::ParseInstrument(value)), "skipped") << value;
    // The slash just before the closing five characters still leaves an empty name.
    EXPECT_EQ(Describe(CShbFile::ParseInstrument("012   A/ 0024")), "0:12 [A] [] 24");

    const auto bank = CShbFile::ParseUserBank("002   C:\\BANKS\\DRUMS.SBK");
    ASSERT_TRUE(bank);
    EXPECT_EQ(bank->bank, 2);
    EXPECT_EQ(bank->path, "C:\\BANKS\\DRUMS.SBK");
    EXPECT_EQ(CShbFile::ParseUserBank("1279999/b.sbk")->bank, 127);
    EXPECT_EQ(CShbFile::ParseUserBank("1279999/b.sbk")->path, "9/b.sbk");
    for (const std::string value : {"", "002", "002   ", "000   X.SBK", "128   X.SBK", "-02   X.SBK"})
        EXPECT_FALSE(CShbFile::ParseUserBank(value)) << value;
}

TEST(ShbEntries, ListsEndAtTheFirstMissingEntry)
{
    TempDir dir;
    CShbFile file;
    ASSERT_TRUE(
        file.Load(WriteShb(dir, "a.shb",
                           "[awe]\r\nreverb = 4 \r\nChorus=\"2\"\r\n"
                           "[UserBanks]\r\nUser2=003   C:\\B.SBK\r\n"
                           "[Instrument-List]\r\n; old entries\r\nInstrument1=001   A.SBK/One 0001\r\n"
                           "Instrument2=broken\r\nInstrument3=003   A.SBK/Three 0003\r\n"
                           "Instrument5=005   A.SBK/Five 0005\r\n")));
    EXPECT_EQ(file.reverb, 4);
    EXPECT_EQ(file.chorus, 2);
    EXPECT_TRUE(file.userBanks.empty()) << "User1 is missing, so User2 is never read";
    ASSERT_EQ(file.instruments.size(), 2u);
    EXPECT_EQ(file.instruments[1].name, "Three");
    EXPECT_EQ(file.skipped, 1);
    EXPECT_TRUE(file.HasEntries());

    ASSERT_TRUE(file.Load(WriteShb(dir, "text.shb", "Just some text\nwithout sections\n")));
    EXPECT_FALSE(file.HasEntries());
    EXPECT_EQ(file.reverb, 0);
    EXPECT_FALSE(file.Load(dir.File("missing.shb")));
    EXPECT_FALSE(file.HasEntries());
}

class ShbImportTest : public DocumentTest
{
};

TEST_F(ShbImportTest, ImportSetsTheCardUpAndReplacesPatchesOnTheSameSlot)
{
    Open(DocumentBytes(-1, 0, 0, 0, {},
                       {{"Piano", "/banks/A.SBK", 0, 5, 1}, {"Spare", "/banks/A.SBK", 3, -1, -1}}));
    const std::string path = WriteShb(dir, "old.shb",
                                      "[Awe]\nReverb=4\nChorus=2\n"
                                      "[UserBanks]\nUser1=002   C:\\BANKS\\DRUMS.SBK\nUser2=300   X.SBK\n"
                                      "User3=003   /banks/B.SBK\n"
                                      "[Instrument-List]\n"
                                      "Instrument1=005:001   C:\\BANKS\\A.SBK/Grand 0001\n"
                                      "Instrument2=200   C:\\BANKS\\A.SBK/Far 0002\n"
                                      "Instrument3=no slash here at all\n"
                                      "Instrument4=007   C:\\BANKS\\A.SBK/Synth 0003\n");
    const CTamberlyDoc::ShbImport result = doc->ImportShbFile(path);
    EXPECT_TRUE(result.readable);
    EXPECT_EQ(result.bankFiles, 2);
    EXPECT_EQ(result.bankFilesLoaded, 2);
    EXPECT_EQ(result.instruments, 3);
    EXPECT_EQ(result.instrumentsLoaded, 2);
    EXPECT_EQ(result.skipped, 2);

    EXPECT_EQ(Contents(),
              (std::vector<std::string>{"Grand@1:5+", "Spare@-1:-1-", "Far@-1:-1-", "Synth@0:7+"}));
    const Lines calls = CardCommands();
    EXPECT_EQ(Only(calls, "905 "),
              (Lines{"905 h=77 selector=0 reverb=4 chorus=0", "905 h=77 selector=0 reverb=4 chorus=2"}));
    EXPECT_EQ(Only(calls, "908 "),
              (Lines{"908 h=77 bank=2 path=C:\\BANKS\\DRUMS.SBK", "908 h=77 bank=3 path=/banks/B.SBK"}));
    EXPECT_EQ(Only(calls, "911 h=77 bank=1"),
              Lines{"911 h=77 bank=1 preset=5 path=C:\\BANKS\\A.SBK source=1"});
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintBankContent});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 1); // the replaced Piano, until the idle pass
}

TEST_F(ShbImportTest, FilesWithoutEntriesOnlyResetTheEffects)
{
    const CTamberlyDoc::ShbImport result = doc->ImportShbFile(WriteShb(dir, "x.shb", "not an ini file"));
    EXPECT_TRUE(result.readable);
    EXPECT_EQ(result.instruments + result.bankFiles + result.skipped, 0);
    const Lines calls = CardCommands();
    EXPECT_EQ(Only(calls, "905 "),
              (Lines{"905 h=77 selector=0 reverb=0 chorus=0", "905 h=77 selector=0 reverb=0 chorus=0"}));
    EXPECT_EQ(Only(calls, "908 ").size(), 0u);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetPatches().IsEmpty());

    // Effects the card does not have are not sent.
    doc->ImportShbFile(WriteShb(dir, "y.shb", "[Awe]\nReverb=9\nChorus=-1\n"));
    EXPECT_EQ(Only(CardCommands(), "905 ").size(), 0u);
    EXPECT_FALSE(doc->ImportShbFile(dir.File("missing.shb")).readable);
}
