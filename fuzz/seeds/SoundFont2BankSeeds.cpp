// Seeds of the SoundFont 2/3 bank target: version 2 and 3 banks of the
// builder, shared, ROM and stereo samples, melodic and drum presets of one
// number, and a version 3 bank whose "streams" are no Ogg at all.

#include "SeedSet.h"

#include "support/SoundFontBuilder.h"

namespace
{
SoundFontBuilder Version2()
{
    SoundFontBuilder bank;
    bank.Version(2, 1).Info("INAM", "Seed Two").Info("isng", "EMU8000").Info("ISFT", "seed").SampleData(512);
    bank.Insert("INFO", "iver", {1, 0, 0, 0});
    const int s0 = bank.AddSample(0, 40);
    const int s1 = bank.AddSample(50, 120);
    const int rom = bank.AddSample(0, 4000);
    bank.SampleType(rom, 0x8001);
    const int left = bank.AddSample(130, 200);
    bank.SampleType(left, 4);
    const int piano = bank.AddInstrument("Piano", {s0, s1});
    const int organ = bank.AddInstrument("Organ", {s1, rom, left});
    bank.AddPreset("Kit", 0, 128, {organ});
    bank.AddPreset("Piano", 0, 0, {piano});
    bank.AddPreset("Piano Var", 0, 8, {piano, organ});
    bank.AddPreset("Organ", 19, 0, {organ});
    return bank;
}

void Make(CSeedSet& seeds)
{
    seeds.Add("version-2", Version2().Build());
    SoundFontBuilder three = Version2().Version(3, 1);
    three.SampleType(0, 0x11).SampleType(1, 0x11);
    seeds.Add("version-3-no-ogg", three.Build());
    seeds.Add("version-4", Version2().Version(4, 0).Build());
    seeds.Add("version-2-cut-shdr", Version2().Replace("shdr", Bytes(46 + 20, 1)).Build());
    seeds.Add("version-2-no-modulators", Version2().Drop("pmod").Drop("imod").Build());
}

const RegisterSeeds registration("SoundFont2Bank", Make);
} // namespace
