// tamberly-cli card render and card play against the emulated card.

#include "cli/EmulatedCardCli.h"
#include "platform/AtomicFile.h"
#include "platform/StringTable.h"
#include "soundfont/WaveFile.h"
#include "support/MidiFileBuilder.h"
#include "support/RiffBuilder.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <unistd.h>

namespace
{
class CardSoundCliTest : public EmulatedCardCli
{
protected:
    CardSoundCliTest()
    {
        // A 440 Hz sine made a one-preset bank, as the program loads a wave.
        const Bytes sine = WaveBuilder()
                               .Rate(44100)
                               .Frames(44100,
                                       [](std::size_t frame, unsigned)
                                       {
                                           return static_cast<std::int32_t>(std::lround(
                                               16000 * std::sin(2 * std::numbers::pi * 440 *
                                                                static_cast<double>(frame) / 44100)));
                                       })
                               .Build();
        CWaveFile wave;
        EXPECT_TRUE(wave.Open(dir.Write("sine.wav", sine)));
        EXPECT_TRUE(wave.WriteSoundFont(dir.File("sine.sbk"), 1));
    }

    // The left channel of a 16-bit stereo wave, as floats.
    static std::vector<float> LeftChannel(const Bytes& file)
    {
        std::vector<float> left;
        for (std::size_t at = 44; at + 4 <= file.size(); at += 4)
            left.push_back(static_cast<float>(static_cast<std::int16_t>(ReadLE16(file.data() + at))) /
                           32768.0f);
        return left;
    }

    static int RisingCrossings(const std::vector<float>& signal, std::size_t from, std::size_t to)
    {
        int crossings = 0;
        for (std::size_t i = from + 1; i < to && i < signal.size(); ++i)
            crossings += signal[i - 1] < 0 && signal[i] >= 0 ? 1 : 0;
        return crossings;
    }
};
} // namespace

TEST_F(CardSoundCliTest, RenderWritesTheSlotsSoundAsAStereoWave)
{
    ASSERT_EQ(Cli({"card", "load-preset", "5", "3", dir.File("sine.sbk"), "0"}), 0) << err;
    ASSERT_EQ(::unlink(dir.File("sine.sbk").c_str()), 0) << "the card keeps its own copy";

    const std::string wav = dir.File("out.wav");
    ASSERT_EQ(Cli({"card", "render", wav, "--bank", "5", "--program", "3", "--notes", "60", "--seconds", "1",
                   "--velocity", "127"}),
              0)
        << err;
    EXPECT_EQ(out.rfind(wav + ": ", 0), 0u) << out;
    EXPECT_NE(out.find(" s, 16-bit stereo, 44100 Hz"), std::string::npos) << out;

    CWaveFile wave;
    ASSERT_TRUE(wave.Open(wav));
    EXPECT_EQ(wave.Format().channels, 2);
    EXPECT_EQ(wave.Format().samplesPerSec, 44100u);
    EXPECT_EQ(wave.Format().bitsPerSample, 16);
    wave.Close();
    const std::vector<float> left = LeftChannel(ReadFileBytes(wav));
    ASSERT_GT(left.size(), 44100u) << "a second held, and the release after it";
    EXPECT_LT(left.size(), 5u * 44100) << "the release ends once it is quiet";
    // 0.8 s of a 440 Hz tone cross zero upwards 352 times.
    EXPECT_NEAR(RisingCrossings(left, 4410, 39690), 352, 2);

    // Three notes of the General MIDI piano on the synth bank.
    if (::access("/usr/share/sounds/sf2/TimGM6mb.sf2", R_OK) == 0)
    {
        ASSERT_EQ(Cli({"card", "render", wav, "--bank", "0", "--program", "0", "--notes", "60,64,67",
                       "--seconds", "0.5"}),
                  0)
            << err;
        const std::vector<float> chord = LeftChannel(ReadFileBytes(wav));
        float peak = 0;
        for (const float value : chord)
            peak = std::max(peak, std::fabs(value));
        EXPECT_GT(peak, 0.05f);
    }
}

