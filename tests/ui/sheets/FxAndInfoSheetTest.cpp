// The FX settings and bank information sheets through the document's
// commands, on the emulated card.

#include "ui/sheets/SheetFixture.h"

#include "support/ArchiveBuilder.h"
#include "ui/sheets/FxEditPage1.h"
#include "ui/sheets/FxEditSheet.h"
#include "ui/sheets/QtEffectsRunner.h"
#include "ui/sheets/QtInfoRunner.h"
#include "ui/sheets/TmbInfoPage.h"
#include "ui/sheets/TmbInfoSheet.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <functional>

namespace
{
class FxSheetTest : public SheetDocumentTest
{
protected:
    FxSheetTest()
    {
        // The card keeps its effects between tests: start from known ones.
        Card().SetReverb(2);
        Card().SetChorus(1);
    }

    void Run(const std::function<void(CFxEditSheet&, CFxEditPage1&)>& driver)
    {
        CQtEffectsRunner runner(nullptr);
        runner.SetDriver(
            [&](CPropertySheet& sheet)
            {
                auto& fx = static_cast<CFxEditSheet&>(sheet);
                driver(fx, fx.GetPage1());
            });
        doc->EditEffects(runner);
    }
};

// The user picks an entry of a list.
void Choose(QComboBox* list, const QString& text)
{
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
}
} // namespace

TEST_F(FxSheetTest, ListsShowTheCardsTypesAndOkWithoutChangesLeavesTheDocument)
{
    Run(
        [](CFxEditSheet& sheet, CFxEditPage1& page)
        {
            EXPECT_EQ(sheet.windowTitle(), QStringLiteral("FX Settings"));
            QStringList reverbs;
            QStringList choruses;
            for (int i = 0; i < page.GetReverbList()->count(); ++i)
                reverbs << page.GetReverbList()->itemText(i);
            for (int i = 0; i < page.GetChorusList()->count(); ++i)
                choruses << page.GetChorusList()->itemText(i);
            EXPECT_EQ(reverbs.join(QLatin1Char(',')),
                      QStringLiteral("Room 1,Room 2,Room 3,Hall 1,Hall 2,Plate,Delay,Panning Delay"));
            EXPECT_EQ(choruses.join(QLatin1Char(',')),
                      QStringLiteral("Chorus 1,Chorus 2,Chorus 3,Chorus 4,"
                                     "Feedback Delay,Flanger,Short Delay,Short DelayFB"));
            EXPECT_EQ(page.GetReverbList()->currentText(), QStringLiteral("Room 3"));
            EXPECT_EQ(page.GetChorusList()->currentText(), QStringLiteral("Chorus 2"));
            EXPECT_FALSE(sheet.GetApplyButton()->isEnabled());
            sheet.GetOkButton()->click();
        });
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Card().GetReverb(), 2);
    EXPECT_EQ(Card().GetChorus(), 1);
}

