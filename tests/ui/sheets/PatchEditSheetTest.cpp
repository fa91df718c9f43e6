// The patch properties sheet on a real document and the emulated card.

#include "ui/sheets/SheetFixture.h"

#include "ui/sheets/PatchEditPage1.h"
#include "ui/sheets/PatchEditSheet.h"
#include "ui/sheets/QtPatchPropertiesRunner.h"
#include "ui/sheets/UpDownCtrl.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace
{
QStringList Entries(const QComboBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

class PatchEditSheetTest : public SheetDocumentTest
{
protected:
    PatchEditSheetTest()
    {
        pianos = Bank("PIANOS.SBK", {{"Grand Piano", 0}, {"Strings", 48}, {"Organ", 16}});
        drums = Bank("DRUMS.SBK", {{"Kick", 36}, {"Snare", 38}});
        piano = Place("Grand Piano", pianos, 0, 1, 0);
    }

    // Runs the sheet for patch through the document; driver plays the user.
    bool Run(CPatchItem* patch, const std::function<void(CPatchEditSheet&, CPatchEditPage1&)>& driver)
    {
        bool ended = false;
        bool ok = false;
        CQtPatchPropertiesRunner runner(nullptr);
        runner.SetFileChooser(
            [this](QWidget*, const QString& initial, const QString& filter)
            {
                chooserCalls.push_back({initial, filter});
                return chosenFile;
            });
        runner.SetDriver(
            [&](CPropertySheet& sheet)
            {
                auto& patchSheet = static_cast<CPatchEditSheet&>(sheet);
                driver(patchSheet, patchSheet.GetPage1());
                ended = !sheet.isVisible();
                ok = sheet.result() == QDialog::Accepted;
            });
        doc->EditPatchProperties(patch, runner);
        EXPECT_TRUE(ended) << "the driver should end the sheet with one of its buttons";
        return ok;
    }

    std::string pianos;
    std::string drums;
    CPatchItem* piano = nullptr;
    QString chosenFile;
    std::vector<std::pair<QString, QString>> chooserCalls;
};
} // namespace

TEST_F(PatchEditSheetTest, OpensWithThePatchAndOkWithoutChangesCallsNothing)
{
    const bool ok =
        Run(piano,
            [](CPatchEditSheet& sheet, CPatchEditPage1& page)
            {
                EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Patch Properties"));
                EXPECT_EQ(page.GetNameEdit()->text(), QStringLiteral("Grand Piano"));
                EXPECT_EQ(page.GetTargetBankEdit()->text(), QStringLiteral("1"));
                EXPECT_EQ(page.GetTargetPatchEdit()->text(), QStringLiteral("0"));
                // Sorted by text, so presets come by number whatever their order in the file.
                EXPECT_EQ(Entries(page.GetSourcePatchList()),
                          (QStringList{QStringLiteral("None"), QStringLiteral("[000] Grand Piano"),
                                       QStringLiteral("[016] Organ"), QStringLiteral("[048] Strings")}));
                EXPECT_EQ(page.GetSourcePatchList()->currentText(), QStringLiteral("[000] Grand Piano"));
                EXPECT_FALSE(sheet.GetApplyButton()->isEnabled());
                sheet.GetOkButton()->click();
            });
    EXPECT_TRUE(ok);
    EXPECT_EQ(observer.updates, 0);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Card().GetPresetName(1, 0), "Grand Piano");
}

