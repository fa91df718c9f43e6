#pragma once
// What the command line asks of the program: open a virtual bank instead of
// making a new one, save a picture of the window, or only print the usage or
// the version.

#include <QString>
#include <QStringList>

class CCommandLineInfo
{
public:
    enum class Action
    {
        Run,     // start the program
        Help,    // print the usage and end
        Version, // print the version and end
        Error,   // print errorText and end with a failure
    };

    // arguments without the program's own name, after Qt took its options.
    static CCommandLineInfo Parse(const QStringList& arguments);

    Action action = Action::Run;
    QString fileName;   // the .tmb file to open; empty for a new document
    QString screenshot; // the PNG file to write once the window is laid out; empty for none
    QString errorText;  // for Action::Error, a line for the terminal
    // The splash window and the start-up tip: off for a screenshot run, and
    // for tests that start the program without anybody to close a dialog.
    bool showSplash = true;
};
