// SoundFont 2 and 3 banks on the emulated card through tamberly-cli: loaded
// whole and preset by preset, heard at their pitch, and what is no bank (or
// a bank whose samples do not decode) refused with the card's memory as it was.

#include "cli/EmulatedCardCli.h"
#include "platform/AtomicFile.h"
#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
constexpr const char* kTimGM = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* kFluidMono = "/usr/share/sounds/sf3/FluidR3Mono_GM.sf3";

class SoundFont2CardCliTest : public EmulatedCardCli
{
protected:
    void SetUp() override
    {
        for (const char* path : {kTimGM, kFluidMono})
            if (::access(path, R_OK) != 0)
                GTEST_SKIP() << path << " is not installed (scripts/bootstrap installs it)";
    }

    // The pitch of key 69 of bank:program as the card renders it: the lag of
    // the strongest autocorrelation between 200 and 1000 Hz, over 0.3 s after
    // the attack (a piano's harmonics make zero crossings useless).
    double RenderedPitch(int bank, int program)
    {
        const std::string wav = dir.File("pitch.wav");
        EXPECT_EQ(Cli({"card", "render", wav, "--bank", std::to_string(bank), "--program",
                       std::to_string(program), "--notes", "69", "--seconds", "1"}),
                  0)
            << err;
        const Bytes file = ReadFileBytes(wav);
        std::vector<double> left;
        for (std::size_t at = 44; at + 4 <= file.size(); at += 4)
            left.push_back(static_cast<std::int16_t>(ReadLE16(file.data() + at)));
        const std::size_t from = 4410, length = 13230;
        if (left.size() < from + length + 44100 / 200)
            return 0;
        double best = 0;
        std::size_t bestLag = 0;
        for (std::size_t lag = 44100 / 1000; lag <= 44100 / 200; ++lag)
        {
            double sum = 0, energy = 0;
            for (std::size_t i = from; i < from + length; ++i)
            {
                sum += left[i] * left[i + lag];
                energy += left[i + lag] * left[i + lag];
            }
            const double score = energy > 0 ? sum / std::sqrt(energy) : 0;
            if (score > best)
            {
                best = score;
                bestLag = lag;
            }
        }
        return bestLag ? 44100.0 / static_cast<double>(bestLag) : 0;
    }

    // The free memory "card status" reports, in KB.
    int FreeKB()
    {
        EXPECT_EQ(Cli({"card", "status"}), 0) << err;
        const auto at = out.find("Sound memory: ");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + 14));
    }
};
} // namespace

TEST_F(SoundFont2CardCliTest, ABankFileOfVersion2SoundsAtItsPitch)
{
    const int before = FreeKB();
    ASSERT_EQ(Cli({"card", "load-bank", "3", kTimGM}), 0) << err;
    // The samples the presets use, 16-bit: about the 5.6 MB of the file's sample data.
    const int taken = before - FreeKB();
    EXPECT_GT(taken, 5000);
    EXPECT_LT(taken, 6000);
    // Slot 0 is the piano of bank 0, not the drum kit that shares its number.
    ASSERT_EQ(Cli({"card", "status"}), 0);
    EXPECT_NE(out.find("  000 Piano 1\n"), std::string::npos) << out;
    EXPECT_NEAR(RenderedPitch(3, 0), 440, 440 * 0.02);
}

TEST_F(SoundFont2CardCliTest, PresetsOfVersion2And3AreKeptInTheCardsMemory)
{
    const int before = FreeKB();
    ASSERT_EQ(Cli({"card", "load-preset", "4", "5", kFluidMono, "0"}), 0) << err;
    const int taken = std::stoi(out.substr(out.find(", ") + 2));
    EXPECT_GT(taken, 1000) << "the decoded size, not the compressed one";
    EXPECT_EQ(before - FreeKB(), taken);
    EXPECT_NEAR(RenderedPitch(4, 5), 440, 440 * 0.02);

    // A drum kit of bank 128 chosen by BANK:NUMBER, as "tmb presets" lists it.
    ASSERT_EQ(Cli({"tmb", "presets", kTimGM}), 0) << err;
    EXPECT_NE(out.find("\t128:0\t"), std::string::npos) << out;
    ASSERT_EQ(Cli({"card", "load-preset", "4", "6", kTimGM, "128:0"}), 0) << err;
    ASSERT_EQ(Cli({"card", "status"}), 0);
    EXPECT_NE(out.find("  006 Standard\n"), std::string::npos) << out;
    EXPECT_EQ(Cli({"card", "load-preset", "4", "7", kTimGM, "129:0"}), 2);
    EXPECT_EQ(Cli({"card", "load-preset", "4", "7", kTimGM, "5:0"}), 1) << "TimGM6mb has no bank 5";
}

