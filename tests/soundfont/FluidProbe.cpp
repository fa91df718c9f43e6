#include "soundfont/FluidProbe.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace
{
std::vector<std::string>& Logged()
{
    static std::vector<std::string> messages;
    return messages;
}

void Record(int level, const char* message, void*)
{
    const char* names[] = {"panic", "error", "warning"};
    Logged().push_back(std::string(names[std::clamp(level, 0, 2)]) + ": " + message);
}
} // namespace

FluidProbe::FluidProbe()
{
    Logged().clear();
    for (const int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN})
        fluid_set_log_function(level, Record, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);

    settings = new_fluid_settings();
    if (!settings)
        throw std::runtime_error("FluidSynth makes no settings");
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    synth = new_fluid_synth(settings);
    if (!synth)
    {
        delete_fluid_settings(settings);
        throw std::runtime_error("FluidSynth makes no synth");
    }
}

FluidProbe::~FluidProbe()
{
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
}

int FluidProbe::Load(const std::string& path)
{
    const int id = fluid_synth_sfload(synth, path.c_str(), 0);
    return id == FLUID_FAILED ? -1 : id;
}

std::vector<FluidPreset> FluidProbe::Presets(int fontId) const
{
    std::vector<FluidPreset> presets;
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth, fontId);
    if (!font)
        return presets;
    fluid_sfont_iteration_start(font);
    while (fluid_preset_t* preset = fluid_sfont_iteration_next(font))
        presets.push_back(
            {fluid_preset_get_banknum(preset), fluid_preset_get_num(preset), fluid_preset_get_name(preset)});
    return presets;
}

FluidRender FluidProbe::Play(int fontId, int bank, int program, int key, int velocity, double seconds,
                             double release)
{
    FluidRender render;
    if (fluid_synth_program_select(synth, 0, fontId, bank, program) != FLUID_OK)
        return render;
    const auto held = static_cast<std::size_t>(seconds * kRate);
    const auto after = static_cast<std::size_t>(release * kRate);
    render.left.resize(held + after);
    render.right.resize(held + after);
    fluid_synth_noteon(synth, 0, key, velocity);
    fluid_synth_write_float(synth, static_cast<int>(held), render.left.data(), 0, 1, render.right.data(), 0,
                            1);
    fluid_synth_noteoff(synth, 0, key);
    if (after > 0)
        fluid_synth_write_float(synth, static_cast<int>(after), render.left.data() + held, 0, 1,
                                render.right.data() + held, 0, 1);
    fluid_synth_system_reset(synth);
    return render;
}

const std::vector<std::string>& FluidProbe::Messages() const
{
    return Logged();
}

double MeasureFrequency(const std::vector<float>& signal, std::size_t from, std::size_t to, double rate)
{
    to = std::min(to, signal.size());
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i)
    {
        if (signal[i - 1] < 0 && signal[i] >= 0)
        {
            const double at = static_cast<double>(i - 1) + signal[i - 1] / (signal[i - 1] - signal[i]);
            if (crossings == 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return (crossings - 1) * rate / (last - first);
}

double Rms(const std::vector<float>& signal, std::size_t from, std::size_t to)
{
    to = std::min(to, signal.size());
    if (from >= to)
        return 0;
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += double{signal[i]} * signal[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}
