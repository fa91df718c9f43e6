#include "soundfont/WaveFile.h"
#include "platform/ByteStream.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
std::vector<int> Offered(const CWaveFile& wave)
{
    std::vector<int> options;
    for (int k = 0; k < wave.GetOptionCount(); ++k)
        options.push_back(wave.GetOption(k));
    return options;
}

Bytes Silence(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::size_t frames)
{
    return WaveBuilder()
        .Channels(channels)
        .Rate(rate)
        .Bits(bits)
        .Frames(frames, [&](std::size_t, unsigned) { return bits == 8 ? 128 : 0; })
        .Build();
}
} // namespace

TEST(WaveFile, OffersRatesItReachesAndOnlyMonoForOneChannel)
{
    const Bytes mono = Silence(1, 44100, 16, 4);
    CMemorySource monoSource(mono);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(monoSource, "/waves/TONE.WAV"));
    EXPECT_EQ(Offered(wave), (std::vector<int>{1, 5, 9}));
    EXPECT_EQ(wave.GetOptionChannels(0), 1);
    EXPECT_EQ(wave.GetOptionLabel(0), "TONE 44.1KHz m");
    EXPECT_EQ(wave.GetOptionLabel(2), "TONE 11.0KHz m");
    EXPECT_EQ(wave.GetOption(3), -1);
    EXPECT_EQ(wave.GetOption(-1), -1);
    EXPECT_EQ(wave.GetOptionLabel(3), "");

    const Bytes stereo = Silence(2, 22050, 16, 4);
    CMemorySource stereoSource(stereo);
    ASSERT_TRUE(wave.Open(stereoSource, "/home/user/waves/PIANO.WAV"));
    EXPECT_EQ(Offered(wave), (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(wave.GetOption(0), 4);
    EXPECT_EQ(wave.GetOptionChannels(0), 2);
    EXPECT_EQ(wave.GetOptionChannels(1), 1);
    // The rate is divided in floating point: 22050 Hz shows as 22.1, not 22.0.
    EXPECT_EQ(wave.GetOptionLabel(0), "PIANO 22.1KHz st");
    EXPECT_EQ(wave.GetOptionLabel(1), "PIANO 22.1KHz m");
    EXPECT_EQ(wave.GetOptionLabel(2), "PIANO 22.1KHz l");
    EXPECT_EQ(wave.GetOptionLabel(7), "PIANO 11.0KHz r");

    // Any channel count but one offers all four modes.
    const Bytes four = Silence(4, 44100, 16, 4);
    CMemorySource fourSource(four);
    ASSERT_TRUE(wave.Open(fourSource, "four.wav"));
    EXPECT_EQ(wave.GetOptionCount(), 12);
    EXPECT_EQ(wave.GetOptionLabel(0), "four 44.1KHz st");
}

TEST(WaveFile, OffersNothingBelowElevenKilohertzOrForNegativeRates)
{
    for (const std::uint32_t rate : {8000u, 11024u, 0x80000000u, 0xFFFFFFFFu})
    {
        const Bytes file = Silence(2, rate, 16, 2);
        CMemorySource source(file);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(source, "low.wav")) << rate;
        EXPECT_EQ(wave.GetOptionCount(), 0) << rate;
        EXPECT_EQ(wave.GetOption(0), -1) << rate;
        EXPECT_EQ(wave.GetOptionLabel(0), "") << rate;
        EXPECT_EQ(wave.GetOptionSize(0), 0u) << rate;
    }
    const Bytes edge = Silence(1, 11025, 16, 2);
    CMemorySource source(edge);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "edge.wav"));
    EXPECT_EQ(Offered(wave), (std::vector<int>{9}));
}

TEST(WaveFile, OptionSizesFollowChannelsDepthAndRate)
{
    CWaveFile wave;
    const Bytes stereo16 = Silence(2, 44100, 16, 44100);
    CMemorySource s1(stereo16);
    ASSERT_TRUE(wave.Open(s1, "a.wav"));
    ASSERT_EQ(wave.DataSize(), 176400u);
    EXPECT_EQ(wave.GetOptionSize(0), 176400u); // option 0
    EXPECT_EQ(wave.GetOptionSize(1), 88200u);  // option 1
    EXPECT_EQ(wave.GetOptionSize(9), 22050u);  // option 9
    EXPECT_EQ(wave.GetOptionSize(4), 88200u);  // option 4: st at 22050

    const Bytes mono8 = Silence(1, 22050, 8, 22050);
    CMemorySource s2(mono8);
    ASSERT_TRUE(wave.Open(s2, "b.wav"));
    ASSERT_EQ(Offered(wave), (std::vector<int>{5, 9}));
    EXPECT_EQ(wave.GetOptionSize(0), 44100u);
    EXPECT_EQ(wave.GetOptionSize(1), 22050u);

    // Deeper samples count two bytes per converted value.
    const Bytes stereo24 = Silence(2, 44100, 24, 1000);
    CMemorySource s3(stereo24);
    ASSERT_TRUE(wave.Open(s3, "c.wav"));
    EXPECT_EQ(wave.GetOptionSize(0), 4000u);
    EXPECT_EQ(wave.GetOptionSize(1), 2000u);
    EXPECT_EQ(wave.GetOptionSize(8), 1000u);
    const Bytes mono32 = Silence(1, 44100, 32, 1000);
    CMemorySource s4(mono32);
    ASSERT_TRUE(wave.Open(s4, "d.wav"));
    EXPECT_EQ(wave.GetOptionSize(0), 2000u);
    EXPECT_EQ(wave.GetOptionSize(2), 500u);
}

