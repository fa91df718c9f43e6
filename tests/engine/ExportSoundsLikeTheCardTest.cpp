// The exported SoundFont sounds like the card: the same notes rendered
// through the emulated card (dry: no reverb or chorus sent) and by
// FluidSynth alone from the exported file start together and have the same
// spectrum, within the tolerances below (measured: see the constants), for
// a bank file and a single preset, version-1 preset rules included; and the
// SoundFont 3 export plays its compressed samples.

#include "engine/EngineFixture.h"

#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "bank/SoundFontExport.h"
#include "media/MediaServices.h"
#include "soundfont/SoundFontReader.h"
#include "support/PatchFixtures.h"
#include "support/SoundFontBuilder.h"
#include "synth/MidiMessage.h"

#include <algorithm>
#include <filesystem>
#include <numbers>

namespace
{
// Measured over the notes below (FluidSynth 2.3.1): onsets apart by at most
// 59 samples (1.3 ms: the card's engine starts notes on its 64-sample
// blocks), harmonic levels relative to the fundamental within 0.08 dB, the
// left/right balance within 0.001 dB, and the card louder by one gain for
// every note (7.953 to 7.960 dB: its engine's output level). The bounds
// leave room for other FluidSynth builds.
constexpr double kOnsetSeconds = 0.002;
constexpr double kHarmonicDb = 0.25;
constexpr double kBalanceDb = 0.1;
constexpr double kGainSpreadDb = 0.1;

constexpr std::uint16_t kPan = 17, kAttenuation = 48, kSampleModes = 54, kSamplePitch = 55, kVolSustain = 37;
constexpr double kTone = 220; // the sample's fundamental
constexpr int kHarmonics = 6;

// Half a second (a whole number of cycles, so that it loops without a seam)
// of a tone with falling harmonics: spectra have more than one line to compare.
Bytes ToneBank()
{
    Bytes data;
    const std::uint32_t points = 22050;
    for (std::uint32_t i = 0; i < points + 16; ++i)
    {
        double value = 0;
        for (int h = 1; i < points && h <= kHarmonics; ++h)
            value += 9000.0 / h * std::sin(2 * std::numbers::pi * kTone * h * i / 44100);
        PutLE16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))));
    }
    SoundFontBuilder bank;
    bank.Info("INAM", "Tones").Replace("smpl", data);
    bank.AddSample(0, points);
    const SfGenerator pitch{kSamplePitch, 5700}; // key 57: 220 Hz
    const SfGenerator loop{kSampleModes, 1};
    // Plain; with its own attenuation; and without a pan of its own.
    bank.AddInstrumentZones("Plain", {{pitch, loop, {kSfGenSampleId, 0}}});
    bank.AddInstrumentZones("Quiet",
                            {{pitch, loop, {kAttenuation, 90}, {kVolSustain, 127}, {kSfGenSampleId, 0}}});
    bank.AddPresetZones("Plain", 0, 0, {{{kSfGenInstrument, 0}}});
    // Version-1 rules: the preset's attenuation yields to the instrument's
    // own, its pan fills the gap the instrument leaves.
    bank.AddPresetZones("Ruled", 1, 0, {{{kAttenuation, 30}, {kPan, 20}, {kSfGenInstrument, 1}}});
    return bank.Build();
}

std::size_t Onset(const std::vector<float>& signal)
{
    float peak = 0;
    for (const float v : signal)
        peak = std::max(peak, std::fabs(v));
    for (std::size_t i = 0; i < signal.size(); ++i)
        if (std::fabs(signal[i]) > 0.05f * peak)
            return i;
    return signal.size();
}

// Level of frequency f in [from, to), by correlation (the window holds whole cycles closely enough).
double Level(const std::vector<float>& signal, std::size_t from, std::size_t to, double f)
{
    double re = 0, im = 0;
    for (std::size_t i = from; i < to; ++i)
    {
        const double phase = 2 * std::numbers::pi * f * static_cast<double>(i) / 44100;
        re += signal[i] * std::cos(phase);
        im += signal[i] * std::sin(phase);
    }
    return std::hypot(re, im) / static_cast<double>(to - from);
}

