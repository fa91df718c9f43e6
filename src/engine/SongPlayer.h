#pragma once
// A MIDI song played by FluidSynth's own player (Standard MIDI Files of type
// 0 and 1, tempo maps, running status), with every event it plays handed to
// the channel router instead of to FluidSynth: bank select and program
// change reach the card's banks exactly as the keyboard's and the sequencer
// port's do, and a General MIDI or GS reset resets the card's channels.
//
// Timing: a device engine's player runs on FluidSynth's system timer (a
// thread of its own, so a song can be changed while the device renders); an
// offline engine's player is driven by the samples rendered, so a render is
// exact and as fast as the machine. An offline player may only be made,
// changed or deleted while nothing renders (the engine's render mutex).
//
// Lock rules: one mutex guards the player and the song; the player's thread
// calls only the router (never this class's mutex), so deleting the player
// under the mutex, which joins that thread, cannot deadlock.

#include "engine/ChannelRouter.h"
#include "engine/SoundEngine.h"
#include "synth/MidiFile.h"

#include <fluidsynth.h>

#include <mutex>

class CSongPlayer
{
public:
    CSongPlayer(fluid_synth_t* synth, CChannelRouter& router, bool sampleTiming);
    ~CSongPlayer();
    CSongPlayer(const CSongPlayer&) = delete;
    CSongPlayer& operator=(const CSongPlayer&) = delete;

    // Replaces the song (stopped at its start); false when the player
    // refuses it (nothing loaded then).
    bool Load(const MidiSong& song);
    void Unload();
    void Play();
    // Stops where it is; Play goes on from there.
    void Pause();
    // Stops and goes back to the start; every channel's notes and sounds end.
    void Stop();
    void Seek(double seconds);
    void SetLoop(bool loop);
    SongState State() const;
    // True once a song that was started has played to its end (and is not looping).
    bool Finished() const;

private:
    // Under the mutex.
    bool PlayedToTheEnd() const;
    bool MakePlayer();
    void DeletePlayer();
    void SilenceChannels();

    static int OnEvent(void* data, fluid_midi_event_t* event);

    fluid_synth_t* const synth;
    CChannelRouter& router;
    const bool sampleTiming;

    mutable std::mutex mutex; // guards everything below
    fluid_player_t* player = nullptr;
    MidiSong song;
    bool loaded = false;
    bool started = false; // Play was called on this player
    bool playing = false; // as far as the user is concerned (a finished song is not)
    bool loop = false;
    std::uint64_t heldTick = 0; // the position while not playing
};
