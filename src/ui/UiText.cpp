#include "ui/UiText.h"

#include "platform/TextEncoding.h"

#include <QFontMetrics>
#include <QWidget>

QString StoredToUi(const std::string& bytes)
{
    return QString::fromStdString(StoredTextToDisplay(bytes));
}

int DialogUnitsX(const QWidget& widget, int units)
{
    // The average over the alphabet, as dialog templates measure their font.
    const QFontMetrics metrics(widget.font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int average = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return units * average / 4;
}

int DialogUnitsY(const QWidget& widget, int units)
{
    return units * QFontMetrics(widget.font()).height() / 8;
}