TEST_F(PatchEditSheetTest, TargetNumbersOutsideTheRangeBecomeUnassignedAndLettersCountZero)
{
    Run(piano,
        [](CPatchEditSheet& sheet, CPatchEditPage1& page)
        {
            CPatchItem& working = *page.GetWorkingPatch();
            TypeAndLeave(page.GetTargetBankEdit(), QStringLiteral("200"));
            EXPECT_EQ(page.GetTargetBankEdit()->text(), QStringLiteral("-1"));
            EXPECT_EQ(working.GetTargetBank(), -1);
            EXPECT_TRUE(sheet.GetApplyButton()->isEnabled());

            TypeAndLeave(page.GetTargetPatchEdit(), QStringLiteral("abc"));
            EXPECT_EQ(working.GetTargetPatch(), 0);
            TypeAndLeave(page.GetTargetPatchEdit(), QStringLiteral("12x"));
            EXPECT_EQ(working.GetTargetPatch(), 12);
            TypeAndLeave(page.GetTargetPatchEdit(), QStringLiteral("-7"));
            EXPECT_EQ(working.GetTargetPatch(), -1);

            // Back to the document's values: nothing left to apply.
            TypeAndLeave(page.GetTargetBankEdit(), QStringLiteral("1"));
            TypeAndLeave(page.GetTargetPatchEdit(), QStringLiteral("0"));
            EXPECT_FALSE(sheet.GetApplyButton()->isEnabled());
            sheet.GetCancelButton()->click();
        });
    EXPECT_EQ(observer.updates, 0);
}

TEST_F(PatchEditSheetTest, UpDownStepsStayWithinMinusOneTo127)
{
    Run(piano,
        [](CPatchEditSheet& sheet, CPatchEditPage1& page)
        {
            CPatchItem& working = *page.GetWorkingPatch();
            CUpDownCtrl* bank = page.GetTargetBankUpDown();
            bank->GetDownButton()->click();
            EXPECT_EQ(working.GetTargetBank(), 0);
            bank->GetDownButton()->click();
            EXPECT_EQ(working.GetTargetBank(), -1);
            bank->GetDownButton()->click();
            EXPECT_EQ(working.GetTargetBank(), -1);
            EXPECT_EQ(page.GetTargetBankEdit()->text(), QStringLiteral("-1"));

            // A typed number is where the next step starts, as is the arrow key in the edit.
            page.GetTargetPatchEdit()->setText(QStringLiteral("127"));
            page.GetTargetPatchUpDown()->GetUpButton()->click();
            EXPECT_EQ(page.GetTargetPatchEdit()->text(), QStringLiteral("127"));
            QTest::keyClick(page.GetTargetPatchEdit(), Qt::Key_Down);
            EXPECT_EQ(working.GetTargetPatch(), 126);
            EXPECT_EQ(page.GetTargetPatchEdit()->text(), QStringLiteral("126"));
            sheet.GetCancelButton()->click();
        });
}

TEST_F(PatchEditSheetTest, ApplyThenCancelPutsThePatchAndTheCardBack)
{
    const bool ok = Run(piano,
                        [this](CPatchEditSheet& sheet, CPatchEditPage1& page)
                        {
                            QTest::keyClicks(page.GetNameEdit(), QStringLiteral(" 2"));
                            TypeAndLeave(page.GetTargetPatchEdit(), QStringLiteral("5"));
                            sheet.GetApplyButton()->click();
                            EXPECT_FALSE(sheet.GetApplyButton()->isEnabled());
                            EXPECT_TRUE(sheet.isVisible());
                            EXPECT_EQ(piano->GetName(), "Grand Piano 2");
                            EXPECT_EQ(piano->GetTargetPatch(), 5);
                            EXPECT_EQ(Card().GetPresetName(1, 5), "Grand Piano");
                            EXPECT_EQ(Card().GetPresetName(1, 0), "");
                            sheet.GetCancelButton()->click();
                        });
    EXPECT_FALSE(ok);
    EXPECT_EQ(piano->GetName(), "Grand Piano");
    EXPECT_EQ(piano->GetTargetBank(), 1);
    EXPECT_EQ(piano->GetTargetPatch(), 0);
    EXPECT_TRUE(piano->IsLoaded());
    EXPECT_EQ(Card().GetPresetName(1, 0), "Grand Piano");
    EXPECT_EQ(Card().GetPresetName(1, 5), "");
}

