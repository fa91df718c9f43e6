// Runs the GUI tests with real widgets on Qt's offscreen platform (unless
// QT_QPA_PLATFORM says otherwise; test discovery at build time starts this
// program without ctest's environment). The profile and the card's home go to
// a fresh folder so no test ever touches a user's settings or card.

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string home = (std::filesystem::temp_directory_path() / "tamberly-ui-XXXXXX").string();
    if (!mkdtemp(home.data()))
        return 2;
    const std::string config = home + "/config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("TAMBERLY_CARD_HOME", (home + "/card").c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);

    int result = 0;
    {
        QApplication app(argc, argv);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(config));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(config));
        result = RUN_ALL_TESTS();
    }

    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
