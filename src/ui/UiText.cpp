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

QString QtFileFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
    {
        QString text = parts[i];
        QString patterns = parts[i + 1];
        if (text.isEmpty() && patterns.isEmpty())
            break;
        text.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the text's closing parentheses.
        if (!text.endsWith(QLatin1Char(')')))
            text += QStringLiteral(" (") + patterns + QLatin1Char(')');
        out.push_back(text);
    }
    return out.join(QStringLiteral(";;"));
}
