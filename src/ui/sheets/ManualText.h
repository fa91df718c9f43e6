#pragma once
// The user manual as text: read from its file, and its parts found by their
// headings. Apart from the help window so that it needs no widgets (the
// fuzzer runs it on its own).

#include <QString>
#include <QStringList>
#include <QTextBlock>

class QTextDocument;

namespace Manual
{
// Manuals larger than this are no manual of ours: they are not read whole.
constexpr qint64 kLargestManual = 4 * 1024 * 1024;

// The manual's text (UTF-8); false when the file is missing, unreadable or
// larger than kLargestManual.
bool Read(const QString& path, QString& text);
// The heading block whose text is topic (any level); invalid when none.
QTextBlock FindHeading(const QTextDocument& document, const QString& topic);
// The texts of the second-level headings, the manual's parts, in order.
QStringList Topics(const QTextDocument& document);
} // namespace Manual
