// File > Export as SoundFont from the window: the open document's patches
// in the file, found as opening it found them, and the menu item in place.

#include "AppFixture.h"
#include "bank/CommandIds.h"
#include "media/MediaServices.h"
#include "soundfont/SoundFontReader.h"
#include "support/ArchiveBuilder.h"
#include "support/FileTree.h"
#include "support/SoundFontBuilder.h"
#include "ui/sheets/ExportOptionsDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QSlider>

TEST_F(AppTest, ExportAsSoundFontWritesTheOpenDocumentsPatches)
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Pianos").SampleData(4096);
    bank.AddPreset("Piano", 0, 0, {bank.AddInstrument("Piano", {bank.AddSample(0, 512)})});
    PlaceFile(files.Path(), "docs/sbk/PIANO.SBK", bank.Build());
    // A Windows path found by name beside the document.
    const std::string document = PlaceFile(files.Path(), "docs/Grand Set.tmb",
                                           ArchiveBuilder()
                                               .Int32(-1)
                                               .Int32(0)
                                               .Int32(0)
                                               .Int32(0)
                                               .Int32(-1)
                                               .Count(1)
                                               .NewClass("CPatchItem")
                                               .PatchData("Piano", "C:\\SBK\\piano.sbk", 0, 17, 4)
                                               .String("Notes")
                                               .Get());
    ASSERT_TRUE(Start());
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(document)));
    EXPECT_TRUE(Enabled(ID_FILE_EXPORT_SOUNDFONT));
    bool inFileMenu = false;
    for (const QAction* action : Frame()->GetFileMenu()->actions())
        inFileMenu = inFileMenu || action == Router().GetAction(ID_FILE_EXPORT_SOUNDFONT);
    EXPECT_TRUE(inFileMenu);

    const std::string target = files.File("grand.sf2");
    ASSERT_TRUE(Frame()->ExportSoundFont(QString::fromStdString(target)));
    CSoundFontReader reader;
    ASSERT_TRUE(reader.Open(target));
    EXPECT_EQ(reader.GetMajorVersion(), 2);
    ASSERT_EQ(reader.GetPresetCount(), 1);
    EXPECT_EQ(reader.GetPresetHeader(0).bank, 4);
    EXPECT_EQ(reader.GetPresetHeader(0).presetNumber, 17);
    EXPECT_EQ(reader.name, "Grand Set");
    EXPECT_EQ(reader.comment, "Notes");

    // The options asked first: the quality only for SoundFont 3, the GM set when ticked.
    CExportOptionsDialog choice("/gm/set.sf2", Frame());
    EXPECT_FALSE(choice.GetQuality()->isEnabled());
    EXPECT_FALSE(choice.GetOptions().compressed);
    EXPECT_TRUE(choice.GetOptions().synthBank.empty());
    choice.GetFormat()->setCurrentIndex(1);
    EXPECT_TRUE(choice.GetQuality()->isEnabled());
    choice.GetQuality()->setValue(2);
    choice.GetWithSynthBank()->setChecked(true);
    const SoundFontExportOptions options = choice.GetOptions();
    EXPECT_TRUE(options.compressed);
    EXPECT_DOUBLE_EQ(options.quality, 0.2);
    EXPECT_EQ(options.synthBank, "/gm/set.sf2");

    // As SoundFont 3, through the encoder the program installs.
    InstallMediaServices();
    const std::string compressed = files.File("grand.sf3");
    SoundFontExportOptions sf3;
    sf3.compressed = true;
    ASSERT_TRUE(Frame()->ExportSoundFont(QString::fromStdString(compressed), sf3));
    CSoundFontReader again;
    ASSERT_TRUE(again.Open(compressed));
    EXPECT_EQ(again.GetMajorVersion(), 3);
    EXPECT_EQ(again.GetPresetCount(), 1);
}
