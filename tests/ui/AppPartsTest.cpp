// The application's small parts: command line, file filters, the document
// template's names, the recent-file list and the lock indicators.

#include "QtPrinters.h"
#include "app/CommandLineInfo.h"
#include "app/DocTemplate.h"
#include "app/RecentFileList.h"
#include "platform/StringTable.h"
#include "support/RiffBuilder.h"
#include "ui/FileFilter.h"
#include "ui/Profile.h"
#include "ui/frame/LockKeys.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{
CCommandLineInfo Parse(std::initializer_list<const char*> arguments)
{
    QStringList list;
    for (const char* argument : arguments)
        list << QString::fromUtf8(argument);
    return CCommandLineInfo::Parse(list);
}
} // namespace

TEST(CommandLineInfo, FilesOptionsAndMistakes)
{
    EXPECT_EQ(Parse({}).action, CCommandLineInfo::Action::Run);
    EXPECT_TRUE(Parse({}).fileName.isEmpty());

    const CCommandLineInfo open = Parse({"/tmp/a bank.tmb"});
    EXPECT_EQ(open.action, CCommandLineInfo::Action::Run);
    EXPECT_EQ(open.fileName, QStringLiteral("/tmp/a bank.tmb"));

    const CCommandLineInfo shot = Parse({"--screenshot", "out.png", "x.tmb"});
    EXPECT_EQ(shot.screenshot, QStringLiteral("out.png"));
    EXPECT_EQ(shot.fileName, QStringLiteral("x.tmb"));
    EXPECT_EQ(Parse({"--screenshot=b.png"}).screenshot, QStringLiteral("b.png"));

    EXPECT_EQ(Parse({"x.tmb", "--help"}).action, CCommandLineInfo::Action::Help);
    EXPECT_EQ(Parse({"--version"}).action, CCommandLineInfo::Action::Version);
    // After "--" a name that starts with a dash is a file.
    EXPECT_EQ(Parse({"--", "-odd.tmb"}).fileName, QStringLiteral("-odd.tmb"));

    const CCommandLineInfo unknown = Parse({"--frobnicate"});
    EXPECT_EQ(unknown.action, CCommandLineInfo::Action::Error);
    EXPECT_TRUE(unknown.errorText.contains(QLatin1String("--frobnicate")));
    EXPECT_EQ(Parse({"--screenshot"}).action, CCommandLineInfo::Action::Error);
    EXPECT_EQ(Parse({"--screenshot="}).action, CCommandLineInfo::Action::Error);
    const CCommandLineInfo two = Parse({"a.tmb", "b.tmb"});
    EXPECT_EQ(two.action, CCommandLineInfo::Action::Error);
    EXPECT_TRUE(two.errorText.contains(QLatin1String("b.tmb")));
}

TEST(FileFilter, TableFiltersBecomeQtFiltersForBothCases)
{
    EXPECT_EQ(FileFilter::FromStringTable(IDS_FILTER_SHB_FILES),
              QStringLiteral("Soundshelf Manager 2.xx files (*.shb *.SHB)"));
    EXPECT_EQ(FileFilter::ToQtFilter(QStringLiteral("Banks (*.sbk;*.SF2)|*.sbk;*.SF2|All (*.*)|*.*||")),
              QStringLiteral("Banks (*.sbk *.SBK *.SF2 *.sf2);;All (*)"));
    EXPECT_EQ(FileFilter::ToQtFilter(QString()), QString());
    EXPECT_EQ(FileFilter::ToQtFilter(QStringLiteral("Dangling|")), QString());

    const CDocTemplate docTemplate;
    EXPECT_EQ(docTemplate.GetWindowTitle(), QStringLiteral("Tamberly 96"));
    EXPECT_EQ(docTemplate.GetNewFileName(), QStringLiteral("Tamber"));
    EXPECT_EQ(docTemplate.GetFileFilter(), QStringLiteral("Tamberly Files (*.tmb *.TMB);;All Files (*)"));
    EXPECT_EQ(docTemplate.WithDefaultExtension(QStringLiteral("/x/bank")), QStringLiteral("/x/bank.tmb"));
    EXPECT_EQ(docTemplate.WithDefaultExtension(QStringLiteral("/x/bank.TMB")), QStringLiteral("/x/bank.TMB"));
    EXPECT_EQ(docTemplate.WithDefaultExtension(QStringLiteral("/x.d/bank")), QStringLiteral("/x.d/bank.tmb"));
    EXPECT_EQ(CDocTemplate::GetDocumentTitle(QString()), QStringLiteral("Untitled"));
    EXPECT_EQ(CDocTemplate::GetDocumentTitle(QStringLiteral("/a/b.tmb")), QStringLiteral("b.tmb"));
}

TEST(RecentFileList, SixNewestFirstKeptInTheProfile)
{
    Profile::Settings().clear();
    CRecentFileList list;
    for (int i = 1; i <= 8; ++i)
        list.Add(QStringLiteral("/banks/%1.tmb").arg(i));
    list.Add(QStringLiteral("/banks/5.tmb")); // moves up, not in twice
    ASSERT_EQ(list.GetSize(), 6);
    EXPECT_EQ(list.GetPath(0), QStringLiteral("/banks/5.tmb"));
    EXPECT_EQ(list.GetPath(1), QStringLiteral("/banks/8.tmb"));
    EXPECT_EQ(list.GetPath(5), QStringLiteral("/banks/3.tmb"));
    EXPECT_EQ(Profile::Settings().value(QStringLiteral("Recent File List/File1")).toString(),
              QStringLiteral("/banks/5.tmb"));

    list.Remove(0);
    list.Remove(9); // nothing
    CRecentFileList again;
    again.Load();
    ASSERT_EQ(again.GetSize(), 5);
    EXPECT_EQ(again.GetPath(0), QStringLiteral("/banks/8.tmb"));
    EXPECT_FALSE(Profile::Settings().contains(QStringLiteral("Recent File List/File6")));

    again.Add(QStringLiteral("/banks/R&B.tmb"));
    EXPECT_EQ(again.GetMenuText(0), QStringLiteral("&1 /banks/R&&B.tmb"));
    again.Add(QStringLiteral("/a/very/long/folder/name/that/goes/on/and/on/for/ever/bank.tmb"));
    const QString shortened = again.GetMenuText(0, 30);
    EXPECT_TRUE(shortened.startsWith(QLatin1String("&1 /a/")));
    EXPECT_TRUE(shortened.contains(QLatin1String("...")));
    EXPECT_TRUE(shortened.endsWith(QLatin1String("/bank.tmb")));
    EXPECT_LE(shortened.size(), 3 + 30);
}

TEST(LockKeys, ReadsTheKeyboardsLeds)
{
    TempDir root;
    auto led = [&](const std::string& name, const char* value)
    {
        std::filesystem::create_directories(root.File(name));
        std::ofstream(root.File(name + "/brightness")) << value << "\n";
    };
    led("input3::capslock", "1");
    led("input3::numlock", "0");
    led("input7::numlock", "1");
    led("input3::scrolllock", "0");
    led("phy0-led", "1");
    const CLockKeys keys(root.Path());
    EXPECT_TRUE(keys.IsOn(CLockKeys::CapsLock));
    EXPECT_TRUE(keys.IsOn(CLockKeys::NumLock)); // any keyboard's
    EXPECT_FALSE(keys.IsOn(CLockKeys::ScrollLock));

    const CLockKeys none(root.File("missing"));
    EXPECT_FALSE(none.IsOn(CLockKeys::CapsLock));
}
