#pragma once
// The emulated card's sound: FluidSynth playing what the card holds.
//
// The engine follows the card's state file (see CCardStateWatcher) and keeps
// FluidSynth's SoundFonts in step with it: each user bank's bank file is
// converted to SoundFont 2 in memory and loaded as one font; each preset
// loaded onto a slot is loaded from the card's own memory copy of it; bank 0
// plays a General MIDI set from disk. Channels are never left to FluidSynth's
// own bank and program lookup: bank select (controller 0) and program change
// go through CCardSoundMap, and the chosen preset of the chosen font is
// selected on the channel (or the channel is silenced). A change of the card
// re-chooses every channel; a channel whose sound changed under it is cut
// off, as a real card's memory is overwritten. The card's reverb and chorus
// types become FluidSynth's effect settings (CCardEffects).
//
// Output goes to an audio device through FluidSynth's driver (the first of
// the drivers named that starts), with short periods for a latency of about
// 17 ms; without any device the engine still works, silently, and
// StatusText() says so (it follows the card, banks, programs and
// controllers, but drops notes: nothing would ever render them). An offline engine never opens a device and renders
// on request. Where the machine has an ALSA sequencer, a device engine also
// opens the sequencer port "Tamberly Card" that feeds it.
//
// Every member may be called from any thread; Refresh runs one at a time.

#include "aweman/CardModel.h"
#include "engine/CardEffects.h"
#include "synth/MidiMessage.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct CardEngineOptions
{
    // Play on an audio device; false: render only through Render and RenderNotes.
    bool audioDevice = true;
    // FluidSynth's audio drivers, tried in order (those this FluidSynth lacks are skipped).
    std::vector<std::string> audioDrivers = {"pipewire", "pulseaudio", "alsa"};
    // Voices (polyphony): the card's 32, or more when a setting says so.
    int voices = 32;
    // The card's home folder; empty: CardHomePath().
    std::string cardHome;
    // The General MIDI set for bank 0; empty: DefaultGeneralMidiFont().
    std::string generalMidiFont;
    // Open the sequencer port "Tamberly Card" (audio device engines only).
    bool sequencerPort = true;
};

// What RenderNotes plays: notes held together on one bank and program.
struct NotePlan
{
    int bank = 0;
    int program = 0;
    std::vector<int> notes;
    int velocity = 100;
    double seconds = 2.0;     // how long the notes are held
    double maxRelease = 3.0;  // rendering after the release stops at silence or after this long
};

struct StereoSound
{
    std::vector<float> left, right;
};

class CCardEngine
{
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kCardVoices = 32;
    static constexpr int kMaxVoices = 1024;
    static constexpr int kPeriodFrames = 256;
    static constexpr int kPeriods = 3;

    // Starts FluidSynth (and the audio device, the sequencer port) and reads
    // the card's state once. Throws std::runtime_error only when FluidSynth
    // itself cannot be started (out of memory).
    explicit CCardEngine(CardEngineOptions options = {});
    ~CCardEngine();
    CCardEngine(const CCardEngine&) = delete;
    CCardEngine& operator=(const CCardEngine&) = delete;

    // Reads the card's state when it changed and brings fonts, channels and
    // effects in step; true when a new state was read.
    bool Refresh();
    // Calls Refresh every interval on a thread of its own until
    // StopFollowing or destruction.
    void StartFollowing(std::chrono::milliseconds interval = std::chrono::milliseconds(200));
    void StopFollowing();

    // One short MIDI message, on any channel. Bank select (controller 0)
    // takes effect at the next program change; controller 32 is ignored
    // (the card has 128 banks); System Reset (0xFF) resets every channel.
    // Channels start (and reset) with reverb send 40 and chorus send 0, as
    // GS has them.
    void SendShortMessage(ShortMessage message);
    // Ends every sounding note at once.
    void AllSoundsOff();

    // Whether bank:program would sound on a melodic channel now.
    bool HasSound(int bank, int program) const;
    // The card as the engine last read it.
    CCardModel State() const;

    // Renders frames of 44.1 kHz stereo; false (nothing rendered) while an
    // audio device is open, which renders on its own.
    bool Render(float* left, float* right, std::size_t frames);
    // Resets the engine (System Reset), lets what played before ring out
    // unheard, plays the plan on channel 1 and renders it: the notes held for
    // plan.seconds, then the release until the sound dies away (below
    // -80 dB for 0.1 s) or plan.maxRelease passed. False while an audio
    // device is open, or when the plan is out of range.
    bool RenderNotes(const NotePlan& plan, StereoSound& out);

    // True while sound goes to an audio device.
    bool HasAudio() const;
    // The audio driver that started; empty without a device.
    std::string AudioDriver() const;
    double LatencyMs() const;
    bool HasSequencerPort() const;
    // The effect settings FluidSynth is using, as it reports them.
    ReverbSettings CurrentReverb() const;
    ChorusSettings CurrentChorus() const;
    int Voices() const;
    int ActiveVoices() const;
    // One line for the status bar: where the sound goes (or that it goes
    // nowhere), with what could not be made to sound.
    std::string StatusText() const;
    // One line for each part of the card that has no sound though the card
    // holds it, and for a General MIDI set that cannot be loaded.
    std::vector<std::string> Problems() const;

    // $TAMBERLY_GM_SOUNDFONT, else the first General MIDI set installed in
    // /usr/share/sounds/sf2 (TimGM6mb first), else TimGM6mb's path.
    static std::string DefaultGeneralMidiFont();
    // Warnings and errors FluidSynth logged in this process (it never
    // writes to the terminal once an engine exists), oldest first, at most 100.
    static std::vector<std::string> FluidMessages();
    static void ClearFluidMessages();

private:
    // Renders into nothing until the output is quiet.
    bool Drain();

    struct Impl;
    std::unique_ptr<Impl> impl;
};
