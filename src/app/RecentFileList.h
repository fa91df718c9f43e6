#pragma once
// The most-recently-used documents of the File menu: at most six absolute
// paths, newest first, kept in the profile under "Recent File List" as
// File1..File6 and written whenever the list changes.

#include <QString>
#include <QStringList>

class CRecentFileList
{
public:
    static constexpr int kMaxFiles = 6;

    // Reads the list from the profile (entries missing or empty are skipped).
    void Load();

    // Puts path (made absolute) at the top; an entry for the same file moves up.
    void Add(const QString& path);
    // Drops entry index (a file that no longer opens); nothing when out of range.
    void Remove(int index);

    int GetSize() const { return static_cast<int>(files.size()); }
    QString GetPath(int index) const { return files.value(index); }
    // The menu text of entry index: "&1 path", with ampersands of the path
    // doubled and the path shortened in the middle beyond maxChars characters.
    QString GetMenuText(int index, int maxChars = 48) const;

private:
    void Save() const;

    QStringList files;
};
