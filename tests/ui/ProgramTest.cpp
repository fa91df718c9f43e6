// The tamberly executable itself: its command line and its picture of the window.

#include "QtPrinters.h"
#include "support/RiffBuilder.h"
#include "ui/frame/MainFrame.h"

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSettings>

#include <gtest/gtest.h>

namespace
{
struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome RunProgram(const QStringList& arguments, const std::string& configHome,
                   const QStringList& extraEnvironment = {})
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : extraEnvironment)
        environment.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(configHome));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TAMBERLY_BIN_DIR "/tamberly"), arguments);
    Outcome outcome;
    if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = program.exitCode();
    outcome.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(program.readAllStandardError());
    return outcome;
}
} // namespace

TEST(Program, VersionHelpAndMistakes)
{
    TempDir home;
    const Outcome version = RunProgram({QStringLiteral("--version")}, home.Path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("Tamberly 96 " TAMBERLY_VERSION "\nQt ") +
                               QLatin1String(qVersion()) +
                               QStringLiteral(", FluidSynth " TAMBERLY_FLUIDSYNTH_VERSION "\n"));

    const Outcome help = RunProgram({QStringLiteral("--help")}, home.Path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QLatin1String("Usage: tamberly"))) << help.out.toStdString();

    const Outcome wrong = RunProgram({QStringLiteral("--frobnicate")}, home.Path());
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains(QLatin1String("--frobnicate"))) << wrong.err.toStdString();
}

TEST(Program, ScreenshotOfTheWindowAsItStarts)
{
    TempDir home;
    const std::string picture = home.File("window.png");
    const Outcome shot =
        RunProgram({QStringLiteral("--screenshot"), QString::fromStdString(picture)}, home.Path());
    ASSERT_EQ(shot.status, 0) << shot.err.toStdString();
    const QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    // The first start's size on this (offscreen) screen.
    const QSize size =
        CMainFrame::DefaultGeometry(QGuiApplication::primaryScreen()->availableGeometry()).size();
    EXPECT_EQ(image.size(), size);

    // It ended as a close does: the window's settings are in its profile.
    QSettings profile(QString::fromStdString(home.File("Ravell Software/Tamberly.conf")),
                      QSettings::IniFormat);
    // The bank view about 40% of the window's height.
    const int bankView = profile.value(QStringLiteral("Display/Splitter1")).toInt();
    EXPECT_GT(bankView, size.height() / 4);
    EXPECT_LT(bankView, size.height() / 2);
    EXPECT_EQ(profile.value(QStringLiteral("Display/MainWindow.Right")).toInt() -
                  profile.value(QStringLiteral("Display/MainWindow.Left")).toInt(),
              size.width());

    const Outcome unwritable = RunProgram(
        {QStringLiteral("--screenshot"), QString::fromStdString(home.File("no/such/folder/x.png"))},
        home.Path());
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(unwritable.err.contains(QLatin1String("x.png"))) << unwritable.err.toStdString();
}

TEST(Program, AtTwiceTheScaleTheWindowIsDrawnAtTwiceTheDensity)
{
    TempDir home;
    const std::string picture = home.File("dense.png");
    const Outcome shot = RunProgram({QStringLiteral("--screenshot"), QString::fromStdString(picture)},
                                    home.Path(), {QStringLiteral("QT_SCALE_FACTOR=2")});
    ASSERT_EQ(shot.status, 0) << shot.err.toStdString();
    const QImage image(QString::fromStdString(picture));
    ASSERT_FALSE(image.isNull());
    // The window's size in the profile is in the scaled pixels; the picture has twice as many.
    QSettings profile(QString::fromStdString(home.File("Ravell Software/Tamberly.conf")),
                      QSettings::IniFormat);
    const int width = profile.value(QStringLiteral("Display/MainWindow.Right")).toInt() -
                      profile.value(QStringLiteral("Display/MainWindow.Left")).toInt();
    ASSERT_GT(width, 0);
    EXPECT_EQ(image.width(), 2 * width);
}
