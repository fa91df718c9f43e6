// What the Emux card library sends for a bank against what awesfx's asfxload,
// the loader people use today, sends for the same bank: both run as programs
// with the recording device preloaded, and their voice and sample records are
// compared record by record.
//
// Fields that differ on purpose (see kOwnChoices) are listed with the reason;
// every other field must match.

#include "HwdepLog.h"
#include "SynthChoice.h"
#include "support/ArchiveBuilder.h"
#include "support/CliRunner.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace
{
constexpr const char* kAsfxload = "/usr/bin/asfxload";
constexpr const char* kTimGM6mb = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* kDevice = "hw:7,2";

// Where the records differ on purpose, and why (each test prints how many
// voices differ in each of these; every other field is asserted equal):
//  amplitude: asfxload scales every voice by its own total volume option
//    (70% unless told); the library sends full amplitude and leaves the
//    level to the card's mixer, as the card's own manager did.
//  attenuation: the library sends the bank's attenuation as the format
//    defines it, in the chip's 0.375 dB steps; asfxload rescales it (its
//    attenuation sensitivity options), so the same bank comes out louder.
//  envelope, LFO and filter registers: both put the format's timecents,
//    centibels and cents into the EMU8000's register units, the library from
//    the chip's documented ranges, asfxload from tables of its own; the same
//    time can land a step or more apart.
//  write mode: the library replaces what the slot held with the first voice
//    of every preset (a slot's new preset must not add to the old one);
//    asfxload appends where a bank's preset shares its slot with another
//    record of the file.
//  loop ends of a SoundFont 1 bank: see SoundFont1BankFromTheBuilders...
//  sample ids and positions of a SoundFont 1 bank: the library sends the
//    bank converted to version 2 (a sample played at two pitches becomes two
//    records), so the points and loops relative to each sample's start are
//    compared instead of ids and offsets.
constexpr const char* kOwnFields[] = {"amplitude", "attenuation", "envelope, LFO and filter registers",
                                      "write mode"};

HwdepLog Record(const std::vector<std::string>& args, const std::string& recordFile,
                const std::string& program, const std::vector<std::pair<std::string, std::string>>& more = {})
{
    CliOptions options;
    options.program = program;
    options.env = {{"LD_PRELOAD", TAMBERLY_HWDEP_RECORDER},
                   {"TAMBERLY_HWDEP_RECORD", recordFile},
                   {"TAMBERLY_EMUX_DEVICE", kDevice},
                   {"TAMBERLY_AWEMAN", TAMBERLY_EMUX_PATH},
                   // The sanitizers' runtime need not come first: the recorder is built without them.
                   {"ASAN_OPTIONS", "verify_asan_link_order=0"}};
    options.env.insert(options.env.end(), more.begin(), more.end());
    const CliRun run = RunCli(args, options);
    EXPECT_EQ(0, run.status) << program << ": " << run.err << run.out;
    return HwdepLog::ReadFile(recordFile);
}

// The voices sent for bank:program, in the order sent.
std::vector<SentVoice> VoicesOf(const HwdepLog& log, int bank, int program)
{
    std::vector<SentVoice> found;
    for (const auto& voice : log.VoiceList())
        if (voice.header.bank == bank && voice.header.instr == program)
            found.push_back(voice);
    return found;
}

// A sample as it sounds: its points (without the silence after it) and its loop.
struct Sound
{
    std::vector<std::uint8_t> points;
    int loopStart = 0, loopEnd = 0;
    bool operator==(const Sound&) const = default;
};

Sound SoundOf(const std::map<int, SentSample>& samples, const soundfont_voice_info& voice)
{
    const auto found = samples.find(voice.sample);
    if (found == samples.end())
        return {};
    const auto& info = found->second.info;
    Sound sound;
    const auto length = static_cast<std::size_t>(info.end + voice.end - info.start - voice.start) * 2;
    const auto from = static_cast<std::size_t>(voice.start) * 2;
    if (from + length <= found->second.data.size())
        sound.points.assign(found->second.data.begin() + static_cast<std::ptrdiff_t>(from),
                            found->second.data.begin() + static_cast<std::ptrdiff_t>(from + length));
    sound.loopStart = info.loopstart + voice.loopstart - info.start - voice.start;
    sound.loopEnd = info.loopend + voice.loopend - info.start - voice.start;
    return sound;
}

// Compares the voices of one slot, field by field; counts the fields that
// differ on purpose in `own`.
void CompareSlot(const HwdepLog& ours, int ourBank, const HwdepLog& theirs, int theirBank, int program,
                 std::map<std::string, int>& own, int theirLoopEndBeyond = 0)
{
    const auto mine = VoicesOf(ours, ourBank, program);
    const auto reference = VoicesOf(theirs, theirBank, program);
    ASSERT_EQ(reference.size(), mine.size()) << "voices of program " << program;
    const auto& ourSamples = ours.SampleMap();
    const auto& theirSamples = theirs.SampleMap();
    for (std::size_t i = 0; i < mine.size(); ++i)
    {
        const auto& a = mine[i].info;
        const auto& b = reference[i].info;
        const std::string where = "program " + std::to_string(program) + " voice " + std::to_string(i);
        Sound expected = SoundOf(theirSamples, b);
        if ((a.mode & SNDRV_SFNT_MODE_LOOPING) != 0)
            expected.loopEnd -= theirLoopEndBeyond;
        EXPECT_EQ(SoundOf(ourSamples, a), expected) << where << ": the sample played";
        EXPECT_EQ(a.rate_offset, b.rate_offset) << where;
        EXPECT_EQ(a.mode, b.mode) << where;
        EXPECT_EQ(a.root, b.root) << where;
        EXPECT_EQ(a.tune, b.tune) << where;
        EXPECT_EQ(a.low, b.low) << where;
        EXPECT_EQ(a.high, b.high) << where;
        EXPECT_EQ(a.vellow, b.vellow) << where;
        EXPECT_EQ(a.velhigh, b.velhigh) << where;
        EXPECT_EQ(a.fixkey, b.fixkey) << where;
        EXPECT_EQ(a.fixvel, b.fixvel) << where;
        EXPECT_EQ(a.fixpan, b.fixpan) << where;
        EXPECT_EQ(a.exclusiveClass, b.exclusiveClass) << where;
        EXPECT_EQ(a.scaleTuning, b.scaleTuning) << where;
        EXPECT_EQ(a.pan, b.pan) << where;
        EXPECT_EQ(a.parm.chorus, b.parm.chorus) << where;
        EXPECT_EQ(a.parm.reverb, b.parm.reverb) << where;
        own[kOwnFields[0]] += a.amplitude != b.amplitude;
        own[kOwnFields[1]] += a.attenuation != b.attenuation;
        own[kOwnFields[2]] += std::memcmp(&a.parm, &b.parm, offsetof(soundfont_voice_parm, chorus)) != 0;
        own[kOwnFields[3]] += mine[i].header.write_mode != reference[i].header.write_mode;
    }
}

class ReferenceLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kAsfxload))
            GTEST_SKIP() << "awesfx is not installed (scripts/bootstrap installs it)";
        ASSERT_TRUE(ChooseSynthBank(home.Path(), ""));
    }

    // asfxload with its bank 0 presets moved to `bank`, as a user bank holds them.
    HwdepLog Reference(const std::string& file, int bank)
    {
        return Record({"--hwdep=" + std::string(kDevice), "-b", std::to_string(bank), file},
                      dir.File("theirs.rec"), kAsfxload);
    }
    HwdepLog Ours(const std::vector<std::string>& args)
    {
        return Record(args, dir.File("ours.rec"), "", {{"TAMBERLY_CARD_HOME", home.Path()}});
    }
    void ReportOwn(const std::map<std::string, int>& own) const
    {
        for (const auto& [field, count] : own)
            std::printf("  differs on purpose: %s in %d voices\n", field.c_str(), count);
    }

    ScopedCardHome home;
    TempDir dir;
};