double Db(double ratio)
{
    return 20 * std::log10(ratio);
}

// A note on the card with no reverb or chorus sent, as FluidSynth alone plays it.
StereoSound PlayDry(CCardEngine& engine, int bank, int program, int key, double seconds)
{
    for (const auto& [controller, value] : {std::pair{91, 0}, std::pair{93, 0}, std::pair{0, bank}})
        engine.SendShortMessage(MakeShortMessage(0xB0, controller, value));
    engine.SendShortMessage(MakeShortMessage(0xC0, program, 0));
    engine.SendShortMessage(MakeShortMessage(0x90, key, 100));
    StereoSound sound;
    sound.left.resize(static_cast<std::size_t>(seconds * 44100));
    sound.right.resize(sound.left.size());
    EXPECT_TRUE(engine.Render(sound.left.data(), sound.right.data(), sound.left.size()));
    engine.SendShortMessage(MakeShortMessage(0x80, key, 0));
    // Until the release has died away, so that the next note starts from silence.
    std::vector<float> left(44100), right(44100);
    EXPECT_TRUE(engine.Render(left.data(), right.data(), left.size()));
    return sound;
}
} // namespace

TEST_F(EngineTest, TheExportedBankPlaysLikeTheCard)
{
    const std::string bankPath = files.Write("tones.sbk", ToneBank());
    ASSERT_TRUE(session->LoadBank(3, bankPath));
    int usedKB = 0;
    ASSERT_TRUE(session->LoadPreset(5, 9, bankPath, 1, &usedKB));

    CDocumentFile::Header header;
    header.bankFiles = {{3, bankPath}};
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    AddFilePatch(patches, "Ruled", bankPath, 1, 5, 9);
    const std::string exported = files.File("export.sf2");
    const SoundFontExportResult result =
        CSoundFontExport(files.Path(), {}).Export(header, patches, "Tones", "", exported);
    ASSERT_TRUE(result.written) << result.error;

    FluidProbe fluid;
    const int font = fluid.Load(exported);
    ASSERT_GE(font, 0);
    const auto engine = Engine();
    std::vector<double> gains;
    struct Note
    {
        int bank, program, key;
    } notes[] = {{3, 0, 57}, {3, 0, 69}, {3, 1, 60}, {3, 1, 64}, {5, 9, 60}, {5, 9, 64}};
    for (const Note& note : notes)
    {
        const std::string what = std::to_string(note.bank) + ":" + std::to_string(note.program) + " key " +
                                 std::to_string(note.key);
        const StereoSound card = PlayDry(*engine, note.bank, note.program, note.key, 0.5);
        const FluidRender alone = fluid.Play(font, note.bank, note.program, note.key, 100, 0.5);
        ASSERT_GT(Peak(card.left) + Peak(card.right), 0.001) << what;
        ASSERT_GT(Peak(alone.left) + Peak(alone.right), 0.001) << what;

        const auto cardOnset = static_cast<double>(Onset(card.left));
        const auto aloneOnset = static_cast<double>(Onset(alone.left));
        EXPECT_NEAR(cardOnset / 44100, aloneOnset / 44100, kOnsetSeconds) << what;

        const double f = kTone * std::exp2((note.key - 57) / 12.0);
        const std::size_t from = At(0.1), to = At(0.45);
        const double cardRoot = Level(card.left, from, to, f), aloneRoot = Level(alone.left, from, to, f);
        for (int h = 2; h <= kHarmonics; ++h)
        {
            const double cardShare = Level(card.left, from, to, f * h) / cardRoot;
            const double aloneShare = Level(alone.left, from, to, f * h) / aloneRoot;
            EXPECT_NEAR(Db(cardShare), Db(aloneShare), kHarmonicDb) << what << ", harmonic " << h;
        }
        const double cardBalance = Level(card.left, from, to, f) / Level(card.right, from, to, f);
        const double aloneBalance = Level(alone.left, from, to, f) / Level(alone.right, from, to, f);
        EXPECT_NEAR(Db(cardBalance), Db(aloneBalance), kBalanceDb) << what;
        gains.push_back(Db(cardRoot / aloneRoot));
    }
    const auto [quietest, loudest] = std::minmax_element(gains.begin(), gains.end());
    EXPECT_LT(*loudest - *quietest, kGainSpreadDb) << "a level of its own for some note";
    // The preset's pan filled the instrument's gap both ways: well to the left.
    const FluidRender ruled = fluid.Play(font, 3, 1, 60, 100, 0.3);
    EXPECT_GT(Db(Level(ruled.left, At(0.1), At(0.25), kTone * std::exp2(3 / 12.0)) /
                 Level(ruled.right, At(0.1), At(0.25), kTone * std::exp2(3 / 12.0))),
              6.0);
    EXPECT_EQ(fluid.Messages(), std::vector<std::string>());
}

