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
// controllers, but drops notes: nothing would ever render them). An offline engine never opens a device and
// renders on request. Where the machine has an ALSA sequencer, a device engine also opens the sequencer port
// "Tamberly Card" that feeds it.
//
// The facade over the parts, each in a file of its own with its lock rules:
// CFluidLog (FluidSynth's messages), CAudioOutput (driver choice),
// CCardFonts (the card's sounds as fonts, and the state they follow),
// CChannelRouter (MIDI decoding, channels and effects), COfflineRenderer,
// CSongPlayer (MIDI files), CSoundFileWriter (rendered songs on disk).
//
// Every member may be called from any thread. Refresh runs one at a time
// (a refresh mutex, taken before any lock of the parts); the follower thread
// of StartFollowing only calls Refresh.

#include "cardstate/CardModel.h"
#include "engine/SoundEngine.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class CCardEngine final : public ISoundEngine
{
public:
    static constexpr int kCardVoices = 32;
    static constexpr int kMaxVoices = 1024;

    // Starts FluidSynth (and the audio device, the sequencer port) and reads
    // the card's state once. Throws std::runtime_error only when FluidSynth
    // itself cannot be started (out of memory).
    explicit CCardEngine(CardEngineOptions options = {});
    ~CCardEngine() override;
    CCardEngine(const CCardEngine&) = delete;
    CCardEngine& operator=(const CCardEngine&) = delete;

    // The members of ISoundEngine, as its header describes them.
    bool Refresh() override;
    void StartFollowing(std::chrono::milliseconds interval = std::chrono::milliseconds(200)) override;
    void StopFollowing() override;

    void SendShortMessage(ShortMessage message) override;
    void AllSoundsOff() override;

    HeldKeys KeysHeld(int channel) const override;
    bool LoadSong(const MidiSong& song) override;
    void UnloadSong() override;
    void PlaySong() override;
    void PauseSong() override;
    void StopSong() override;
    void SeekSong(double seconds) override;
    void SetSongLoop(bool loop) override;
    SongState Song() const override;
    bool RenderSong(const MidiSong& song, const SongRenderPlan& plan, StereoSound& out) override;
    bool RenderSongToFile(const MidiSong& song, const SongRenderPlan& plan, const std::string& path,
                          double& seconds, std::string& error) override;

    bool HasSound(int bank, int program) const override;
    // The card as the engine last read it.
    CCardModel State() const;
    // True while following with the card's library loaded in this process,
    // which tells of its changes at once (see CCardChangeListener).
    bool HearsCardChanges() const;

    bool Render(float* left, float* right, std::size_t frames) override;
    bool RenderNotes(const NotePlan& plan, StereoSound& out) override;

    bool HasAudio() const override;
    std::string AudioDriver() const override;
    double LatencyMs() const override;
    bool HasSequencerPort() const override;
    ReverbSettings CurrentReverb() const override;
    ChorusSettings CurrentChorus() const override;
    int Voices() const override;
    int ActiveVoices() const override;
    std::string StatusText() const override;
    std::vector<std::string> Problems() const override;
    bool LoadPreview(std::vector<std::uint8_t> image) override;
    void ClearPreview() override;
    void PreviewNote(int key, int velocity) override;
    bool RenderPreview(const NotePlan& plan, StereoSound& out) override;
    std::vector<std::string> AudioDrivers() const override;
    bool ApplySettings(const SoundSettings& settings, std::string& error) override;

    // $TAMBERLY_GM_SOUNDFONT, else the system's General MIDI set
    // (InstalledGeneralMidiFont: default-GM.sf2 first).
    static std::string DefaultGeneralMidiFont();
    // Warnings and errors FluidSynth logged in this process (it never
    // writes to the terminal once an engine exists), oldest first, at most 100.
    static std::vector<std::string> FluidMessages();
    static void ClearFluidMessages();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
