// The About box's machine figures and the start-up splash window.

#include "support/RiffBuilder.h"
#include "ui/sheets/AboutDialog.h"
#include "ui/sheets/Artwork.h"
#include "ui/sheets/MachineStatus.h"
#include "ui/sheets/SplashWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(MachineStatus, MemoryAndDiskTexts)
{
    EXPECT_EQ(PhysicalMemoryText(16ull * 1024 * 1024), "16384 KB");
    EXPECT_EQ(PhysicalMemoryText(16ull * 1024 * 1024 + 1023), "16384 KB") << "truncated";
    // More than 4 GB of memory or disk must not wrap around.
    EXPECT_EQ(PhysicalMemoryText(64ull << 30), "67108864 KB");
    EXPECT_EQ(DiskSpaceText(DiskSpace{5ull << 30, "/srv/sounds"}), "5368709120 KB Free on /srv/sounds");
    EXPECT_EQ(DiskSpaceText(std::nullopt), "Unavailable");
}

TEST(MachineStatus, MountPointsComeFromTheLongestMatchingEntry)
{
    const std::string table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "23 22 8:2 / /home rw - ext4 /dev/sda2 rw\n"
                              "24 23 8:3 / /home/ann/My\\040Sounds rw - vfat /dev/sdb1 rw\n"
                              "25 22 0:5 / /homework rw - tmpfs tmpfs rw\n"
                              "garbage\n";
    EXPECT_EQ(MountPointFromTable(table, "/home/ann/My Sounds/banks"), "/home/ann/My Sounds");
    EXPECT_EQ(MountPointFromTable(table, "/home/ann/My"), "/home");
    EXPECT_EQ(MountPointFromTable(table, "/home"), "/home");
    EXPECT_EQ(MountPointFromTable(table, "/homes/x"), "/");
    EXPECT_EQ(MountPointFromTable(table, "/homework/a"), "/homework");
    EXPECT_EQ(MountPointFromTable("", "/anything"), "");
}

TEST(MachineStatus, TheCurrentFoldersFileSystemIsFound)
{
    TempDir dir;
    const std::string mount = MountPointOf(dir.Path());
    ASSERT_FALSE(mount.empty());
    // The folder lies on that file system: same device all the way down.
    struct stat folder = {};
    struct stat top = {};
    ASSERT_EQ(stat(dir.Path().c_str(), &folder), 0);
    ASSERT_EQ(stat(mount.c_str(), &top), 0);
    EXPECT_EQ(folder.st_dev, top.st_dev);
    EXPECT_TRUE(MountPointOf(dir.File("missing")).empty());
    EXPECT_FALSE(QueryDiskSpace(dir.File("missing")).has_value());
}

TEST(AboutDialog, ShowsVersionMemoryAndTheFolderFileSystemsFreeSpace)
{
    TempDir dir;
    CAboutDialog about(nullptr, dir.Path());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tamberly 96"));
    bool versionShown = false;
    for (const QLabel* label : about.findChildren<QLabel*>())
        versionShown = versionShown || label->text() == QStringLiteral("Tamberly 96 Beta 1");
    EXPECT_TRUE(versionShown);

    const QRegularExpression memory(QStringLiteral("^([1-9][0-9]*) KB$"));
    EXPECT_TRUE(memory.match(about.GetMemoryField()->text()).hasMatch())
        << about.GetMemoryField()->text().toStdString();
    const QString disk = about.GetDiskField()->text();
    const QString expectedEnd =
        QStringLiteral(" KB Free on ") + QString::fromStdString(MountPointOf(dir.Path()));
    EXPECT_TRUE(disk.endsWith(expectedEnd)) << disk.toStdString();

    CAboutDialog nowhere(nullptr, dir.File("no/such/folder"));
    EXPECT_EQ(nowhere.GetDiskField()->text(), QStringLiteral("Unavailable"));
}

TEST(AboutDialog, NamesTheCopyrightHoldersAndTheLicence)
{
    CAboutDialog about;
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Copyright \u00a9 2026 The Tamberly developers")))
        << texts.join(QLatin1Char('|')).toStdString();
    // The same licence as the LICENSE file, the package's copyright file and the metainfo.
    const QString notice = about.GetLicenseField()->text();
    EXPECT_TRUE(
        notice.contains(QStringLiteral("GNU General Public License, version 3 or (at your option) any later "
                                       "version")))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains(QStringLiteral("NO WARRANTY")));
    EXPECT_TRUE(notice.contains(QStringLiteral("https://www.gnu.org/licenses/gpl-3.0.html")));
    EXPECT_TRUE(about.GetLicenseField()->wordWrap());
}

TEST(Artwork, PicturesHaveTheirSizes)
{
    EXPECT_EQ(DrawBulbImage().size(), QSize(40, 53));
    EXPECT_EQ(DrawSplashImage().size(), QSize(520, 317));
    EXPECT_FALSE(DrawAboutImage().isNull());
}

namespace
{
class SplashTest : public ::testing::Test
{
protected:
    ~SplashTest() override
    {
        if (splash)
            splash->Dismiss();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    bool Gone()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return splash.isNull();
    }

    QPointer<CSplashWindow> splash;
};
} // namespace

TEST_F(SplashTest, CentredOnTheScreenWhileTheFrameIsHiddenAndGoneAfter750Ms)
{
    QWidget frame;
    QElapsedTimer clock;
    clock.start();
    splash = CSplashWindow::Show(&frame);
    ASSERT_TRUE(splash);
    EXPECT_TRUE(splash->isVisible());
    EXPECT_TRUE(splash->isWindow());
    EXPECT_EQ(splash->size(), QSize(520, 317));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((splash->geometry().center() - screen.center()).manhattanLength(), 2);

    EXPECT_TRUE(QTest::qWaitFor([this] { return Gone(); }, 5000));
    EXPECT_GE(clock.elapsed(), 700);
}

TEST_F(SplashTest, CentredOnAVisibleFrame)
{
    QWidget frame;
    frame.setGeometry(100, 120, 900, 700);
    frame.show();
    splash = CSplashWindow::Show(&frame);
    EXPECT_LE((splash->frameGeometry().center() - frame.frameGeometry().center()).manhattanLength(), 2);
}

TEST_F(SplashTest, AKeyPressRemovesItAndStillReachesItsWidget)
{
    QWidget frame;
    auto* edit = new QLineEdit(&frame);
    frame.show();
    splash = CSplashWindow::Show(&frame);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_TRUE(Gone());
    EXPECT_EQ(edit->text(), QStringLiteral("a"));
}

TEST_F(SplashTest, AMouseButtonPressRemovesItAndStillReachesItsWidget)
{
    QWidget frame;
    auto* button = new QPushButton(QStringLiteral("Press"), &frame);
    button->resize(80, 30);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    frame.show();
    splash = CSplashWindow::Show(&frame);
    // A mouse move is no press: the splash stays.
    QTest::mouseMove(button, QPoint(10, 10));
    EXPECT_FALSE(Gone());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(Gone());
    EXPECT_EQ(clicks, 1);
}