TEST(WaveFile, OpensWithFormatOfSixteenOrEighteenBytesAndSkipsOtherChunks)
{
    const std::vector<std::int32_t> values = {1, -2, 3, -4};
    for (const std::uint32_t fmtSize : {16u, 18u})
    {
        const Bytes file = WaveBuilder()
                               .FmtSize(fmtSize)
                               .Channels(2)
                               .Rate(22050)
                               .Values(values)
                               .ChunkBefore("LIST", Bytes{'I', 'N', 'F', 'O'})
                               .ChunkBefore("odd ", Bytes{1, 2, 3})
                               .ChunkAfter("cue ", Bytes(24, 0))
                               .Build();
        CMemorySource source(file);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(source, "x.wav")) << fmtSize;
        EXPECT_EQ(wave.GetOpenError(), WaveOpenError::None);
        EXPECT_EQ(wave.Format().formatTag, 1);
        EXPECT_EQ(wave.Format().channels, 2);
        EXPECT_EQ(wave.Format().samplesPerSec, 22050u);
        EXPECT_EQ(wave.Format().blockAlign, 4);
        EXPECT_EQ(wave.Format().bitsPerSample, 16);
        EXPECT_EQ(wave.DataSize(), 8u);
        // The read position is at the first data byte.
        std::uint8_t first[2] = {};
        ASSERT_EQ(source.Read(first, 2), 2u);
        EXPECT_EQ(first[0], 1);
    }
}

TEST(WaveFile, RefusesWhatIsNoPcmWaveWithTheReason)
{
    struct Case
    {
        const char* name;
        Bytes file;
        WaveOpenError error;
    };
    const std::vector<Case> cases = {
        {"format tag 2", WaveBuilder().FormatTag(2).Values({0}).Build(), WaveOpenError::NotPcm},
        {"extensible", WaveBuilder().FormatTag(0xFFFE).Values({0}).Build(), WaveOpenError::NotPcm},
        {"no data", WaveBuilder().NoData().ChunkAfter("cue ", Bytes(4, 0)).Build(), WaveOpenError::NoData},
        // The format is read with the two bytes after a 16-byte chunk: at the end of the file they are
        // missing.
        {"fmt at the end", WaveBuilder().NoData().Build(), WaveOpenError::NoFormat},
        {"data before fmt", WaveBuilder().FmtSize(18).DataBeforeFmt().Values({5}).Build(),
         WaveOpenError::NoData},
        {"no fmt", RiffBuilder().Begin("RIFF", "WAVE").Chunk("data", {0, 0}).Finish(),
         WaveOpenError::NoFormat},
        {"other form", RiffBuilder().Begin("RIFF", "AVI ").Chunk("fmt ", Bytes(16, 0)).Finish(),
         WaveOpenError::NotWave},
        {"empty", Bytes{}, WaveOpenError::NotWave},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, WaveOpenError::NotWave},
    };
    for (const Case& c : cases)
    {
        CMemorySource source(c.file);
        CWaveFile wave;
        EXPECT_FALSE(wave.Open(source, "bad.wav")) << c.name;
        EXPECT_EQ(wave.GetOpenError(), c.error) << c.name;
        EXPECT_FALSE(wave.IsOpen()) << c.name;
        EXPECT_EQ(wave.FileName(), "bad.wav") << c.name;
        EXPECT_EQ(wave.GetOptionCount(), 0) << c.name;
        if (c.error == WaveOpenError::NotPcm)
        {
            EXPECT_NE(wave.Format().formatTag, 1) << c.name;
        }
        EXPECT_FALSE(wave.Close()) << c.name;
    }
}

