#pragma once
// File chooser filters. The string table keeps them in the 1996 form
// "Text (*.a)|*.a|Other (*.*)|*.*||"; Qt wants "Text (*.a *.A);;Other (*)".
// Names on Linux are case-sensitive while the banks of the time were named
// in capitals, so every extension is offered in both cases, and "*.*" (any
// file, with or without a dot) becomes "*".

#include <QString>

namespace FileFilter
{
QString ToQtFilter(const QString& filter);

// The same for a string-table entry.
QString FromStringTable(unsigned id);
} // namespace FileFilter
