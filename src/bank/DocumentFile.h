#pragma once
// The layout of a .tmb virtual bank document, in archive encoding:
//   32-bit current bank, synth bank (0 GM, 1 GS, 2 MT-32), reverb type,
//   chorus type; then for each user bank with a registered bank file a
//   32-bit bank number and the file path as a string; 32-bit -1; the patch
//   list (count, then each patch as an object); the information text.
// An empty file is an empty document.
//
// The card is not touched here: the document applies what Load returns
// (bank files, synth bank, effects, then the patches) and gathers what Store
// writes.

#include "bank/PatchItemList.h"
#include "platform/ByteStream.h"

#include <cstdint>
#include <string>
#include <vector>

class CArchiveReader;
class CArchiveWriter;

class CDocumentFile
{
public:
    struct BankFile
    {
        std::int32_t bank; // user bank 1..127
        std::string path;  // bytes as stored
    };

    struct Header
    {
        std::int32_t currentBank = -1; // -1..127
        std::int32_t synthBank = 0;    // as the card reports it (not range-checked)
        std::int32_t reverb = 0;       // as the card reports it (not range-checked)
        std::int32_t chorus = 0;       // as the card reports it (not range-checked)
        std::vector<BankFile> bankFiles;
    };

    // Writes the header. Entries outside banks 1..127 or without a path are
    // left out: a bank number of -1 would end the list early.
    static void WriteHeader(CArchiveWriter& archive, const Header& header);
    // Reads the header. A current bank outside -1..127 reads as -1; bank
    // entries outside 1..127 or without a path are read and dropped.
    static Header ReadHeader(CArchiveReader& archive);
    // Reads past the header.
    static void SkipHeader(CArchiveReader& archive);

    // Writes a whole document and flushes it; throws CFileException when the
    // sink fails (write through CAtomicFile so that a failure leaves the old
    // file in place).
    static void Store(IByteSink& sink, const Header& header, const CPatchItemList& patches,
                      const std::string& infoText);
    // Reads a whole document from the source's current position. False for
    // an empty source (nothing read; patches emptied, header and infoText
    // untouched). Throws CArchiveException for a stream that does not decode;
    // patches is empty then and header and infoText are untouched. patches
    // owns what it holds: its old elements are deleted.
    static bool Load(IByteSource& source, Header& header, CPatchItemList& patches, std::string& infoText);

    // The patches stored in the document at path, in place of the content of
    // list (whose old elements are deleted). An empty file gives no patches.
    // Throws CFileException when the file cannot be opened and
    // CArchiveException when it does not decode; list is empty then.
    static void ReadPatchList(const std::string& path, CPatchItemList& list);
};