TEST(WaveFile, TruncatedFilesFailBeforeTheDataAndKeepOnlyPresentBytesAfter)
{
    const Bytes whole = WaveBuilder()
                            .Channels(2)
                            .Frames(50, [](std::size_t f, unsigned c) { return int(f * 2 + c); })
                            .Build();
    const std::size_t dataStart = 44; // 12 form + 24 fmt + 8 data header
    for (std::size_t cut = 0; cut < whole.size(); ++cut)
    {
        const Bytes part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        CMemorySource source(part);
        CWaveFile wave;
        const bool opened = wave.Open(source, "cut.wav");
        EXPECT_EQ(opened, cut >= dataStart) << cut;
        if (opened)
        {
            EXPECT_EQ(wave.DataSize(), cut - dataStart) << cut;
        }
    }

    // A data size that claims more than the file holds is cut to what is there.
    const Bytes lying = WaveBuilder().Values({1, 2, 3}).ClaimedDataSize(1000000).Build();
    CMemorySource source(lying);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "lying.wav"));
    EXPECT_EQ(wave.DataSize(), 6u);
    EXPECT_EQ(wave.GetOptionSize(0), 6u);
}

TEST(WaveFile, OpensFromDiskAndCloses)
{
    TempDir dir;
    const std::string path = dir.Write("Voice Memo.take2.wav", Silence(1, 44100, 16, 10));
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(path));
    EXPECT_TRUE(wave.IsOpen());
    EXPECT_EQ(wave.DataSize(), 20u);
    EXPECT_EQ(wave.GetOptionLabel(0), "Voice Memo.take2 44.1KHz m");
    EXPECT_TRUE(wave.Close());
    EXPECT_FALSE(wave.Close());

    EXPECT_FALSE(wave.Open(dir.File("missing.wav")));
    EXPECT_EQ(wave.GetOpenError(), WaveOpenError::CannotOpen);
    EXPECT_EQ(wave.FileName(), dir.File("missing.wav"));
    EXPECT_FALSE(wave.Open(dir.Path()));
    EXPECT_EQ(wave.GetOpenError(), WaveOpenError::CannotOpen);
}

TEST(WaveFile, RefusalsNameWhatTheFileReallyIs)
{
    struct Case
    {
        Bytes file;
        const char* text;
    };
    const std::vector<std::int32_t> values = {1, 2, 3, 4};
    const std::vector<Case> cases = {
        {WaveBuilder().FormatTag(2).Bits(4).Values(values).Build(),
         "format tag 0x0002 (ADPCM) is compressed"},
        {WaveBuilder().FormatTag(0x55).Values(values).Build(),
         "format tag 0x0055 (MPEG Layer 3) is compressed"},
        {WaveBuilder().FormatTag(0x1234).Values(values).Build(), "format tag 0x1234 is not PCM"},
        {WaveBuilder().Extensible(2).Values(values).Build(),
         "WAVE_FORMAT_EXTENSIBLE with subformat {00000002-0000-0010-8000-00AA00389B71} is not PCM"},
        {WaveBuilder().FormatTag(0xFFFE).FmtSize(18).Values(values).Build(),
         "WAVE_FORMAT_EXTENSIBLE with a format chunk of 18 bytes (40 needed) cannot be read"},
        {WaveBuilder().FormatTag(3).Bits(24).Values(values).Build(),
         "IEEE float samples of 24 bits cannot be read (32 or 64 are)"},
    };
    for (const Case& c : cases)
    {
        CMemorySource source(c.file);
        CWaveFile wave;
        EXPECT_FALSE(wave.Open(source, "x.wav")) << c.text;
        EXPECT_EQ(wave.GetOpenError(), WaveOpenError::NotPcm) << c.text;
        EXPECT_EQ(wave.RefusalText(), c.text);
        EXPECT_EQ(wave.GetOptionCount(), 0);
    }
}

TEST(WaveFile, RatesThatAreNoWholeMultipleCountTheResampledPoints)
{
    struct Case
    {
        std::uint32_t rate;
        std::uint16_t channels;
        int k;              // offered option position
        std::uint64_t size; // bytes of one second
    };
    // One second of sound is one second of points at the option's rate.
    const Case cases[] = {
        {48000, 2, 0, 2 * 2 * 44100}, {48000, 2, 1, 2 * 44100},     {48000, 2, 4, 2 * 2 * 22050},
        {96000, 1, 0, 2 * 44100},     {96000, 1, 2, 2 * 11025},     {32000, 1, 0, 2 * 22050},
        {32000, 2, 7, 2 * 11025},     {22050, 2, 0, 2 * 2 * 22050},
    };
    for (const Case& c : cases)
    {
        const Bytes file = Silence(c.channels, c.rate, 16, c.rate);
        CMemorySource source(file);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(source, "r.wav"));
        EXPECT_EQ(wave.GetOptionSize(c.k), c.size) << c.rate << " Hz, k " << c.k;
    }
    // Points are rounded to the nearest: 3 frames at 48 kHz are 2.75625 points at 44.1 kHz.
    const Bytes three = Silence(1, 48000, 16, 3);
    CMemorySource source(three);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "three.wav"));
    EXPECT_EQ(wave.GetOptionSize(0), 2u * 3);
}
