#pragma once
// Edit > Settings...: the program's settings in pages. The "Sound Files" page
// edits where the files old documents name are looked for: the drive map
// (a drive letter or \\server\share to a folder) and the search folders.
// The dialog edits a copy; the caller stores GetSettings() after OK.

#include "bank/PathResolver.h"

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QTableWidget;

class CSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    // chooseFolder asks for a folder (empty: cancelled); tests script it.
    CSettingsDialog(const PathResolverSettings& settings, std::function<QString()> chooseFolder,
                    QWidget* parent = nullptr);

    // What the page holds; the rows that do not read as a mapping are left
    // out (accept() refuses to close while there are any).
    PathResolverSettings GetSettings() const;
    // Empty when every row of the drive map reads; else the first problem.
    QString CheckSettings() const;

    QTableWidget* GetDriveMap() const { return driveMap; }
    QListWidget* GetSearchFolders() const { return searchFolders; }

    void AddDrive(); // a row for the next free letter, folder chosen by the user
    void AddSearchFolder();
    void accept() override;

private:
    std::function<QString()> chooseFolder;
    QTableWidget* driveMap;
    QListWidget* searchFolders;
    QLabel* problem;
};