// SoundFont 3: FluidSynth reads the Ogg Vorbis streams where the headers say
// (byte offsets) and loops them where they say (points of the decoded
// sample), so a held note keeps its pitch across the loop; the program's own
// reader decodes every sample to the length it had; and the file is small.
TEST_F(EngineTest, TheSoundFont3ExportPlaysItsCompressedSamplesLooped)
{
    InstallMediaServices();
    const std::string bankPath = files.Write("tones.sbk", ToneBank());
    // A sample ahead of the tone's: its stream starts past the data's first byte.
    SoundFontBuilder other;
    other.Info("INAM", "Other").SampleData(6000);
    other.AddPreset("Other", 0, 0, {other.AddInstrument("Other", {other.AddSample(0, 2000)})});
    CDocumentFile::Header header;
    header.bankFiles = {{2, files.Write("other.sbk", other.Build())}, {3, bankPath}};
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    const std::string sf2 = files.File("export.sf2"), sf3 = files.File("export.sf3");
    ASSERT_TRUE(CSoundFontExport(files.Path(), {}).Export(header, patches, "Tones", "", sf2).written);
    const SoundFontExportResult result =
        CSoundFontExport(files.Path(), {}, {.synthBank = {}, .compressed = true, .quality = 0.3})
            .Export(header, patches, "Tones", "", sf3);
    ASSERT_TRUE(result.written) << result.error;
    EXPECT_LT(std::filesystem::file_size(sf3) * 4, std::filesystem::file_size(sf2));

    CSoundFontReader plain, compressed;
    ASSERT_TRUE(plain.Open(sf2));
    ASSERT_TRUE(compressed.Open(sf3));
    EXPECT_EQ(compressed.GetMajorVersion(), 3);
    ASSERT_EQ(compressed.GetSampleRecordCount(), plain.GetSampleRecordCount());
    EXPECT_TRUE(compressed.BankSamplesDecode(true));
    for (int sample = 0; sample + 1 < plain.GetSampleRecordCount(); ++sample)
        EXPECT_EQ(compressed.GetSampleCardBytes(sample), plain.GetSampleCardBytes(sample)) << sample;

    FluidProbe fluid;
    const int font = fluid.Load(sf3);
    ASSERT_GE(font, 0);
    // Two seconds over a half-second loop: three times round it. Measured by
    // spectrum, as the codec's noise adds zero crossings: 440 Hz as loud as
    // from the plain export, and nothing a quarter tone either side.
    const FluidRender held = fluid.Play(font, 3, 0, 69, 100, 2.0);
    const FluidRender reference = fluid.Play(fluid.Load(sf2), 3, 0, 69, 100, 2.0);
    for (const double from : {0.2, 1.55})
    {
        const std::size_t begin = At(from), end = At(from + 0.4);
        const double root = Level(held.left, begin, end, 440);
        EXPECT_NEAR(Db(root / Level(reference.left, begin, end, 440)), 0, 0.5) << from;
        for (const double off : {-1.0, 1.0})
            EXPECT_GT(root, 10 * Level(held.left, begin, end, 440 * std::exp2(off / 24))) << from;
    }
    EXPECT_EQ(fluid.Messages(), std::vector<std::string>());
}
