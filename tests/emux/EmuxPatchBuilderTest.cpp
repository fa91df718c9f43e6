// The zones of a SoundFont bank as the Emux driver's voices: how preset and
// instrument values combine, what is left out, and the register units.

#include "emux/EmuxPatchBuilder.h"
#include "emux/EmuxUnits.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
constexpr std::uint16_t kAttenuation = 48;
constexpr std::uint16_t kCoarseTune = 51;
constexpr std::uint16_t kVelRange = 44;
constexpr std::uint16_t kSampleModes = 54;
constexpr std::uint16_t kRootKey = 58;

std::unique_ptr<CEmuxPatchBuilder> Open(const Bytes& bank)
{
    auto builder = std::make_unique<CEmuxPatchBuilder>();
    std::string error;
    EXPECT_TRUE(builder->Open(std::make_unique<CMemorySource>(bank), &error)) << error;
    return builder;
}

TEST(EmuxPatchBuilderTest, PresetValuesAddToInstrumentValuesAndRangesMeet)
{
    SoundFontBuilder bank;
    bank.Version(2).SampleData(4000);
    const auto s = static_cast<std::uint16_t>(bank.AddSample(0, 500));
    // Instrument: a global zone (attenuation 60 cB, root key 64) and a zone
    // on keys 10..90 that sets its own attenuation and loops.
    const int instrument = bank.AddInstrumentZones(
        "I",
        {{{kAttenuation, 60}, {kRootKey, 64}},
         {{kSfGenKeyRange, (90 << 8) | 10}, {kAttenuation, 30}, {kSampleModes, 1}, {kSfGenSampleId, s}}});
    // Preset: a global zone adding 2 semitones, a zone on keys 50..127 at velocities 0..63 adding 15 cB.
    bank.AddPresetZones("P", 3, 0,
                        {{{kCoarseTune, 2}},
                         {{kSfGenKeyRange, (127 << 8) | 50},
                          {kVelRange, 63 << 8},
                          {kAttenuation, 15},
                          {kSfGenInstrument, static_cast<std::uint16_t>(instrument)}}});
    const auto builder = Open(bank.Build());
    const auto voices = builder->Voices(0);
    ASSERT_EQ(1u, voices.size());
    const auto& v = voices[0].info;
    EXPECT_EQ(50, v.low);
    EXPECT_EQ(90, v.high);
    EXPECT_EQ(0, v.vellow);
    EXPECT_EQ(63, v.velhigh);
    EXPECT_EQ(64, v.root);
    EXPECT_EQ(200, v.tune);
    EXPECT_EQ(emux::Attenuation(45), v.attenuation) << "the zone's own 30 cB and the preset's 15";
    EXPECT_EQ(SNDRV_SFNT_MODE_LOOPING, v.mode);
    EXPECT_EQ(0, v.loopstart) << "a looping voice keeps the sample's loop";
}

TEST(EmuxPatchBuilderTest, WhatCannotSoundIsLeftOut)
{
    SoundFontBuilder bank;
    bank.Version(2).SampleData(2000);
    const auto inside = static_cast<std::uint16_t>(bank.AddSample(0, 400));
    const auto outside = static_cast<std::uint16_t>(bank.AddSample(900, 5000)); // past the data
    const auto rom = static_cast<std::uint16_t>(bank.AddSample(0, 100));
    bank.SampleType(rom, 0x8001);
    const int instrument =
        bank.AddInstrumentZones("I", {{{kSfGenKeyRange, 0x7F00}, {kSfGenSampleId, inside}},
                                      {{kSfGenKeyRange, 0x7F00}, {kSfGenSampleId, outside}},
                                      {{kSfGenKeyRange, 0x7F00}, {kSfGenSampleId, rom}},
                                      {{kSfGenKeyRange, 0x7F00}, {kSfGenSampleId, 999}},
                                      // keys 100..20: a range that holds nothing
                                      {{kSfGenKeyRange, (20 << 8) | 100}, {kSfGenSampleId, inside}}});
    bank.AddPresetZones(
        "P", 0, 0,
        {{{kSfGenKeyRange, 0x7F00}, {kSfGenInstrument, static_cast<std::uint16_t>(instrument)}},
         {{kSfGenKeyRange, 0x7F00}, {kSfGenInstrument, 77}}});
    const auto builder = Open(bank.Build());
    const auto voices = builder->Voices(0);
    ASSERT_EQ(1u, voices.size());
    EXPECT_EQ(inside, voices[0].sample);
    EXPECT_EQ(0u, builder->SamplePoints(outside));
    EXPECT_EQ(0u, builder->SamplePoints(rom));
    EXPECT_FALSE(builder->SamplePatch(outside));
    EXPECT_TRUE(builder->Voices(5).empty());
    EXPECT_TRUE(builder->Voices(-1).empty());
}

