#pragma once
// The About box: the program's picture, version, credit and copyright lines,
// the machine's physical memory and the free space of the file system that holds
// the current folder (its mount point standing where a drive letter stood),
// and the notice of the licence.

#include <QDialog>

#include <string>

class QLabel;

class CAboutDialog : public QDialog
{
    Q_OBJECT

public:
    // folder: whose file system's free space is shown; empty: the current folder.
    explicit CAboutDialog(QWidget* parent = nullptr, const std::string& folder = {});

    QLabel* GetMemoryField() const { return memoryField; }
    QLabel* GetDiskField() const { return diskField; }
    QLabel* GetLicenseField() const { return licenseField; }

private:
    QLabel* memoryField;
    QLabel* diskField;
    QLabel* licenseField;
};
