#pragma once
// The devices the MIDI keyboard window is made with. When the emulated card
// is the card manager and the user named no output port, the keyboard plays
// the card's sound engine in this process (CEngineMidiDevices), reading its
// input from the sequencer; otherwise it plays through the sequencer to the
// chosen port (CRtMidiDevices), as with a real card.

#include "engine/EngineMidiDevices.h"
#include "synth/MidiDevices.h"
#include "synth/MidiPortChoice.h"

#include <memory>

// engine may be empty (no engine for this card): then the sequencer devices.
// It is asked for the engine only when the keyboard first sounds.
std::unique_ptr<IMidiDevices> MakeKeyboardDevices(const MidiPortPreference& preference,
                                                  SoundEngineSource engine);
