#pragma once
// Which sequencer ports the keyboard connects to, chosen from the port names
// the device layer lists ("client:port c:p" on the ALSA sequencer).

#include <string>
#include <utility>
#include <vector>

// Our own sequencer client: its ports are never chosen.
inline constexpr const char* kKeyboardClientName = "Tamberly Keyboard";
// What the emulated card's synth port calls itself.
inline constexpr const char* kCardSynthPortName = "Tamberly Card";

struct MidiPortPreference
{
    std::string output;        // a port the user named ("Midi" / "Output"), empty for none
    std::string input;         // likewise for the input ("Midi" / "Input")
    bool emulatedCard = false; // the emulated card is the card manager
};

// The output port to open, -1 for none: the named port (its exact name, else
// the first name containing it), else, with the emulated card, its synth
// port, else the first port.
int ChooseMidiOutput(const std::vector<std::string>& ports, const MidiPortPreference& preference);

// The input port to open, -1 for none: the named port, else the first port.
// Never the port the output goes to (the keyboard passes its input through to
// its output, so reading its own output back would loop for ever).
int ChooseMidiInput(const std::vector<std::string>& ports, const MidiPortPreference& preference,
                    const std::string& outputPort);

// A port's name as the profile keeps it: without the client and port numbers
// at its end ("USB Keys:USB Keys MIDI 1 24:0" -> "USB Keys:USB Keys MIDI 1"),
// which the sequencer hands out anew each time a device is plugged in.
std::string PortNameToRemember(const std::string& port);

// Tells when the port the user named comes back: a keyboard plugged in again
// gets a new sequencer port, which nothing connects to on its own.
class CMidiPortReturn
{
public:
    explicit CMidiPortReturn(std::string named = {}) : named(std::move(named)) {}
    // True when the named port is among ports and was not at the look
    // before; the first look only notes what is there (the keyboard has
    // just connected to what it found).
    bool Returned(const std::vector<std::string>& ports);

private:
    std::string named;
    bool looked = false;
    bool present = false;
};