// Piano: two unlooped samples, which loop in the silence after them; Strings
// on keys 32..80: a looped sample with a loop of its own. (The bank's last
// sample is the looped one: where the silence after the last sample is
// looped in, the loaders differ, see TimGM6mbSendsWhatAsfxloadSends.)
SoundFontBuilder SmallBank(std::uint16_t version)
{
    constexpr std::uint16_t kSampleModes = 54;
    SoundFontBuilder bank;
    bank.Version(version).Info("INAM", "Reference").SampleData(6000);
    const int a = bank.AddSample(0, 400);
    const int b = bank.AddSample(446, 1200);
    const int c = bank.AddSample(1246, 2000);
    bank.AddPreset("Piano", 0, 0, {bank.AddInstrument("Piano", {a, b})});
    const int strings = bank.AddInstrumentZones(
        "Str",
        {{{kSfGenKeyRange, 0x7F00}, {kSampleModes, 1}, {kSfGenSampleId, static_cast<std::uint16_t>(c)}}});
    bank.AddPresetZones(
        "Strings", 48, 0,
        {{{kSfGenKeyRange, 0x5020}, {kSfGenInstrument, static_cast<std::uint16_t>(strings)}}});
    return bank;
}

TEST_F(ReferenceLoaderTest, SoundFont2BankFromTheBuildersSendsWhatAsfxloadSends)
{
    const std::string file = dir.Write("small.sf2", SmallBank(2).Build());
    const HwdepLog theirs = Reference(file, 3);
    const HwdepLog ours = Ours({"card", "load-bank", "3", file});
    ASSERT_EQ(std::vector<std::string>{kDevice}, ours.opened);
    std::map<std::string, int> own;
    for (const int program : {0, 48})
        CompareSlot(ours, 3, theirs, 3, program, own);
    EXPECT_EQ(theirs.Samples().size(), ours.Samples().size());
    ReportOwn(own);
}

