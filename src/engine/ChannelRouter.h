#pragma once
// MIDI decoding and channel routing: what reaches the engine as short
// messages becomes FluidSynth calls, except that the channels are never left
// to FluidSynth's own bank and program lookup. Bank select (controller 0)
// is kept per channel and takes effect at the next program change; then the
// card's fonts (CCardFonts) say which preset of which font the channel plays,
// or that it is silent. Controller 32 is ignored (the card has 128 banks);
// System Reset sets every channel back to bank 0, program 0 and the GS effect
// sends (reverb 40, chorus 0). The card's reverb and chorus types become
// FluidSynth's effect settings (CCardEffects).
//
// Lock rules: one mutex guards the channels' banks, programs and targets and
// the effect types applied; Handle, Follow and Reset take it and may be
// called from any thread (the sequencer port's, the keyboard's, a refresh).
// While holding it they ask CCardFonts, whose mutex comes second. Notes,
// controllers and bends go straight to FluidSynth, which has a lock of its own.

#include "engine/CardFonts.h"
#include "engine/SoundEngine.h"
#include "synth/MidiMessage.h"
#include "synth/MidiStatus.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

class CChannelRouter
{
public:
    // dropVoices: no device renders, so notes and other voice messages go
    // nowhere (FluidSynth would queue their events for ever, and complain of
    // each); banks, programs and controllers are still followed.
    CChannelRouter(fluid_synth_t* synth, const CCardFonts& fonts, bool dropVoices);
    // When an output opens or closes under the engine's settings.
    void SetDropVoices(bool drop) { dropVoices = drop; }

    void Handle(ShortMessage message);
    // A system exclusive message (with or without its F0 and F7): the
    // General MIDI (1 or 2) and GS resets reset every channel as System
    // Reset does, the card keeping its own reverb and chorus; the card acts
    // on no other.
    void HandleSysEx(const std::uint8_t* data, std::size_t size);
    static bool IsResetMessage(const std::uint8_t* data, std::size_t size);

    // The keys held down on a channel (0..15) by any source, whether or not
    // the channel sounds: what a keyboard display shows.
    HeldKeys KeysHeld(int channel) const;
    // After the card changed: effects applied and every channel's sound
    // chosen again; a channel whose sound changed under it is cut off, as a
    // real card's memory is overwritten.
    void Follow();
    // Every channel back to bank 0, program 0 and the starting controllers;
    // sounds stop and nothing of what played before rings on in the effects.
    void Reset();

    // Whether a message would reach FluidSynth's voices (note, pressure, bend).
    static bool IsVoiceMessage(MidiStatus kind);

private:
    struct Channel
    {
        int bank = 0;
        int program = 0;
        FontTarget target;
    };

    // Under the mutex.
    void Select(int channel, bool cutOff);
    void ApplyEffects();

    fluid_synth_t* const synth;
    const CCardFonts& fonts;
    std::atomic<bool> dropVoices;

    std::mutex mutex; // guards everything below
    std::array<Channel, kMidiChannels> channels{};
    int appliedReverb = -1;
    int appliedChorus = -1;

    // Two words of key bits per channel; written by Handle, read by anyone.
    std::array<std::atomic<std::uint64_t>, 2 * kMidiChannels> held{};
    void SetHeld(int channel, int key, bool down);
    void ClearHeld(int channel);
};
