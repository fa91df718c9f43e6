#pragma once
// One preset of a sound file as a SoundFont file of its own in memory, for
// hearing it without loading it into the card: a SoundFont 1 preset converted
// to version 2, a version 2/3 preset extracted in its own version (compressed
// samples as they are), a sample file (wave, or AIFF, FLAC and Ogg through the
// installed decoder) as the one-preset bank of its conversion option. The
// preset is program 0 of bank 0 of the image.

#include <cstdint>
#include <string>
#include <vector>

struct PresetImage
{
    std::vector<std::uint8_t> bytes;
    bool drumKit = false; // a version 2/3 preset of bank 128
};

// sourcePreset as a patch keeps it: the preset number, a version 2/3 preset's
// bank in the high half; for a sample file the conversion option. False with
// out empty when the file cannot be read or has no such preset.
bool MakePresetImage(const std::string& path, int sourcePreset, PresetImage& out);

// The key a preview plays: the snare of a drum kit, else middle C.
int PreviewKey(const PresetImage& image);
