#pragma once
// A document on the emulated card of a card home of the test's own, a second
// session that looks at the same card, and SoundFont banks to place from.

#include "DocumentFixture.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"

struct Preset
{
    std::string name;
    std::uint16_t number;
    std::uint32_t points; // the preset takes twice as many bytes
};

class DocumentOnCardTest : public ::testing::Test
{
protected:
    DocumentOnCardTest()
    {
        card = std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
        doc = std::make_unique<CTamberlyDoc>(
            std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path())));
        pianos = Bank("A.SBK", "Pianos", {{"Piano", 0, 4096}, {"Strings", 48, 2048}});
        drums = Bank("DRUMS.SBK", "DRUMS", {{"Kick", 0, 512}, {"Snare", 7, 512}});
    }
    ~DocumentOnCardTest() override
    {
        EXPECT_EQ(doc->CheckConsistency(), "");
        doc.reset();
        card.reset();
    }

    std::string Bank(const std::string& name, const std::string& title, const std::vector<Preset>& presets)
    {
        SoundFontBuilder bank;
        bank.Info("INAM", title).SampleData(64 * 1024);
        std::uint32_t start = 0;
        for (const Preset& preset : presets)
        {
            const int sample = bank.AddSample(start, start + preset.points);
            start += preset.points;
            bank.AddPreset(preset.name, preset.number, 0, {bank.AddInstrument(preset.name, {sample})});
        }
        return files.Write(name, bank.Build());
    }

    void Open(const std::vector<StoredPatch>& patches,
              const std::vector<std::pair<int, std::string>>& bankFiles = {})
    {
        ASSERT_TRUE(
            doc->OnOpenDocument(files.Write("doc.tmb", DocumentBytes(-1, 0, 4, 2, bankFiles, patches))))
            << doc->GetErrorMessage();
    }

    CPatchItem* Patch(const std::string& name) const
    {
        for (CPatchItem* item : doc->GetPatches())
            if (item->GetName() == name)
                return item;
        return nullptr;
    }

    ScopedCardHome home;
    TempDir files;
    std::unique_ptr<CAweSession> card; // looks at the card beside the document
    std::unique_ptr<CTamberlyDoc> doc;
    std::string pianos;
    std::string drums;
};
