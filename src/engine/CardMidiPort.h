#pragma once
// The emulated card's port on the ALSA sequencer, "Tamberly Card", where
// other programs (a MIDI file player, a hardware keyboard routed by the
// user) play the card. Every short message that arrives goes to the handler
// on RtMidi's own thread; SysEx, timing and active sensing are dropped.
//
// A machine without a sequencer (no /dev/snd/seq), or a sequencer that
// refuses the port, leaves it closed without a word on the terminal.

#include "synth/MidiMessage.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class RtMidiIn;

class CCardMidiPort
{
public:
    using Handler = std::function<void(ShortMessage)>;

    // Opens the port; IsOpen() says whether that worked.
    explicit CCardMidiPort(Handler handler);
    ~CCardMidiPort(); // closes the port: no handler call is under way or to come afterwards
    CCardMidiPort(const CCardMidiPort&) = delete;
    CCardMidiPort& operator=(const CCardMidiPort&) = delete;

    bool IsOpen() const { return input != nullptr; }

private:
    static void OnInput(double timeStamp, std::vector<unsigned char>* message, void* self);

    Handler handler;
    std::unique_ptr<RtMidiIn> input;
    std::atomic<bool> failed{false};
};
