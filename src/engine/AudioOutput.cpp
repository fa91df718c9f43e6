#include "engine/AudioOutput.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace
{
// The ALSA library reports a machine without sound cards on the terminal
// before FluidSynth can say anything; while drivers are tried, it keeps quiet.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

bool DriverBuilt(fluid_settings_t* settings, const std::string& name)
{
    struct Search
    {
        const std::string* name;
        bool found;
    } search{&name, false};
    fluid_settings_foreach_option(settings, "audio.driver", &search,
                                  [](void* data, const char*, const char* option)
                                  {
                                      auto* s = static_cast<Search*>(data);
                                      if (option && *s->name == option)
                                          s->found = true;
                                  });
    return search.found;
}

// The setting that names a driver's device, where the driver has one.
const char* DeviceSetting(const std::string& driver)
{
    if (driver == "alsa")
        return "audio.alsa.device";
    if (driver == "pulseaudio")
        return "audio.pulseaudio.device";
    if (driver == "oss")
        return "audio.oss.device";
    return nullptr;
}
} // namespace

CAudioOutput::~CAudioOutput()
{
    Close();
}

void CAudioOutput::Configure(fluid_settings_t* settings)
{
    fluid_settings_setint(settings, "audio.period-size", kPeriodFrames);
    fluid_settings_setint(settings, "audio.periods", kPeriods);
}

std::vector<std::string> CAudioOutput::Built(fluid_settings_t* settings,
                                             const std::vector<std::string>& drivers)
{
    std::vector<std::string> built;
    for (const std::string& name : drivers)
        if (DriverBuilt(settings, name))
            built.push_back(name);
    return built;
}

bool CAudioOutput::Open(fluid_settings_t* settings, fluid_synth_t* synth, const Choice& choice)
{
    Close();
    const int frames = std::clamp(choice.periodFrames, kMinPeriodFrames, kMaxPeriodFrames);
    fluid_settings_setint(settings, "audio.period-size", frames);
    snd_lib_error_set_handler(QuietAlsa);
    fluid_audio_driver_t* started = nullptr;
    std::string startedName;
    for (const std::string& name : Built(settings, choice.drivers))
    {
        if (fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        if (const char* deviceSetting = DeviceSetting(name))
        {
            // No name is the driver's own default ("default" for ALSA), put
            // back in case another device was chosen before.
            char* fallback = nullptr;
            if (!choice.device.empty())
                fluid_settings_setstr(settings, deviceSetting, choice.device.c_str());
            else if (fluid_settings_getstr_default(settings, deviceSetting, &fallback) == FLUID_OK &&
                     fallback)
                fluid_settings_setstr(settings, deviceSetting, fallback);
        }
        started = new_fluid_audio_driver(settings, synth);
        if (started)
        {
            startedName = name;
            break;
        }
    }
    snd_lib_error_set_handler(nullptr);
    const std::lock_guard guard(mutex);
    driver = started;
    driverName = startedName;
    periodFrames = frames;
    return driver != nullptr;
}

void CAudioOutput::Close()
{
    fluid_audio_driver_t* old = nullptr;
    {
        const std::lock_guard guard(mutex);
        old = driver;
        driver = nullptr;
        driverName.clear();
    }
    // Outside the lock: the driver's thread ends here, and a query must not wait for it.
    if (old)
        delete_fluid_audio_driver(old);
}

bool CAudioOutput::IsOpen() const
{
    const std::lock_guard guard(mutex);
    return driver != nullptr;
}

std::string CAudioOutput::DriverName() const
{
    const std::lock_guard guard(mutex);
    return driverName;
}

double CAudioOutput::LatencyMs(int sampleRate) const
{
    const std::lock_guard guard(mutex);
    return driver ? 1000.0 * periodFrames * kPeriods / sampleRate : 0.0;
}
