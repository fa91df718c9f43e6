// A stand-in for the sound plug-in that only says it was loaded: its
// constructor writes the file named by $TAMBERLY_TRIPWIRE_FILE. It has no
// engine entry point, so a program that loads it must refuse it cleanly.

#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void MarkLoaded()
{
    if (const char* path = std::getenv("TAMBERLY_TRIPWIRE_FILE"); path && *path)
    {
        if (std::FILE* file = std::fopen(path, "a"))
        {
            std::fputs("loaded\n", file);
            std::fclose(file);
        }
    }
}
