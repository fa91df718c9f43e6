#pragma once
// The MIDI devices the keyboard window plays through: one output and one
// input. The program's implementation sits on the ALSA sequencer; tests use a
// recording fake.

#include "synth/MidiMessage.h"

#include <functional>

class IMidiDevices
{
public:
    // Receives each incoming short message. It may run on a thread of the
    // device layer, never after CloseInput has returned.
    using InputHandler = std::function<void(ShortMessage)>;

    virtual ~IMidiDevices() = default;

    // Open the output; false when no output can be opened (it stays closed).
    virtual bool OpenOutput() = 0;
    // Nothing when it is closed.
    virtual void CloseOutput() = 0;
    // Open the input with its handler; messages flow only after StartInput.
    virtual bool OpenInput(InputHandler handler) = 0;
    virtual void StartInput() = 0;
    // Stops and closes the input; nothing when it is closed.
    virtual void CloseInput() = 0;
    // Sends one short message on the open output; nothing when it is closed.
    virtual void SendShortMessage(ShortMessage message) = 0;
};
