#include "app/DocTemplate.h"

#include "platform/StringTable.h"
#include "ui/FileFilter.h"
#include "ui/UiText.h"

#include <QFileInfo>
#include <QStringList>

CDocTemplate::CDocTemplate()
{
    const QStringList fields = UiText(IDS_DOC_TEMPLATE).split(QLatin1Char('\n'));
    windowTitle = fields.value(0);
    newFileName = fields.value(2);
    filterName = fields.value(3);
    filterExtension = fields.value(4);
}

QString CDocTemplate::GetFileFilter() const
{
    const QString allFiles = UiText(IDS_ALL_FILES_FILTER);
    return FileFilter::ToQtFilter(filterName + QStringLiteral("|*") + filterExtension.toLower() +
                                  QLatin1Char('|') + allFiles + QStringLiteral("|*.*||"));
}

QString CDocTemplate::WithDefaultExtension(const QString& path) const
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty() ||
        QFileInfo(path).fileName().endsWith(QLatin1Char('.')))
        return path;
    return path + filterExtension.toLower();
}

QString CDocTemplate::GetDocumentTitle(const QString& path)
{
    return path.isEmpty() ? UiText(IDS_UNTITLED) : QFileInfo(path).fileName();
}
