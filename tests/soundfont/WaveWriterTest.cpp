#include "soundfont/WaveWriter.h"
#include "platform/AtomicFile.h"
#include "soundfont/WaveFile.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

namespace
{
std::int16_t PointAt(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return static_cast<std::int16_t>(ReadLE16(bytes.data() + at));
}
} // namespace

TEST(WaveWriter, WritesInterleavedSixteenBitStereoThatReadsBackAsAWave)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> left = {0.0f, 0.5f, -0.5f, 1.0f, 1.5f, nan, -7.0f};
    const std::vector<float> right = {0.25f, -1.0f, 0.0f, -1e-6f, 0.0f, 0.0f, 1e-6f};
    CMemorySink sink;
    ASSERT_TRUE(CWaveWriter::WriteStereo16(sink, left, right, 44100));

    CMemorySource source(sink.Bytes());
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "out.wav"));
    EXPECT_EQ(wave.Format().formatTag, 1);
    EXPECT_EQ(wave.Format().channels, 2);
    EXPECT_EQ(wave.Format().samplesPerSec, 44100u);
    EXPECT_EQ(wave.Format().avgBytesPerSec, 44100u * 4);
    EXPECT_EQ(wave.Format().blockAlign, 4);
    EXPECT_EQ(wave.Format().bitsPerSample, 16);
    EXPECT_EQ(wave.DataSize(), left.size() * 4);
    EXPECT_EQ(sink.Bytes().size(), 44 + left.size() * 4)
        << "RIFF, fmt and data headers and the points, nothing else";

    const std::size_t data = sink.Bytes().size() - left.size() * 4;
    const std::vector<std::int16_t> expected = {0, 8192,  16384, -32767, -16384, 0,      32767,
                                                0, 32767, 0,     0,      0,      -32767, 0};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(PointAt(sink.Bytes(), data + 2 * i), expected[i])
            << "point " << i << " (clipped, NaN silent)";
}

TEST(WaveWriter, RefusesWhatItCannotWriteWholeAndLeavesNoFileBehind)
{
    CMemorySink sink;
    EXPECT_FALSE(CWaveWriter::WriteStereo16(sink, {0.0f, 0.0f}, {0.0f}, 44100))
        << "channels of different lengths";
    EXPECT_FALSE(CWaveWriter::WriteStereo16(sink, {}, {}, 0)) << "no rate";
    CMemorySink full(100);
    EXPECT_FALSE(CWaveWriter::WriteStereo16(full, std::vector<float>(1000), std::vector<float>(1000), 44100));

    TempDir dir;
    const std::string path = dir.Write("out.wav", Bytes{'o', 'l', 'd'});
    EXPECT_FALSE(CWaveWriter::WriteStereo16(path, {0.5f}, {}, 44100));
    EXPECT_EQ(ReadFileBytes(path), (Bytes{'o', 'l', 'd'})) << "the file that was there stays as it was";
    EXPECT_FALSE(CWaveWriter::WriteStereo16(dir.File("missing folder/out.wav"), {0.5f}, {0.5f}, 44100));

    ASSERT_TRUE(CWaveWriter::WriteStereo16(path, {0.5f}, {0.5f}, 22050));
    EXPECT_EQ(ReadFileBytes(path).size(), 48u);
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.Path()), {});
    EXPECT_EQ(entries, 1) << "no temporary file is left beside it";
}
