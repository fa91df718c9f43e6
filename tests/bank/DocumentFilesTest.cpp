// Old Windows documents opened on the emulated card: their files found
// beside them in other letter case, found after the user searched a folder,
// or truly missing; what loaded, what the missing list says and what a save
// writes back.

#include "DocumentFixture.h"
#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "bank/ShbFile.h"
#include "platform/ByteStream.h"
#include "platform/FileException.h"
#include "support/FileTree.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"

#include <filesystem>

namespace
{
Bytes SmallBank(const std::string& title, const std::vector<std::pair<std::string, int>>& presets)
{
    SoundFontBuilder bank;
    bank.Info("INAM", title).SampleData(16 * 1024);
    std::uint32_t start = 0;
    for (const auto& [name, number] : presets)
    {
        const int sample = bank.AddSample(start, start + 1024);
        start += 1024;
        bank.AddPreset(name, static_cast<std::uint16_t>(number), 0, {bank.AddInstrument(name, {sample})});
    }
    return bank.Build();
}

struct SavedDocument
{
    CDocumentFile::Header header;
    std::vector<std::string> sources;
};

SavedDocument ReadSaved(const std::string& path)
{
    SavedDocument saved;
    CFileSource source;
    OpenForReading(source, path);
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    std::string info;
    CDocumentFile::Load(source, saved.header, patches, info);
    for (const CPatchItem* item : patches)
        saved.sources.push_back(item->GetSourceFile());
    return saved;
}

class DocumentFilesTest : public ::testing::Test
{
protected:
    DocumentFilesTest()
    {
        card = std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
        doc = std::make_unique<CTamberlyDoc>(
            std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path())));
    }
    ~DocumentFilesTest() override
    {
        EXPECT_EQ(doc->CheckConsistency(), "");
        doc.reset();
        card.reset();
    }

    // The document made on Windows: drums from D: in bank 2, a piano and
    // strings from C:\SBK\PIANO.SBK, an organ from a relative path.
    std::string WriteWindowsDocument(const std::string& relative)
    {
        return PlaceFile(files.Path(), relative,
                         DocumentBytes(-1, 0, 4, 2, {{2, "D:\\SOUNDS\\drums.sbk"}},
                                       {{"Piano", "C:\\SBK\\PIANO.SBK", 0, 0, 1},
                                        {"Strings", "C:\\SBK\\PIANO.SBK", 48, 1, 1},
                                        {"Organ", "..\\BANKS\\Organ.sbk", 3, 2, 1}}));
    }
    void PlaceBanks(const std::string& folder)
    {
        PlaceFile(folder, "Sbk/piano.SBK", SmallBank("Pianos", {{"Piano", 0}, {"Strings", 48}}));
        PlaceFile(folder, "SOUNDS/DRUMS.SBK", SmallBank("Drums", {{"Kick", 0}}));
    }

    std::vector<std::string> MissingPaths() const
    {
        std::vector<std::string> paths;
        for (const auto& missing : doc->GetMissingFiles())
            paths.push_back(missing.stored);
        return paths;
    }

    ScopedCardHome home;
    TempDir files;
    std::unique_ptr<CAweSession> card;
    std::unique_ptr<CTamberlyDoc> doc;
};
} // namespace

