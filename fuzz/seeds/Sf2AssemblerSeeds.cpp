// Seeds of the assembler target: version 2 banks of the builder with shared,
// ROM, compressed and stereo samples, global zones, and damaged indices.

#include "SeedSet.h"

#include "support/SoundFontBuilder.h"

namespace
{
SoundFontBuilder Bank()
{
    SoundFontBuilder bank;
    bank.Version(2, 1).Info("INAM", "Seed").Info("isng", "EMU8000").SampleData(1024);
    const int s0 = bank.AddSample(0, 40);
    const int s1 = bank.AddSample(50, 120);
    const int rom = bank.AddSample(0, 4000);
    bank.SampleType(rom, 0x8001);
    const int left = bank.AddSample(130, 200);
    const int right = bank.AddSample(210, 280);
    bank.SampleType(left, 4).SampleType(right, 2);
    const int packed = bank.AddSample(300, 340);
    bank.SampleType(packed, 0x11);
    const int piano = bank.AddInstrument("Piano", {s0, s1});
    const int stereo = bank.AddInstrument("Stereo", {left, right, rom});
    const int global = bank.AddInstrumentZones(
        "Global", {{{17, 100}, {48, 30}},
                   {{43, 0x3C00}, {kSfGenSampleId, static_cast<std::uint16_t>(s1)}},
                   {{43, 0x7F3D}, {kSfGenSampleId, static_cast<std::uint16_t>(packed)}}});
    bank.AddPreset("Piano", 0, 0, {piano});
    bank.AddPreset("Stereo", 1, 0, {stereo, piano});
    bank.AddPresetZones("Layered", 2, 0,
                        {{{48, 20}}, {{kSfGenInstrument, static_cast<std::uint16_t>(global)}}});
    bank.AddPreset("Kit", 0, 128, {global});
    return bank;
}

void Make(CSeedSet& seeds)
{
    seeds.Add("version-2", Bank().Build());
    seeds.Add("no-modulators", Bank().Drop("pmod").Drop("imod").Build());
    seeds.Add("bag-index-back", Bank().Poke16("phdr", 38 + 24, 0).Build());
    seeds.Add("generators-past-end", Bank().Poke16("ibag", 4, 500).Build());
    seeds.Add("sample-link-past-end", Bank().Poke16("shdr", 3 * 46 + 42, 900).Build());
    seeds.Add("version-1", Bank().Version(1, 0).Build());
}

const RegisterSeeds registration("Sf2Assembler", Make);
} // namespace
