#pragma once
// What the programs ask of the emulated card's sound, without FluidSynth.
//
// The engine itself (CCardEngine, FluidSynth and the audio drivers it
// brings: SDL, PulseAudio, JACK...) lives in the plug-in libtamberly-sound.so
// and is loaded only when something is to sound (LoadSoundEngine in
// SoundEngineLoader.h). A command that only reads a file, or a window that has
// not played a note yet, never maps any of those libraries. This header is
// all the programs see of it: plain data and one abstract class, so the
// plug-in's one entry point can hand out an engine across dlopen.
//
// Every member may be called from any thread; Refresh runs one at a time.

#include "engine/CardEffects.h"
#include "synth/MidiFile.h"
#include "synth/MidiMessage.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
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
    // The audio driver's device (ALSA's "hw:1", a PulseAudio sink); empty: the driver's default.
    std::string audioDeviceName;
    // Frames in each of the output's three periods: the latency is three of them.
    int bufferFrames = 256;
};

// What the Settings dialog changes of an engine that runs.
struct SoundSettings
{
    // FluidSynth's driver name ("pulseaudio", "alsa", "jack"); empty: the
    // first of CardEngineOptions' drivers that starts.
    std::string audioDriver;
    std::string audioDevice; // empty: the driver's default
    int bufferFrames = 256;
    int voices = 32;
    std::string generalMidiFont; // empty: DefaultGeneralMidiFont()
};

// The periods the output keeps, and the latency a buffer size gives.
inline constexpr int kAudioPeriods = 3;
inline constexpr double OutputLatencyMs(int bufferFrames, int sampleRate)
{
    return sampleRate > 0 ? 1000.0 * kAudioPeriods * bufferFrames / sampleRate : 0.0;
}

// What RenderNotes plays: notes held together on one bank and program.
struct NotePlan
{
    int bank = 0;
    int program = 0;
    std::vector<int> notes;
    int velocity = 100;
    double seconds = 2.0;    // how long the notes are held
    double maxRelease = 3.0; // rendering after the release stops at silence or after this long
};

struct StereoSound
{
    std::vector<float> left, right;
};

// Keys 0..127 as bits.
struct HeldKeys
{
    std::uint64_t low = 0, high = 0;
    bool Has(int key) const
    {
        return key >= 0 && key < 128 && (((key < 64 ? low : high) >> (key % 64)) & 1u) != 0;
    }
    bool Any() const { return (low | high) != 0; }
};

// Where the song player stands.
struct SongState
{
    bool loaded = false;
    bool playing = false; // sounding now (not paused, stopped or played to its end)
    bool looping = false;
    double position = 0; // seconds from the start
    double length = 0;   // seconds to the song's last event
    std::string name;    // the song's own name as stored; empty when it has none
};

// How RenderSong renders: the song to its end and the release after it
// (until the sound dies away, at most maxRelease), or only its first
// `seconds` when that is more than zero.
struct SongRenderPlan
{
    double seconds = 0;
    double maxRelease = 3.0;
    // Called now and then with the part done (0..1); false cancels the render.
    std::function<bool(double)> progress;
};

class ISoundEngine
{
public:
    static constexpr int kSampleRate = 44100;

    virtual ~ISoundEngine() = default;

    // Reads the card's state when it changed and brings fonts, channels and
    // effects in step; true when a new state was read.
    virtual bool Refresh() = 0;
    // Calls Refresh on a thread of its own until StopFollowing or
    // destruction: at once when the emulated card loaded in this process
    // changes, and every interval for changes made by other processes.
    virtual void StartFollowing(std::chrono::milliseconds interval = std::chrono::milliseconds(200)) = 0;
    virtual void StopFollowing() = 0;

    // One short MIDI message, on any channel. Bank select (controller 0)
    // takes effect at the next program change; controller 32 is ignored
    // (the card has 128 banks); System Reset (0xFF) resets every channel.
    // Channels start (and reset) with reverb send 40 and chorus send 0, as
    // GS has them.
    virtual void SendShortMessage(ShortMessage message) = 0;
    // Ends every sounding note at once.
    virtual void AllSoundsOff() = 0;

    // The keys held on a channel (0..15), whoever plays them: keyboard,
    // sequencer port or song.
    virtual HeldKeys KeysHeld(int channel) const = 0;

