#pragma once
// The audio device the engine plays on: the first of FluidSynth's audio
// drivers named that this FluidSynth has and that starts. Without any, the
// engine goes on silently (IsOpen false). Settings may reopen it on another
// driver, device or buffer size while the engine runs.
//
// Lock rules: one mutex guards the driver and what describes it, so the
// queries may be called from any thread while Open or Close runs on
// another. FluidSynth's driver renders on a thread of its own, through the
// synth's own lock.

#include <fluidsynth.h>

#include <mutex>
#include <string>
#include <vector>

class CAudioOutput
{
public:
    static constexpr int kPeriodFrames = 256;
    static constexpr int kPeriods = 3;
    static constexpr int kMinPeriodFrames = 64;
    static constexpr int kMaxPeriodFrames = 8192;

    // Where and how the sound goes.
    struct Choice
    {
        std::vector<std::string> drivers; // tried in order
        std::string device;               // the driver's device; empty: its default
        int periodFrames = kPeriodFrames;
    };

    CAudioOutput() = default;
    ~CAudioOutput();
    CAudioOutput(const CAudioOutput&) = delete;
    CAudioOutput& operator=(const CAudioOutput&) = delete;

    // Sets the short periods (about 17 ms in all) on settings; to be called
    // before the synth is made from them.
    static void Configure(fluid_settings_t* settings);
    // Closes the device if open, then tries the drivers in order; true when
    // one started.
    bool Open(fluid_settings_t* settings, fluid_synth_t* synth, const Choice& choice);
    void Close();

    // Of the drivers named, those this FluidSynth was built with.
    static std::vector<std::string> Built(fluid_settings_t* settings,
                                          const std::vector<std::string>& drivers);

    bool IsOpen() const;
    std::string DriverName() const;
    // 0 without a device.
    double LatencyMs(int sampleRate) const;

private:
    mutable std::mutex mutex;
    fluid_audio_driver_t* driver = nullptr;
    std::string driverName;
    int periodFrames = kPeriodFrames;
};
