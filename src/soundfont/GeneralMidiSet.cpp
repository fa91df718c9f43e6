#include "soundfont/GeneralMidiSet.h"

#include <cstdlib>
#include <sys/stat.h>

std::string DefaultGeneralMidiSet()
{
    if (const char* chosen = std::getenv("TAMBERLY_GM_SOUNDFONT"); chosen && *chosen)
        return chosen;
    static const char* const installed[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                            "/usr/share/sounds/sf2/default-GM.sf2",
                                            "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
    for (const char* path : installed)
    {
        struct stat status
        {
        };
        if (::stat(path, &status) == 0 && S_ISREG(status.st_mode))
            return path;
    }
    return installed[0];
}
