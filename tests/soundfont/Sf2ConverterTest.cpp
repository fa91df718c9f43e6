#include "soundfont/SoundFont2Converter.h"

#include "platform/ByteStream.h"
#include "soundfont/FluidProbe.h"
#include "soundfont/WaveFile.h"
#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <tuple>

namespace
{
// ---------------------------------------------------------------------------
// A strict reader of SoundFont 2 files: anything a careful player could
// object to throws.

void Require(bool condition, const std::string& what)
{
    if (!condition)
        throw std::runtime_error(what);
}

struct RiffNode
{
    std::string id, type;
    Bytes data; // a list's data without its type
    std::vector<RiffNode> children;

    const RiffNode& Child(const std::string& key) const
    {
        for (const RiffNode& child : children)
            if (child.id == key || (child.id == "LIST" && child.type == key))
                return child;
        throw std::runtime_error("no chunk " + key);
    }
    std::vector<std::string> Keys() const
    {
        std::vector<std::string> keys;
        for (const RiffNode& child : children)
            keys.push_back(child.id == "LIST" ? child.type : child.id);
        return keys;
    }
};

// Chunks must fill their list to the byte; evenSizes: every size is even, as version 2 asks.
void ParseChildren(const Bytes& file, std::size_t at, std::size_t end, RiffNode& parent, bool evenSizes)
{
    while (at < end)
    {
        Require(end - at >= 8, "a chunk header is cut");
        RiffNode node;
        node.id.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::uint32_t size = ReadLE32(file.data() + at + 4);
        Require(size <= end - at - 8, "chunk " + node.id + " claims more than its list holds");
        Require(!evenSizes || size % 2 == 0, "chunk " + node.id + " has an odd size");
        const std::size_t data = at + 8;
        if (node.id == "LIST")
        {
            Require(size >= 4, "a list without a type");
            node.type.assign(file.begin() + static_cast<std::ptrdiff_t>(data),
                             file.begin() + static_cast<std::ptrdiff_t>(data + 4));
            ParseChildren(file, data + 4, data + size, node, evenSizes);
        }
        else
            node.data.assign(file.begin() + static_cast<std::ptrdiff_t>(data),
                             file.begin() + static_cast<std::ptrdiff_t>(data + size));
        parent.children.push_back(std::move(node));
        at = data + size + (size & 1u);
    }
    Require(at == end, "the last chunk overruns its list");
}

RiffNode ParseRiff(const Bytes& file, bool evenSizes)
{
    Require(file.size() >= 12 && std::string(file.begin(), file.begin() + 4) == "RIFF", "no RIFF header");
    Require(ReadLE32(file.data() + 4) == file.size() - 8, "the RIFF size is not the file size");
    RiffNode form;
    form.id = "RIFF";
    form.type.assign(file.begin() + 8, file.begin() + 12);
    ParseChildren(file, 12, file.size(), form, evenSizes);
    return form;
}

std::string Name(const Bytes& records, std::size_t at)
{
    std::string name(records.begin() + static_cast<std::ptrdiff_t>(at),
                     records.begin() + static_cast<std::ptrdiff_t>(at + 20));
    Require(name.find('\0') != std::string::npos, "a name without a closing zero");
    return name.substr(0, name.find('\0'));
}

struct Zone
{
    std::vector<std::pair<std::uint16_t, std::uint16_t>> generators;
    std::optional<int> Gen(std::uint16_t op) const
    {
        for (const auto& [o, amount] : generators)
            if (o == op)
                return static_cast<std::int16_t>(amount);
        return std::nullopt;
    }
    int Low(std::uint16_t rangeOp) const { return Gen(rangeOp) ? (*Gen(rangeOp) & 0xFF) : 0; }
    int High(std::uint16_t rangeOp) const { return Gen(rangeOp) ? ((*Gen(rangeOp) >> 8) & 0xFF) : 127; }
};

struct Item // a preset or an instrument
{
    std::string name;
    int program = 0, bank = 0;
    std::vector<Zone> zones;
};

struct Sample
{
    std::string name;
    std::uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 0;
    int key = 0, correction = 0;
};

struct Sf2
{
    RiffNode form;
    Bytes smpl;
    std::vector<Item> presets, instruments;
    std::vector<Sample> samples;