    // The song player: one song at a time, its events routed as the MIDI
    // input's are (bank select and program change reach the card's banks,
    // General MIDI and GS resets reset the channels). LoadSong replaces the
    // song, stopped at its start (false: FluidSynth refused it). Stop, Pause,
    // a new song and the engine's end silence every channel (all notes off,
    // all sounds off).
    virtual bool LoadSong(const MidiSong& song) = 0;
    virtual void UnloadSong() = 0;
    virtual void PlaySong() = 0;
    virtual void PauseSong() = 0;
    virtual void StopSong() = 0;
    virtual void SeekSong(double seconds) = 0;
    virtual void SetSongLoop(bool loop) = 0;
    virtual SongState Song() const = 0;

    // Renders a song offline through the same routing, from a reset card
    // and silence, faster than real time (false while an audio device is
    // open, when cancelled, or when the player refuses the song). The
    // player of LoadSong is left alone.
    virtual bool RenderSong(const MidiSong& song, const SongRenderPlan& plan, StereoSound& out) = 0;
    // The same, written as 16-bit stereo to a .wav file, or a .flac file when
    // the name ends so; the file appears whole or not at all. false with a
    // reason in error; seconds tells how long the written sound is.
    virtual bool RenderSongToFile(const MidiSong& song, const SongRenderPlan& plan, const std::string& path,
                                  double& seconds, std::string& error) = 0;

    // Whether bank:program would sound on a melodic channel now.
    virtual bool HasSound(int bank, int program) const = 0;

    // Renders frames of 44.1 kHz stereo; false (nothing rendered) while an
    // audio device is open, which renders on its own.
    virtual bool Render(float* left, float* right, std::size_t frames) = 0;
    // Resets the engine (System Reset), lets what played before ring out
    // unheard, plays the plan on channel 1 and renders it: the notes held for
    // plan.seconds, then the release until the sound dies away (below
    // -80 dB for 0.1 s) or plan.maxRelease passed. False while an audio
    // device is open, or when the plan is out of range.
    virtual bool RenderNotes(const NotePlan& plan, StereoSound& out) = 0;

    // True while sound goes to an audio device.
    virtual bool HasAudio() const = 0;
    // The audio driver that started; empty without a device.
    virtual std::string AudioDriver() const = 0;
    virtual double LatencyMs() const = 0;
    virtual bool HasSequencerPort() const = 0;
    // The effect settings FluidSynth is using, as it reports them.
    virtual ReverbSettings CurrentReverb() const = 0;
    virtual ChorusSettings CurrentChorus() const = 0;
    virtual int Voices() const = 0;
    virtual int ActiveVoices() const = 0;
    // One line for the status bar: where the sound goes (or that it goes
    // nowhere), with what could not be made to sound.
    virtual std::string StatusText() const = 0;
    // One line for each part of the card that has no sound though the card
    // holds it, and for a General MIDI set that cannot be loaded.
    virtual std::vector<std::string> Problems() const = 0;

    // Preview: one preset heard beside the card, on a channel of its own,
    // neither the card's memory nor its state changing. image is a SoundFont
    // 2/3 file whose program 0 of bank 0 is the preset (MakePresetImage,
    // soundfont/PresetImage.h); false (no preview) when it cannot be loaded.
    virtual bool LoadPreview(std::vector<std::uint8_t> image) = 0;
    virtual void ClearPreview() = 0;
    // A note of the preview (velocity 0 ends it); nothing without a preview.
    virtual void PreviewNote(int key, int velocity) = 0;
    // Renders plan.notes played by the preview as RenderNotes renders the
    // card's (plan.bank and plan.program are not used); false while an
    // audio device is open, without a preview, or for a plan out of range.
    virtual bool RenderPreview(const NotePlan& plan, StereoSound& out) = 0;

    // The audio drivers a user may choose: those of PulseAudio, PipeWire,
    // ALSA and JACK this FluidSynth was built with.
    virtual std::vector<std::string> AudioDrivers() const = 0;
    // Puts settings in effect at once: the output reopened when its driver,
    // device or buffer changed, the voices set, the General MIDI set
    // reloaded when it changed. When the new driver does not start, the
    // output the engine had is opened again and error says why (false); a
    // General MIDI set that does not load leaves the old one playing and is
    // told in Problems. An engine without a device takes only voices and set.
    virtual bool ApplySettings(const SoundSettings& settings, std::string& error) = 0;
};
