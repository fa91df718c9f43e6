#pragma once
// The modeless "MIDI Keyboard" window: a piano, a controller chooser and a
// slider for the chosen controller's value. It plays the current patch's bank
// and program on the MIDI output, passes MIDI input through to the output and
// lights what arrives on the piano. Everything leaves on MIDI channel 1.
//
// Ownership: whoever creates the window owns it (a parent, or a unique_ptr
// of the main window); it owns its MIDI devices. The document only holds it
// as an IKeyboardLink and must not call it after it is gone.
//
// The window is hidden at construction and the devices are closed: the owner
// calls OpenMidi (or EnableMidi(true)) once the window is set up. Enter,
// Escape and the close box hide the window; it is never destroyed by the user.
//
// While a preset of the preset list is previewed (FollowPreview), the notes
// of the piano and of the MIDI input play that preset instead of the card and
// the title says "Preview: <preset>". Choosing a slot in the bank view (a new
// current patch) or Escape goes back to the card; the next Escape hides the
// window as before.

#include "synth/KeyboardLink.h"
#include "synth/MidiDevices.h"

#include <QDialog>

#include <array>
#include <bitset>
#include <functional>
#include <memory>

class CPianoCtrl;
class CPresetPreview;
class QComboBox;
class QSlider;

class CMidiKeyboardDlg : public QDialog, public IKeyboardLink
{
    Q_OBJECT

public:
    struct Controller
    {
        int controller;
        int value;
    };
    static constexpr std::size_t kControllerCount = 7;

    explicit CMidiKeyboardDlg(std::unique_ptr<IMidiDevices> devices, QWidget* parent = nullptr);
    ~CMidiKeyboardDlg() override; // closes the devices if open

    // Opens output and input and sends the stored controllers, bank and
    // program. True when open (also when it already was); a device that
    // cannot be opened leaves both closed.
    bool OpenMidi();
    void CloseMidi();
    bool IsMidiOpen() const { return open; }
    // Puts other devices in place of the window's (the settings chose other
    // ports), open if the old ones were.
    void ReplaceDevices(std::unique_ptr<IMidiDevices> newDevices);

    // Sends a short message on channel 1 (system messages unchanged); a
    // note-on lights its key. False, and nothing sent, while closed. While a
    // preview is played notes go to it instead, open or not.
    bool SendShortMessage(ShortMessage message);
    bool SendChannelMessage(int status, int data1, int data2);
    // The seven controllers with their values, in the list's order.
    void SendControllers(int channel);
    // Bank select (controller 0) and program change; -1 for either sends
    // the stored value. Both are stored even while closed.
    void SetBankProgram(int bank, int program);

    // Ends a preview: the keyboard plays the card's bank and program again.
    void SetPatch(const std::string& name, int bank, int program) override;
    void EnableMidi(bool on) override;

    // From now on every preset preview starts gives the keyboard to it.
    void FollowPreview(CPresetPreview* preview);
    // Notes go to play (key, velocity; 0 ends a note) until EndPreview; name
    // is the preset's, for the title.
    void StartPreview(const QString& name, std::function<void(int key, int velocity)> play);
    // Ends the notes the preview still holds and plays the card again.
    void EndPreview();
    bool IsPreviewing() const { return previewPlay != nullptr; }

    // The keyboard command: shows the window when hidden, hides it when shown.
    void ToggleVisible();
    // Lights the keys sounding on the keyboard's channel (a song playing, as
    // bits of keys 0..63 and 64..127) and unlights those that stopped.
    void ShowSoundingKeys(quint64 low, quint64 high);

    const std::array<Controller, kControllerCount>& GetControllers() const { return controllers; }
    int GetBank() const { return bank; }
    int GetProgram() const { return program; }
    CPianoCtrl* GetPiano() const { return piano; }
    QComboBox* GetControllerList() const { return controllerList; }
    QSlider* GetSlider() const { return slider; }

Q_SIGNALS:
    // For the check mark of the keyboard command.
    void VisibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Enter hides the window as Escape does (there is no button to press).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnSliderMoved(int position);
    void OnControllerChosen(int row);
    void OnPianoKey(int note, int velocity);
    int SelectedRow() const;

    QSlider* slider = nullptr;
    QComboBox* controllerList = nullptr;
    CPianoCtrl* piano = nullptr;
    quint64 soundingLow = 0, soundingHigh = 0;
    std::array<Controller, kControllerCount> controllers;
    bool open = false;
    std::unique_ptr<IMidiDevices> devices;
    int bank = 0;
    int program = 0;
    QString cardTitle; // the title while the card is played
    std::function<void(int, int)> previewPlay;
    std::bitset<128> previewKeys; // held on the preview, ended when it ends
};
