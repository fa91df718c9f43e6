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
#include <functional>
#include <mutex>

class COfflineRenderer
{
public:
    COfflineRenderer(fluid_synth_t* synth, CChannelRouter& router);

    bool Render(float* left, float* right, std::size_t frames);
    bool RenderNotes(const NotePlan& plan, StereoSound& out);

    // Blocks of a song as they are rendered; false stops the render.
    using BlockSink = std::function<bool(const float* left, const float* right, std::size_t frames)>;
    // Resets the card, lets what played before ring out unheard, and plays
    // the song through a player of its own (driven by the samples rendered)
    // to its end and its release, or for plan.seconds at most. The length is
    // bounded by the song's own (MidiSong checked it), so a player that
    // never comes to an end cannot make the render endless. False when the
    // player refuses the song or the sink or plan.progress stops it.
    bool RenderSong(const MidiSong& song, const SongRenderPlan& plan, const BlockSink& sink);

    // Whether the plan lies in range (bank, program, notes, velocity, times).
    static bool IsPlayable(const NotePlan& plan);

private:
    // Renders into nothing until the output is quiet.
    bool Drain();

    fluid_synth_t* const synth;
    CChannelRouter& router;
    std::mutex renderMutex; // one RenderNotes at a time
};