    std::int16_t Point(std::size_t index) const
    {
        return static_cast<std::int16_t>(ReadLE16(smpl.data() + 2 * index));
    }
    std::string Info(const std::string& id) const
    {
        const Bytes& data = form.Child("INFO").Child(id).data;
        Require(!data.empty() && data.back() == 0, id + " is not zero-terminated");
        return std::string(data.begin(), std::find(data.begin(), data.end(), 0));
    }
};

// Items of "phdr"/"inst" with their bags and generators; `link` is the
// generator that ends every zone but a first (global) one.
std::vector<Item> ReadItems(const Bytes& headers, std::size_t size, std::size_t bagAt, const Bytes& bags,
                            const Bytes& mods, const Bytes& gens, std::uint16_t link, std::size_t linkCount,
                            const std::string& terminal)
{
    Require(headers.size() % size == 0 && !headers.empty(), terminal + ": record size");
    Require(bags.size() % 4 == 0 && !bags.empty() && gens.size() % 4 == 0 && !gens.empty(),
            terminal + ": bags");
    Require(mods.size() % 10 == 0 && !mods.empty(), terminal + ": modulators");
    const std::size_t count = headers.size() / size - 1;
    const std::size_t bagCount = bags.size() / 4 - 1, genCount = gens.size() / 4 - 1;
    Require(Name(headers, count * size) == terminal, "no " + terminal + " record");
    Require(ReadLE16(headers.data() + count * size + bagAt) == bagCount,
            terminal + ": bag index of the last record");
    Require(ReadLE16(bags.data() + bagCount * 4) == genCount, terminal + ": generator index of the last bag");
    Require(ReadLE16(bags.data() + bagCount * 4 + 2) == mods.size() / 10 - 1, terminal + ": modulator index");
    std::vector<Item> items(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::uint8_t* record = headers.data() + i * size;
        items[i].name = Name(headers, i * size);
        if (size == 38)
        {
            items[i].program = ReadLE16(record + 20);
            items[i].bank = ReadLE16(record + 22);
        }
        const std::size_t firstBag = ReadLE16(record + bagAt), endBag = ReadLE16(record + size + bagAt);
        Require(firstBag <= endBag && endBag <= bagCount, terminal + ": bag indices go back");
        for (std::size_t b = firstBag; b < endBag; ++b)
        {
            const std::size_t first = ReadLE16(bags.data() + 4 * b), end = ReadLE16(bags.data() + 4 * b + 4);
            Require(first <= end && end <= genCount, terminal + ": generator indices go back");
            Zone zone;
            for (std::size_t g = first; g < end; ++g)
                zone.generators.emplace_back(ReadLE16(gens.data() + 4 * g),
                                             ReadLE16(gens.data() + 4 * g + 2));
            for (std::size_t k = 0; k < zone.generators.size(); ++k)
            {
                const std::uint16_t op = zone.generators[k].first;
                Require(op < 61 && op != 14 && op != 18 && op != 19 && op != 20 && op != 42 && op != 49 &&
                            op != 55 && op != 59,
                        terminal + ": a generator version 2 does not have");
                Require(op != 43 || k == 0, terminal + ": key range not first");
                Require(op != 44 || k == 0 || (k == 1 && zone.generators[0].first == 43),
                        terminal + ": velocity range");
                Require(op != link || k + 1 == zone.generators.size(), terminal + ": link not last");
                Require(op != link || zone.generators[k].second < linkCount,
                        terminal + ": link out of range");
            }
            Require(b == firstBag || zone.Gen(link),
                    terminal + ": a zone without link that is not the first");
            items[i].zones.push_back(std::move(zone));
        }
    }
    return items;
}

Sf2 ReadSf2(const Bytes& file)
{
    Sf2 sf2;
    sf2.form = ParseRiff(file, true);
    Require(sf2.form.type == "sfbk", "form type");
    Require(sf2.form.Keys() == std::vector<std::string>({"INFO", "sdta", "pdta"}), "top-level lists");
    const RiffNode& info = sf2.form.Child("INFO");
    Require(!info.children.empty() && info.children[0].id == "ifil", "ifil first");
    Require(info.children[0].data == Bytes({2, 0, 1, 0}), "ifil 2.01");
    Require(sf2.Info("isng") == "EMU8000" && !sf2.Info("INAM").empty(), "isng and INAM");
    Require(sf2.form.Child("sdta").Keys() == std::vector<std::string>({"smpl"}), "sdta holds smpl alone");
    sf2.smpl = sf2.form.Child("sdta").Child("smpl").data;

    const RiffNode& pdta = sf2.form.Child("pdta");
    Require(pdta.Keys() == std::vector<std::string>(
                               {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"}),
            "pdta chunks");
    auto data = [&](const char* id) -> const Bytes& { return pdta.Child(id).data; };
    const Bytes& shdr = data("shdr");
    Require(shdr.size() % 46 == 0 && !shdr.empty() && Name(shdr, shdr.size() - 46) == "EOS", "shdr records");
    const std::size_t sampleCount = shdr.size() / 46 - 1;
    sf2.instruments =
        ReadItems(data("inst"), 22, 20, data("ibag"), data("imod"), data("igen"), 53, sampleCount, "EOI");
    sf2.presets = ReadItems(data("phdr"), 38, 24, data("pbag"), data("pmod"), data("pgen"), 41,
                            sf2.instruments.size(), "EOP");

    const std::size_t points = sf2.smpl.size() / 2;
    for (std::size_t i = 0; i < sampleCount; ++i)
    {
        const std::uint8_t* r = shdr.data() + 46 * i;
        Sample s{Name(shdr, 46 * i),
                 ReadLE32(r + 20),
                 ReadLE32(r + 24),
                 ReadLE32(r + 28),
                 ReadLE32(r + 32),
                 ReadLE32(r + 36),
                 r[40],
                 static_cast<std::int8_t>(r[41])};
        Require(s.start < s.end && s.end + 46 <= points, "sample " + s.name + " lies outside the data");
        Require(s.start <= s.loopStart && s.loopStart < s.loopEnd && s.loopEnd <= s.end, "loop of " + s.name);
        Require(s.rate == 44100 && s.key <= 127 && ReadLE16(r + 42) == 0 && ReadLE16(r + 44) == 1,
                "header of " + s.name);
        for (std::uint32_t p = s.end; p < s.end + 46; ++p)
            Require(sf2.Point(p) == 0, "no silence after " + s.name);
        sf2.samples.push_back(s);
    }
    return sf2;
}

// ---------------------------------------------------------------------------

Sf2 Convert(const Bytes& sbk)
{
    CMemorySource source(sbk);
    Bytes out;
    std::string error;
    if (!CSoundFont2Converter().ConvertBank(source, out, &error))
        throw std::runtime_error("conversion refused: " + error);
    return ReadSf2(out);
}

enum : std::uint16_t
{
    kPan = 17,
    kVolSustain = 37,
    kAttenuation = 48,
    kKeyRange = 43,
    kVelRange = 44,
    kSampleModes = 54,
    kPitch = 55,
    kScale = 56,
    kRootShift = 58,
};

constexpr std::uint16_t Range(int low, int high)
{
    return static_cast<std::uint16_t>(low | (high << 8));
}

// One preset, one instrument, one zone on sample 0 (points 0..900 of 2000 bytes).
Bytes OneZoneBank(SfZone instrumentZone, SfZone presetZone = {})
{
    SoundFontBuilder bank;
    bank.Info("INAM", "One Zone").SampleData(2000);
    bank.AddSample(0, 900);
    instrumentZone.push_back({kSfGenSampleId, 0});
    bank.AddInstrumentZones("Instrument", {instrumentZone});
    presetZone.push_back({kSfGenInstrument, 0});
    bank.AddPresetZones("Preset", 0, 0, {presetZone});
    return bank.Build();
}

const Zone& OnlyZone(const Sf2& sf2)
{
    Require(sf2.presets.size() == 1 && sf2.presets[0].zones.size() == 1 && sf2.instruments.size() == 1 &&
                sf2.instruments[0].zones.size() == 1,
            "not one zone");
    return sf2.instruments[0].zones[0];
}

const Sample& SampleOf(const Sf2& sf2, const Zone& zone)
{
    return sf2.samples.at(static_cast<std::size_t>(*zone.Gen(53)));
}

// A wave of `frequency` Hz (a second of it), with another frequency on the second channel.
Bytes SineWave(std::uint32_t rate, double frequency, double secondChannel = 0)
{
    const std::uint16_t channels = secondChannel > 0 ? 2 : 1;
    return WaveBuilder()
        .Channels(channels)
        .Rate(rate)
        .Frames(rate,
                [&](std::size_t frame, unsigned channel)
                {
                    const double f = channel == 0 ? frequency : secondChannel;
                    return static_cast<std::int32_t>(
                        std::lround(12000 * std::sin(2 * std::numbers::pi * f * frame / rate)));
                })
        .Build();
}

// A version-1 bank of one zone on a second of a 440 Hz sine.
Bytes SineBank(SfZone zone)
{
    SoundFontBuilder bank;
    Bytes data;
    for (std::uint32_t i = 0; i < 44100 + 16; ++i)
    {
        const double value = i < 44100 ? 12000 * std::sin(2 * std::numbers::pi * 440 * i / 44100) : 0;
        PutLE16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))));
    }
    bank.Replace("smpl", data);
    bank.AddSample(0, 44100);
    zone.push_back({kSfGenSampleId, 0});
    bank.AddInstrumentZones("Sine", {zone});
    bank.AddPresetZones("Sine", 0, 0, {{{kSfGenInstrument, 0}}});
    return bank.Build();
}

