// The tip of the day: reading rules of the tips file, the stored position
// and start-up choice, and the dialog's controls.

#include "ui/sheets/TipDialog.h"
#include "support/RiffBuilder.h"
#include "ui/sheets/TipsFile.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <thread>

namespace
{
Bytes Text(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

class TipDialogTest : public ::testing::Test
{
protected:
    TipDialogTest() : settings(QString::fromStdString(dir.File("profile.ini")), QSettings::IniFormat)
    {
        tips = dir.Write("tips.txt", Text("; how to write tips\n"
                                          "\n"
                                          "  an indented line\n"
                                          "\tand a tabbed one\n"
                                          "First tip\r\n"
                                          "Second tip\n"
                                          "; the end\n"));
    }

    TipDialogOptions Options()
    {
        TipDialogOptions options;
        options.tipsFile = tips;
        options.profile = &settings;
        options.reportError = [this](const QString& text) { troubles << text; };
        return options;
    }

    // What a start-up shows: the dialog is made, read and destroyed.
    std::string NextStart()
    {
        CTipDialog dialog(nullptr, Options());
        return dialog.GetTipText();
    }

    QVariant Stored(const char* value) const
    {
        return settings.value(QStringLiteral("Tip/") + QLatin1String(value));
    }

    TempDir dir;
    QSettings settings;
    std::string tips;
    QStringList troubles;
};
} // namespace

TEST_F(TipDialogTest, SkipsCommentEmptyAndIndentedLinesAndWrapsAtTheEnd)
{
    CTipDialog dialog(nullptr, Options());
    dialog.open();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tip of the Day"));
    EXPECT_EQ(dialog.GetTipText(), "First tip\n") << "read without the carriage return";
    EXPECT_EQ(dialog.GetTipLabel()->text(), QStringLiteral("First tip"));
    EXPECT_TRUE(dialog.GetStartupCheck()->isChecked());
    EXPECT_TRUE(dialog.GetNextButton()->isEnabled());

    dialog.GetNextButton()->click();
    EXPECT_EQ(dialog.GetTipLabel()->text(), QStringLiteral("Second tip"));
    dialog.GetNextButton()->click();
    EXPECT_EQ(dialog.GetTipLabel()->text(), QStringLiteral("First tip"));
    EXPECT_TRUE(troubles.isEmpty());
}

TEST_F(TipDialogTest, EveryStartMovesOnByOneTip)
{
    EXPECT_EQ(NextStart(), "First tip\n");
    const qlonglong afterFirst = Stored("FilePos").toLongLong();
    EXPECT_EQ(afterFirst, static_cast<qlonglong>(std::string("; how to write tips\n\n  an indented line\n"
                                                             "\tand a tabbed one\nFirst tip\r\n")
                                                     .size()));
    EXPECT_FALSE(Stored("TimeStamp").toString().isEmpty());
    EXPECT_EQ(NextStart(), "Second tip\n");
    EXPECT_EQ(NextStart(), "First tip\n");
}

TEST_F(TipDialogTest, AReplacedFileStartsAgainAtItsFirstTip)
{
    EXPECT_EQ(NextStart(), "First tip\n");
    EXPECT_EQ(NextStart(), "Second tip\n");
    const QString oldStamp = Stored("TimeStamp").toString();

    // The stamp has a resolution of seconds: replace the file until it shows a new one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    QString newStamp;
    do
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        std::filesystem::remove(tips);
        dir.Write("tips.txt", Text("Brand new tip\nAnother new tip\nAnd a third\n"));
        CTipsFile file;
        ASSERT_TRUE(file.Open(tips));
        newStamp = QString::fromStdString(file.GetCreationStamp());
    } while (newStamp == oldStamp && std::chrono::steady_clock::now() < deadline);
    ASSERT_NE(newStamp, oldStamp);

    // The old position (after the second tip) would land inside the second new line.
    EXPECT_EQ(NextStart(), "Brand new tip\n");
    EXPECT_EQ(Stored("TimeStamp").toString(), newStamp);
    EXPECT_EQ(NextStart(), "Another new tip\n");
}

