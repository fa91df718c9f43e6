#pragma once
// FluidSynth as a listening instrument for tests: loads SoundFont 2 files,
// lists their presets and renders notes offline (no audio device), while
// every warning and error FluidSynth logs is kept for the test to check.

#include <fluidsynth.h>

#include <string>
#include <vector>

struct FluidPreset
{
    int bank = 0;
    int program = 0;
    std::string name;
    bool operator==(const FluidPreset&) const = default;
};

struct FluidRender
{
    std::vector<float> left, right;
};

class FluidProbe
{
public:
    static constexpr double kRate = 44100;

    // A synth at 44100 Hz without reverb or chorus, so that what is measured is the note alone.
    FluidProbe();
    ~FluidProbe();
    FluidProbe(const FluidProbe&) = delete;
    FluidProbe& operator=(const FluidProbe&) = delete;

    // The font id, or -1 when FluidSynth refuses the file.
    int Load(const std::string& path);
    std::vector<FluidPreset> Presets(int fontId) const;
    // Holds key for `seconds` and renders `release` seconds more after the note-off.
    FluidRender Play(int fontId, int bank, int program, int key, int velocity, double seconds,
                     double release = 0);

    // Warnings, errors and panics FluidSynth logged since this probe was made.
    const std::vector<std::string>& Messages() const;

private:
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
};

// The frequency of a periodic signal from its rising zero crossings in
// samples [from, to), interpolated between samples.
double MeasureFrequency(const std::vector<float>& signal, std::size_t from, std::size_t to,
                        double rate = FluidProbe::kRate);
// Root mean square of samples [from, to).
double Rms(const std::vector<float>& signal, std::size_t from, std::size_t to);
