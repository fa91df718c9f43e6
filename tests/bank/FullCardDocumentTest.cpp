// A document naming a card-sized bank file for every user bank, opened on
// the emulated card: the card takes the files that fit and refuses the rest,
// and the document stays consistent with what the card holds.

#include "DocumentFixture.h"
#include "platform/StringTable.h"
#include "support/CardFillingBank.h"
#include "support/ScopedCardHome.h"

namespace
{
// A card home of the test's own, in the environment while the test runs.
class FullCardDocumentTest : public ::testing::Test
{
protected:
    ScopedCardHome home;
    TempDir files;
};
} // namespace

TEST_F(FullCardDocumentTest, OpeningMoreBankFilesThanTheCardHoldsLoadsTheFirstOnesAndStaysConsistent)
{
    constexpr int kFit = kCardFillingCopiesThatFit;
    constexpr int kLastBank = 127;
    const std::vector<std::string> copies = WriteCardFillingCopies(files, kLastBank);
    auto card = std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
    const std::string settings = card->GetSettingsKey();
    ASSERT_FALSE(settings.empty());
    ASSERT_TRUE(CRegistryStore(home.Path())
                    .Update([&](CRegistryStore::Tree& tree)
                            { tree.SetValue(settings, "MemoryKB", std::to_string(kCardFillingMemoryKB)); }));
    ASSERT_EQ(card->GetMemoryKB(false), static_cast<int>(kCardFillingMemoryKB));

    // Every user bank names its copy; one patch sits on a bank whose file
    // will not fit (4096 points: 8 KB).
    std::vector<std::pair<int, std::string>> bankFiles;
    for (int bank = 1; bank <= kLastBank; ++bank)
        bankFiles.emplace_back(bank, copies[static_cast<std::size_t>(bank - 1)]);
    const std::string path = files.Write(
        "full.tmb", DocumentBytes(-1, 0, 4, 2, bankFiles, {{"Grand", copies[kFit], 0, 0, kFit + 1}}));

    CTamberlyDoc doc(std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path())));
    ASSERT_TRUE(doc.OnOpenDocument(path)) << doc.GetErrorMessage();
    EXPECT_EQ(doc.CheckConsistency(), "");

    int loaded = 0;
    for (int bank = 1; bank <= kLastBank; ++bank)
    {
        const bool fits = bank <= kFit;
        loaded += !card->GetBankFile(bank).empty();
        EXPECT_EQ(card->GetBankFile(bank), fits ? copies[static_cast<std::size_t>(bank - 1)] : "") << bank;
        EXPECT_EQ(card->GetBankName(bank), fits ? CardFillingCopyName(bank) : "") << bank;
        // The bank view names the card's bank, else the document's patch there.
        // Appended, not " " + name: GCC 12 at -O3 takes that insert for an overlapping copy (-Wrestrict).
        const std::string suffix = fits               ? std::string(" ").append(CardFillingCopyName(bank))
                                   : bank == kFit + 1 ? " TMB"
                                                      : "";
        bool inUse = false;
        EXPECT_EQ(doc.GetBankCaption(bank, &inUse), FormatString(IDS_BANK_CAPTION, bank, suffix.c_str()));
        EXPECT_EQ(inUse, !suffix.empty()) << bank;
    }
    EXPECT_EQ(loaded, kFit);
    ASSERT_EQ(doc.GetPatches().GetSize(), 1);
    EXPECT_TRUE((*doc.GetPatches().begin())->IsLoaded()) << "the patch fits where its bank file did not";
    EXPECT_EQ(card->GetPresetName(kFit + 1, 0), "Grand");

    // The memory pane: the copies that fit and the patch's 8 KB taken.
    const int freeKB = static_cast<int>((kCardFillingBankWords - 1 - 4096) / 512);
    EXPECT_EQ(card->GetMemoryKB(true), freeKB);
    EXPECT_EQ(doc.GetFreeMemoryPaneText("?"), std::to_string(freeKB) + "KB free");

    // Closing gives all of it back.
    doc.OnCloseDocument();
    EXPECT_EQ(doc.CheckConsistency(), "");
    EXPECT_EQ(card->GetMemoryKB(true), static_cast<int>(kCardFillingMemoryKB));
}
