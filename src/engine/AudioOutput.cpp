#include "engine/AudioOutput.h"

#include <alsa/asoundlib.h>

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
} // namespace

CAudioOutput::~CAudioOutput()
{
    if (driver)
        delete_fluid_audio_driver(driver);
}

void CAudioOutput::Configure(fluid_settings_t* settings)
{
    fluid_settings_setint(settings, "audio.period-size", kPeriodFrames);
    fluid_settings_setint(settings, "audio.periods", kPeriods);
}

bool CAudioOutput::Open(fluid_settings_t* settings, fluid_synth_t* synth,
                        const std::vector<std::string>& drivers)
{
    snd_lib_error_set_handler(QuietAlsa);
    for (const std::string& name : drivers)
    {
        if (!DriverBuilt(settings, name) ||
            fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        driver = new_fluid_audio_driver(settings, synth);
        if (driver)
        {
            driverName = name;
            break;
        }
    }
    snd_lib_error_set_handler(nullptr);
    return driver != nullptr;
}

double CAudioOutput::LatencyMs(int sampleRate) const
{
    return driver ? 1000.0 * kPeriodFrames * kPeriods / sampleRate : 0.0;
}
