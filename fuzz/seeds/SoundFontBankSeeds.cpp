// Seeds of the SoundFont bank target: small banks of every shape the reader
// meets, whole and damaged, with a few hundred bytes of sample data at most.

#include "SeedSet.h"

#include "support/SoundFontBuilder.h"

namespace
{
SoundFontBuilder Standard()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Seed Bank").Info("IENG", "Engineer").Info("ICRD", "1996").Info("ICOP", "(c)");
    bank.Info("ICMT", "Two\nlines").Info("IPRD", "AWE32").SampleData(256);
    const int s0 = bank.AddSample(0, 20);
    const int s1 = bank.AddSample(20, 60);
    const int s2 = bank.AddSample(60, 100);
    const int piano = bank.AddInstrument("Piano", {s0, s1});
    const int strings = bank.AddInstrument("Strings", {s1, s2, s1});
    const int kit = bank.AddInstrument("Kit", {s2});
    bank.AddPreset("Grand Piano  ", 0, 0, {piano, piano});
    bank.AddPreset("Pad", 5, 0, {piano, strings});
    bank.AddPreset("Kit", 0, 128, {kit});
    bank.AddPreset("Pad Alt", 5, 1, {strings});
    return bank;
}

SoundFontBuilder Minimal()
{
    SoundFontBuilder bank;
    bank.SampleData(32);
    bank.AddPreset("One", 0, 0, {bank.AddInstrument("I", {bank.AddSample(0, 8)})});
    return bank;
}

void Make(CSeedSet& seeds)
{
    seeds.Add("standard", Standard().Build());
    seeds.Add("minimal", Minimal().Build());
    seeds.Add("empty-file", Bytes{});
    seeds.Add("no-presets", SoundFontBuilder().Build());

    {
        SoundFontBuilder bank;
        bank.SampleData(64);
        const int s = bank.AddSample(0, 10);
        bank.AddPreset("TwentyCharacterName!", 1, 0, {bank.AddInstrument("A", {s})});
        bank.AddPreset("Drums", 127, 128, {bank.AddInstrument("B", {s, s})});
        bank.AddPreset("   ", 3, 2, {});
        seeds.Add("names-and-drums", bank.Build());
    }
    {
        // Zones with more than the key range and the index generator.
        SoundFontBuilder bank;
        bank.SampleData(64);
        const int s = bank.AddSample(4, 16);
        const int i =
            bank.AddInstrumentZones("Zones", {{{kSfGenKeyRange, 0x7F00}},
                                              {{17, 5}, {kSfGenSampleId, static_cast<std::uint16_t>(s)}}});
        bank.AddPresetZones(
            "Global", 9, 0,
            {{{kSfGenKeyRange, 0x3C00}}, {{kSfGenInstrument, static_cast<std::uint16_t>(i)}}});
        seeds.Add("global-zones", bank.Build());
    }
    {
        // More instruments and samples than the collections keep.
        SoundFontBuilder bank;
        bank.SampleData(16);
        std::vector<int> samples, instruments;
        for (int k = 0; k < 130; ++k)
            samples.push_back(bank.AddSample(0, 1));
        for (int k = 0; k < 3; ++k)
            instruments.push_back(bank.AddInstrument("Wide", samples));
        bank.AddPreset("Wide", 0, 0, instruments);
        seeds.Add("collection-room", bank.Build());
    }

    // Damage: every preset data chunk missing, cut or lying once.
    for (const char* id : {"phdr", "pbag", "pgen", "inst", "ibag", "igen", "shdr"})
    {
        seeds.Add(std::string("drop-") + id, Minimal().Drop(id).Build());
        seeds.Add(std::string("claim-") + id, Standard().ClaimSize(id, 0x7FFFFFF0).Build());
    }
    seeds.Add("drop-pdta", Standard().Drop("pdta").Build());
    seeds.Add("drop-info", Standard().Drop("INFO").Build());
    seeds.Add("drop-smpl", Standard().Drop("smpl").Build());
    seeds.Add("form-type", Standard().FormType("sfbx").Build());
    seeds.Add("odd-phdr", Standard().Replace("phdr", Bytes(39, 'x')).Build());
    seeds.Add("info-without-zero", Standard().Replace("INAM", Bytes{'a', 'b', 'c'}).Build());
    seeds.Add("smpl-claims-more", Standard().ClaimSize("smpl", 1000000).ClaimSize("sdta", 1000000).Build());
    seeds.Add("bag-index-backwards",
              Standard().Poke16("phdr", 38 + 24, 0).Poke16("phdr", 2 * 38 + 24, 1).Build());
    seeds.Add("bag-index-past-end", Standard().Poke16("phdr", 24, 0xFFFF).Build());
    seeds.Add("generator-index-huge", Standard().Poke16("pbag", 4, 0xFFF0).Build());
    seeds.Add("instrument-index-huge", Standard().Poke16("pgen", 6, 0x7FFF).Build());
    seeds.Add("sample-end-before-start", Standard().Poke32("shdr", 4, 0).Build());
    seeds.Add("sample-past-data", Standard().Poke32("shdr", 16 + 4, 0xFFFFFFFF).Build());
    seeds.Add("chunks-moved",
              Standard().Drop("phdr").Insert("pdta", "phdr", Standard().Records("phdr")).Build());
    seeds.Add(
        "extra-chunks",
        Standard().Insert("pdta", "junk", Bytes(5, 1), true).Insert("sfbk", "LIST", Bytes{'x', 'y'}).Build());

    Bytes cut = Standard().Build();
    cut.resize(cut.size() - 30);
    seeds.Add("cut-in-shdr", cut);
    Bytes twice = Minimal().Build();
    const Bytes second = Standard().Build();
    twice.insert(twice.end(), second.begin(), second.end());
    seeds.Add("two-forms", twice);
}

const RegisterSeeds registration("SoundFontBank", Make);
} // namespace
