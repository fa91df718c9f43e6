#pragma once
// The About box: the program's picture, version and credit line, the
// machine's physical memory and the free space of the file system that holds
// the current folder (its mount point standing where a drive letter stood).

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

private:
    QLabel* memoryField;
    QLabel* diskField;
};
