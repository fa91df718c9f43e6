// Every conversion option of sample files of many rates, depths, channel
// layouts and containers, loaded onto a slot of the emulated card and played
// at key 60: the note must sound at the pitch it was recorded at.

#include "EngineFixture.h"

#include "media/MediaServices.h"
#include "soundfont/SoundFontReader.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace
{
constexpr double kSine = 440.0;

// One second of the 440 Hz sine at rate, every channel alike, at half scale.
std::vector<double> SineFrames(std::uint32_t rate, unsigned channels)
{
    std::vector<double> frames;
    for (std::uint32_t f = 0; f < rate; ++f)
    {
        const double value = 0.5 * std::sin(2 * std::numbers::pi * kSine * f / rate);
        frames.insert(frames.end(), channels, value);
    }
    return frames;
}

struct Source
{
    const char* what;
    std::string fileName;
    Bytes bytes; // empty when written by libsndfile
    int sndFormat = 0;
    std::uint32_t rate = 0;
    unsigned channels = 0;
    double toleranceCents = 5;
};

Source Pcm(const char* what, std::uint32_t rate, unsigned channels, std::uint16_t bits,
           bool extensible = false)
{
    WaveBuilder builder;
    builder.Channels(static_cast<std::uint16_t>(channels)).Rate(rate).Bits(bits);
    if (extensible)
        builder.Extensible(1);
    const std::vector<double> frames = SineFrames(rate, channels);
    std::vector<std::int32_t> values;
    const double scale = bits == 8 ? 127.0 : std::ldexp(1.0, bits - 1) - 1;
    for (const double v : frames)
        values.push_back(static_cast<std::int32_t>(std::lround(v * scale)) + (bits == 8 ? 128 : 0));
    return {what, "sine.wav", builder.Values(values).Build(), 0, rate, channels};
}

Source Float(const char* what, std::uint32_t rate, unsigned channels, std::uint16_t bits, bool extensible)
{
    WaveBuilder builder;
    builder.Channels(static_cast<std::uint16_t>(channels)).Rate(rate).Bits(bits);
    if (extensible)
        builder.Extensible(3);
    return {what, "sine.wav", builder.FloatValues(SineFrames(rate, channels)).Build(), 0, rate, channels};
}

Source Other(const char* what, const char* name, int format, std::uint32_t rate, unsigned channels,
             double tolerance = 5)
{
    return {what, name, {}, format, rate, channels, tolerance};
}
} // namespace

class SamplePitchTest : public EngineTest
{
protected:
    SamplePitchTest() { InstallMediaServices(); }

    std::string WriteSource(const Source& source)
    {
        if (!source.bytes.empty())
            return files.Write(source.fileName, source.bytes);
        const std::string path = files.File(source.fileName);
        SF_INFO info{};
        info.samplerate = static_cast<int>(source.rate);
        info.channels = static_cast<int>(source.channels);
        info.format = source.sndFormat;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
        if (!file)
            return path;
        const std::vector<double> frames = SineFrames(source.rate, source.channels);
        EXPECT_EQ(sf_writef_double(file, frames.data(), source.rate), static_cast<sf_count_t>(source.rate));
        sf_close(file);
        return path;
    }

    // The pitch, in cents from 440 Hz, of key 60 on bank 9 slot 0 holding option.
    double CentsOff(const std::string& path, int option, std::uint64_t& sizeShown, std::uint64_t& sizeWritten)
    {
        const std::string bankPath = files.File("option.sbk");
        CWaveFile wave;
        EXPECT_TRUE(wave.Open(path)) << wave.RefusalText();
        for (int k = 0; k < wave.GetOptionCount(); ++k)
        {
            if (wave.GetOption(k) == option)
                sizeShown = wave.GetOptionSize(k);
        }
        EXPECT_TRUE(wave.WriteSoundFont(bankPath, option));
        wave.Close();
        CSoundFontReader bank;
        EXPECT_TRUE(bank.Open(bankPath));
        sizeWritten =
            bank.GetPresetCount() == 1 ? static_cast<std::uint64_t>(bank.GetPresetSampleBytes(0)) : 0;
        bank.Close();
        int usedKB = 0;
        EXPECT_TRUE(session->LoadPreset(9, 0, bankPath, 0, &usedKB));
        ::unlink(bankPath.c_str());
        const auto engine = Engine();
        const StereoSound sound = Play(*engine, 9, 0, 60, 0.8);
        const double frequency = MeasureFrequency(sound.left, At(0.1), At(0.7), kRate);
        return 1200 * std::log2(frequency / kSine);
    }
};