TEST(EmuxPatchBuilderTest, SamplesCarryTheirPointsAndVoicesThatDoNotLoopEndInSilence)
{
    SoundFontBuilder bank;
    bank.Version(2).SampleData(2000);
    const auto first = static_cast<std::uint16_t>(bank.AddSample(0, 300));
    const auto last = static_cast<std::uint16_t>(bank.AddSample(340, 600)); // 34 points of silence before it
    bank.AddPreset("P", 0, 0, {bank.AddInstrument("I", {first, last})});
    const Bytes file = bank.Build();
    const auto builder = Open(file);
    // As far as the next sample; after the last one, 48 points where the data has them.
    EXPECT_EQ(340u, builder->SamplePoints(first));
    EXPECT_EQ(260u + 48u, builder->SamplePoints(last));
    const auto patch = builder->SamplePatch(first);
    ASSERT_TRUE(patch);
    const auto header = emux::PatchHeader(*patch);
    EXPECT_EQ(SNDRV_SFNT_LOAD_DATA, header.type);
    ASSERT_EQ(sizeof(soundfont_patch_info) + sizeof(soundfont_sample_info) + 340 * 2, patch->size());
    EXPECT_EQ(static_cast<int>(patch->size() - sizeof(soundfont_patch_info)), header.len);
    // The points are the file's "smpl" data from the sample's start.
    CSoundFontReader reader;
    ASSERT_TRUE(reader.Open(std::make_unique<CMemorySource>(file)));
    const auto data = Bytes(file.begin() + static_cast<std::ptrdiff_t>(reader.SampleDataOffset()),
                            file.begin() + static_cast<std::ptrdiff_t>(reader.SampleDataOffset()) + 340 * 2);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), patch->end() - 340 * 2));

    const auto voices = builder->Voices(0);
    ASSERT_EQ(2u, voices.size());
    // The first sample's loop is 0..300; a voice that does not loop plays 308..332 over silence.
    EXPECT_EQ(0, voices[0].info.mode);
    EXPECT_EQ(308, voices[0].info.loopstart);
    EXPECT_EQ(332 - 300, voices[0].info.loopend);
}

TEST(EmuxPatchBuilderTest, BanksTheCardCannotPlayAreRefusedWithAReason)
{
    CEmuxPatchBuilder builder;
    std::string error;
    EXPECT_FALSE(builder.Open(std::make_unique<CMemorySource>(Bytes{'R', 'I', 'F', 'F'}), &error));
    EXPECT_FALSE(error.empty());
    SoundFontBuilder compressed;
    compressed.Version(3).SampleData(100);
    compressed.AddPreset("P", 0, 0, {compressed.AddInstrument("I", {compressed.AddSample(0, 10)})});
    error.clear();
    EXPECT_FALSE(builder.Open(std::make_unique<CMemorySource>(compressed.Build()), &error));
    EXPECT_NE(std::string::npos, error.find("SoundFont 3"));
    EXPECT_FALSE(builder.Open("/nonexistent/bank.sf2", &error));
}

TEST(EmuxUnitsTest, RegistersFollowTheChipsRanges)
{
    // Delays count 725 us steps down from 0x8000; the format's floor is no delay.
    EXPECT_EQ(0x8000, emux::DelayRegister(-12000));
    EXPECT_EQ(0x8000 - 1379, emux::DelayRegister(0)); // one second
    EXPECT_EQ(0, emux::DelayRegister(8000));          // clamped, not wrapped
    // Attack in the low byte (0x7F fastest), hold in the high (0x7F none).
    EXPECT_EQ(0x7F7F, emux::AttackHoldRegister(-12000, -12000));
    EXPECT_LT(emux::AttackHoldRegister(1200, -12000) & 0xFF, 0x7F);
    EXPECT_LT(emux::AttackHoldRegister(-12000, 0) >> 8, 0x7F);
    // Longer decays give smaller bytes, never 0 (which the chip never ends).
    EXPECT_GT(emux::DecayByte(-6000), emux::DecayByte(0));
    EXPECT_GE(emux::DecayByte(8000), 1);
    EXPECT_EQ(0x8000, emux::ReleaseRegister(0) & 0xFF00);
    // Sustain: 0.75 dB steps down from full.
    EXPECT_EQ(0x7F, emux::VolumeDecaySustain(0, 0) >> 8);
    EXPECT_EQ(0x7F - 8, emux::VolumeDecaySustain(0, 60) >> 8);
    EXPECT_EQ(0, emux::VolumeDecaySustain(0, 1440) >> 8);
    // Rates, depths, filter, pan and sends.
    EXPECT_EQ(-3977 + 1, emux::RateOffset(22500)); // 4096 * log2(22500 / 44100), cut toward zero
    EXPECT_EQ(0, emux::RateOffset(44100));
    EXPECT_EQ(0, emux::RateOffset(0));
    EXPECT_EQ(127, static_cast<std::int8_t>(emux::DepthByte(5000, 1200)));
    EXPECT_EQ(-128, static_cast<std::int8_t>(emux::DepthByte(-5000, 1200)));
    EXPECT_EQ(0xFF, emux::CutoffByte(13500));
    EXPECT_EQ(0, emux::CutoffByte(1500));
    EXPECT_EQ(0, emux::Pan(-500));
    EXPECT_EQ(63, emux::Pan(0));
    EXPECT_EQ(127, emux::Pan(700));
    EXPECT_EQ(255, emux::SendByte(1000));
    EXPECT_EQ(16, emux::Attenuation(60));
}
} // namespace
