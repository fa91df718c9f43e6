// The sound engine plug-in's one entry point (see SoundEngineLoader.h).

#include "engine/CardEngine.h"
#include "engine/SoundEngineLoader.h"
#include "media/VorbisSampleDecoder.h"

#include <exception>
#include <string>
#include <type_traits>

extern "C" __attribute__((visibility("default"))) ISoundEngine*
TamberlyCreateSoundEngine(const CardEngineOptions* options, std::string* error)
{
    // Nothing may unwind into the loader across the plug-in boundary.
    try
    {
        // The plug-in keeps its own copy of the SoundFont reader: the
        // program's decoder does not reach it, and version 3 presets made
        // into fonts need theirs.
        InstallSampleDecoder();
        return new CCardEngine(options ? *options : CardEngineOptions());
    }
    catch (const std::exception& failure)
    {
        if (error)
            *error = failure.what();
    }
    catch (...)
    {
        if (error)
            *error = "the sound engine did not start";
    }
    return nullptr;
}

// The loader checks the entry point's type against this at compile time.
static_assert(std::is_same_v<decltype(&TamberlyCreateSoundEngine), SoundModuleEntry>);
