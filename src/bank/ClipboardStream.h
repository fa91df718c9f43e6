#pragma once
// The bytes that carry patches through the clipboard and drag and drop: the
// list's archive serialisation (count, then each patch as an object), with
// numbering starting afresh in every stream. The front end offers them under
// the private format name, with the marker text as plain text beside them.

#include "bank/PatchItemList.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class CClipboardStream
{
public:
    // The private clipboard format's name, "Tamberly Format".
    static const std::string& FormatName();
    // The marker text offered as plain text, "Tamberly Clipboard Object".
    static const std::string& MarkerText();
    // The marker as the 100-byte zero-filled block the text format carries.
    static std::vector<std::uint8_t> MarkerBlock();

    // The stream bytes of list (which keeps its elements).
    static std::vector<std::uint8_t> Write(const CPatchItemList& list);

    // Replaces the content of list (its old elements are deleted; the list
    // owns what it reads) with the patches in bytes: unloaded document
    // patches. Throws CArchiveException for bytes that do not decode (an
    // empty or truncated stream, a class other than CPatchItem, a bad
    // number); the list is empty then.
    static void Read(std::span<const std::uint8_t> bytes, CPatchItemList& list);
};