TEST_F(CardSoundCliTest, RenderRefusesBadArgumentsAndSilentSlotsWithoutWritingAFile)
{
    const std::string wav = dir.File("out.wav");
    using Args = std::vector<std::string>;
    for (const Args& arguments : {
             Args{"--bank", "5", "--program", "3", "--notes", "60"}, // no output file
             Args{wav, "--bank", "5", "--program", "3"},             // no notes
             Args{wav, "--bank", "128", "--program", "3", "--notes", "60"},
             Args{wav, "--bank", "5", "--program", "3", "--notes", "60,,64"},
             Args{wav, "--bank", "5", "--program", "3", "--notes", "60,128"},
             Args{wav, "--bank", "5", "--program", "3", "--notes", "60", "--seconds", "0"},
             Args{wav, "--bank", "5", "--program", "3", "--notes", "60", "--velocity", "0"},
             Args{wav, "--bank", "5", "--program", "3", "--notes", "60", "--loud"},
             Args{wav, "--bank", "5", "--program", "3", "--notes"},
             Args{wav, "other.wav", "--bank", "5", "--program", "3", "--notes", "60"},
         })
    {
        Args command{"card", "render"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(Cli(command), 2) << ::testing::PrintToString(arguments);
        EXPECT_NE(err.find("card render"), std::string::npos)
            << ::testing::PrintToString(arguments) << ": " << err;
    }
    EXPECT_NE(::access(wav.c_str(), F_OK), 0);

    // Bank 9 holds nothing: a file of silence would pass failure off as success.
    ASSERT_TRUE(WriteWholeFileAtomic(wav, "earlier"));
    EXPECT_EQ(Cli({"card", "render", wav, "--bank", "9", "--program", "0", "--notes", "60"}), 1);
    EXPECT_NE(err.find("bank 9 program 0 has no sound on the card"), std::string::npos) << err;
    std::string kept;
    ReadWholeFile(wav, kept);
    EXPECT_EQ(kept, "earlier");

    ASSERT_EQ(Cli({"card", "load-preset", "5", "3", dir.File("sine.sbk"), "0"}), 0) << err;
    EXPECT_EQ(Cli({"card", "render", dir.File("no folder/out.wav"), "--bank", "5", "--program", "3",
                   "--notes", "60"}),
              1);
    EXPECT_NE(err.find("cannot be written"), std::string::npos) << err;
}

TEST_F(CardSoundCliTest, PlayChecksItsArgumentsAndSaysWhenThereIsNoAudioDevice)
{
    EXPECT_EQ(Cli({"card", "play", "--bank", "0", "--program", "0"}), 2);
    EXPECT_EQ(Cli({"card", "play", "out.wav", "--bank", "0", "--program", "0", "--notes", "60"}), 2);
    ASSERT_EQ(Cli({"card", "load-preset", "5", "3", dir.File("sine.sbk"), "0"}), 0) << err;
    const int status =
        Cli({"card", "play", "--bank", "5", "--program", "3", "--notes", "60", "--seconds", "0.1"});
    if (status != 0)
    {
        EXPECT_EQ(status, 1);
        EXPECT_NE(err.find(LoadString(IDS_CARD_SOUND_NO_DEVICE)), std::string::npos) << err;
    }
}

TEST_F(CardSoundCliTest, RenderPlaysASongThroughTheCardsBanksToWaveOrFlac)
{
    ASSERT_EQ(Cli({"card", "load-preset", "5", "3", dir.File("sine.sbk"), "0"}), 0) << err;
    // Bank 5, slot 3 by bank select and program change; a note at 0.5 s for half a second.
    MidiTrackBuilder track;
    track.Name("Sine Song").BankSelect(0, 5).Program(0, 3).Wait(480).NoteOn(0, 60).Wait(480).NoteOff(0, 60);
    const std::string song = dir.Write("song.mid", MidiFileBuilder().Format(0).Track(track).Build());

    const std::string wav = dir.File("song.wav");
    ASSERT_EQ(Cli({"card", "render", wav, "--midi", song}), 0) << err;
    EXPECT_EQ(out.rfind(wav + ": ", 0), 0u) << out;
    EXPECT_EQ(err, "") << "no progress line when standard error is no terminal";
    const std::vector<float> left = LeftChannel(ReadFileBytes(wav));
    ASSERT_GT(left.size(), 44100u);
    EXPECT_LT(left.size(), 5u * 44100) << "the song, then its release until quiet";
    float before = 0;
    for (std::size_t i = 0; i < 44100 * 45 / 100; ++i)
        before = std::max(before, std::fabs(left[i]));
    EXPECT_LT(before, 1e-3f) << "nothing before the note";
    // 0.4 s of the note: 176 rising zero crossings of 440 Hz.
    EXPECT_NEAR(RisingCrossings(left, 44100 * 55 / 100, 44100 * 95 / 100), 176, 2);

    // --seconds bounds the render; a .flac name writes FLAC.
    const std::string flac = dir.File("song.flac");
    ASSERT_EQ(Cli({"card", "render", flac, "--midi", song, "--seconds", "0.25"}), 0) << err;
    EXPECT_NE(out.find("0.25 s, 16-bit stereo, 44100 Hz, FLAC"), std::string::npos) << out;
    const Bytes flacBytes = ReadFileBytes(flac);
    ASSERT_GE(flacBytes.size(), 4u);
    EXPECT_EQ(std::string(flacBytes.begin(), flacBytes.begin() + 4), "fLaC");
}

TEST_F(CardSoundCliTest, BadSongsAndArgumentsAreRefusedWithoutWritingAFile)
{
    MidiTrackBuilder zeroTempo;
    zeroTempo.Tempo(0).NoteOn(0, 60);
    const std::string broken = dir.Write("broken.mid", MidiFileBuilder().Track(zeroTempo).Build());
    const std::string notSong = dir.Write("text.mid", Bytes{'h', 'e', 'l', 'l', 'o'});
    const std::string wav = dir.File("never.wav");

    EXPECT_EQ(Cli({"card", "render", wav, "--midi", broken}), 2);
    EXPECT_NE(err.find("broken.mid: track 1: the song sets a tempo of zero"), std::string::npos) << err;
    EXPECT_EQ(Cli({"card", "render", wav, "--midi", notSong}), 2);
    EXPECT_NE(err.find("not a Standard MIDI File"), std::string::npos) << err;
    EXPECT_EQ(Cli({"card", "render", wav, "--midi", dir.File("missing.mid")}), 2);
    EXPECT_NE(err.find("cannot be opened"), std::string::npos) << err;
    EXPECT_EQ(Cli({"card", "render", wav, "--midi", broken, "--bank", "1"}), 2);
    EXPECT_NE(err.find("do not go with it"), std::string::npos) << err;
    EXPECT_EQ(Cli({"card", "play", "--midi", broken}), 2) << "play takes notes, play-midi songs";
    EXPECT_NE(::access(wav.c_str(), F_OK), 0);

    EXPECT_EQ(Cli({"card", "play-midi"}), 2);
    EXPECT_EQ(Cli({"card", "play-midi", broken, "extra"}), 2);
    EXPECT_EQ(Cli({"card", "play-midi", broken}), 2);
    EXPECT_NE(err.find("tempo of zero"), std::string::npos) << err;
    // A good song on a machine without a sound device: said so, and nothing played.
    MidiTrackBuilder note;
    note.NoteOn(0, 60).Wait(48).NoteOff(0, 60);
    const std::string song = dir.Write("short.mid", MidiFileBuilder().Format(0).Track(note).Build());
    const int status = Cli({"card", "play-midi", song});
    if (status != 0)
    {
        EXPECT_EQ(status, 1);
        EXPECT_NE(err.find(LoadString(IDS_CARD_SOUND_NO_DEVICE)), std::string::npos) << err;
    }
}
