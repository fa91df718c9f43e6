#pragma once
// Patches on the clipboard and in drag and drop: the clipboard stream bytes
// under the program's private MIME type, with the marker text as plain text
// beside them, so that running copies of the program exchange patches and
// other programs see only the marker.

#include "bank/PatchItemList.h"

#include <QString>

class QMimeData;

namespace PatchMime
{
// The private format: "application/x-tamberly-format".
QString MimeType();

// New mime data carrying list's stream bytes and the marker text; the caller
// (or the clipboard / drag it is handed to) owns it. list keeps its elements.
QMimeData* CreateMimeData(const CPatchItemList& list);

// Whether data offers the private format at all (a drop target's first test).
bool HasPatches(const QMimeData* data);

// Replaces list's content (old elements deleted; list owns what it reads)
// with the patches in data. False, with list empty, when data does not offer
// the private format or its bytes do not decode.
bool ReadMimeData(const QMimeData* data, CPatchItemList& list);

// The clipboard of the desktop session: copy replaces its content.
void PutOnClipboard(const CPatchItemList& list);
bool PasteFromClipboard(CPatchItemList& list);
} // namespace PatchMime
