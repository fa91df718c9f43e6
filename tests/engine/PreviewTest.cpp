// Hearing a preset of a file before placing it: the preview channel of the
// engine, fed by MakePresetImage, leaves the card as it was.

#include "EngineFixture.h"
#include "media/MediaServices.h"
#include "soundfont/PresetImage.h"
#include "support/SoundFontBuilder.h"

#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
class PreviewTest : public EngineTest
{
protected:
    PreviewTest() { InstallMediaServices(); }

    // A 440 Hz sine written by libsndfile in format (wave, FLAC...).
    std::string SineFile(const std::string& name, int format)
    {
        const std::string path = files.File(name);
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 1;
        info.format = format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
        if (!file)
            return path;
        std::vector<double> frames(44100);
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = 0.5 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / 44100);
        sf_writef_double(file, frames.data(), static_cast<sf_count_t>(frames.size()));
        sf_close(file);
        return path;
    }

    static StereoSound Preview(CCardEngine& engine, int key, double seconds = 0.8)
    {
        NotePlan plan;
        plan.notes = {key};
        plan.seconds = seconds;
        plan.maxRelease = 0.2;
        StereoSound sound;
        EXPECT_TRUE(engine.RenderPreview(plan, sound));
        return sound;
    }

    std::string CardState() const
    {
        std::ifstream in(home.Path() + "/card.state", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
};
} // namespace

TEST_F(PreviewTest, SampleFilesSoundAtTheirRecordedPitchAndTheCardStaysAsItWas)
{
    session->Open();
    const std::string stateBefore = CardState();
    const int freeBefore = session->GetMemoryKB(true);
    const auto engine = Engine();

    for (const auto& [name, format] : {std::pair{"sine.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                                       std::pair{"sine.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
                                       std::pair{"sine.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                       std::pair{"sine.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}})
    {
        SCOPED_TRACE(name);
        const std::string path = SineFile(name, format);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(path));
        const int option = wave.GetOption(0);
        wave.Close();

        PresetImage image;
        ASSERT_TRUE(MakePresetImage(path, option, image));
        EXPECT_FALSE(image.drumKit);
        EXPECT_EQ(PreviewKey(image), 60);
        ASSERT_TRUE(engine->LoadPreview(image.bytes));
        const StereoSound sound = Preview(*engine, PreviewKey(image));
        const double frequency = MeasureFrequency(sound.left, At(0.1), At(0.7), kRate);
        EXPECT_NEAR(1200 * std::log2(frequency / 440.0), 0.0, 5.0) << frequency << " Hz";
    }

    // Nothing reached the card: its state, its memory, and what its banks play.
    EXPECT_EQ(CardState(), stateBefore);
    EXPECT_EQ(session->GetMemoryKB(true), freeBefore);
    EXPECT_FALSE(engine->HasSound(1, 0));
    EXPECT_LT(Peak(Play(*engine, 1, 0, 60, 0.3).left), 1e-4) << "an empty user bank slot stays silent";
    session->Close(false);
}

TEST_F(PreviewTest, SoundFontPresetsOfEveryVersionAndTheDrumKitsSnare)
{
    const auto engine = Engine();
    SoundFontBuilder v1;
    v1.SampleData(32 * 1024);
    v1.AddPreset("Lead", 5, 0, {v1.AddInstrument("Lead", {v1.AddSample(0, 8000)})});
    SoundFontBuilder v2;
    v2.Version(2).SampleData(32 * 1024);
    const int sample = v2.AddSample(0, 8000);
    v2.AddPreset("Pad", 3, 0, {v2.AddInstrument("Pad", {sample})});
    v2.AddPreset("Kit", 0, 128, {v2.AddInstrument("Kit", {sample})});
    const std::string sbk = files.Write("A.SBK", v1.Build());
    const std::string sf2 = files.Write("B.SF2", v2.Build());

    struct Case
    {
        std::string path;
        int source;
        bool drums;
    };
    for (const Case& c : {Case{sbk, 5, false}, Case{sf2, 3, false}, Case{sf2, (128 << 16) | 0, true}})
    {
        SCOPED_TRACE(c.path + " " + std::to_string(c.source));
        PresetImage image;
        ASSERT_TRUE(MakePresetImage(c.path, c.source, image));
        EXPECT_EQ(image.drumKit, c.drums);
        EXPECT_EQ(PreviewKey(image), c.drums ? 38 : 60);
        ASSERT_TRUE(engine->LoadPreview(image.bytes));
        EXPECT_GT(Peak(Preview(*engine, PreviewKey(image), 0.3).left), 1e-3);
    }

    // A preset the file lacks, a file that is no sound file: no image, and the
    // engine keeps no preview when given none.
    PresetImage image;
    EXPECT_FALSE(MakePresetImage(sf2, 77, image));
    EXPECT_TRUE(image.bytes.empty());
    EXPECT_FALSE(MakePresetImage(files.Write("junk.sf2", Bytes(300, 0x5A)), 0, image));
    EXPECT_FALSE(MakePresetImage(files.File("missing.wav"), 0, image));
    EXPECT_FALSE(engine->LoadPreview({}));
    StereoSound sound;
    NotePlan plan;
    plan.notes = {60};
    EXPECT_FALSE(engine->RenderPreview(plan, sound));
}

TEST_F(PreviewTest, ACompressedBankOfTheSystemPreviewsItsPiano)
{
    const std::string sf3 = "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3";
    if (!std::filesystem::exists(sf3))
        GTEST_SKIP() << sf3 << " is not installed";
    PresetImage image;
    ASSERT_TRUE(MakePresetImage(sf3, 0, image));
    EXPECT_LT(image.bytes.size(), std::filesystem::file_size(sf3) / 4) << "one preset, not the bank";
    const auto engine = Engine();
    ASSERT_TRUE(engine->LoadPreview(image.bytes));
    EXPECT_GT(Peak(Preview(*engine, 60, 0.5).left), 1e-2);

    // Played from the keyboard while previewed; once cleared, no note starts.
    engine->PreviewNote(64, 100);
    std::vector<float> left(At(0.3)), right(At(0.3));
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    EXPECT_GT(Peak(left), 1e-2);
    EXPECT_GT(engine->ActiveVoices(), 0);
    engine->ClearPreview();
    engine->PreviewNote(64, 100);
    ASSERT_TRUE(engine->Render(left.data(), right.data(), left.size()));
    EXPECT_EQ(engine->ActiveVoices(), 0);
}

TEST_F(PreviewTest, APresetOfTheSystemsGeneralMidiBankSoundsAtItsPitch)
{
    const std::string sf2 = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (!std::filesystem::exists(sf2))
        GTEST_SKIP() << sf2 << " is not installed";
    // The ocarina: close enough to a sine for zero crossings to tell its pitch
    // (a piano's partials make them wander by half a semitone).
    PresetImage image;
    ASSERT_TRUE(MakePresetImage(sf2, 79, image));
    const auto engine = Engine();
    ASSERT_TRUE(engine->LoadPreview(image.bytes));
    const StereoSound sound = Preview(*engine, 69);
    const double frequency = MeasureFrequency(sound.left, At(0.1), At(0.5), kRate);
    EXPECT_NEAR(1200 * std::log2(frequency / 440.0), 0.0, 5.0) << frequency << " Hz";
}