TEST_F(ReferenceLoaderTest, SoundFont1BankFromTheBuildersSendsWhatAsfxloadSends)
{
    const std::string file = dir.Write("small.sbk", SmallBank(1).Build());
    const HwdepLog theirs = Reference(file, 2);
    const HwdepLog ours = Ours({"card", "load-bank", "2", file});
    std::map<std::string, int> own;
    // A version 1 loop ends where the program's SoundFont 1 rules end it (and
    // where the emulated card plays it); asfxload loops two points further,
    // into the silence after the sample.
    for (const int program : {0, 48})
        CompareSlot(ours, 2, theirs, 2, program, own, 2);
    ReportOwn(own);
}

TEST_F(ReferenceLoaderTest, TimGM6mbSendsWhatAsfxloadSends)
{
    if (!std::filesystem::exists(kTimGM6mb))
        GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    const HwdepLog theirs = Reference(kTimGM6mb, 1);
    const HwdepLog ours = Ours({"card", "load-bank", "1", kTimGM6mb});
    std::map<std::string, int> own;
    for (int program = 0; program < 128; ++program)
        CompareSlot(ours, 1, theirs, 1, program, own);
    // Every sample the library sends is one asfxload sends, point for point,
    // but for the silence after the bank's last sample: asfxload sends 48
    // points there, reading past the bank's sample data into what follows it
    // in the file (and loops in the last 32 of them); the library stops at
    // the end of the data.
    const auto theirSamples = theirs.Samples();
    int last = -1;
    for (const auto& [id, sample] : ours.Samples())
        if (last < 0 || sample.info.start > ours.Samples().at(last).info.start)
            last = id;
    for (const auto& [id, sample] : ours.Samples())
    {
        ASSERT_TRUE(theirSamples.contains(id)) << "sample " << id;
        const auto& reference = theirSamples.at(id);
        if (id == last)
            EXPECT_LE(sample.data.size(), reference.data.size());
        else
            EXPECT_EQ(reference.data.size(), sample.data.size()) << "sample " << id;
        const std::size_t common = std::min(reference.data.size(), sample.data.size());
        EXPECT_TRUE(std::equal(sample.data.begin(), sample.data.begin() + static_cast<std::ptrdiff_t>(common),
                               reference.data.begin()))
            << "sample " << id;
        EXPECT_EQ(reference.info.loopstart - reference.info.start, sample.info.loopstart - sample.info.start)
            << id;
        EXPECT_EQ(reference.info.loopend - reference.info.start, sample.info.loopend - sample.info.start)
            << id;
    }
    ReportOwn(own);
}

TEST_F(ReferenceLoaderTest, OpeningADocumentSendsWhatAsfxloadSendsForItsPresets)
{
    if (!std::filesystem::exists(kTimGM6mb))
        GTEST_SKIP() << "timgm6mb-soundfont is not installed";
    // Piano and Strings of TimGM6mb on their own numbers in bank 1.
    const std::string document = dir.Write("two.tmb", ArchiveBuilder()
                                                          .Header(1, 0, 4, 2)
                                                          .Count(2)
                                                          .NewClass("CPatchItem")
                                                          .PatchData("Piano", kTimGM6mb, 0, 0, 1)
                                                          .Word(0x8001)
                                                          .PatchData("Strings", kTimGM6mb, 48, 48, 1)
                                                          .String("")
                                                          .Get());
    const HwdepLog theirs = Reference(kTimGM6mb, 1);
    const HwdepLog ours = Ours({"tmb", "load", document});
    EXPECT_EQ(2u, ours.Patches(SNDRV_SFNT_OPEN_PATCH).size()) << "one font for each preset";
    std::map<std::string, int> own;
    for (const int program : {0, 48})
        CompareSlot(ours, 1, theirs, 1, program, own);
    for (const auto& voice : ours.Voices())
        EXPECT_TRUE(voice.header.bank == 1 && (voice.header.instr == 0 || voice.header.instr == 48));
    ReportOwn(own);
}
} // namespace
