#pragma once
// FluidSynth reads SoundFont files through five callbacks (open, read, seek,
// tell, close). The loader made here reads names of the form "mem:<n>" from
// images held in memory and every other name from the file system, so one
// loader serves the General MIDI set on disk and the card's converted banks.
//
// The callbacks carry no context of their own, so the images live in one
// table for the whole process. Publish an image, load it with
// fluid_synth_sfload under the name returned, then Withdraw it: FluidSynth
// keeps its own copy of everything once the load returns (sample data is
// read whole, never streamed, with the settings CCardEngine uses). A load
// already reading an image keeps it alive after it is withdrawn.

#include <fluidsynth.h>

#include <cstdint>
#include <string>
#include <vector>

class CMemoryFontLoader
{
public:
    static constexpr const char* kPrefix = "mem:";

    // FluidSynth's SoundFont loader reading through these callbacks; the
    // synth that gets it with fluid_synth_add_sfloader deletes it.
    static fluid_sfloader_t* NewLoader(fluid_settings_t* settings);

    // Makes image readable under a new name (never used before in this process).
    static std::string Publish(std::vector<std::uint8_t> image);
    // Forgets the image of a name; nothing for an unknown name.
    static void Withdraw(const std::string& name);
    // How many images are published (for tests that check nothing is left behind).
    static std::size_t PublishedCount();
};
