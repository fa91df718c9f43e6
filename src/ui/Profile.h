#pragma once
// The user's profile: QSettings("Ravell Software", "Tamberly") in the native
// INI format, with section and value names taken from the string table so
// that every pane names its entries the same way.

#include "bank/PathResolver.h"
#include "engine/SoundEngine.h"

#include <QByteArray>
#include <QRect>
#include <QString>

class QHeaderView;
class QSettings;

// Everything Edit > Settings... edits, as the profile keeps it.
struct ProgramSettings
{
    PathResolverSettings soundFiles;
    // General MIDI set empty: the system's (EffectiveGeneralMidiFont).
    SoundSettings sound;
    // Sequencer ports as PortNameToRemember keeps them; empty: the first
    // input there is, and the card (or the first port) for the output.
    std::string midiInput, midiOutput;
    int cardMemoryKB = 28672; // the largest card's 28 MB, as the emulated card starts
    std::string emuxDevice;   // empty: the emulated card; else an Emux hwdep device ("hw:0,2")
    bool preview = true;
};

namespace Profile
{
// The settings object every helper reads and writes (created on first use).
QSettings& Settings();

QString GetProfileString(unsigned sectionId, const QString& value, const QString& fallback = {});
void WriteProfileString(unsigned sectionId, const QString& value, const QString& text);
int GetProfileNumber(unsigned sectionId, unsigned valueId, int fallback);
int GetProfileNumber(unsigned sectionId, const QString& value, int fallback);
void WriteProfileNumber(unsigned sectionId, unsigned valueId, int number);
void WriteProfileNumber(unsigned sectionId, const QString& value, int number);

// Opaque bytes (the toolbars' layout); empty when none was stored.
QByteArray GetProfileBinary(unsigned sectionId, unsigned valueId);
void WriteProfileBinary(unsigned sectionId, unsigned valueId, const QByteArray& bytes);

// Four numbers named name.Left, name.Top, name.Right, name.Bottom. Loading
// keeps each side of rect that the profile lacks; false when none was stored.
void SaveWindowRect(unsigned sectionId, unsigned nameId, const QRect& rect);
bool LoadWindowRect(unsigned sectionId, unsigned nameId, QRect& rect);

// Widths of the first count columns as name.ColumnWidth0, name.ColumnWidth1, ...
// Loading takes each column's present width as the default.
void SaveColumnWidths(unsigned sectionId, unsigned nameId, const QHeaderView* header, int count);
void LoadColumnWidths(unsigned sectionId, unsigned nameId, QHeaderView* header, int count);
// Where old documents' files are looked for: the drive map and the search
// folders of the settings page (section "Sound Files", numbered entries
// "Drive1"... as "C:=FOLDER" and "Folder1"...). withFolderTree adds the
// folder tree's roots after the search folders, as opening a document
// searches them too.
PathResolverSettings GetResolverSettings(bool withFolderTree);
void WriteResolverSettings(const PathResolverSettings& settings);
// Whether choosing a preset in the preset list plays it (section "Preview",
// value "Enabled"). On unless the user turned it off: hearing a sound before
// placing it is what people expect of a sound browser.
bool GetPreviewEnabled();
void WritePreviewEnabled(bool enabled);
// The whole of the settings (sections "Sound", "Midi", "Card", "Preview"
// and "Sound Files"); what the profile lacks comes from ProgramSettings'
// defaults.
ProgramSettings GetProgramSettings();
void WriteProgramSettings(const ProgramSettings& settings);
} // namespace Profile
