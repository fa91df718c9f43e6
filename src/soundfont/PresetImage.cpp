#include "soundfont/PresetImage.h"

#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontExtractor.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"

namespace
{
constexpr int kDrumBank = 128;
constexpr int kMiddleC = 60;
constexpr int kSnare = 38; // General MIDI's acoustic snare
} // namespace

bool MakePresetImage(const std::string& path, int sourcePreset, PresetImage& out)
{
    out = {};
    if (sourcePreset < 0)
        return false;
    CSoundFontReader reader;
    if (reader.Open(path))
    {
        const int index = reader.FindSourcePreset(static_cast<std::uint32_t>(sourcePreset));
        if (index < 0)
            return false;
        const bool made = reader.GetMajorVersion() >= 2
                              ? CSoundFontExtractor::ExtractPreset(reader, index, out.bytes)
                              : CSoundFont2Converter().ConvertPreset(
                                    reader, reader.GetPresetHeader(index).presetNumber, out.bytes);
        out.drumKit =
            made && reader.GetMajorVersion() >= 2 && reader.GetPresetHeader(index).bank == kDrumBank;
        if (!made)
            out = {};
        return made;
    }
    CWaveFile wave;
    if (!wave.Open(path) || !wave.IsOptionOffered(sourcePreset))
        return false;
    // The wave's bank is written in the card's version 1; FluidSynth reads version 2.
    CMemorySink sink;
    if (!wave.WriteSoundFont(sink, sourcePreset))
        return false;
    const std::vector<std::uint8_t> bank = sink.Take();
    CMemorySource source(bank);
    if (!CSoundFont2Converter().ConvertBank(source, out.bytes))
        out = {};
    return !out.bytes.empty();
}

int PreviewKey(const PresetImage& image)
{
    return image.drumKit ? kSnare : kMiddleC;
}
