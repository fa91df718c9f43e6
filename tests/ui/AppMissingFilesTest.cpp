// Opening old Windows documents in the program: the profile's drive map and
// the folder tree's roots are where their files are looked for, and the
// "Missing Sound Files" window comes up only when something stays missing.

#include "AppFixture.h"

#include "bank/CommandIds.h"
#include "platform/StringTable.h"
#include "support/ArchiveBuilder.h"
#include "support/FileTree.h"
#include "support/SoundFontBuilder.h"
#include "ui/Profile.h"

namespace
{
Bytes WindowsDocument(const std::string& source)
{
    return ArchiveBuilder()
        .Int32(-1)
        .Int32(0)
        .Int32(0)
        .Int32(0)
        .Int32(-1)
        .Count(1)
        .NewClass("CPatchItem")
        .PatchData("Piano", source, 0, 0, 1)
        .String("")
        .Get();
}

Bytes PianoBank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Pianos").SampleData(4096);
    const int sample = bank.AddSample(0, 512);
    bank.AddPreset("Piano", 0, 0, {bank.AddInstrument("Piano", {sample})});
    return bank.Build();
}
} // namespace

TEST_F(AppTest, OldDocumentsFindTheirFilesThroughTheProfileAndReportTheRest)
{
    PlaceFile(files.Path(), "tree-root/deep/PIANO.SBK", PianoBank());
    PlaceFile(files.Path(), "win-d/Banks/Organ.sbk", PianoBank());
    // The folder tree's one root, and D: in the settings page's drive map.
    Profile::WriteProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 1);
    Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Name1"), QStringLiteral("Sounds"));
    Profile::WriteProfileString(IDS_PROFILE_PATHS, QStringLiteral("Path1"),
                                QString::fromStdString(files.Path() + "/tree-root"));
    PathResolverSettings settings;
    ASSERT_TRUE(settings.AddMapping("D:=" + files.Path() + "/win-d", nullptr));
    Profile::WriteResolverSettings(settings);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Enabled(ID_EDIT_SETTINGS));

    const std::string byName = PlaceFile(files.Path(), "docs/a.tmb", WindowsDocument("C:\\SBK\\piano.sbk"));
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(byName)));
    EXPECT_TRUE(Doc().GetPatches().GetItem(0)->IsLoaded());
    EXPECT_EQ(prompts->missingFilesShown, 0);

    const std::string mapped = PlaceFile(files.Path(), "docs/b.tmb", WindowsDocument("D:\\BANKS\\ORGAN.SBK"));
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(mapped)));
    EXPECT_TRUE(Doc().GetPatches().GetItem(0)->IsLoaded());
    EXPECT_EQ(prompts->missingFilesShown, 0);

    const std::string gone = PlaceFile(files.Path(), "docs/c.tmb", WindowsDocument("E:\\GONE.SBK"));
    ASSERT_TRUE(app->OpenDocumentFile(QString::fromStdString(gone)));
    EXPECT_TRUE(Doc().GetPatches().GetItem(0)->IsFileMissing());
    EXPECT_EQ(prompts->missingFilesShown, 1);
}
