// The calls the main window makes at start-up.

#include "ui/sheets/Dialogs.h"
#include "ui/Profile.h"
#include "ui/sheets/SplashWindow.h"

#include <QApplication>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

namespace
{
int SplashWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<CSplashWindow*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}
} // namespace

TEST(StartUpDialogs, TheTipSwitchedOffStillMovesOnInTheProgramsProfile)
{
    QSettings& profile = Profile::Settings();
    profile.remove(QStringLiteral("Tip"));
    profile.setValue(QStringLiteral("Tip/StartUp"), 1);

    // Returns at once: no dialog is shown, yet the next tip was read.
    ShowTipAtStartUp(nullptr);
    const qlonglong first = profile.value(QStringLiteral("Tip/FilePos")).toLongLong();
    EXPECT_GT(first, 0);
    ShowTipAtStartUp(nullptr);
    EXPECT_GT(profile.value(QStringLiteral("Tip/FilePos")).toLongLong(), first);
    EXPECT_EQ(profile.value(QStringLiteral("Tip/StartUp")).toInt(), 1);
    profile.remove(QStringLiteral("Tip"));
}

TEST(StartUpDialogs, TheSplashShowsOncePerRun)
{
    QWidget frame;
    ShowSplash(&frame);
    EXPECT_EQ(SplashWindows(), 1);
    ShowSplash(&frame);
    EXPECT_EQ(SplashWindows(), 1);
    EXPECT_TRUE(QTest::qWaitFor([] { return SplashWindows() == 0; }, 5000));
    ShowSplash(&frame);
    EXPECT_EQ(SplashWindows(), 0);
}
