#pragma once
// A sound engine that plays nothing and records what the program asks of
// its preview channel, for the window tests. Everything else is inert.

#include "engine/SoundEngine.h"

#include <mutex>
#include <string>
#include <vector>

class CRecordingEngine final : public ISoundEngine
{
public:
    // Images are loaded on the preview's own thread; the log is read on the test's.
    std::vector<std::vector<std::uint8_t>> Images() const
    {
        const std::lock_guard guard(mutex);
        return images;
    }
    // "on 60", "off 60" in the order played.
    std::vector<std::string> Notes() const
    {
        const std::lock_guard guard(mutex);
        return notes;
    }
    void ClearNotes()
    {
        const std::lock_guard guard(mutex);
        notes.clear();
    }

    bool LoadPreview(std::vector<std::uint8_t> image) override
    {
        const std::lock_guard guard(mutex);
        images.push_back(std::move(image));
        return !images.back().empty();
    }
    void ClearPreview() override {}
    void PreviewNote(int key, int velocity) override
    {
        const std::lock_guard guard(mutex);
        notes.push_back((velocity > 0 ? "on " : "off ") + std::to_string(key));
    }
    bool RenderPreview(const NotePlan&, StereoSound&) override { return false; }
    std::vector<std::string> AudioDrivers() const override { return {}; }
    bool ApplySettings(const SoundSettings&, std::string&) override { return true; }

    bool Refresh() override { return false; }
    void StartFollowing(std::chrono::milliseconds) override {}
    void StopFollowing() override {}
    void SendShortMessage(ShortMessage message) override
    {
        const std::lock_guard guard(mutex);
        notes.push_back("card " + std::to_string(message & 0xFF));
    }
    void AllSoundsOff() override {}
    HeldKeys KeysHeld(int) const override { return {}; }
    bool LoadSong(const MidiSong&) override { return false; }
    void UnloadSong() override {}
    void PlaySong() override {}
    void PauseSong() override {}
    void StopSong() override {}
    void SeekSong(double) override {}
    void SetSongLoop(bool) override {}
    SongState Song() const override { return {}; }
    bool RenderSong(const MidiSong&, const SongRenderPlan&, StereoSound&) override { return false; }
    bool RenderSongToFile(const MidiSong&, const SongRenderPlan&, const std::string&, double&,
                          std::string&) override
    {
        return false;
    }
    bool HasSound(int, int) const override { return false; }
    bool Render(float*, float*, std::size_t) override { return false; }
    bool RenderNotes(const NotePlan&, StereoSound&) override { return false; }
    bool HasAudio() const override { return false; }
    std::string AudioDriver() const override { return {}; }
    double LatencyMs() const override { return 0; }
    bool HasSequencerPort() const override { return false; }
    ReverbSettings CurrentReverb() const override { return {}; }
    ChorusSettings CurrentChorus() const override { return {}; }
    int Voices() const override { return 0; }
    int ActiveVoices() const override { return 0; }
    std::string StatusText() const override { return {}; }
    std::vector<std::string> Problems() const override { return {}; }

private:
    mutable std::mutex mutex;
    std::vector<std::vector<std::uint8_t>> images;
    std::vector<std::string> notes;
};
