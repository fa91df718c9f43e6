#pragma once
// Rendering without an audio device, for `card render` and the tests: blocks
// of 44.1 kHz stereo on request, and whole note plans (RenderNotes in
// SoundEngine.h) played through the channel router as the keyboard would.
//
// Lock rules: RenderNotes runs one at a time (a mutex of its own), since a
// plan resets the synth and owns channel 1 while it renders; Render may be
// called from any thread, FluidSynth's own lock keeps each block whole. Only
// an engine without an audio device renders here: with one, the device's
// thread is the only one that renders, and the engine refuses before
// calling in.

#include "engine/ChannelRouter.h"
#include "engine/SoundEngine.h"

#include <fluidsynth.h>

#include <cstddef>
#include <mutex>

class COfflineRenderer
{
public:
    COfflineRenderer(fluid_synth_t* synth, CChannelRouter& router);

    bool Render(float* left, float* right, std::size_t frames);
    bool RenderNotes(const NotePlan& plan, StereoSound& out);

    // Whether the plan lies in range (bank, program, notes, velocity, times).
    static bool IsPlayable(const NotePlan& plan);

private:
    // Renders into nothing until the output is quiet.
    bool Drain();

    fluid_synth_t* const synth;
    CChannelRouter& router;
    std::mutex renderMutex; // one RenderNotes at a time
};
