#include "ui/Profile.h"

#include "platform/StringTable.h"
#include "ui/UiText.h"

#include <QHeaderView>
#include <QSettings>

namespace
{

QString Key(unsigned sectionId, const QString& value)
{
    return UiText(sectionId) + QLatin1Char('/') + value;
}

QString SideName(unsigned nameId, unsigned sideId)
{
    return UiText(nameId) + QLatin1Char('.') + UiText(sideId);
}

QString ColumnName(unsigned nameId, int column)
{
    return UiText(nameId) + QLatin1Char('.') + UiText(IDS_PROFILE_COLUMN_WIDTH) + QString::number(column);
}
} // namespace

namespace Profile
{
QSettings& Settings()
{
    static QSettings settings(QSettings::NativeFormat, QSettings::UserScope, UiText(IDS_PROFILE_COMPANY),
                              UiText(IDS_PROFILE_APPLICATION));
    return settings;
}

QString GetProfileString(unsigned sectionId, const QString& value, const QString& fallback)
{
    return Settings().value(Key(sectionId, value), fallback).toString();
}

void WriteProfileString(unsigned sectionId, const QString& value, const QString& text)
{
    Settings().setValue(Key(sectionId, value), text);
}

int GetProfileNumber(unsigned sectionId, const QString& value, int fallback)
{
    bool ok = false;
    const int number = Settings().value(Key(sectionId, value)).toInt(&ok);
    return ok ? number : fallback;
}

int GetProfileNumber(unsigned sectionId, unsigned valueId, int fallback)
{
    return GetProfileNumber(sectionId, UiText(valueId), fallback);
}

void WriteProfileNumber(unsigned sectionId, const QString& value, int number)
{
    Settings().setValue(Key(sectionId, value), number);
}

void WriteProfileNumber(unsigned sectionId, unsigned valueId, int number)
{
    WriteProfileNumber(sectionId, UiText(valueId), number);
}

QByteArray GetProfileBinary(unsigned sectionId, unsigned valueId)
{
    return Settings().value(Key(sectionId, UiText(valueId))).toByteArray();
}

void WriteProfileBinary(unsigned sectionId, unsigned valueId, const QByteArray& bytes)
{
    Settings().setValue(Key(sectionId, UiText(valueId)), bytes);
}

void SaveWindowRect(unsigned sectionId, unsigned nameId, const QRect& rect)
{
    // Right and bottom are exclusive edges, as the rectangle of a window is stored.
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_LEFT), rect.left());
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_TOP), rect.top());
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_RIGHT), rect.left() + rect.width());
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_BOTTOM), rect.top() + rect.height());
}

bool LoadWindowRect(unsigned sectionId, unsigned nameId, QRect& rect)
{
    constexpr int kMissing = INT_MIN;
    const int left = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_LEFT), kMissing);
    const int top = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_TOP), kMissing);
    const int right = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_RIGHT), kMissing);
    const int bottom = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_BOTTOM), kMissing);
    int x1 = rect.left();
    int y1 = rect.top();
    int x2 = rect.left() + rect.width();
    int y2 = rect.top() + rect.height();
    if (left != kMissing)
        x1 = left;
    if (top != kMissing)
        y1 = top;
    if (right != kMissing)
        x2 = right;
    if (bottom != kMissing)
        y2 = bottom;
    rect = QRect(x1, y1, x2 - x1, y2 - y1);
    return left != kMissing || top != kMissing || right != kMissing || bottom != kMissing;
}

void SaveColumnWidths(unsigned sectionId, unsigned nameId, const QHeaderView* header, int count)
{
    for (int column = 0; column < count && column < header->count(); ++column)
        WriteProfileNumber(sectionId, ColumnName(nameId, column), header->sectionSize(column));
}

void LoadColumnWidths(unsigned sectionId, unsigned nameId, QHeaderView* header, int count)
{
    for (int column = 0; column < count && column < header->count(); ++column)
    {
        const int width =
            GetProfileNumber(sectionId, ColumnName(nameId, column), header->sectionSize(column));
        if (width >= 0)
            header->resizeSection(column, width);
    }
}
} // namespace Profile