TEST_F(TipDialogTest, UncheckingShowAtStartUpStoresOneOnClose)
{
    {
        CTipDialog dialog(nullptr, Options());
        EXPECT_TRUE(dialog.GetShowAtStartup());
        dialog.open();
        dialog.GetStartupCheck()->click();
        dialog.GetCloseButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Stored("StartUp").toInt(), 1);

    // The next start shows no dialog but still moves on.
    {
        CTipDialog dialog(nullptr, Options());
        EXPECT_FALSE(dialog.GetShowAtStartup());
        EXPECT_EQ(dialog.GetTipText(), "Second tip\n");
        dialog.open();
        EXPECT_FALSE(dialog.GetStartupCheck()->isChecked());
        // Escape does not store the box.
        dialog.GetStartupCheck()->click();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(Stored("StartUp").toInt(), 1);

    {
        CTipDialog dialog(nullptr, Options());
        dialog.open();
        dialog.GetStartupCheck()->click();
        dialog.GetCloseButton()->click();
    }
    EXPECT_EQ(Stored("StartUp").toInt(), 0);
}

TEST_F(TipDialogTest, AMissingFileSaysSoAndStoresNoPosition)
{
    tips = dir.File("absent.txt");
    CTipDialog dialog(nullptr, Options());
    dialog.open();
    EXPECT_EQ(dialog.GetTipLabel()->text(),
              QStringLiteral("Tips file does not exist in the prescribed directory"));
    EXPECT_FALSE(dialog.GetNextButton()->isEnabled());
    dialog.reject();
    EXPECT_FALSE(settings.contains(QStringLiteral("Tip/FilePos")));
    EXPECT_TRUE(troubles.isEmpty());
}

TEST_F(TipDialogTest, AFileWithoutTipsStopsAfterOneRound)
{
    for (const std::string& content : {std::string(";only comments\n\n   \n\t\t\n"), std::string()})
    {
        tips = dir.Write("empty.txt", Text(content));
        CTipDialog dialog(nullptr, Options());
        dialog.open();
        EXPECT_EQ(dialog.GetTipText(), "");
        EXPECT_EQ(dialog.GetTipLabel()->text(), QString());
        EXPECT_FALSE(dialog.GetNextButton()->isEnabled());
        dialog.reject();
    }
    EXPECT_TRUE(troubles.isEmpty());
}

TEST_F(TipDialogTest, APositionThatCannotBeReachedIsReported)
{
    CTipsFile file;
    ASSERT_TRUE(file.Open(tips));
    settings.setValue(QStringLiteral("Tip/TimeStamp"), QString::fromStdString(file.GetCreationStamp()));
    settings.setValue(QStringLiteral("Tip/FilePos"), -5);
    {
        CTipDialog dialog(nullptr, Options());
        EXPECT_EQ(dialog.GetTipText(), "");
    }
    EXPECT_EQ(troubles, QStringList{QStringLiteral("Trouble reading the tips file")});
    // A position past the end wraps to the first tip.
    troubles.clear();
    settings.setValue(QStringLiteral("Tip/FilePos"), 100000);
    EXPECT_EQ(NextStart(), "First tip\n");
    EXPECT_TRUE(troubles.isEmpty());
}

TEST(TipsFile, LongLinesComeInPiecesOfTheLongestLength)
{
    TempDir dir;
    const std::string longLine(2100, 'x');
    const std::string exact(CTipsFile::kMaxLine, 'y');
    const std::string path = dir.Write("tips.txt", Text(longLine + "\n" + exact + "\r\nShort\n"));
    CTipsFile file;
    ASSERT_TRUE(file.Open(path));
    std::string tip;
    std::vector<std::size_t> sizes;
    for (int i = 0; i < 5; ++i)
    {
        ASSERT_EQ(file.ReadNextTip(tip), CTipsFile::ReadResult::Tip);
        sizes.push_back(tip.size());
    }
    // 2100 = 999 + 999 + 102 (with its line feed); the exact line takes its break along.
    EXPECT_EQ(sizes, (std::vector<std::size_t>{999, 999, 103, 1000, 6}));
    EXPECT_EQ(tip, "Short\n");
}

TEST(TipsFile, StampsAreCtimeTextWithoutTheLineBreak)
{
    const char* oldZone = std::getenv("TZ");
    const std::string saved = oldZone ? oldZone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(CtimeText(0), "Thu Jan  1 00:00:00 1970");
    EXPECT_EQ(CtimeText(1700000000), "Tue Nov 14 22:13:20 2023");
    if (oldZone)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ShippedTips, TheProgramFindsTwentyOrMoreDistinctTips)
{
    const std::string path = CTipDialog::FindTipsFile();
    CTipsFile file;
    ASSERT_TRUE(file.Open(path)) << path;
    std::set<std::string> seen;
    std::string tip;
    std::string first;
    for (;;)
    {
        ASSERT_EQ(file.ReadNextTip(tip), CTipsFile::ReadResult::Tip);
        if (tip == first)
            break; // wrapped
        if (first.empty())
            first = tip;
        EXPECT_LT(tip.size(), CTipsFile::kMaxLine) << "a tip longer than a line would show in pieces";
        EXPECT_TRUE(seen.insert(tip).second) << tip;
        ASSERT_LT(seen.size(), 200u);
    }
    EXPECT_GE(seen.size(), 20u);
}

TEST(ShippedTips, TheWorkingFolderComesFirstThenTheProgramsFolder)
{
    TempDir withTips;
    withTips.Write("tips.txt", Text("Local tip\n"));
    TempDir without;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(withTips.Path());
    const std::string local = CTipDialog::FindTipsFile();
    std::filesystem::current_path(without.Path());
    const std::string shipped = CTipDialog::FindTipsFile();
    std::filesystem::current_path(previous);
    EXPECT_EQ(local, "tips.txt");
    EXPECT_EQ(shipped, QCoreApplication::applicationDirPath().toStdString() + "/tips.txt");
}
