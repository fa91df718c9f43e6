#pragma once
// String-table texts as Qt strings, for every window, pane and dialog.

#include "platform/StringTable.h"

#include <QString>

#include <string>

inline QString UiText(unsigned id)
{
    return QString::fromStdString(LoadString(id));
}

// Bytes as they are stored in documents and files, as text to show: UTF-8
// stays, anything else is read as Windows-1252.
QString StoredToUi(const std::string& bytes);

// Dialog units of the sheets' layouts in pixels for widget's font: a quarter
// of the average character width across, an eighth of the line height down.
int DialogUnitsX(const class QWidget& widget, int units);
int DialogUnitsY(const class QWidget& widget, int units);
