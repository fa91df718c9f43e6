#include "ui/FileFilter.h"

#include "platform/StringTable.h"

#include <QStringList>

namespace
{
QStringList Patterns(const QString& list)
{
    QStringList patterns;
    for (const QString& raw : list.split(QLatin1Char(';'), Qt::SkipEmptyParts))
    {
        const QString pattern = raw.trimmed();
        if (pattern.isEmpty())
            continue;
        if (pattern == QLatin1String("*.*"))
        {
            patterns << QStringLiteral("*");
            continue;
        }
        patterns << pattern;
        for (const QString& other : {pattern.toLower(), pattern.toUpper()})
            if (!patterns.contains(other))
                patterns << other;
    }
    patterns.removeDuplicates();
    return patterns;
}
} // namespace

namespace FileFilter
{
QString ToQtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        QString text = parts[i].trimmed();
        const QStringList patterns = Patterns(parts[i + 1]);
        if (text.isEmpty() || patterns.isEmpty())
            break; // the "||" that ends the list
        // The patterns in the text's parentheses are the ones Qt filters by.
        if (const qsizetype open = text.lastIndexOf(QLatin1Char('('));
            open > 0 && text.endsWith(QLatin1Char(')')))
            text = text.left(open).trimmed();
        entries << text + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString FromStringTable(unsigned id)
{
    return ToQtFilter(QString::fromStdString(LoadString(id)));
}
} // namespace FileFilter