Bytes WaveBank(const Bytes& wave, int option)
{
    CMemorySource source(wave);
    CWaveFile file;
    CMemorySink sink;
    if (!file.Open(source, "tone.wav") || !file.WriteSoundFont(sink, option))
        throw std::runtime_error("the wave does not convert");
    return sink.Bytes();
}
} // namespace

// ---------------------------------------------------------------------------

TEST(Sf2Converter, WaveBankBecomesAStrictSoundFont2)
{
    const Bytes sbk = WaveBank(SineWave(44100, 440, 660), 0); // "st": a left and a right sample
    const Sf2 sf2 = Convert(sbk);
    EXPECT_EQ(sf2.Info("INAM"), "Tamberly V 1.50");
    ASSERT_EQ(sf2.presets.size(), 1u);
    EXPECT_EQ(sf2.presets[0].name, "Tamberly Patch");
    ASSERT_EQ(sf2.instruments.size(), 1u);
    EXPECT_EQ(sf2.instruments[0].name, "Generated Instr.");
    const auto& zones = sf2.instruments[0].zones;
    ASSERT_EQ(zones.size(), 2u);
    ASSERT_EQ(sf2.samples.size(), 2u);
    EXPECT_EQ(sf2.samples[0].name, "Sample 1");
    EXPECT_EQ(sf2.samples[1].name, "Sample 2");
    for (std::size_t k = 0; k < 2; ++k)
    {
        const Sample& s = SampleOf(sf2, zones[k]);
        EXPECT_EQ(s.end - s.start, 44100u);
        EXPECT_EQ(s.key, 60);
        EXPECT_EQ(s.correction, 0);
        EXPECT_EQ(zones[k].Gen(kSampleModes), 1);
        EXPECT_EQ(zones[k].Low(kKeyRange), 12);
        EXPECT_EQ(zones[k].High(kKeyRange), 119);
        EXPECT_EQ(zones[k].Gen(kVolSustain), std::nullopt); // 127: no attenuation in the sustain
        EXPECT_EQ(zones[k].Gen(38), -2366);                 // release 255 ms
    }
    EXPECT_EQ(zones[0].Gen(kPan), -500);
    EXPECT_EQ(zones[1].Gen(kPan), 500);
    // The second sample starts after the first one's silence; the points are the wave's.
    EXPECT_EQ(sf2.samples[1].start, sf2.samples[0].end + 46);
    for (const std::size_t p : {1u, 100u, 44099u})
    {
        EXPECT_EQ(sf2.Point(sf2.samples[0].start + p),
                  std::lround(12000 * std::sin(2 * std::numbers::pi * 440 * p / 44100)));
        EXPECT_EQ(sf2.Point(sf2.samples[1].start + p),
                  std::lround(12000 * std::sin(2 * std::numbers::pi * 660 * p / 44100)));
    }
}

