#pragma once
// Which General MIDI set bank 0 plays. Both the engine and the window need
// the answer (the window shows the default it would fall back to), so it
// lives here as plain code with no library behind it.

#include <cstdlib>
#include <string>
#include <sys/stat.h>

inline constexpr const char* kSystemSoundFontFolder = "/usr/share/sounds/sf2";
inline constexpr const char* kGeneralMidiEnvironment = "TAMBERLY_GM_SOUNDFONT";

// The set a Debian system says is its General MIDI set (default-GM.sf2, an
// alternatives link to whichever set the administrator prefers), else the
// small TimGM6mb, else FluidR3; the first of them in folder. When none is
// there, TimGM6mb's path, so that the problem names the package to install.
inline std::string InstalledGeneralMidiFont(const std::string& folder = kSystemSoundFontFolder)
{
    static const char* const names[] = {"default-GM.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"};
    for (const char* name : names)
    {
        const std::string path = folder + "/" + name;
        struct stat st
        {
        };
        // stat follows the alternatives link: a dangling one does not count.
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return path;
    }
    return folder + "/TimGM6mb.sf2";
}

// The set named by $TAMBERLY_GM_SOUNDFONT, empty when it is not set. It
// wins over the profile's choice: whoever sets it for one run (a test, a
// user trying a set from the terminal) means it for that run, and the
// profile keeps its own choice for the runs after.
inline std::string GeneralMidiFontFromEnvironment()
{
    const char* chosen = std::getenv(kGeneralMidiEnvironment);
    return chosen && *chosen ? std::string(chosen) : std::string();
}

// What plays: the environment's set, else the user's choice, else the installed default.
inline std::string EffectiveGeneralMidiFont(const std::string& chosen,
                                            const std::string& folder = kSystemSoundFontFolder)
{
    if (std::string named = GeneralMidiFontFromEnvironment(); !named.empty())
        return named;
    return chosen.empty() ? InstalledGeneralMidiFont(folder) : chosen;
}
