#pragma once
// The MIDI keyboard's devices when the emulated card is the card manager:
// the output is the card's sound engine in this process (no sequencer
// between them, so the keyboard sounds on a machine without one), the input
// is whatever input device layer the program passes in (typically the
// sequencer devices, for a hardware keyboard), or none.
//
// The input always "opens": a keyboard without an input device still plays.
// The input layer's output is never opened.
//
// The engine may come from a source that loads it when the keyboard first
// sounds (CLazySoundEngine): opening the output does not wait for it.

#include "synth/MidiDevices.h"

#include <functional>
#include <memory>

class ISoundEngine;
using SoundEngineSource = std::function<std::shared_ptr<ISoundEngine>()>;

class CEngineMidiDevices final : public IMidiDevices
{
public:
    // The engine is shared: the keyboard window may outlive whoever made it.
    explicit CEngineMidiDevices(std::shared_ptr<ISoundEngine> engine,
                                std::unique_ptr<IMidiDevices> input = nullptr);
    // The engine as source gives it, asked for when the first message is
    // sent; a source that gives null drops the messages.
    explicit CEngineMidiDevices(SoundEngineSource source, std::unique_ptr<IMidiDevices> input = nullptr);
    ~CEngineMidiDevices() override; // input closed, then the output
    CEngineMidiDevices(const CEngineMidiDevices&) = delete;
    CEngineMidiDevices& operator=(const CEngineMidiDevices&) = delete;

    bool OpenOutput() override;
    // Ends the notes the keyboard left sounding on its channel.
    void CloseOutput() override;
    bool OpenInput(InputHandler handler) override;
    void StartInput() override;
    void CloseInput() override;
    void SendShortMessage(ShortMessage message) override;

    bool IsOutputOpen() const { return outputOpen; }
    // Whether an input device opened (messages from it reach the handler).
    bool HasInput() const { return inputOpen; }
    // The engine, asked of the source when it was not asked before.
    std::shared_ptr<ISoundEngine> Engine();

private:
    SoundEngineSource source;
    std::shared_ptr<ISoundEngine> engine; // once the source gave one
    std::unique_ptr<IMidiDevices> input;
    bool outputOpen = false;
    bool inputOpen = false;
};
