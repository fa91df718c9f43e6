#pragma once
// The audio device the engine plays on: the first of FluidSynth's audio
// drivers named that this FluidSynth has and that starts. Without any, the
// engine goes on silently (IsOpen false).
//
// Lock rules: none of its own. Open and the destructor run on the thread
// that makes and destroys the engine, before and after every other use; the
// queries only read what Open left and may be called from any thread.
// FluidSynth's driver renders on a thread of its own, through the synth's
// own lock.

#include <fluidsynth.h>

#include <string>
#include <vector>

class CAudioOutput
{
public:
    static constexpr int kPeriodFrames = 256;
    static constexpr int kPeriods = 3;

    CAudioOutput() = default;
    ~CAudioOutput();
    CAudioOutput(const CAudioOutput&) = delete;
    CAudioOutput& operator=(const CAudioOutput&) = delete;

    // Sets the short periods (about 17 ms in all) on settings; to be called
    // before the synth is made from them.
    static void Configure(fluid_settings_t* settings);
    // Tries the drivers in order; true when one started.
    bool Open(fluid_settings_t* settings, fluid_synth_t* synth, const std::vector<std::string>& drivers);

    bool IsOpen() const { return driver != nullptr; }
    const std::string& DriverName() const { return driverName; }
    // 0 without a device.
    double LatencyMs(int sampleRate) const;

private:
    fluid_audio_driver_t* driver = nullptr;
    std::string driverName;
};
