#include "platform/GeneralMidiSet.h"

#include <cstdlib>
#include <sys/stat.h>

std::string DefaultGeneralMidiSet(const std::string& folder)
{
    if (const char* chosen = std::getenv("TAMBERLY_GM_SOUNDFONT"); chosen && *chosen)
        return chosen;
    for (const char* name : {"default-GM.sf2", "TimGM6mb.sf2", "FluidR3_GM.sf2"})
    {
        const std::string path = folder + '/' + name;
        struct stat st
        {
        };
        // stat follows the alternatives link to the file it names.
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return path;
    }
    return folder + "/TimGM6mb.sf2";
}