TEST_F(SoundFont2CardCliTest, WhatIsNoBankIsRefusedWithoutTakingMemory)
{
    // A DLS collection, an SFZ text, an sfArk archive and a SoundFont 2 cut short.
    std::ifstream in(kTimGM, std::ios::binary);
    std::string head(200000, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"collection.dls", RiffBuilder().Begin("RIFF", "DLS ").Chunk("colh", {1, 0, 0, 0}).Finish()},
        {"piano.sfz", TextZ("<region> sample=piano.wav")},
        {"bank.sfArk", TextZ("sfArk compressed bank")},
        {"cut.sf2", Bytes(head.begin(), head.end())},
    };
    const int before = FreeKB();
    for (const auto& [name, bytes] : files)
    {
        SCOPED_TRACE(name);
        const std::string path = dir.Write(name, bytes);
        EXPECT_EQ(Cli({"card", "load-bank", "6", path}), 1);
        EXPECT_NE(err.find("not a SoundFont bank"), std::string::npos) << err;
        EXPECT_EQ(Cli({"card", "load-preset", "6", "0", path, "0"}), 1);
        EXPECT_NE(err.find("not a SoundFont bank"), std::string::npos) << err;
    }
    EXPECT_EQ(FreeKB(), before);
}

TEST_F(SoundFont2CardCliTest, AVersion3BankWhoseStreamIsDamagedIsRefused)
{
    // The first sample's Ogg stream of the real bank, alone in a bank of its own.
    CSoundFontReader real;
    ASSERT_TRUE(real.Open(kFluidMono));
    const SampleRecord record = real.GetSampleRecord(0);
    ASSERT_LT(record.start, record.end);
    Bytes stream(record.end - record.start);
    std::ifstream in(kFluidMono, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(real.SampleDataOffset() + record.start));
    in.read(reinterpret_cast<char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    ASSERT_TRUE(in);

    const auto bankWith = [&](const Bytes& data)
    {
        SoundFontBuilder bank;
        bank.Version(3, 1).Replace("smpl", data);
        const int sample = bank.AddSample(0, static_cast<std::uint32_t>(data.size()));
        bank.SampleType(sample, 0x11);
        bank.AddPreset("Shot", 0, 0, {bank.AddInstrument("Shot", {sample})});
        return bank.Build();
    };
    const int before = FreeKB();
    ASSERT_EQ(Cli({"card", "load-preset", "7", "0", dir.Write("whole.sf3", bankWith(stream)), "0"}), 0)
        << err;
    EXPECT_LT(FreeKB(), before);
    ASSERT_EQ(Cli({"card", "clear", "7"}), 0);

    // Damage inside the stream, past its headers, and at its very start.
    for (const std::size_t at : {stream.size() / 2, std::size_t{0}})
    {
        Bytes damaged = stream;
        for (std::size_t i = at; i < at + 64 && i < damaged.size(); ++i)
            damaged[i] ^= 0x5A;
        const std::string path = dir.Write("damaged.sf3", bankWith(damaged));
        EXPECT_EQ(Cli({"card", "load-preset", "7", "0", path, "0"}), 1) << at;
        EXPECT_EQ(Cli({"card", "load-bank", "7", path}), 1) << at;
        EXPECT_EQ(FreeKB(), before) << at;
        ASSERT_EQ(Cli({"card", "clear", "7"}), 0);
    }
}
