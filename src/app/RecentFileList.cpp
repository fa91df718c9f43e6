#include "app/RecentFileList.h"

#include "platform/StringTable.h"
#include "ui/Profile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace
{
QString ValueName(int index)
{
    return QString::fromStdString(FormatString(IDS_PROFILE_RECENT_FILE, index + 1));
}
} // namespace

void CRecentFileList::Load()
{
    files.clear();
    for (int i = 0; i < kMaxFiles; ++i)
    {
        const QString path = Profile::GetProfileString(IDS_PROFILE_RECENT_FILES, ValueName(i));
        if (!path.isEmpty() && !files.contains(path))
            files.append(path);
    }
}

void CRecentFileList::Add(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kMaxFiles)
        files.removeLast();
    Save();
}

void CRecentFileList::Remove(int index)
{
    if (index < 0 || index >= GetSize())
        return;
    files.removeAt(index);
    Save();
}

QString CRecentFileList::GetMenuText(int index, int maxChars) const
{
    QString path = QDir::toNativeSeparators(GetPath(index));
    const QString home = QDir::homePath();
    if (!home.isEmpty() && path.startsWith(home + QLatin1Char('/')))
        path = QLatin1Char('~') + path.mid(home.size());
    if (maxChars > 5 && path.size() > maxChars)
    {
        // Keep the file's name whole: shorten the folders in the middle.
        const qsizetype tail = std::max<qsizetype>(QFileInfo(path).fileName().size() + 1, maxChars / 2);
        const qsizetype head = std::max<qsizetype>(0, maxChars - 3 - tail);
        path = path.left(head) + QStringLiteral("...") + path.right(tail);
    }
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QLatin1Char('&') + QString::number(index + 1) + QLatin1Char(' ') + path;
}

void CRecentFileList::Save() const
{
    const QString section = QString::fromStdString(LoadString(IDS_PROFILE_RECENT_FILES));
    for (int i = 0; i < kMaxFiles; ++i)
    {
        if (i < GetSize())
            Profile::WriteProfileString(IDS_PROFILE_RECENT_FILES, ValueName(i), files[i]);
        else
            Profile::Settings().remove(section + QLatin1Char('/') + ValueName(i));
    }
}