TEST_F(DocumentFilesTest, ADocumentBesideItsBanksOpensWithEverythingLoadedAndSavesItsOwnPaths)
{
    const std::string path = WriteWindowsDocument("old/doc/song.tmb");
    PlaceBanks(files.Path() + "/old/doc");
    PlaceFile(files.Path(), "old/banks/ORGAN.SBK", SmallBank("Organs", {{"Organ", 3}}));

    ASSERT_TRUE(doc->OnOpenDocument(path)) << doc->GetErrorMessage();
    for (const CPatchItem* item : doc->GetPatches())
    {
        EXPECT_TRUE(item->IsLoaded()) << item->GetName();
        EXPECT_FALSE(item->IsFileMissing()) << item->GetName();
    }
    EXPECT_EQ(card->GetPresetName(1, 2), "Organ");
    EXPECT_EQ(card->GetBankName(2), "Drums");
    EXPECT_TRUE(doc->GetMissingFiles().empty());
    const auto report = doc->GetLoadReport();
    EXPECT_EQ(
        report.patchesMissing + report.patchesRefused + report.bankFilesMissing + report.bankFilesRefused, 0);
    EXPECT_FALSE(doc->IsModified());
    // The stored paths stay the document's words.
    EXPECT_EQ(doc->GetPatches().GetItem(0)->GetSourceFile(), "C:\\SBK\\PIANO.SBK");

    ASSERT_TRUE(doc->OnSaveDocument(files.File("saved.tmb")));
    const SavedDocument saved = ReadSaved(files.File("saved.tmb"));
    ASSERT_EQ(saved.header.bankFiles.size(), 1u);
    EXPECT_EQ(saved.header.bankFiles[0].path, "D:\\SOUNDS\\drums.sbk");
    EXPECT_EQ(saved.sources,
              (std::vector<std::string>{"C:\\SBK\\PIANO.SBK", "C:\\SBK\\PIANO.SBK", "..\\BANKS\\Organ.sbk"}));
}

TEST_F(DocumentFilesTest, MissingFilesAreListedKeptAndFoundBySearchingAFolder)
{
    const std::string path = WriteWindowsDocument("old/song.tmb");
    ASSERT_TRUE(doc->OnOpenDocument(path)) << doc->GetErrorMessage();

    const auto missing = doc->GetMissingFiles();
    ASSERT_EQ(MissingPaths(), (std::vector<std::string>{"D:\\SOUNDS\\drums.sbk", "C:\\SBK\\PIANO.SBK",
                                                        "..\\BANKS\\Organ.sbk"}));
    EXPECT_EQ(missing[0].banks, std::vector<int>{2});
    EXPECT_TRUE(missing[0].patches.empty());
    ASSERT_EQ(missing[1].patches.size(), 2u);
    EXPECT_EQ(missing[1].patches[1]->GetName(), "Strings");
    ASSERT_FALSE(missing[1].tried.empty());
    EXPECT_TRUE(missing[1].tried[0].noMapping);
    const auto report = doc->GetLoadReport();
    EXPECT_EQ(report.patchesMissing, 3);
    EXPECT_EQ(report.patchesRefused, 0);
    EXPECT_EQ(report.bankFilesMissing, 1);

    // Saving now loses nothing the document said.
    ASSERT_TRUE(doc->OnSaveDocument(files.File("kept.tmb")));
    const SavedDocument kept = ReadSaved(files.File("kept.tmb"));
    ASSERT_EQ(kept.header.bankFiles.size(), 1u);
    EXPECT_EQ(kept.header.bankFiles[0].bank, 2);
    EXPECT_EQ(kept.header.bankFiles[0].path, "D:\\SOUNDS\\drums.sbk");
    EXPECT_EQ(kept.sources[0], "C:\\SBK\\PIANO.SBK");

    // The banks live elsewhere; one search finds the two of them.
    PlaceBanks(files.Path() + "/elsewhere/deep");
    EXPECT_EQ(doc->RelinkFromFolder(files.Path() + "/elsewhere"), 2);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(MissingPaths(), std::vector<std::string>{"..\\BANKS\\Organ.sbk"});
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_EQ(card->GetPresetName(1, 1), "Strings");
    EXPECT_EQ(card->GetBankName(2), "Drums");

    // Locate: the user picks the organ's file by hand.
    const std::string organ =
        PlaceFile(files.Path(), "picked/any name.sbk", SmallBank("Organs", {{"Organ", 3}}));
    EXPECT_EQ(doc->RelinkFile("..\\BANKS\\Organ.sbk", organ), 1);
    EXPECT_TRUE(doc->GetMissingFiles().empty());
    EXPECT_EQ(card->GetPresetName(1, 2), "Organ");

    // Relinked paths are the document's new words.
    ASSERT_TRUE(doc->OnSaveDocument(files.File("relinked.tmb")));
    const SavedDocument relinked = ReadSaved(files.File("relinked.tmb"));
    ASSERT_EQ(relinked.header.bankFiles.size(), 1u);
    EXPECT_EQ(relinked.header.bankFiles[0].path, files.Path() + "/elsewhere/deep/SOUNDS/DRUMS.SBK");
    EXPECT_EQ(relinked.sources[0], files.Path() + "/elsewhere/deep/Sbk/piano.SBK");
    EXPECT_EQ(relinked.sources[2], organ);
}