TEST_F(PatchEditSheetTest, AClearedSourceFileBecomesNoneWithOnlyNoneListed)
{
    Run(piano,
        [](CPatchEditSheet& sheet, CPatchEditPage1& page)
        {
            TypeAndLeave(page.GetSourceFileEdit(), QString());
            EXPECT_EQ(page.GetSourceFileEdit()->text(), QStringLiteral("None"));
            EXPECT_EQ(Entries(page.GetSourcePatchList()), QStringList{QStringLiteral("None")});
            EXPECT_EQ(page.GetSourcePatchList()->currentIndex(), 0);
            EXPECT_EQ(page.GetWorkingPatch()->GetSourceFile(), "None");
            EXPECT_EQ(page.GetWorkingPatch()->GetSourcePatch(), -1);
            sheet.GetOkButton()->click();
        });
    EXPECT_EQ(piano->GetSourceFile(), "None");
    EXPECT_EQ(piano->GetSourcePatch(), -1);
    EXPECT_FALSE(piano->IsLoaded());
    EXPECT_EQ(Card().GetPresetName(1, 0), "");
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(PatchEditSheetTest, ANewSourceFileForgetsTheOldPresetNumber)
{
    // The old number 0 is no preset of the drum bank; kept, OK would load nothing sensible.
    const bool ok = Run(piano,
                        [this](CPatchEditSheet& sheet, CPatchEditPage1& page)
                        {
                            TypeAndLeave(page.GetSourceFileEdit(), QString::fromStdString(drums));
                            EXPECT_EQ(Entries(page.GetSourcePatchList()),
                                      (QStringList{QStringLiteral("None"), QStringLiteral("[036] Kick"),
                                                   QStringLiteral("[038] Snare")}));
                            EXPECT_EQ(page.GetSourcePatchList()->currentText(), QStringLiteral("None"));
                            EXPECT_EQ(page.GetWorkingPatch()->GetSourcePatch(), -1);

                            page.GetSourcePatchList()->setCurrentIndex(2);
                            Q_EMIT page.GetSourcePatchList()->activated(2);
                            EXPECT_EQ(page.GetWorkingPatch()->GetSourcePatch(), 38);
                            sheet.GetOkButton()->click();
                        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(piano->GetSourceFile(), drums);
    EXPECT_EQ(piano->GetSourcePatch(), 38);
    EXPECT_EQ(Card().GetPresetName(1, 0), "Snare");
}

TEST_F(PatchEditSheetTest, UnreadableSourceFilesOfferOnlyNone)
{
    const std::string broken =
        files.Write("BROKEN.TMB", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'b', 'a', 'n', 'k'});
    const std::string truncated =
        files.Write("CUT.SBK", Bytes{'R', 'I', 'F', 'F', 0xFF, 0xFF, 0, 0, 's', 'f'});
    Run(piano,
        [&](CPatchEditSheet& sheet, CPatchEditPage1& page)
        {
            for (const std::string& path : {broken, truncated, files.File("GONE.SBK")})
            {
                EXPECT_FALSE(page.FillSourcePatches(path)) << path;
                EXPECT_EQ(Entries(page.GetSourcePatchList()), QStringList{QStringLiteral("None")}) << path;
            }
            EXPECT_TRUE(page.FillSourcePatches(pianos));
            EXPECT_EQ(page.GetSourcePatchList()->currentIndex(), -1) << "a refill selects nothing";
            // A number the file lacks leaves the selection alone.
            page.SelectSourcePatch(16);
            page.SelectSourcePatch(99);
            EXPECT_EQ(page.GetSourcePatchList()->currentText(), QStringLiteral("[016] Organ"));
            sheet.GetCancelButton()->click();
        });
}

TEST_F(PatchEditSheetTest, BrowseTakesOnlyANewFile)
{
    chosenFile = QString::fromStdString(pianos);
    Run(piano,
        [this](CPatchEditSheet& sheet, CPatchEditPage1& page)
        {
            page.GetBrowseButton()->click();
            EXPECT_FALSE(sheet.GetApplyButton()->isEnabled()) << "the file already set changes nothing";
            EXPECT_EQ(page.GetWorkingPatch()->GetSourcePatch(), 0);

            chosenFile = QString::fromStdString(drums);
            page.GetBrowseButton()->click();
            EXPECT_EQ(page.GetSourceFileEdit()->text(), chosenFile);
            EXPECT_EQ(page.GetWorkingPatch()->GetSourceFile(), drums);
            EXPECT_EQ(page.GetWorkingPatch()->GetSourcePatch(), -1);
            EXPECT_EQ(page.GetSourcePatchList()->count(), 3);
            EXPECT_TRUE(sheet.GetApplyButton()->isEnabled());

            chosenFile.clear(); // the user cancels the chooser
            page.GetBrowseButton()->click();
            EXPECT_EQ(page.GetWorkingPatch()->GetSourceFile(), drums);
            sheet.GetCancelButton()->click();
        });
    ASSERT_EQ(chooserCalls.size(), 3u);
    EXPECT_EQ(chooserCalls[0].first, QString::fromStdString(pianos));
    EXPECT_EQ(chooserCalls[1].first, QString::fromStdString(pianos));
    EXPECT_EQ(chooserCalls[2].first, QString::fromStdString(drums));
    EXPECT_EQ(chooserCalls[0].second, QStringLiteral("Soundfont files (*.sbk *.SBK *.sf2 *.SF2 *.sf3 "
                                                     "*.SF3);;Wave Files (*.wav *.WAV);;All files (*)"));
    EXPECT_EQ(piano->GetSourceFile(), pianos);
}

TEST_F(PatchEditSheetTest, ASlotHeldByAnotherPatchLeavesThePatchUnassigned)
{
    Place("Strings", pianos, 48, 1, 7);
    Run(piano,
        [this](CPatchEditSheet& sheet, CPatchEditPage1& page)
        {
            TypeAndLeave(page.GetTargetPatchEdit(), QStringLiteral("7"));
            sheet.GetApplyButton()->click();
            EXPECT_EQ(page.GetTargetBankEdit()->text(), QStringLiteral("-1"));
            EXPECT_EQ(page.GetTargetPatchEdit()->text(), QStringLiteral("-1"));
            EXPECT_EQ(piano->GetTargetBank(), -1);
            EXPECT_EQ(Card().GetPresetName(1, 7), "Strings");
            sheet.GetOkButton()->click();
        });
    EXPECT_EQ(piano->GetTargetBank(), -1);
    EXPECT_FALSE(piano->IsLoaded());
    EXPECT_EQ(Card().GetPresetName(1, 0), "");
}

TEST_F(PatchEditSheetTest, EnterInANumberEditTakesTheTypedNumber)
{
    const bool ok = Run(piano,
                        [](CPatchEditSheet& sheet, CPatchEditPage1& page)
                        {
                            QApplication::setActiveWindow(&sheet);
                            page.GetTargetPatchEdit()->setFocus();
                            ASSERT_EQ(QApplication::focusWidget(), page.GetTargetPatchEdit());
                            page.GetTargetPatchEdit()->selectAll();
                            QTest::keyClicks(page.GetTargetPatchEdit(), QStringLiteral("9"));
                            QTest::keyClick(page.GetTargetPatchEdit(), Qt::Key_Return);
                            EXPECT_FALSE(sheet.isVisible());
                        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(piano->GetTargetPatch(), 9);
    EXPECT_EQ(Card().GetPresetName(1, 9), "Grand Piano");
}

TEST_F(PatchEditSheetTest, OnlyDocumentPatchesOpenTheSheet)
{
    CPatchItem stranger(true);
    bool ran = false;
    CQtPatchPropertiesRunner runner(nullptr);
    runner.SetDriver(
        [&](CPropertySheet& sheet)
        {
            ran = true;
            sheet.reject();
        });
    doc->EditPatchProperties(&stranger, runner);
    doc->EditPatchProperties(nullptr, runner);
    EXPECT_FALSE(ran);
}
