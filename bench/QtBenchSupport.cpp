#include "QtBenchSupport.h"

#include <QApplication>
#include <QSettings>

#include <cstdlib>

void EnsureBenchApplication(const std::string& configHome)
{
    static QApplication* app = nullptr;
    if (!app)
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        static int argc = 1;
        static char name[] = "tamberly-bench";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(configHome));
}
