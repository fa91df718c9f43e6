// SoundFont 2 and 3 presets reach the card's slots the ways SoundFont 1
// presets do: dropped from the preset list by position or by number, and
// copied and pasted into another document.

#include "AppFixture.h"

#include "bank/CommandIds.h"
#include "soundfont/SoundFontReader.h"

#include <filesystem>

namespace
{
struct SourcePreset
{
    std::string name;
    std::uint32_t source; // program and bank, as the preset list gives them
};

std::unique_ptr<QMimeData> Dragged(const std::string& file, const std::vector<SourcePreset>& presets)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    for (const SourcePreset& preset : presets)
    {
        CPatchItem* item = list.AddNew();
        item->SetName(preset.name);
        item->SetSourceFile(file);
        item->SetSourcePatch(static_cast<int>(preset.source));
    }
    return std::unique_ptr<QMimeData>(PatchMime::CreateMimeData(list));
}
} // namespace

TEST_F(AppTest, SoundFont2PresetsOfEveryBankDropAndPasteOntoSlots)
{
    ASSERT_TRUE(Start());
    SoundFontBuilder bank;
    bank.Version(2, 4).SampleData(2000);
    const int piano = bank.AddInstrument("Piano", {bank.AddSample(0, 256)});
    bank.AddPreset("Piano", 0, 0, {piano});
    bank.AddPreset("Bright", 0, 8, {piano});
    bank.AddPreset("Kit", 0, 128, {piano});
    const std::string file = files.Write("multi.sf2", bank.Build());
    const auto data = Dragged(file, {{"Bright", MakeSourcePreset(0, 8)}, {"Kit", MakeSourcePreset(0, 128)}});

    ShowBank(2);
    ASSERT_EQ(Drop(*data, RowPoint(10)), Qt::CopyAction);
    EXPECT_EQ(RowText(10), QStringLiteral("[010] Bright"));
    EXPECT_EQ(RowText(11), QStringLiteral("[011] Kit"));
    EXPECT_EQ(Doc().GetCard().GetPresetName(2, 11), "Kit");

    // By number both are program 0: the first dropped takes the slot.
    ShowBank(3);
    ASSERT_EQ(Drop(*data, RowPoint(50), Qt::RightButton), Qt::CopyAction);
    EXPECT_EQ(RowText(0), QStringLiteral("[000] Bright"));
    EXPECT_EQ(Doc().GetCard().GetPresetName(3, 0), "Bright");

    // The clipboard keeps each patch's bank half: pasted into a new document
    // the variation is loaded again, not the bank-0 piano of the same number.
    ShowBank(-1);
    SelectRows({0});
    Run(ID_EDIT_COPY);
    prompts->answers = {IUserPrompts::Answer::No};
    Run(ID_FILE_NEW);
    ASSERT_EQ(Doc().GetPatches().GetSize(), 0);
    Run(ID_EDIT_PASTE);
    ASSERT_EQ(Doc().GetPatches().GetSize(), 1);
    EXPECT_EQ(Doc().GetPatches().GetItem(0)->GetSourcePatch(), static_cast<int>(MakeSourcePreset(0, 8)));
    EXPECT_EQ(Doc().GetCard().GetPresetName(2, 10), "Bright");
}

TEST_F(AppTest, ASoundFont3PresetDropsOntoASlot)
{
    const std::string sf3 = "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3";
    if (!std::filesystem::exists(sf3))
        GTEST_SKIP() << sf3 << " is installed by scripts/bootstrap";
    ASSERT_TRUE(Start());
    CSoundFontReader reader;
    ASSERT_TRUE(reader.Open(sf3));
    ASSERT_GT(reader.GetPresetCount(), 0);
    const PresetHeader first = reader.GetPresetHeader(0);
    const std::string name(first.name.data(), strnlen(first.name.data(), first.name.size()));
    ShowBank(4);
    const auto data = Dragged(sf3, {{name, MakeSourcePreset(first.presetNumber, first.bank)}});
    ASSERT_EQ(Drop(*data, RowPoint(first.presetNumber), Qt::RightButton), Qt::CopyAction);
    EXPECT_EQ(Doc().GetCard().GetPresetName(4, first.presetNumber), name);
    EXPECT_TRUE(Doc().GetPatches().GetItem(0)->IsLoaded());
}
