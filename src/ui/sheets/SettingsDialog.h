#pragma once
// Edit > Settings...: the program's settings in pages.
//   Sound Files - where the files old documents name are looked for: the
//                 drive map (a drive letter or \\server\share to a folder)
//                 and the search folders.
//   Sound       - the card engine's audio driver, device and buffer (with the
//                 latency they give), and its voices.
//   MIDI        - the keyboard window's input and output ports.
//   Card        - the General MIDI set, the emulated card's sound memory,
//                 and which card the program drives.
//   Preview     - whether choosing a preset plays it.
// The dialog edits a copy. Apply (and OK) hand it to the caller's apply,
// which puts it in effect at once and keeps it in the profile; what did not
// take is shown on the dialog, which stays open, with the part that failed
// back at what still holds. Each page but Sound Files has Restore Defaults.

#include "ui/Profile.h"

#include <QDialog>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

// What this machine offers the pages, and what the dialog calls back.
struct SettingsChoices
{
    std::vector<std::string> audioDrivers; // FluidSynth's names, of those a user may choose
    std::vector<std::string> midiInputs, midiOutputs;
    std::vector<std::pair<std::string, std::string>> emuxDevices; // ALSA name, label
    QString emuxProblem;                                          // why there are none (greys the choice)
    std::string systemGeneralMidi;                                // the set played when none is chosen
    std::string environmentGeneralMidi;         // $TAMBERLY_GM_SOUNDFONT, which wins; empty when not set
    std::function<QString()> chooseGeneralMidi; // a file, empty: cancelled
    // Puts settings in effect and stores them; empty when all took, else
    // why not, with settings changed back where they did not take.
    std::function<QString(ProgramSettings& settings)> apply;
};

class CSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    // chooseFolder asks for a folder (empty: cancelled); tests script it.
    CSettingsDialog(const ProgramSettings& settings, SettingsChoices choices,
                    std::function<QString()> chooseFolder, QWidget* parent = nullptr);
    // The Sound Files page's settings with the other pages at their defaults.
    CSettingsDialog(const PathResolverSettings& settings, std::function<QString()> chooseFolder,
                    QWidget* parent = nullptr);

    // What the pages hold; the rows of the drive map that do not read as a
    // mapping are left out (Apply refuses while there are any).
    ProgramSettings GetProgramSettings() const;
    PathResolverSettings GetSettings() const;
    // Empty when every row of the drive map reads; else the first problem.
    QString CheckSettings() const;
    // Hands the pages to apply; true when everything took.
    bool Apply();

    // "Latency: 17.4 ms (3 buffers of 256 frames at 44100 Hz)".
    static QString LatencyText(int bufferFrames);
    // The sound memory sizes offered, in KB: the card's models', then larger.
    static std::vector<int> MemorySizesKB();

    QTableWidget* GetDriveMap() const { return driveMap; }
    QListWidget* GetSearchFolders() const { return searchFolders; }
    QComboBox* GetDriver() const { return driver; }
    QLineEdit* GetDevice() const { return device; }
    QComboBox* GetBuffer() const { return buffer; }
    QLabel* GetLatency() const { return latency; }
    QSpinBox* GetVoices() const { return voices; }
    QComboBox* GetMidiInput() const { return midiInput; }
    QComboBox* GetMidiOutput() const { return midiOutput; }
    QLineEdit* GetGeneralMidi() const { return generalMidi; }
    QComboBox* GetMemory() const { return memory; }
    QComboBox* GetCard() const { return card; }
    QCheckBox* GetPreview() const { return preview; }
    QLabel* GetProblem() const { return problem; }
    QPushButton* GetApplyButton() const { return applyButton; }

    void AddDrive(); // a row for the next free letter, folder chosen by the user
    void AddSearchFolder();
    void accept() override;

private:
    QWidget* MakeSoundFilesPage(const PathResolverSettings& settings);
    QWidget* MakeSoundPage();
    QWidget* MakeMidiPage();
    QWidget* MakeCardPage();
    QWidget* MakePreviewPage();
    // The pages' widgets show settings (all but the Sound Files page).
    void ShowSound(const SoundSettings& sound);
    void ShowMidi(const std::string& input, const std::string& output);
    void ShowCard(const ProgramSettings& settings);
    void UpdateDeviceAndLatency();

    SettingsChoices choices;
    std::function<QString()> chooseFolder;
    QTableWidget* driveMap = nullptr;
    QListWidget* searchFolders = nullptr;
    QComboBox* driver = nullptr;
    QLineEdit* device = nullptr;
    QComboBox* buffer = nullptr;
    QLabel* latency = nullptr;
    QSpinBox* voices = nullptr;
    QComboBox* midiInput = nullptr;
    QComboBox* midiOutput = nullptr;
    QLineEdit* generalMidi = nullptr;
    QComboBox* memory = nullptr;
    QComboBox* card = nullptr;
    QCheckBox* preview = nullptr;
    QLabel* problem = nullptr;
    QPushButton* applyButton = nullptr;
};
