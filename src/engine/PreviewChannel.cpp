#include "engine/PreviewChannel.h"

#include "engine/MemoryFontLoader.h"

#include <fluidsynth.h>

CPreviewChannel::CPreviewChannel(fluid_synth_t* fluidSynth) : synth(fluidSynth) {}

CPreviewChannel::~CPreviewChannel()
{
    Clear();
}

bool CPreviewChannel::Load(std::vector<std::uint8_t> image)
{
    const std::lock_guard guard(mutex);
    UnloadLocked();
    if (image.empty() || fluid_synth_count_midi_channels(synth) <= kChannel)
        return false;
    const std::string name = CMemoryFontLoader::Publish(std::move(image));
    const int id = fluid_synth_sfload(synth, name.c_str(), 0);
    CMemoryFontLoader::Withdraw(name);
    if (id == FLUID_FAILED)
        return false;
    font = id;
    return true;
}

void CPreviewChannel::Clear()
{
    const std::lock_guard guard(mutex);
    UnloadLocked();
}

bool CPreviewChannel::IsLoaded() const
{
    const std::lock_guard guard(mutex);
    return font >= 0;
}

void CPreviewChannel::Note(int key, int velocity)
{
    if (key < 0 || key > 127)
        return;
    const std::lock_guard guard(mutex);
    if (font < 0)
        return;
    if (velocity <= 0)
    {
        fluid_synth_noteoff(synth, kChannel, key);
        return;
    }
    // A reset of the synth (a song's or the card's) puts every channel back
    // on the default sounds, so the preview's is chosen at every note.
    fluid_synth_program_select(synth, kChannel, static_cast<unsigned>(font), 0, 0);
    fluid_synth_noteon(synth, kChannel, key, velocity > 127 ? 127 : velocity);
}

void CPreviewChannel::UnloadLocked()
{
    if (font < 0)
        return;
    fluid_synth_all_sounds_off(synth, kChannel);
    fluid_synth_unset_program(synth, kChannel);
    fluid_synth_sfunload(synth, static_cast<unsigned>(font), 1);
    font = -1;
}
