#pragma once
// Writes a virtual bank as one SoundFont 2 file, so that any SoundFont 2
// player selecting bank N program P hears what the card plays there: every
// user bank's bank file, preset by preset on the slot the card gives it, then
// every document patch on its own bank and program (a patch on a slot a bank
// file filled takes its place, as on the card). Version-1 sources and wave
// files are converted as the card converts them; version-2 files are copied.
// The files the document names are found through CPathResolver: those not
// found are listed and the rest exported. The file is written atomically:
// a failure or a cancel leaves no file (and an older one untouched).
// Optionally the General MIDI set goes under the user's banks (its melodic
// presets on bank 0, its drum kits on 128), so that the one file is a whole
// General MIDI bank; and the file may be SoundFont 3, its samples compressed
// by the installed encoder (GetDefaultSampleEncoder), for size.

#include "bank/DocumentFile.h"
#include "bank/PathResolver.h"

#include <functional>
#include <string>
#include <vector>

class CPatchItemList;

struct SoundFontExportOptions
{
    std::string synthBank;   // the General MIDI set's file; empty: none
    bool compressed = false; // SoundFont 3 with Ogg Vorbis samples
    double quality = 0.5;    // of the compression: -0.1 smallest to 1.0 best
};

struct SoundFontExportResult
{
    bool written = false;
    std::string error;                // why nothing was written
    std::vector<std::string> missing; // stored paths not found
    std::vector<std::string> skipped; // "path: why" for files found but not exported
    int presets = 0;                  // presets in the file
};

class CSoundFontExport
{
public:
    // Told the share done (0..1) now and then; false cancels.
    using Progress = std::function<bool(double)>;

    // documentFolder: where the document lies (relative paths start there); empty for a new one.
    CSoundFontExport(std::string documentFolder, PathResolverSettings settings,
                     SoundFontExportOptions options = {});

    // title: the bank name; infoText: the comment.
    SoundFontExportResult Export(const CDocumentFile::Header& header, const CPatchItemList& patches,
                                 const std::string& title, const std::string& infoText,
                                 const std::string& outputPath, const Progress& progress = nullptr);

private:
    std::string documentFolder;
    PathResolverSettings settings;
    SoundFontExportOptions options;
};