TEST(Sf2Converter, SamplePitchFollowsTheVersion1Rules)
{
    struct Case
    {
        SfZone zone;
        int key, correction;
    } cases[] = {
        {{}, 60, 0},
        {{{kPitch, 6000}}, 60, 0},
        {{{kPitch, 7200}}, 72, 0}, // a 22050 Hz recording played at 44100 Hz
        {{{kPitch, 8400}}, 84, 0},
        {{{kPitch, 6049}}, 60, -49},
        {{{kPitch, 6050}}, 61, 50}, // -50 and below round to the next key
        {{{kPitch, 6099}}, 61, 1},
        {{{kPitch, 6020}, {kRootShift, 62}}, 62, -20},
        {{{kRootShift, 48}}, 48, 0},
    };
    for (const Case& c : cases)
    {
        const Sf2 sf2 = Convert(OneZoneBank(c.zone));
        const Sample& sample = SampleOf(sf2, OnlyZone(sf2));
        EXPECT_EQ(sample.key, c.key) << c.zone.size();
        EXPECT_EQ(sample.correction, c.correction) << c.key;
        EXPECT_EQ(sample.rate, 44100u);
    }

    // A key the file cannot hold is made up by the tuning, in steps of the key scale.
    const Sf2 high = Convert(OneZoneBank({{kPitch, 12000}, {kRootShift, 80}}));
    EXPECT_EQ(SampleOf(high, OnlyZone(high)).key, 127);
    EXPECT_EQ(OnlyZone(high).Gen(51), -13);
    const Sf2 half = Convert(OneZoneBank({{kScale, 1}, {51, 3}, {52, 40}}));
    EXPECT_EQ(OnlyZone(half).Gen(kScale), 50);
    EXPECT_EQ(OnlyZone(half).Gen(51), 1); // 3 x 50 + 40 x 50 / 100 = 170 cents
    EXPECT_EQ(OnlyZone(half).Gen(52), 70);
}

