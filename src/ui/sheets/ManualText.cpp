#include "ui/sheets/ManualText.h"

#include <QFile>
#include <QTextBlockFormat>
#include <QTextDocument>

namespace Manual
{
bool Read(const QString& path, QString& text)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kLargestManual)
        return false;
    // A file that grows while read is cut at the limit, not read without end.
    const QByteArray bytes = file.read(kLargestManual + 1);
    if (bytes.size() > kLargestManual)
        return false;
    text = QString::fromUtf8(bytes);
    return true;
}

QTextBlock FindHeading(const QTextDocument& document, const QString& topic)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() > 0 && block.text().trimmed() == topic)
            return block;
    return {};
}

QStringList Topics(const QTextDocument& document)
{
    QStringList topics;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (block.blockFormat().headingLevel() == 2)
            topics.append(block.text().trimmed());
    return topics;
}
} // namespace Manual
