#pragma once
// The MIDI devices on the ALSA sequencer through RtMidi. The keyboard's own
// client ("Tamberly Keyboard") gets one port to send from and one to receive
// on, connected to the ports MidiPortChoice picks.
//
// A machine without a sequencer (no /dev/snd/seq), or a sequencer that
// refuses, leaves the devices closed without a word on the terminal.
// Incoming messages reach the handler on RtMidi's own thread.

#include "synth/MidiDevices.h"
#include "synth/MidiPortChoice.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

class CRtMidiDevices final : public IMidiDevices
{
public:
    explicit CRtMidiDevices(MidiPortPreference preference);
    ~CRtMidiDevices() override; // input, then output closed
    CRtMidiDevices(const CRtMidiDevices&) = delete;
    CRtMidiDevices& operator=(const CRtMidiDevices&) = delete;

    // The ports the user named in the profile (section "Midi", values
    // "Output" and "Input"), with whether the emulated card is the manager.
    static MidiPortPreference ProfilePreference(bool emulatedCard);
    // Whether the machine has an ALSA sequencer at all.
    static bool SequencerPresent();
    // The sequencer's ports the keyboard could read from or play to now,
    // its own left out; empty without a sequencer.
    static std::vector<std::string> InputPorts();
    static std::vector<std::string> OutputPorts();

    bool OpenOutput() override;
    void CloseOutput() override;
    // Connects to the chosen input port; with none to connect to, the input
    // is a port of our own that other programs can connect to.
    bool OpenInput(InputHandler handler) override;
    void StartInput() override;
    void CloseInput() override;
    void SendShortMessage(ShortMessage message) override;

    // The sequencer ports connected, empty while closed (and for an input
    // that waits for others to connect).
    const std::string& GetOutputPort() const { return outputPort; }
    const std::string& GetInputPort() const { return inputPort; }

private:
    static void OnInput(double timeStamp, std::vector<unsigned char>* message, void* self);

    MidiPortPreference preference;
    std::unique_ptr<RtMidiOut> output;
    std::unique_ptr<RtMidiIn> input;
    std::string outputPort;
    std::string inputPort;
    InputHandler handler;
    std::atomic<bool> inputRunning{false};
    std::atomic<bool> outputFailed{false};
    std::atomic<bool> inputFailed{false};
};
