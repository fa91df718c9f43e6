// The "Missing Sound Files" window, the missing-file mark in the bank view
// and the settings page, over a real document on the emulated card that was
// opened from a Windows document whose banks lie elsewhere.

#include "ui/sheets/SheetFixture.h"

#include "support/ArchiveBuilder.h"
#include "support/FileTree.h"
#include "ui/frame/BankViewModel.h"
#include "ui/sheets/MissingFilesDialog.h"
#include "ui/sheets/SettingsDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTreeWidget>

namespace
{
QString Q(const char* text)
{
    return QString::fromUtf8(text);
}

class MissingFilesTest : public SheetDocumentTest
{
protected:
    MissingFilesTest()
    {
        const Bytes pianos = ReadFileBytes(Bank("pianos.sbk", {{"Piano", 0}, {"Strings", 48}}));
        const Bytes drums = ReadFileBytes(Bank("drums.sbk", {{"Kick", 0}}));
        PlaceFile(files.Path(), "elsewhere/a/PIANO.sbk", pianos);
        PlaceFile(files.Path(), "elsewhere/b/Drums.SBK", drums);
        organ = PlaceFile(files.Path(), "picked/organ.sbk", pianos);
        const std::string document = PlaceFile(files.Path(), "old/song.tmb",
                                               ArchiveBuilder()
                                                   .Int32(-1)
                                                   .Int32(0)
                                                   .Int32(0)
                                                   .Int32(0)
                                                   .Int32(3)
                                                   .String("D:\\DRUMS.SBK")
                                                   .Int32(-1)
                                                   .Count(3)
                                                   .NewClass("CPatchItem")
                                                   .PatchData("Piano", "C:\\SBK\\PIANO.SBK", 0, 0, 1)
                                                   .Word(0x8001)
                                                   .PatchData("Strings", "C:\\SBK\\PIANO.SBK", 48, 1, 1)
                                                   .Word(0x8001)
                                                   .PatchData("Organ", "C:\\SBK\\ORGAN.SBK", 0, 2, 1)
                                                   .String("")
                                                   .Get());
        EXPECT_TRUE(doc->OnOpenDocument(document)) << doc->GetErrorMessage();
    }

    QStringList Rows(const CMissingFilesDialog& dialog) const
    {
        QStringList rows;
        for (int i = 0; i < dialog.GetList()->topLevelItemCount(); ++i)
        {
            const QTreeWidgetItem* row = dialog.GetList()->topLevelItem(i);
            rows << row->text(0) + Q(" | ") + row->text(1);
        }
        return rows;
    }

    std::string organ;
};
} // namespace

TEST_F(MissingFilesTest, TheWindowListsRelinksAndEmpties)
{
    std::vector<QString> folders{QString::fromStdString(files.Path() + "/elsewhere")};
    std::vector<QString> locatedFor;
    CMissingFilesDialog dialog(
        *doc,
        [&]
        {
            const QString folder = folders.empty() ? QString() : folders.back();
            folders.clear();
            return folder;
        },
        [&](const QString& stored)
        {
            locatedFor.push_back(stored);
            return QString::fromStdString(organ);
        });
    EXPECT_EQ(dialog.windowTitle(), Q("Missing Sound Files"));
    EXPECT_EQ(Rows(dialog), (QStringList{Q("D:\\DRUMS.SBK | [003]"), Q("C:\\SBK\\PIANO.SBK | Piano, Strings"),
                                         Q("C:\\SBK\\ORGAN.SBK | Organ")}));
    EXPECT_TRUE(dialog.GetList()->topLevelItem(1)->text(2).contains(Q("no folder in the drive map for C:")));
    // The stored paths read whole, not cut to "C:\SBK\PI...".
    const QFontMetrics metrics(dialog.GetList()->font());
    EXPECT_GE(dialog.GetList()->columnWidth(0), metrics.horizontalAdvance(Q("C:\\SBK\\PIANO.SBK")));

    dialog.GetSearchButton()->click();
    EXPECT_EQ(Rows(dialog), QStringList{Q("C:\\SBK\\ORGAN.SBK | Organ")});
    EXPECT_EQ(Card().GetPresetName(1, 1), "Strings");
    EXPECT_EQ(Card().GetBankName(3), "drums.sbk");
    EXPECT_TRUE(doc->IsModified());
    // A cancelled search changes nothing.
    dialog.GetSearchButton()->click();
    EXPECT_EQ(Rows(dialog).size(), 1);

    dialog.GetLocateButton()->click();
    EXPECT_EQ(locatedFor, std::vector<QString>{Q("C:\\SBK\\ORGAN.SBK")});
    EXPECT_TRUE(Rows(dialog).isEmpty());
    EXPECT_FALSE(dialog.GetLocateButton()->isEnabled());
    EXPECT_EQ(Card().GetPresetName(1, 2), "Piano");
}

TEST_F(MissingFilesTest, TheBankViewMarksPatchesWhoseFileIsMissing)
{
    CBankViewModel model(*doc);
    model.Fill(-1);
    ASSERT_EQ(model.rowCount(), 3);
    const QModelIndex piano = model.index(0, 0);
    EXPECT_EQ(model.data(piano, Qt::ToolTipRole).toString(), Q("File not found: C:\\SBK\\PIANO.SBK"));
    const auto image = [](const QVariant& icon) { return icon.value<QIcon>().pixmap(16).toImage(); };
    const QImage warning =
        QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16).toImage();
    ASSERT_FALSE(warning.isNull());
    EXPECT_EQ(image(model.data(piano, Qt::DecorationRole)), warning);

    doc->RelinkFromFolder(files.Path() + "/elsewhere");
    model.Fill(-1);
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::ToolTipRole).isValid());
    EXPECT_NE(image(model.data(model.index(0, 0), Qt::DecorationRole)), warning);
}

TEST_F(MissingFilesTest, TheSettingsPageEditsTheDriveMapAndSearchFolders)
{
    PathResolverSettings settings;
    ASSERT_TRUE(settings.AddMapping("C:=/mnt/old-c", nullptr));
    settings.searchFolders = {"/srv/banks"};
    std::vector<QString> picks{Q("/home/me/win-d"), Q("/home/me/sounds")};
    CSettingsDialog dialog(settings,
                           [&]
                           {
                               const QString pick = picks.front();
                               picks.erase(picks.begin());
                               return pick;
                           });
    ASSERT_EQ(dialog.GetDriveMap()->rowCount(), 1);
    dialog.AddDrive();
    dialog.AddSearchFolder();
    const PathResolverSettings edited = dialog.GetSettings();
    ASSERT_EQ(edited.driveMap.size(), 2u);
    EXPECT_EQ(edited.driveMap[1], std::make_pair(std::string("D:"), std::string("/home/me/win-d")));
    EXPECT_EQ(edited.searchFolders, (std::vector<std::string>{"/srv/banks", "/home/me/sounds"}));
    EXPECT_TRUE(dialog.CheckSettings().isEmpty());

    // A row that is no drive keeps the dialog open and says why.
    dialog.GetDriveMap()->item(1, 0)->setText(Q("1:"));
    EXPECT_EQ(dialog.CheckSettings(), Q("Drive map, row 2: a drive letter must be one of A to Z"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
}
