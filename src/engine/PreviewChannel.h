#pragma once
// The preview: one preset heard beside the card on a FluidSynth channel the
// MIDI channels never reach, from a font of its own. The card's fonts, its
// channels and its state are not touched, so hearing a preset changes
// nothing the card holds.
//
// Lock rules: one mutex guards the font; calls may come from any thread.

#include <cstdint>
#include <mutex>
#include <vector>

typedef struct _fluid_synth_t fluid_synth_t;

class CPreviewChannel
{
public:
    // The FluidSynth channel: the first after the sixteen MIDI channels
    // (the synth is made with 32).
    static constexpr int kChannel = 16;
    static constexpr int kSynthChannels = 32;

    explicit CPreviewChannel(fluid_synth_t* synth);
    ~CPreviewChannel();
    CPreviewChannel(const CPreviewChannel&) = delete;
    CPreviewChannel& operator=(const CPreviewChannel&) = delete;

    // A SoundFont 2/3 image whose program 0 of bank 0 is to be heard; the
    // previous preview stops and goes. False (no preview) when FluidSynth
    // cannot load it.
    bool Load(std::vector<std::uint8_t> image);
    void Clear();
    bool IsLoaded() const;
    // velocity 0 ends the note; nothing without a preview.
    void Note(int key, int velocity);

private:
    void UnloadLocked();

    fluid_synth_t* const synth;
    mutable std::mutex mutex;
    int font = -1;
};
