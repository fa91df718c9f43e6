// A stand-in for an Emux wavetable device, preloaded (LD_PRELOAD) into a
// program that drives one through libasound's hwdep calls: awesfx's asfxload,
// or tamberly-cli with the Emux card library. It answers like a card with
// plenty of memory and appends every call to the file TAMBERLY_HWDEP_RECORD
// names, so that a test compares what two loaders send for the same bank.
//
// Record file: one entry per call, little-endian 32-bit words
//   kind (0 open, 1 ioctl, 2 close), request, byte count, then the bytes:
//   the device name for an open, the patch header and its data for a
//   LOAD_PATCH, nothing for other calls.
// TAMBERLY_HWDEP_FREE sets the free memory the device reports (bytes);
// TAMBERLY_HWDEP_REFUSE=N refuses the N-th LOAD_PATCH (counting from 1) for
// lack of memory.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sound/sfnt_info.h>
#include <sys/ioctl.h>

// libasound's declarations clash with the kernel's <sound/asound.h>, which
// the patch records need: the few it takes are declared here, the types
// opaque as libasound keeps them.
extern "C"
{
    typedef struct _snd_hwdep snd_hwdep_t;
    typedef struct _snd_hwdep_info snd_hwdep_info_t;
    typedef struct _snd_ctl snd_ctl_t;
}

namespace
{
// Any non-null pointer serves as the handle: the program never looks inside.
char fakeDevice;
int loads = 0;

void Record(std::uint32_t kind, std::uint32_t request, const void* data, std::uint32_t size)
{
    const char* path = std::getenv("TAMBERLY_HWDEP_RECORD");
    if (!path || !*path)
        return;
    if (FILE* file = std::fopen(path, "ab"))
    {
        const std::uint32_t head[3] = {kind, request, size};
        std::fwrite(head, sizeof head, 1, file);
        if (size > 0)
            std::fwrite(data, size, 1, file);
        std::fclose(file);
    }
}

long EnvNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}
} // namespace

extern "C" int snd_hwdep_open(snd_hwdep_t** hwdep, const char* name, int)
{
    Record(0, 0, name, static_cast<std::uint32_t>(std::strlen(name)));
    *hwdep = reinterpret_cast<snd_hwdep_t*>(&fakeDevice);
    return 0;
}

// The stand-in card has no control device (no mixer, no card information):
// the program must go on without them, as on a card that lacks them.
extern "C" int snd_ctl_open(snd_ctl_t** ctl, const char*, int)
{
    *ctl = nullptr;
    return -ENODEV;
}

extern "C" int snd_hwdep_close(snd_hwdep_t*)
{
    Record(2, 0, nullptr, 0);
    return 0;
}

extern "C" int snd_hwdep_info(snd_hwdep_t*, snd_hwdep_info_t*)
{
    return 0;
}

extern "C" const char* snd_hwdep_info_get_name(const snd_hwdep_info_t*)
{
    return SNDRV_EMUX_HWDEP_NAME;
}

extern "C" int snd_hwdep_info_get_iface(const snd_hwdep_info_t*)
{
    return SNDRV_HWDEP_IFACE_EMUX_WAVETABLE;
}

extern "C" int snd_hwdep_ioctl(snd_hwdep_t*, unsigned int request, void* arg)
{
    if (request == SNDRV_EMUX_IOCTL_LOAD_PATCH)
    {
        soundfont_patch_info patch;
        std::memcpy(&patch, arg, sizeof patch);
        const std::uint32_t size =
            static_cast<std::uint32_t>(sizeof patch) + static_cast<std::uint32_t>(patch.len);
        Record(1, request, arg, size);
        // No sample is shared with a font loaded before: each is sent anew.
        if (patch.type == SNDRV_SFNT_PROBE_DATA)
            return -EINVAL;
        if (patch.type == SNDRV_SFNT_LOAD_DATA || patch.type == SNDRV_SFNT_LOAD_INFO)
            if (++loads == EnvNumber("TAMBERLY_HWDEP_REFUSE", 0))
                return -ENOSPC;
        return 0;
    }
    Record(1, request, nullptr, 0);
    if (request == SNDRV_EMUX_IOCTL_VERSION)
        *static_cast<unsigned int*>(arg) = SNDRV_EMUX_VERSION;
    else if (request == SNDRV_EMUX_IOCTL_MEM_AVAIL)
        *static_cast<int*>(arg) = static_cast<int>(EnvNumber("TAMBERLY_HWDEP_FREE", 256L << 20));
    return 0;
}