TEST_F(FxSheetTest, ApplyHall2ThenCancelPutsTheCardBack)
{
    Run(
        [this](CFxEditSheet& sheet, CFxEditPage1& page)
        {
            Choose(page.GetReverbList(), QStringLiteral("Hall 2"));
            EXPECT_TRUE(sheet.GetApplyButton()->isEnabled());
            sheet.GetApplyButton()->click();
            EXPECT_EQ(Card().GetReverb(), 4);
            EXPECT_EQ(Card().GetChorus(), 1);
            EXPECT_FALSE(sheet.GetApplyButton()->isEnabled());
            sheet.GetCancelButton()->click();
        });
    EXPECT_EQ(Card().GetReverb(), 2);
    EXPECT_EQ(Card().GetChorus(), 1);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(FxSheetTest, OkWithFlangerSendsItAndMarksTheDocumentModified)
{
    Run(
        [](CFxEditSheet& sheet, CFxEditPage1& page)
        {
            Choose(page.GetChorusList(), QStringLiteral("Flanger"));
            sheet.GetOkButton()->click();
        });
    EXPECT_EQ(Card().GetChorus(), 5);
    EXPECT_EQ(Card().GetReverb(), 2);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(FxSheetTest, ChangingAListBackLeavesApplyEnabled)
{
    Run(
        [](CFxEditSheet& sheet, CFxEditPage1& page)
        {
            Choose(page.GetReverbList(), QStringLiteral("Plate"));
            Choose(page.GetReverbList(), QStringLiteral("Room 3"));
            EXPECT_TRUE(sheet.GetApplyButton()->isEnabled());
            // The close box is Cancel.
            sheet.close();
        });
    EXPECT_EQ(Card().GetReverb(), 2);
    EXPECT_FALSE(doc->IsModified());
}

namespace
{
class InfoSheetTest : public SheetDocumentTest
{
protected:
    // Opens a document whose information text is info (bytes as stored).
    void OpenWithInfo(const std::string& info)
    {
        ArchiveBuilder bytes;
        bytes.Header(-1, 0, 0, 0).Count(0).String(info);
        ASSERT_TRUE(doc->OnOpenDocument(files.Write("info.tmb", bytes.Get()))) << doc->GetErrorMessage();
        ASSERT_EQ(doc->GetInfoText(), info);
    }

    void Run(const std::function<void(CTmbInfoSheet&, CTmbInfoPage&)>& driver)
    {
        CQtInfoRunner runner(nullptr);
        runner.SetDriver(
            [&](CPropertySheet& sheet)
            {
                auto& info = static_cast<CTmbInfoSheet&>(sheet);
                driver(info, info.GetPage());
            });
        doc->EditInfo(runner);
    }
};
} // namespace

TEST_F(InfoSheetTest, OkWithoutEditingKeepsTheBytesAndMarksTheDocumentModified)
{
    // CR LF breaks and a Windows-1252 byte, as old documents hold them.
    const std::string stored = "Drums for \"Caf\xE9\"\r\nGS mode\r\n\r\nend";
    OpenWithInfo(stored);
    Run(
        [](CTmbInfoSheet& sheet, CTmbInfoPage& page)
        {
            EXPECT_EQ(sheet.windowTitle(), QStringLiteral("Virtual Bank Information"));
            EXPECT_EQ(page.GetEdit()->toPlainText(),
                      QStringLiteral("Drums for \"Caf\u00E9\"\nGS mode\n\nend"));
            sheet.GetOkButton()->click();
        });
    EXPECT_EQ(doc->GetInfoText(), stored);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(InfoSheetTest, CancelAfterEditingLeavesTextAndModifiedState)
{
    OpenWithInfo("kept");
    Run(
        [](CTmbInfoSheet& sheet, CTmbInfoPage& page)
        {
            QTest::keyClicks(page.GetEdit(), QStringLiteral("typed"));
            sheet.GetCancelButton()->click();
        });
    EXPECT_EQ(doc->GetInfoText(), "kept");
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(InfoSheetTest, CtrlEnterBreaksTheLineAndEnterPressesOk)
{
    OpenWithInfo("");
    bool closedByEnter = false;
    Run(
        [&](CTmbInfoSheet& sheet, CTmbInfoPage& page)
        {
            QTest::keyClicks(page.GetEdit(), QStringLiteral("first"));
            QTest::keyClick(page.GetEdit(), Qt::Key_Return, Qt::ControlModifier);
            QTest::keyClicks(page.GetEdit(), QStringLiteral("second"));
            QTest::keyClick(page.GetEdit(), Qt::Key_Return);
            closedByEnter = !sheet.isVisible() && sheet.result() == QDialog::Accepted;
        });
    EXPECT_TRUE(closedByEnter);
    EXPECT_EQ(doc->GetInfoText(), "first\r\nsecond");
    EXPECT_TRUE(doc->IsModified());

    // Saved and opened again, the text comes back byte for byte.
    ASSERT_TRUE(doc->OnSaveDocument(files.File("saved.tmb"))) << doc->GetErrorMessage();
    ASSERT_TRUE(doc->OnOpenDocument(files.File("saved.tmb"))) << doc->GetErrorMessage();
    EXPECT_EQ(doc->GetInfoText(), "first\r\nsecond");
}

TEST(TmbInfoPageText, LineBreaksBecomeCarriageReturnLineFeedPairs)
{
    EXPECT_EQ(CTmbInfoPage::StoredToEdit("a\r\nb\r\n"), QStringLiteral("a\nb\n"));
    EXPECT_EQ(CTmbInfoPage::EditToStored(QStringLiteral("a\nb\n")), "a\r\nb\r\n");
    EXPECT_EQ(CTmbInfoPage::EditToStored(QStringLiteral("a\r\nb")), "a\r\nb")
        << "no doubled carriage returns";
    EXPECT_EQ(CTmbInfoPage::EditToStored(QStringLiteral("\u00E9")), "\xC3\xA9")
        << "new text is stored as UTF-8";
}
