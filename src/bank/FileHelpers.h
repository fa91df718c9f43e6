#pragma once
// Path and file helpers shared by the document, the panes and the import.
//
// Documents and Soundshelf files carry Windows paths ("C:\BANKS\A.SBK") next
// to our own Linux paths, so paths are split on both "\" and "/" and a
// leading drive "X:" is recognised. Paths are never rewritten: stored paths
// keep their bytes.

#include <string>

enum PathPart
{
    PathDrive = 0,       // "C:" or empty
    PathDirectory = 1,   // up to and including the last separator
    PathFileName = 2,    // the name without its extension
    PathExtension = 3,   // from the last "." of the name on, dot included
    PathFileNameExt = 4, // name and extension
};

enum FileType
{
    FileTypeNone = 0,
    FileTypeSoundFont = 1, // ".SBK", ".SF2", ".SF3"
    FileTypeWave = 2,      // ".WAV", and ".AIF", ".AIFF", ".AIFC", ".FLAC", ".OGG", ".OGA"
    FileTypeDocument = 3,  // ".TMB"
    FileTypeMidi = 4,      // ".MID", ".MIDI", ".KAR", ".RMI": songs, which hold no presets
};

// One part of path (see PathPart); any other part number gives an empty text.
std::string GetPathPart(const std::string& path, int part);

// The type of a file by its extension, upper-cased (ASCII) and compared exactly.
FileType GetFileType(const std::string& path);

// Creates a new empty file with a unique name starting "TMB" in the system's
// temporary folder and returns its full path; the caller removes the file.
// Empty when no file could be made.
std::string MakeTempFileName();

// One value of an INI-style file (Soundshelf bank files): the section is the
// string-table text sectionId; the key is the text keyId, or, when index is
// 0 or more, that text used as a format with index ("Instrument%d").
// At most 199 characters; empty when the file, section or key is missing.
std::string ReadProfileString(const std::string& file, unsigned sectionId, unsigned keyId, int index);