TEST(Sf2Converter, GeneratorUnitsAreConverted)
{
    struct Case
    {
        std::uint16_t op, amount;
        std::optional<int> expected; // nullopt: the version-2 default, not written
    } cases[] = {
        {kPan, 0, -500},
        {kPan, 127, 500},
        {kPan, 64, 3},
        {kAttenuation, 127, {}},
        {kAttenuation, 64, 60},
        {kAttenuation, 0, 1000},
        {kVolSustain, 0, 1000},
        {kVolSustain, 50, 475},
        {kVolSustain, 96, {}},
        {29, 48, 500},
        {29, 120, {}},
        {15, 128, 500},
        {16, 255, 996},
        {8, 100, 10266},
        {8, 0, 4366},
        {9, 10, 15},
        {22, 8, -4325},
        {24, 64, -725},
        {5, 64, 600},
        {6, 0xFFC0, -599},
        {7, 32, 300},
        {10, 64, 3600},
        {11, 32, 3600},
        {13, 64, 120},
        {31, 10, 56},
        {40, 0xFFF6, -56},
        {34, 1000, 0},
        {36, 500, -1200},
        {38, 0, {}},
        {21, 2000, 1200},
        {kSampleModes, 1, 1},
        {kSampleModes, 2, {}},
        {57, 5, 5},
        {46, 0, 0},
        {0, 0xFFF0, -16},
        {42, 7, {}},
    };
    for (const Case& c : cases)
    {
        const Sf2 sf2 = Convert(OneZoneBank({{c.op, c.amount}}));
        EXPECT_EQ(OnlyZone(sf2).Gen(c.op), c.expected) << "generator " << c.op << " amount " << c.amount;
    }

    // Where version 1 had defaults of its own, they are written out (the
    // volume sustain is left at full level: see the measurement below).
    const Sf2 bare = Convert(OneZoneBank({}));
    const Zone& zone = OnlyZone(bare);
    EXPECT_EQ(zone.generators.size(), 3u); // the two defaults and the sample
    EXPECT_EQ(zone.Gen(kVolSustain), std::nullopt);
    EXPECT_EQ(zone.Gen(22), -725);
    EXPECT_EQ(zone.Gen(24), -15600);
}

TEST(Sf2Converter, PresetValuesOnlyFillWhatTheInstrumentLeavesUnset)
{
    SoundFontBuilder bank;
    bank.SampleData(4000);
    bank.AddSample(0, 900);
    bank.AddSample(1000, 1900);
    const std::uint16_t kCutoff = 8, kChorus = 15;
    const int instrument = bank.AddInstrumentZones(
        "Split", {{{kCutoff, 100}}, // no sample: values common to the instrument's zones
                  {{kSfGenKeyRange, Range(0, 127)}, {kPan, 127}, {kSfGenSampleId, 0}},
                  {{kSfGenKeyRange, Range(60, 127)}, {kVelRange, Range(0, 63)}, {kSfGenSampleId, 1}}});
    bank.AddPresetZones("Layered", 3, 1,
                        {{{kChorus, 128}, {kAttenuation, 127}}, // the preset's common values
                         {{kSfGenKeyRange, Range(36, 59)},
                          {kVelRange, Range(10, 90)},
                          {kPan, 0},
                          {kAttenuation, 64},
                          {kCutoff, 50},
                          {kSfGenInstrument, static_cast<std::uint16_t>(instrument)}}});
    const Sf2 sf2 = Convert(bank.Build());

    ASSERT_EQ(sf2.presets.size(), 1u);
    EXPECT_EQ(sf2.presets[0].program, 3);
    EXPECT_EQ(sf2.presets[0].bank, 1);
    ASSERT_EQ(sf2.presets[0].zones.size(), 1u);
    EXPECT_EQ(sf2.presets[0].zones[0].generators.size(), 1u); // the instrument alone: values are absolute
    const auto& zones = sf2.instruments.at(0).zones;
    ASSERT_EQ(zones.size(), 2u);
    EXPECT_EQ(zones[0].Gen(kPan), 500);  // the instrument's own
    EXPECT_EQ(zones[1].Gen(kPan), -500); // filled from the preset
    for (const Zone& zone : zones)
    {
        EXPECT_EQ(zone.Gen(kAttenuation), 60); // the preset zone's over the preset's common value
        EXPECT_EQ(zone.Gen(kCutoff), 10266);   // the instrument's common value over the preset's
        EXPECT_EQ(zone.Gen(kChorus), 500);
        EXPECT_EQ(zone.Low(kKeyRange), 36); // ranges are the preset's
        EXPECT_EQ(zone.High(kKeyRange), 59);
        EXPECT_EQ(zone.Low(kVelRange), 10);
        EXPECT_EQ(zone.High(kVelRange), 90);
    }
}

