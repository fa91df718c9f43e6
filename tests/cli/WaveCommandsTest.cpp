#include "platform/ByteStream.h"
#include "soundfont/WaveFile.h"
#include "support/CliRunner.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace
{
Bytes StereoWave(std::uint32_t rate, std::size_t frames)
{
    return WaveBuilder()
        .Channels(2)
        .Rate(rate)
        .Frames(frames, [](std::size_t f, unsigned c) { return int(f % 1000) * (c ? -3 : 3); })
        .Build();
}
} // namespace

TEST(WaveCommands, ListsOfferedOptionsOnePerLine)
{
    TempDir dir;
    const std::string stereo = dir.Write("PIANO.WAV", StereoWave(22050, 22050));
    CliRun run = RunCli({"wav-options", stereo});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "4\tPIANO 22.1KHz st\t2\t88200\n"
                       "5\tPIANO 22.1KHz m\t1\t44100\n"
                       "6\tPIANO 22.1KHz l\t1\t44100\n"
                       "7\tPIANO 22.1KHz r\t1\t44100\n"
                       "8\tPIANO 11.0KHz st\t2\t44100\n"
                       "9\tPIANO 11.0KHz m\t1\t22050\n"
                       "10\tPIANO 11.0KHz l\t1\t22050\n"
                       "11\tPIANO 11.0KHz r\t1\t22050\n");
    EXPECT_EQ(run.err, "");

    // A file that offers nothing lists nothing and is no error.
    const std::string low = dir.Write("low.wav", StereoWave(8000, 10));
    run = RunCli({"wav-options", low});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

TEST(WaveCommands, WritesTheSameBankAsTheLibrary)
{
    TempDir dir;
    const Bytes wav = StereoWave(44100, 5000);
    const std::string in = dir.Write("in.wav", wav);
    const std::string out = dir.File("out.sbk");
    const CliRun run = RunCli({"wav2sbk", in, "10", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    CMemorySource source(wav);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, in));
    CMemorySink expected;
    ASSERT_TRUE(wave.WriteSoundFont(expected, 10));
    EXPECT_EQ(ReadFileBytes(out), expected.Bytes());
}

TEST(WaveCommands, BadInputGetsOneLineAndStatusTwoAndNoFile)
{
    TempDir dir;
    const std::string mono = dir.Write("mono.wav", WaveBuilder().Values({1, 2, 3}).Build());
    const std::string adpcm = dir.Write("adpcm.wav", WaveBuilder().FormatTag(2).Values({1}).Build());
    const std::string text = dir.Write("notes.wav", Bytes{'n', 'o', 't', 'e', 's', '\n'});
    const std::string noData = dir.Write("nodata.wav", WaveBuilder().FmtSize(18).NoData().Build());
    const std::string out = dir.File("out.sbk");

    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{"wav-options", dir.File("missing.wav")},
         dir.File("missing.wav") + ": cannot be opened for reading"},
        {{"wav-options", text}, text + ": not a RIFF WAVE file"},
        {{"wav-options", adpcm}, adpcm + ": format tag 0x0002 (ADPCM) is compressed"},
        {{"wav-options", noData}, noData + ": no \"data\" chunk"},
        {{"wav-options"}, "wav-options: expects one argument"},
        {{"wav2sbk", mono, "0", out}, mono + ": option 0 is not offered (offered: 1 5 9)"},
        {{"wav2sbk", mono, "12", out}, "12: not an option number from 0 to 11"},
        {{"wav2sbk", mono, "-1", out}, "-1: not an option number"},
        {{"wav2sbk", mono, "one", out}, "one: not an option number"},
        {{"wav2sbk", adpcm, "1", out}, adpcm + ": format tag 0x0002 (ADPCM) is compressed"},
        {{"wav2sbk", mono, "1", dir.File("no/such/folder/out.sbk")},
         dir.File("no/such/folder/out.sbk") + ": cannot write the SoundFont file"},
        {{"wav2sbk", mono, "1"}, "wav2sbk: expects three arguments"},
    };
    for (const Case& c : cases)
    {
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.status, 2) << c.err;
        EXPECT_EQ(run.out, "") << c.err;
        EXPECT_EQ(run.err.rfind("tamberly-cli: " + c.err, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 4u);
}

TEST(WaveCommands, TakeEveryRateAndTheOtherSampleFiles)
{
    TempDir dir;
    // 48 kHz is resampled: a second of sound lists a second of points at each rate.
    const std::string wave48 = dir.Write("S48.wav", StereoWave(48000, 48000));
    CliRun run = RunCli({"wav-options", wave48});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find('\n') + 1) + 1),
              "0\tS48 44.1KHz st\t2\t176400\n1\tS48 44.1KHz m\t1\t88200\n");

    // A FLAC file made by sox lists and converts like a wave.
    const std::string flac = dir.File("tone.flac");
    const CliRun sox =
        RunCli({"-n", "-r", "32000", "-c", "1", "-b", "16", flac, "synth", "0.5", "sine", "440"},
               {.program = "/usr/bin/sox"});
    ASSERT_EQ(sox.status, 0) << sox.err;
    run = RunCli({"wav-options", flac});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "5\ttone 22.1KHz m\t1\t22050\n9\ttone 11.0KHz m\t1\t11026\n");
    const std::string out = dir.File("tone.sbk");
    run = RunCli({"wav2sbk", flac, "5", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(out));

    // What is not a sample file says so.
    const std::string junk = dir.Write("junk.ogg", Bytes(64, 'x'));
    run = RunCli({"wav-options", junk});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("tamberly-cli: " + junk + ": not an AIFF, FLAC or Ogg Vorbis file", 0), 0u)
        << run.err;
}
