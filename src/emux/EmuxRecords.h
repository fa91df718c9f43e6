#pragma once
// The kernel's Emux patch records (<sound/sfnt_info.h>) and the byte images
// of the LOAD_PATCH calls made of them. libasound's own headers redefine
// types of the kernel's <sound/asound.h>, so the two never meet in one file:
// this header is the only one that includes the kernel's, and HwdepDevice.cpp
// the only one that includes libasound's.

#include <sound/sfnt_info.h>
#include <sys/ioctl.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace emux
{
// One LOAD_PATCH argument: the patch header followed by its data, as the
// driver reads it from the caller's memory.
using PatchBytes = std::vector<std::uint8_t>;

inline PatchBytes MakePatch(short type, short optarg, const void* data, std::size_t size)
{
    soundfont_patch_info header{};
    header.key = SNDRV_OSS_SOUNDFONT_PATCH;
    header.type = type;
    header.optarg = optarg;
    header.len = static_cast<int>(size);
    PatchBytes bytes(sizeof header + size);
    std::memcpy(bytes.data(), &header, sizeof header);
    if (size > 0)
        std::memcpy(bytes.data() + sizeof header, data, size);
    return bytes;
}

// Opens a font on the driver: what follows belongs to it until it is closed,
// and REMOVE_LAST_SAMPLES takes back exactly its samples.
inline PatchBytes OpenPatch(std::string_view name)
{
    soundfont_open_parm open{};
    open.type = SNDRV_SFNT_PAT_TYPE_MISC;
    std::memcpy(open.name, name.data(), std::min<std::size_t>(name.size(), sizeof open.name - 1));
    return MakePatch(SNDRV_SFNT_OPEN_PATCH, 0, &open, sizeof open);
}

inline PatchBytes ClosePatch()
{
    return MakePatch(SNDRV_SFNT_CLOSE_PATCH, 0, nullptr, 0);
}

// Removes every voice of bank:program (not their samples).
inline PatchBytes RemoveInfo(int bank, int program)
{
    return MakePatch(SNDRV_SFNT_REMOVE_INFO, static_cast<short>((bank << 8) | program), nullptr, 0);
}

// The header of a patch image; a zeroed header for an image too short.
inline soundfont_patch_info PatchHeader(const PatchBytes& bytes)
{
    soundfont_patch_info header{};
    if (bytes.size() >= sizeof header)
        std::memcpy(&header, bytes.data(), sizeof header);
    return header;
}
} // namespace emux