TEST(Sf2Converter, RomSamplesAreLeftOutWithTheirZones)
{
    SoundFontBuilder bank;
    bank.SampleData(3000);
    // Before the first sample at point 0: in ROM, even where the positions fall inside the data.
    const int rom0 = bank.AddSample(100, 400);
    const int rom1 = bank.AddSample(200, 300);
    const int ram0 = bank.AddSample(0, 500);
    const int ram1 = bank.AddSample(600, 1400);
    const int mixed = bank.AddInstrument("Mixed", {rom0, ram1, ram0});
    const int romOnly = bank.AddInstrument("Rom Only", {rom1});
    bank.AddPreset("Mixed", 0, 0, {mixed});
    bank.AddPreset("Rom", 1, 0, {romOnly});
    bank.AddPreset("Both", 2, 0, {romOnly, mixed});
    const Sf2 sf2 = Convert(bank.Build());

    ASSERT_EQ(sf2.presets.size(), 3u);
    EXPECT_EQ(sf2.presets[1].zones.size(), 0u); // kept, but silent
    EXPECT_EQ(sf2.presets[2].zones.size(), 1u);
    ASSERT_EQ(sf2.instruments.size(), 1u); // "Rom Only" has nothing left; "Mixed" is shared
    ASSERT_EQ(sf2.instruments[0].zones.size(), 2u);
    ASSERT_EQ(sf2.samples.size(), 2u);
    EXPECT_EQ(sf2.samples[0].name, "Sample 3"); // the "snam" names
    EXPECT_EQ(sf2.samples[1].name, "Sample 2");
    EXPECT_EQ(sf2.samples[0].end - sf2.samples[0].start, 800u);
    EXPECT_EQ(sf2.samples[1].end - sf2.samples[1].start, 500u);
    EXPECT_EQ(sf2.smpl.size(), 2u * (800 + 46 + 500 + 46));

    // The data is the version-1 bank's, point for point.
    const RiffNode sbk = ParseRiff(bank.Build(), false);
    const Bytes& old = sbk.Child("sdta").Child("smpl").data;
    for (std::uint32_t p = 0; p < 800; p += 7)
        EXPECT_EQ(sf2.Point(sf2.samples[0].start + p),
                  static_cast<std::int16_t>(ReadLE16(old.data() + 2 * (600 + p))));
}

TEST(Sf2Converter, LoopPointsMoveAndStayInsideTheSample)
{
    SoundFontBuilder bank;
    bank.SampleData(4000);
    bank.AddSample(0, 1000);
    bank.AddSample(1000, 1800);
    bank.Poke32("shdr", 8, 100).Poke32("shdr", 12, 700);             // loop 100..700
    bank.Poke32("shdr", 16 + 8, 1500).Poke32("shdr", 16 + 12, 1200); // a loop backwards
    bank.AddPreset("Loops", 0, 0, {bank.AddInstrument("Loops", {0, 1})});
    const Sf2 sf2 = Convert(bank.Build());
    ASSERT_EQ(sf2.samples.size(), 2u);
    const Sample& a = sf2.samples[0];
    EXPECT_EQ(a.loopStart - a.start, 101u);
    EXPECT_EQ(a.loopEnd - a.start, 702u);
    const Sample& b = sf2.samples[1];
    EXPECT_EQ(b.loopStart, b.start); // no loop to keep: the whole sample
    EXPECT_EQ(b.loopEnd, b.end);

    // The wave bank loops the whole sample: the end shifted past it stays at the end.
    const Sf2 wave = Convert(WaveBank(SineWave(22050, 440), 5));
    EXPECT_EQ(wave.samples.at(0).loopStart, wave.samples[0].start + 1);
    EXPECT_EQ(wave.samples[0].loopEnd, wave.samples[0].end);
    EXPECT_EQ(wave.samples[0].key, 72);
}

TEST(Sf2Converter, OnePresetAloneOnItsSlot)
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Two").SampleData(4000);
    bank.AddSample(0, 500);
    bank.AddSample(600, 1500);
    bank.AddPreset("First", 7, 0, {bank.AddInstrument("A", {0})});
    bank.AddPreset("Drums", 5, 128, {bank.AddInstrument("B", {1})});
    bank.AddPreset("Second Five", 5, 0, {bank.AddInstrument("C", {0})});
    const Bytes sbk = bank.Build();

    CMemorySource source(sbk);
    Bytes out;
    ASSERT_TRUE(CSoundFont2Converter().ConvertPreset(source, 5, out, nullptr, 3, 17));
    const Sf2 sf2 = ReadSf2(out);
    ASSERT_EQ(sf2.presets.size(), 1u);
    EXPECT_EQ(sf2.presets[0].name, "Drums"); // the first numbered 5, whatever its bank
    EXPECT_EQ(sf2.presets[0].bank, 3);
    EXPECT_EQ(sf2.presets[0].program, 17);
    ASSERT_EQ(sf2.samples.size(), 1u);
    EXPECT_EQ(sf2.samples[0].end - sf2.samples[0].start, 900u);
    EXPECT_EQ(sf2.smpl.size(), 2u * (900 + 46));

    ASSERT_TRUE(CSoundFont2Converter().ConvertPreset(source, 7, out));
    EXPECT_EQ(ReadSf2(out).presets.at(0).bank, 0);
    EXPECT_EQ(ReadSf2(out).presets.at(0).program, 0);

    std::string error;
    EXPECT_FALSE(CSoundFont2Converter().ConvertPreset(source, 9, out, &error));
    EXPECT_EQ(error, "no preset numbered 9");
    EXPECT_TRUE(out.empty());
}

