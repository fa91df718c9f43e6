#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontReader.h"

#include "platform/ByteStream.h"
#include "soundfont/FluidProbe.h"
#include "soundfont/WaveFile.h"
#include "support/SoundFont1Layout.h"
#include "support/SoundFontBuilder.h"
#include "support/StrictSf2Reader.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <unistd.h>

namespace
{
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
    const auto zones = PlayedZones(sf2.instruments[0]);
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
    const auto zones = PlayedZones(sf2.instruments.at(0));
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
    ASSERT_EQ(PlayedZones(sf2.instruments[0]).size(), 2u);
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

namespace
{
// Two samples; "First" (7) and the third preset play sample 0, "Drums" (5 of the kits) sample 1.
Bytes ThreePresetBank(std::string_view third, std::uint16_t thirdNumber)
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Two").SampleData(4000);
    bank.AddSample(0, 500);
    bank.AddSample(600, 1500);
    bank.AddPreset("First", 7, 0, {bank.AddInstrument("A", {0})});
    bank.AddPreset("Drums", 5, 128, {bank.AddInstrument("B", {1})});
    bank.AddPreset(third, thirdNumber, 0, {bank.AddInstrument("C", {0})});
    return bank.Build();
}
} // namespace

TEST(Sf2Converter, OnePresetAloneOnItsSlot)
{
    const Bytes sbk = ThreePresetBank("Second Five", 5);

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

// Several presets in one pass, each on the place given and in that order: a
// sample two of them use is stored once, and one alone comes out as
// ConvertPreset makes it.
TEST(Sf2Converter, PresetsConvertedTogetherShareTheirSamples)
{
    const Bytes sbk = ThreePresetBank("Also A", 8);
    CSoundFontReader reader;
    ASSERT_TRUE(reader.Open(std::make_unique<CMemorySource>(sbk)));
    const auto read = [](IByteSource& source)
    {
        Bytes bytes(static_cast<std::size_t>(source.Size()));
        return source.Read(bytes.data(), bytes.size()) == bytes.size() ? bytes : Bytes{};
    };

    std::string error;
    const auto together =
        CSoundFont2Converter().ConvertedPresets(reader, {{7, 2, 3}, {5, 0, 9}, {8, 4, 3}}, &error);
    ASSERT_TRUE(together) << error;
    const Sf2 sf2 = ReadSf2(read(*together));
    ASSERT_EQ(sf2.presets.size(), 3u);
    const std::tuple<std::string, int, int> places[] = {{"First", 2, 3}, {"Drums", 0, 9}, {"Also A", 4, 3}};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::tuple(sf2.presets[i].name, int{sf2.presets[i].bank}, int{sf2.presets[i].program}),
                  places[i]);
    EXPECT_EQ(sf2.samples.size(), 2u);
    EXPECT_EQ(sf2.smpl.size(), 2u * (500 + 46 + 900 + 46));

    const auto alone = CSoundFont2Converter().ConvertedPresets(reader, {{5, 3, 17}});
    ASSERT_TRUE(alone);
    CMemorySource source(sbk);
    Bytes one;
    ASSERT_TRUE(CSoundFont2Converter().ConvertPreset(source, 5, one, nullptr, 3, 17));
    EXPECT_EQ(read(*alone), one);

    EXPECT_FALSE(CSoundFont2Converter().ConvertedPresets(reader, {{7, 0, 0}, {9, 0, 1}}, &error));
    EXPECT_EQ(error, "no preset numbered 9");
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

// ---------------------------------------------------------------------------
// Banks of any size

// A zone's generator as the player sees it: its own, else its instrument's global zone's.
std::optional<int> Effective(const Item& instrument, const Zone& zone, std::uint16_t op)
{
    if (const auto own = zone.Gen(op))
        return own;
    if (!instrument.zones.empty() && !instrument.zones.front().Gen(53))
        return instrument.zones.front().Gen(op);
    return std::nullopt;
}

TEST(Sf2Converter, ValuesAllZonesShareAreWrittenOnce)
{
    SoundFontBuilder bank;
    bank.SampleData(4000);
    for (std::uint32_t s = 0; s < 3; ++s)
        bank.AddSample(s * 500, s * 500 + 400);
    // The same pan everywhere, an attenuation that differs, ranges of their own.
    bank.AddInstrumentZones(
        "Split", {{{kKeyRange, Range(0, 40)}, {kPan, 20}, {kAttenuation, 100}, {kSfGenSampleId, 0}},
                  {{kKeyRange, Range(41, 80)}, {kPan, 20}, {kAttenuation, 90}, {kSfGenSampleId, 1}},
                  {{kKeyRange, Range(81, 127)}, {kPan, 20}, {kAttenuation, 90}, {kSfGenSampleId, 2}}});
    bank.AddPresetZones("Split", 0, 0, {{{kSfGenInstrument, 0}}});
    const Sf2 sf2 = Convert(bank.Build());
    ASSERT_EQ(sf2.instruments.size(), 1u);
    const Item& instrument = sf2.instruments[0];
    ASSERT_EQ(instrument.zones.size(), 4u);
    const Zone& global = instrument.zones[0];
    EXPECT_FALSE(global.Gen(53)) << "the first zone is the global one";
    EXPECT_TRUE(global.Gen(kPan));
    EXPECT_FALSE(global.Gen(kKeyRange)) << "ranges stay with their zones";
    EXPECT_FALSE(global.Gen(kAttenuation)) << "the first zone's attenuation is its own";
    for (std::size_t z = 1; z < 4; ++z)
    {
        const Zone& zone = instrument.zones[z];
        EXPECT_FALSE(zone.Gen(kPan)) << "pan written again in zone " << z;
        EXPECT_EQ(Effective(instrument, zone, kPan), global.Gen(kPan));
        EXPECT_TRUE(zone.Gen(kKeyRange));
    }
    // The version-1 LFO rates every zone gets are common too, and so written once.
    EXPECT_TRUE(global.Gen(22) && global.Gen(24));
    EXPECT_EQ(Effective(instrument, instrument.zones[1], kAttenuation),
              *instrument.zones[1].Gen(kAttenuation));
    EXPECT_EQ(instrument.zones[2].Gen(kAttenuation), instrument.zones[3].Gen(kAttenuation));
}

TEST(Sf2Converter, PresetsLayeringOneInstrumentOverRangesShareIt)
{
    SoundFontBuilder bank;
    bank.SampleData(4000);
    bank.AddSample(0, 900);
    bank.AddSample(1000, 1900);
    // Zones of their own key ranges, no velocity range.
    const int piano = bank.AddInstrumentZones("Piano", {{{kKeyRange, Range(0, 59)}, {kSfGenSampleId, 0}},
                                                        {{kKeyRange, Range(60, 127)}, {kSfGenSampleId, 1}}});
    const auto layer = [&](int low, int high) {
        return SfZone{{kVelRange, Range(low, high)}, {kSfGenInstrument, static_cast<std::uint16_t>(piano)}};
    };
    bank.AddPresetZones("Soft", 0, 0, {layer(0, 63)});
    bank.AddPresetZones("Hard", 1, 0, {layer(64, 127)});
    bank.AddPresetZones("Both", 2, 0, {layer(0, 63), layer(64, 127)});
    // A key range narrower than a zone's own is the version-1 range of every zone: that instrument is its
    // own.
    bank.AddPresetZones(
        "Upper", 3, 0, {{{kKeyRange, Range(40, 80)}, {kSfGenInstrument, static_cast<std::uint16_t>(piano)}}});
    const Sf2 sf2 = Convert(bank.Build());

    ASSERT_EQ(sf2.instruments.size(), 2u);
    for (std::size_t p = 0; p < 3; ++p)
        for (const Zone& zone : sf2.presets[p].zones)
        {
            EXPECT_EQ(zone.Gen(41), 0) << sf2.presets[p].name;
            EXPECT_TRUE(zone.Gen(kVelRange)) << sf2.presets[p].name << ": the range stays with the preset";
        }
    EXPECT_EQ(sf2.presets[1].zones[0].Low(kVelRange), 64);
    const auto shared = PlayedZones(sf2.instruments[0]);
    ASSERT_EQ(shared.size(), 2u);
    EXPECT_EQ(shared[1].Low(kKeyRange), 60) << "the zones keep their own key ranges";
    EXPECT_FALSE(shared[0].Gen(kVelRange));

    EXPECT_EQ(sf2.presets[3].zones[0].generators.size(), 1u);
    for (const Zone& zone : PlayedZones(sf2.instruments[1]))
    {
        EXPECT_EQ(zone.Low(kKeyRange), 40);
        EXPECT_EQ(zone.High(kKeyRange), 80);
    }
}

TEST(Sf2Converter, ABankPastTheIndexLimitsIsRefusedWithEachLimitAndItsExcess)
{
    // 100 zones in one instrument; each of 700 presets fills a different
    // start offset into it, so each resolves to an instrument of its own.
    SoundFontBuilder bank;
    bank.SampleData(2 * 100 * 8);
    std::vector<SfZone> zones;
    for (std::uint32_t s = 0; s < 100; ++s)
    {
        bank.AddSample(s * 8, s * 8 + 4);
        zones.push_back({{kKeyRange, Range(static_cast<int>(s), static_cast<int>(s))},
                         {kSfGenSampleId, static_cast<std::uint16_t>(s)}});
    }
    bank.AddInstrumentZones("Many", zones);
    for (std::uint16_t p = 0; p < 700; ++p)
        bank.AddPresetZones("P", static_cast<std::uint16_t>(p % 128), static_cast<std::uint16_t>(p / 128),
                            {{{0, static_cast<std::uint16_t>(p + 1)}, {kSfGenInstrument, 0}}});
    const Bytes sbk = bank.Build();
    CMemorySource source(sbk);
    Bytes out;
    std::string error;
    ASSERT_FALSE(CSoundFont2Converter().ConvertBank(source, out, &error));
    EXPECT_TRUE(out.empty());
    // 700 instruments of 100 zones and a global one each.
    const std::size_t zoneCount = 700 * 101;
    EXPECT_NE(error.find(std::to_string(zoneCount) + " instrument zones, " +
                         std::to_string(zoneCount - 65535) + " over the limit of 65535"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("instrument generators"), std::string::npos) << error;
    EXPECT_EQ(error.find("preset zones"), std::string::npos) << "700 preset zones fit: " << error;

    // One such preset alone fits.
    ASSERT_TRUE(CSoundFont2Converter().ConvertPreset(source, 5, out, &error)) << error;
    EXPECT_EQ(ReadSf2(out).instruments.at(0).zones.size(), 101u);
}

// Debian's FluidR3_GM laid out as SoundFont 1: 148 MB, 189 presets, and more
// resolved zones and generators than version 2's indices reach unless shared.
TEST_F(Sf2InFluidSynth, TheFluidR3BankAsSoundFont1Converts)
{
    constexpr const char* kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    if (::access(kFluidR3, R_OK) != 0)
        GTEST_SKIP() << kFluidR3 << " is not installed";
    CSoundFontReader original;
    ASSERT_TRUE(original.Open(kFluidR3));
    const Bytes sbk = LayOutAsSoundFont1(kFluidR3);
    const Bytes sf2Bytes = ConvertBytes(sbk);
    ASSERT_FALSE(sf2Bytes.empty());
    const Sf2 sf2 = ReadSf2(sf2Bytes);
    EXPECT_EQ(static_cast<int>(sf2.presets.size()), original.GetPresetCount());
    std::size_t zones = 0;
    for (const Item& instrument : sf2.instruments)
        zones += instrument.zones.size();
    EXPECT_LE(zones, 65535u);

    const int id = Load(sf2Bytes);
    EXPECT_EQ(static_cast<int>(probe.Presets(id).size()), original.GetPresetCount());
    for (const auto& [bank, program, key] :
         {std::tuple{0, 0, 60}, std::tuple{0, 40, 67}, std::tuple{128, 0, 38}})
    {
        const FluidRender render = probe.Play(id, bank, program, key, 100, 0.3);
        EXPECT_GT(Rms(render.left, 0, render.left.size()), 0.001) << bank << ":" << program;
    }
}
