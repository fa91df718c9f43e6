// Runs the GUI tests with real widgets on Qt's offscreen platform. The
// profile goes to a fresh folder so no test ever touches a user's settings.

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string home = (std::filesystem::temp_directory_path() / "tamberly-ui-XXXXXX").string();
    if (!mkdtemp(home.data()))
        return 2;
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("TAMBERLY_CARD_HOME", (home + "/card").c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();

    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