TEST_F(DocumentFilesTest, DriveMapAndSearchFoldersComeFromTheSettings)
{
    const std::string path = WriteWindowsDocument("docs/song.tmb");
    PlaceBanks(files.Path() + "/win-c");
    PlaceFile(files.Path(), "more/x/y/organ.sbk", SmallBank("Organs", {{"Organ", 3}}));
    PathResolverSettings settings;
    ASSERT_TRUE(settings.AddMapping("C:=" + files.Path() + "/win-c", nullptr));
    ASSERT_TRUE(settings.AddMapping("D:=" + files.Path() + "/win-c", nullptr));
    settings.searchFolders.push_back(files.Path() + "/more");
    doc->SetResolverSettings(settings);

    ASSERT_TRUE(doc->OnOpenDocument(path)) << doc->GetErrorMessage();
    EXPECT_TRUE(doc->GetMissingFiles().empty());
    EXPECT_EQ(card->GetPresetName(1, 2), "Organ");
    EXPECT_EQ(card->GetBankFile(2), files.Path() + "/win-c/SOUNDS/DRUMS.SBK");
    // Clearing the bank drops the document's entry with it.
    doc->ClearAllBanks();
    ASSERT_TRUE(doc->OnSaveDocument(files.File("cleared.tmb")));
    EXPECT_TRUE(ReadSaved(files.File("cleared.tmb")).header.bankFiles.empty());
}

TEST_F(DocumentFilesTest, ThousandBytePathsOfBankFilesSurviveTheCardAndTheSave)
{
    std::string folder;
    for (int i = 0; i < 5; ++i)
        folder += std::string(200, static_cast<char>('a' + i)) + "/";
    const std::string bank = PlaceFile(files.Path(), folder + "DRUMS.SBK", SmallBank("Drums", {{"Kick", 0}}));
    ASSERT_GE(bank.size(), 1000u);
    const std::string path = PlaceFile(files.Path(), "long.tmb",
                                       DocumentBytes(-1, 0, 0, 0, {{5, bank}}, {{"Kick", bank, 0, 0, 6}}));

    ASSERT_TRUE(doc->OnOpenDocument(path)) << doc->GetErrorMessage();
    EXPECT_EQ(card->GetBankFile(5), bank);
    EXPECT_EQ(doc->GetPatch(0, 5)->GetSourceFile(), bank);
    ASSERT_TRUE(doc->OnSaveDocument(files.File("saved.tmb")));
    const SavedDocument saved = ReadSaved(files.File("saved.tmb"));
    ASSERT_EQ(saved.header.bankFiles.size(), 1u);
    EXPECT_EQ(saved.header.bankFiles[0].path, bank);
}

TEST_F(DocumentFilesTest, ShbImportFindsRelativePathsFromItsOwnFolder)
{
    PlaceFile(files.Path(), "Banks/A.sbk", SmallBank("Pianos", {{"Piano", 24}}));
    const std::string shb = PlaceFile(files.Path(), "shelf/old.shb", Bytes{});
    {
        std::ofstream out(shb, std::ios::binary);
        out << "[UserBanks]\r\nUser1=003   ..\\BANKS\\a.SBK\r\n"
            << "[Instrument-List]\r\nInstrument1=012:003   ..\\banks\\A.SBK/Piano 0024\r\n"
            << "Instrument2=013:003   Q:\\GONE\\NONE.SBK/Gone 0001\r\n";
    }
    ASSERT_TRUE(doc->OnNewDocument());
    const auto result = doc->ImportShbFile(shb);
    EXPECT_EQ(result.bankFilesLoaded, 1);
    EXPECT_EQ(result.instrumentsLoaded, 1);
    EXPECT_EQ(card->GetBankName(3), "Pianos");
    EXPECT_EQ(card->GetPresetName(3, 12), "Piano");
    EXPECT_EQ(MissingPaths(), std::vector<std::string>{"Q:\\GONE\\NONE.SBK"});
    EXPECT_EQ(doc->GetPatches().GetItem(0)->GetSourceFile(), "..\\banks\\A.SBK");
}
