#pragma once
// Edit > Settings... in effect: the dialog's pages applied to the running
// program at once and kept in the profile, and the profile's settings
// applied at start.
//
// The sound goes to the card engine (output, voices, General MIDI set: a
// driver that does not start leaves the old output and the old choice), the
// sound memory to the emulated card's driver settings (the card reads them at
// its next command), the MIDI ports to the keyboard window (its devices made
// anew), the search settings to the document. Which card library the program
// drives is read only at start: the document's placements live on the card
// it was opened on.
//
// $TAMBERLY_GM_SOUNDFONT, $TAMBERLY_AWEMAN and $TAMBERLY_EMUX_DEVICE, when
// set, win over the profile: whoever sets them means them for that run.

#include "ui/sheets/SettingsDialog.h"

#include <functional>
#include <memory>

class CAweSession;
class ISoundEngine;

class CSettingsApplier
{
public:
    struct Parts
    {
        // The emulated card's sound engine, loaded if need be; null for a card without one.
        std::function<std::shared_ptr<ISoundEngine>()> engine;
        CAweSession* card = nullptr;
        // The keyboard window takes the profile's ports again.
        std::function<void()> reconnectMidi;
        std::function<void(const PathResolverSettings&)> soundFilesChanged;
    };
    explicit CSettingsApplier(Parts parts) : parts(std::move(parts)) {}

    // The profile's settings, with the emulated card's memory as the card has it.
    ProgramSettings Current() const;
    // Puts settings in effect, then keeps them in the profile (what did not
    // take is changed back in settings and kept as it was). Empty when all
    // took, else why not, one reason a line.
    QString Apply(ProgramSettings& settings) const;

    // What the machine offers the pages; engine may be null (not loaded).
    static SettingsChoices Choices(const std::shared_ptr<ISoundEngine>& engine);
    // The machine's Emux devices from the Emux card library at libraryPath;
    // empty with why set when there are none or the library does not load.
    static std::vector<std::pair<std::string, std::string>> EmuxDevices(const std::string& libraryPath,
                                                                        QString& why);

    // At start: the engine's options from the profile.
    static CardEngineOptions StartingEngineOptions();
    // At start, before the card is opened: the card library the profile
    // names, through the environment the card session reads.
    static void ChooseCardLibrary();
    // At start, once the card is open: the profile's sound memory, when the
    // user chose one, written where the emulated card reads it.
    static void ApplyCardMemory(CAweSession& card);
    // The General MIDI set chosen (empty: the system's), written where the
    // Emux card library reads its synth bank's set; false when the registry
    // store cannot be written.
    static bool WriteEmuxSynthSet(const std::string& chosen);

private:
    Parts parts;
};