TEST_F(SamplePitchTest, EveryOptionOfEveryFormatSoundsAtTheRecordedPitch)
{
    const std::vector<Source> sources = {
        Pcm("16-bit stereo 48 kHz", 48000, 2, 16),
        Pcm("16-bit stereo 96 kHz", 96000, 2, 16),
        Pcm("16-bit mono 32 kHz", 32000, 1, 16),
        Pcm("16-bit stereo 22.05 kHz", 22050, 2, 16),
        Pcm("8-bit mono 48 kHz", 48000, 1, 8),
        Pcm("24-bit stereo 48 kHz", 48000, 2, 24),
        Pcm("24-bit 5.1 extensible 48 kHz", 48000, 6, 24, true),
        Float("float mono 48 kHz", 48000, 1, 32, false),
        Float("double stereo 96 kHz", 96000, 2, 64, false),
        Float("float extensible stereo 32 kHz", 32000, 2, 32, true),
        Other("AIFF 16-bit stereo 48 kHz", "sine.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 48000, 2),
        Other("FLAC 24-bit mono 96 kHz", "sine.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 1),
        Other("Ogg Vorbis stereo 48 kHz", "sine.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2, 25),
    };
    for (const Source& source : sources)
    {
        const std::string path = WriteSource(source);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(path)) << source.what << ": " << wave.RefusalText();
        std::vector<int> options;
        for (int k = 0; k < wave.GetOptionCount(); ++k)
            options.push_back(wave.GetOption(k));
        wave.Close();
        // Every rate the file reaches, as one mode for mono and four otherwise.
        std::size_t rates = 0;
        for (const std::uint32_t rate : {44100u, 22050u, 11025u})
            rates += source.rate >= rate ? 1 : 0;
        EXPECT_EQ(options.size(), rates * (source.channels == 1 ? 1 : 4)) << source.what;
        for (const int option : options)
        {
            std::uint64_t shown = 0;
            std::uint64_t written = 0;
            const double cents = CentsOff(path, option, shown, written);
            EXPECT_LE(std::fabs(cents), source.toleranceCents) << source.what << ", option " << option;
            EXPECT_EQ(shown, written) << source.what << ", option " << option;
            std::printf("%-32s option %2d: %+6.2f cents\n", source.what, option, cents);
        }
        ::unlink(path.c_str());
    }
}

TEST_F(SamplePitchTest, WholeMultipleRatesKeepEveryStepthFrameAsStored)
{
    // 88.2 kHz is a whole multiple of all three rates: no resampling, the
    // bytes are every second (fourth, eighth) frame of the file.
    const Source source = Pcm("16-bit mono 88.2 kHz", 88200, 1, 16);
    CMemorySource memory(source.bytes);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(memory, "sine.wav"));
    for (const int option : {1, 5, 9})
    {
        CMemorySink sink;
        ASSERT_TRUE(wave.WriteSoundFont(sink, option));
        const std::size_t step = 2u << (option / 4);
        Bytes expected;
        for (std::size_t frame = 0; frame < 88200; frame += step)
        {
            // The block of 8192 frames restarts the count.
            const std::size_t inBlock = frame % 8192;
            if (inBlock % step != 0)
                continue;
            expected.push_back(source.bytes[44 + 2 * frame]);
            expected.push_back(source.bytes[45 + 2 * frame]);
        }
        const Bytes& bank = sink.Bytes();
        const auto smpl = std::search(bank.begin(), bank.end(), expected.begin(), expected.begin() + 64);
        ASSERT_NE(smpl, bank.end()) << option;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), smpl)) << option;
    }
}

TEST_F(SamplePitchTest, OtherSampleFilesNeedTheDecoderAndRefuseClearly)
{
    const std::string junk = files.Write("junk.flac", Bytes(200, 0x5A));
    CWaveFile wave;
    EXPECT_FALSE(wave.Open(junk));
    EXPECT_EQ(wave.GetOpenError(), WaveOpenError::NotDecoded);
    EXPECT_NE(wave.RefusalText().find("not an AIFF, FLAC or Ogg Vorbis file"), std::string::npos)
        << wave.RefusalText();

    // A file named as a wave is never handed to the decoder.
    const std::string flacNamedWave =
        WriteSource(Other("", "sine.wav", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1));
    EXPECT_FALSE(wave.Open(flacNamedWave));
    EXPECT_EQ(wave.GetOpenError(), WaveOpenError::NotWave);

    // A RIFF wave is read by our own reader whatever its name says.
    const std::string riffNamedFlac = files.Write("riff.flac", Pcm("", 44100, 1, 16).bytes);
    ASSERT_TRUE(wave.Open(riffNamedFlac));
    EXPECT_EQ(wave.Encoding(), WaveEncoding::Pcm);
}