TEST(Sf2Converter, CorruptBanksAreRefused)
{
    const auto good = []
    {
        SoundFontBuilder bank;
        bank.Info("INAM", "Good").SampleData(4000);
        bank.AddSample(0, 500);
        bank.AddSample(600, 1500);
        bank.AddPreset("P", 0, 0, {bank.AddInstrument("I", {0, 1})});
        return bank;
    };
    const Bytes whole = good().Build();
    struct Case
    {
        const char* what;
        Bytes file;
        const char* message; // part of the error text
    } cases[] = {
        {"cut in the sample data", Bytes(whole.begin(), whole.begin() + 2000), "\"pdta\" list"},
        {"cut in the preset data", Bytes(whole.begin(), whole.end() - 30), "cut short"},
        {"sample data claims more", good().ClaimSize("smpl", 9000).Build(), "cut short"},
        {"odd generator chunk", good().Replace("pgen", Bytes(10, 0)).Build(), "\"pgen\" chunk of 10 bytes"},
        {"no closing preset", good().Replace("phdr", {}).Build(), "closing record"},
        {"bag index goes back", good().Poke16("phdr", 24, 2).Build(), "goes back"},
        {"zones past the bags", good().Poke16("phdr", 38 + 24, 9).Build(), "zones end"},
        {"generators past the chunk", good().Poke16("ibag", 8, 40).Build(), "generators end"},
        {"no such instrument", good().Poke16("pgen", 6, 4).Build(), "names instrument 4"},
        {"no such sample", good().Poke16("igen", 6, 2).Build(), "names sample 2"},
        {"already version 2", good().Replace("ifil", {2, 0, 1, 0}).Build(), "version 2.01"},
        {"no RIFF", Bytes(100, 'x'), "sfbk"},
        {"nothing", Bytes(), "sfbk"},
    };
    for (const Case& c : cases)
    {
        CMemorySource source(c.file);
        Bytes out = {1, 2, 3};
        std::string error;
        EXPECT_FALSE(CSoundFont2Converter().ConvertBank(source, out, &error)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    }

    // A sample reaching past the data is cut at its end; one without two points loses its zones.
    SoundFontBuilder past;
    past.SampleData(1000);
    past.AddSample(0, 300);
    past.AddSample(400, 900); // the data holds 500 points
    past.AddSample(700, 800);
    past.AddSample(10, 11); // one point: players take it for a broken header
    past.AddPreset("P", 0, 0, {past.AddInstrument("I", {0, 1, 2, 3})});
    const Sf2 sf2 = Convert(past.Build());
    ASSERT_EQ(sf2.samples.size(), 2u);
    EXPECT_EQ(sf2.samples[1].end - sf2.samples[1].start, 100u);
}

// ---------------------------------------------------------------------------
// Listening in FluidSynth

class Sf2InFluidSynth : public ::testing::Test
{
protected:
    // Loads a converted bank; FluidSynth must take it without a word.
    int Load(const Bytes& sf2)
    {
        const std::string path = dir.Write("bank" + std::to_string(++files) + ".sf2", sf2);
        const int id = probe.Load(path);
        EXPECT_GE(id, 0);
        EXPECT_EQ(probe.Messages(), std::vector<std::string>());
        return id;
    }
    static Bytes ConvertBytes(const Bytes& sbk)
    {
        CMemorySource source(sbk);
        Bytes out;
        std::string error;
        EXPECT_TRUE(CSoundFont2Converter().ConvertBank(source, out, &error)) << error;
        return out;
    }
    double Pitch(int id, int key, int channel = 0)
    {
        const FluidRender render = probe.Play(id, 0, 0, key, 100, 0.45);
        const auto& signal = channel == 0 ? render.left : render.right;
        return MeasureFrequency(signal, 2205, signal.size());
    }

    TempDir dir;
    FluidProbe probe;
    int files = 0;
};

TEST_F(Sf2InFluidSynth, A440SineSoundsAt440AtItsRootKeyForEveryRate)
{
    for (const std::uint32_t rate : {44100u, 22050u, 11025u})
    {
        const Bytes wave = SineWave(rate, 440);
        CMemorySource source(wave);
        CWaveFile file;
        ASSERT_TRUE(file.Open(source, "tone.wav"));
        for (int k = 0; k < file.GetOptionCount(); ++k)
        {
            const int id = Load(ConvertBytes(WaveBank(wave, file.GetOption(k))));
            const std::string what = std::to_string(rate) + " Hz, " + file.GetOptionLabel(k);
            EXPECT_EQ(probe.Presets(id), std::vector<FluidPreset>({{0, 0, "Tamberly Patch"}})) << what;
            EXPECT_NEAR(Pitch(id, 60), 440, 1) << what;
            EXPECT_NEAR(Pitch(id, 72), 880, 2) << what;
            EXPECT_NEAR(Pitch(id, 48), 220, 0.5) << what;
        }
    }
    EXPECT_EQ(probe.Messages(), std::vector<std::string>());
}

TEST_F(Sf2InFluidSynth, StereoOptionPansLeftAndRight)
{
    const int id = Load(ConvertBytes(WaveBank(SineWave(44100, 440, 660), 0)));
    const FluidRender render = probe.Play(id, 0, 0, 60, 100, 0.3);
    EXPECT_NEAR(MeasureFrequency(render.left, 2205, render.left.size()), 440, 1);
    EXPECT_NEAR(MeasureFrequency(render.right, 2205, render.right.size()), 660, 1.5);
}

TEST_F(Sf2InFluidSynth, ABankLoadsWithItsPresets)
{
    SoundFontBuilder bank = MakeLargeBank(6, 200000);
    bank.AddPreset("Drum Kit", 0, 128, {0});
    const int id = Load(ConvertBytes(bank.Build()));
    std::vector<FluidPreset> presets = probe.Presets(id);
    std::sort(presets.begin(), presets.end(),
              [](const auto& a, const auto& b)
              { return std::tie(a.bank, a.program) < std::tie(b.bank, b.program); });
    ASSERT_EQ(presets.size(), 7u);
    EXPECT_EQ(presets[0], (FluidPreset{0, 0, "Preset 0"}));
    EXPECT_EQ(presets[5], (FluidPreset{0, 5, "Preset 5"}));
    EXPECT_EQ(presets[6], (FluidPreset{128, 0, "Drum Kit"}));
    const FluidRender render = probe.Play(id, 0, 3, 60, 100, 0.2);
    EXPECT_GT(Rms(render.left, 0, render.left.size()), 0.001);

    // One preset on its slot; a preset left without zones by its ROM samples loads as well.
    SoundFontBuilder rom;
    rom.SampleData(1000);
    rom.AddSample(100, 200);
    rom.AddSample(0, 100);
    rom.AddPreset("Rom", 4, 0, {rom.AddInstrument("Rom", {0})});
    rom.AddPreset("Ram", 9, 0, {rom.AddInstrument("Ram", {1})});
    const Bytes sbk = rom.Build();
    CMemorySource source(sbk);
    Bytes out;
    ASSERT_TRUE(CSoundFont2Converter().ConvertPreset(source, 9, out, nullptr, 3, 17));
    EXPECT_EQ(probe.Presets(Load(out)), std::vector<FluidPreset>({{3, 17, "Ram"}}));
    const int both = Load(ConvertBytes(sbk));
    EXPECT_EQ(probe.Presets(both).size(), 2u);
    // FluidSynth refuses a file without samples: a preset of ROM samples alone is refused here already.
    std::string error;
    EXPECT_FALSE(CSoundFont2Converter().ConvertPreset(source, 4, out, &error));
    EXPECT_EQ(error, "no sample data to convert (samples in the card's ROM are left out)");
}

// Rules that rendering decided (see the converter), checked by their RMS levels.
TEST_F(Sf2InFluidSynth, MeasuredLevels)
{
    const auto level = [&](const SfZone& zone, double from, double to)
    {
        const FluidRender render = probe.Play(Load(ConvertBytes(SineBank(zone))), 0, 0, 60, 127, 0.8);
        return Rms(render.left, static_cast<std::size_t>(from * 44100), static_cast<std::size_t>(to * 44100));
    };
    // A held note without a sustain of its own keeps sounding.
    const double early = level({{kSampleModes, 1}}, 0.1, 0.3);
    EXPECT_GT(early, 0.01);
    EXPECT_NEAR(level({{kSampleModes, 1}}, 0.5, 0.8), early, early * 0.05);
    // A low sustain decays to silence.
    EXPECT_LT(level({{kSampleModes, 1}, {kVolSustain, 0}, {36, 100}}, 0.5, 0.8), early * 0.01);

    // Attenuation: half the level is a few decibels down, the lowest levels still sound.
    const double full = level({{kSampleModes, 1}, {kAttenuation, 127}}, 0.1, 0.3);
    EXPECT_NEAR(full, early, early * 0.01);
    const double half = level({{kSampleModes, 1}, {kAttenuation, 64}}, 0.1, 0.3);
    EXPECT_GT(half / full, 0.7);
    EXPECT_LT(half / full, 0.8);
    EXPECT_GT(level({{kSampleModes, 1}, {kAttenuation, 16}}, 0.1, 0.3), half * 0.5);
}
