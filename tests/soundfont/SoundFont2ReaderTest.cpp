// Version 2 and 3 banks: the layout chosen by "ifil", the sizes the card
// holds, and the real Debian banks checked against a reader of their own.

#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

namespace
{
constexpr const char* kTimGM = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr const char* kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

// Counts what the reader reads, to tell a listing from a read of the samples.
class CCountingSource final : public IByteSource
{
public:
    explicit CCountingSource(std::unique_ptr<IByteSource> inner, std::uint64_t* read)
        : inner(std::move(inner)), read(read)
    {
    }
    std::size_t Read(void* buffer, std::size_t size) override
    {
        const std::size_t n = inner->Read(buffer, size);
        *read += n;
        return n;
    }
    bool Seek(std::uint64_t position) override { return inner->Seek(position); }
    std::uint64_t Tell() const override { return inner->Tell(); }
    std::uint64_t Size() const override { return inner->Size(); }

private:
    std::unique_ptr<IByteSource> inner;
    std::uint64_t* read;
};

bool OpenBytes(CSoundFontReader& reader, const Bytes& bytes)
{
    return reader.Open(std::make_unique<CMemorySource>(bytes));
}

// Version 2: sample 0 is 100 points, 1 is 200, 2 sits in ROM, 3 ends past the data.
SoundFontBuilder Version2Bank()
{
    SoundFontBuilder bank;
    bank.Version(2, 1)
        .Info("INAM", "Two")
        .Info("isng", "EMU8000")
        .Info("irom", "1MGM")
        .Info("ISFT", "Tests:");
    bank.Insert("INFO", "iver", {1, 0, 2, 0});
    bank.SampleData(1000); // 500 points
    const int s0 = bank.AddSample(0, 100);
    const int s1 = bank.AddSample(100, 300);
    const int rom = bank.AddSample(0, 4000);
    const int past = bank.AddSample(400, 501);
    bank.SampleType(rom, 0x8001);
    const int piano = bank.AddInstrument("Piano", {s0, s1});
    const int organ = bank.AddInstrument("Organ", {s1, rom, past});
    bank.AddPreset("Piano", 0, 0, {piano});
    bank.AddPreset("Both", 1, 8, {piano, organ});
    bank.AddPreset("Organ", 2, 0, {organ});
    return bank;
}

// The "phdr" rows of a SoundFont file, read here without the program's
// reader: name, program and bank of every record but the last.
struct PresetRow
{
    std::string name;
    int number = 0;
    int bank = 0;
    bool operator==(const PresetRow&) const = default;
};

std::vector<PresetRow> IndependentPresetRows(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const auto u32 = [&](std::uint32_t& value)
    {
        unsigned char b[4];
        in.read(reinterpret_cast<char*>(b), 4);
        value = b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24;
        return bool(in);
    };
    char id[5] = {};
    std::uint32_t size = 0;
    in.read(id, 4);
    u32(size);
    in.read(id, 4); // sfbk
    std::vector<PresetRow> rows;
    while (in.read(id, 4) && u32(size))
    {
        char type[5] = {};
        in.read(type, 4);
        if (std::string(type) != "pdta")
        {
            in.seekg(size - 4 + (size & 1), std::ios::cur);
            continue;
        }
        std::uint32_t chunkSize = 0;
        while (in.read(id, 4) && u32(chunkSize))
        {
            if (std::string(id) != "phdr")
            {
                in.seekg(chunkSize + (chunkSize & 1), std::ios::cur);
                continue;
            }
            std::vector<unsigned char> data(chunkSize);
            in.read(reinterpret_cast<char*>(data.data()), chunkSize);
            for (std::size_t at = 0; at + 2 * 38 <= data.size(); at += 38)
            {
                const char* name = reinterpret_cast<const char*>(&data[at]);
                rows.push_back({std::string(name, strnlen(name, 20)), data[at + 20] | data[at + 21] << 8,
                                data[at + 22] | data[at + 23] << 8});
            }
            return rows;
        }
    }
    return rows;
}

bool Installed(const char* path)
{
    return ::access(path, R_OK) == 0;
}
} // namespace

TEST(SoundFont2Reader, TheVersionChunkChoosesTheSampleLayout)
{
    CSoundFontReader reader;
    ASSERT_TRUE(OpenBytes(reader, Version2Bank().Build()));
    EXPECT_EQ(reader.GetVersion(), (std::pair{2, 1}));
    EXPECT_EQ(reader.GetVersionText(), "2.01");
    ASSERT_EQ(reader.GetPresetCount(), 3);
    EXPECT_EQ(reader.GetSampleRecordCount(), 4); // the terminal record is no sample
    EXPECT_EQ(reader.GetInstrumentCount(), 2);
    EXPECT_EQ(reader.GetInstrumentName(1), "Organ");
    const SampleRecord second = reader.GetSampleRecord(1);
    EXPECT_EQ(std::string(second.name.data()), "Sample 1");
    EXPECT_EQ(second.start, 100u);
    EXPECT_EQ(second.end, 300u);
    EXPECT_EQ(second.sampleRate, 44100u);
    EXPECT_EQ(second.originalPitch, 60);

    // Two bytes a point; a ROM sample takes no memory, one past the data none either.
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 600);
    EXPECT_EQ(reader.GetSampleCount(1, -1), 5);
    EXPECT_EQ(reader.GetPresetSampleBytes(1), 600 + 400);
    EXPECT_EQ(reader.GetInstrumentSampleBytes(1, 1), 400);
    EXPECT_EQ(reader.GetPresetSampleBytes(2), 400);
    // The bank holds each sample once, whatever uses it.
    EXPECT_EQ(reader.GetBankSampleBytes(), 600);
    EXPECT_TRUE(reader.BankSamplesDecode());

    // The same records read as version 1 would be other numbers entirely:
    // the version, not the name, decides.
    CSoundFontReader asVersion1;
    ASSERT_TRUE(OpenBytes(asVersion1, Version2Bank().Version(1, 0).Build()));
    EXPECT_EQ(asVersion1.GetVersion(), (std::pair{1, 0}));
    EXPECT_EQ(asVersion1.GetBankSampleBytes(), 1000);
}

TEST(SoundFont2Reader, ReadsTheLaterInfoTextsAndForgetsThem)
{
    CSoundFontReader reader;
    ASSERT_TRUE(OpenBytes(reader, Version2Bank().Build()));
    EXPECT_EQ(reader.name, "Two");
    EXPECT_EQ(reader.soundEngine, "EMU8000");
    EXPECT_EQ(reader.romName, "1MGM");
    EXPECT_EQ(reader.romVersion, "1.02");
    EXPECT_EQ(reader.software, "Tests:");
    ASSERT_TRUE(OpenBytes(reader, SoundFontBuilder().Version(2, 4).Build()));
    EXPECT_EQ(reader.soundEngine, "");
    EXPECT_EQ(reader.romVersion, "");
    EXPECT_EQ(reader.GetPresetCount(), 0);
}

TEST(SoundFont2Reader, RefusesVersionsItDoesNotKnowAndDamagedRecords)
{
    CSoundFontReader reader;
    for (const std::uint16_t major : {0, 4, 0xFFFF})
    {
        EXPECT_FALSE(OpenBytes(reader, Version2Bank().Version(major, 0).Build())) << major;
        EXPECT_EQ(reader.GetOpenProblem(), CSoundFontReader::OpenProblem::BadVersion);
        EXPECT_EQ(reader.GetPresetCount(), -1);
        EXPECT_FALSE(reader.IsOpen());
    }
    EXPECT_EQ(reader.GetOpenProblemText(), "not a SoundFont bank (version 65535.00)");

    // An "ifil" cut short is no version: the bank is read as version 1 was.
    EXPECT_TRUE(OpenBytes(reader, Version2Bank().Replace("ifil", {2, 0}).Build()));
    EXPECT_EQ(reader.GetMajorVersion(), 1);

    // A sample record cut in half, sample indices past the records, an end
    // before its start: counted as nothing, never read past.
    SoundFontBuilder cut = Version2Bank();
    Bytes shdr = cut.Records("shdr");
    shdr.resize(46 + 23);
    ASSERT_TRUE(OpenBytes(reader, cut.Replace("shdr", shdr).Build()));
    EXPECT_EQ(reader.GetSampleRecordCount(), 0);
    EXPECT_EQ(reader.GetPresetSampleBytes(1), 0);
    EXPECT_EQ(reader.GetSampleRecord(1).end, 0u);
    EXPECT_EQ(reader.GetSampleCardBytes(-1), 0);

    ASSERT_TRUE(OpenBytes(reader, Version2Bank().Poke32("shdr", 46 + 24, 50).Build()));
    EXPECT_EQ(reader.GetSampleCardBytes(1), 0);
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 200);
}

TEST(SoundFont2Reader, CompressedSamplesCountNothingWithoutADecoder)
{
    SoundFontBuilder bank = Version2Bank().Version(3, 1);
    bank.SampleType(0, 0x11);
    CSoundFontReader reader;
    reader.SetSampleDecoder(nullptr);
    ASSERT_TRUE(OpenBytes(reader, bank.Build()));
    EXPECT_EQ(reader.GetSampleCardBytes(0), 0);
    EXPECT_EQ(reader.GetSampleCardBytes(1), 400); // not compressed: as in version 2
    EXPECT_FALSE(reader.PresetSamplesDecode(0));
    EXPECT_TRUE(reader.PresetSamplesDecode(2));
}

TEST(SoundFont2Reader, ListsTheRealBanksAsTheirOwnPresetRecordsSay)
{
    for (const char* path : {kTimGM, kFluidR3})
    {
        if (!Installed(path))
            GTEST_SKIP() << path << " is not installed (scripts/bootstrap installs it)";
        SCOPED_TRACE(path);
        const std::vector<PresetRow> expected = IndependentPresetRows(path);
        ASSERT_GT(expected.size(), 100u);

        std::uint64_t read = 0;
        auto file = std::make_unique<CFileSource>();
        ASSERT_TRUE(file->Open(path));
        const std::uint64_t fileSize = file->Size();
        CSoundFontReader reader;
        ASSERT_TRUE(reader.Open(std::make_unique<CCountingSource>(std::move(file), &read)));
        EXPECT_EQ(reader.GetMajorVersion(), 2);
        std::vector<PresetRow> rows;
        std::int64_t largest = 0;
        for (int p = 0; p < reader.GetPresetCount(); ++p)
        {
            const PresetHeader header = reader.GetPresetHeader(p);
            rows.push_back({std::string(header.name.data(), strnlen(header.name.data(), 20)),
                            header.presetNumber, header.bank});
            EXPECT_GT(reader.GetSampleCount(p, -1), 0) << rows.back().name;
            const std::int64_t bytes = reader.GetPresetSampleBytes(p);
            EXPECT_GT(bytes, 0) << rows.back().name;
            largest = std::max(largest, bytes);
        }
        EXPECT_EQ(rows, expected);
        // Sizes are of the samples really used; together at most the data.
        EXPECT_LE(largest, reader.GetBankSampleBytes());
        EXPECT_LE(reader.GetBankSampleBytes(), std::int64_t{reader.SampleDataSize()});
        EXPECT_GT(reader.GetBankSampleBytes(), std::int64_t{reader.SampleDataSize()} / 2);
        // Listing read the preset data, not the samples.
        EXPECT_LT(read, fileSize / 10);
    }
}

TEST(SoundFont2Reader, ASparseBankOf4GBIsListedWithoutReadingItsSamples)
{
    char path[] = "/tmp/tamberly-sparse-XXXXXX.sf2";
    const int fd = ::mkstemps(path, 4);
    ASSERT_GE(fd, 0);
    ::close(fd);
    SoundFontBuilder bank;
    bank.Version(2, 1).SampleData(0xFFF00000u);
    const int last = bank.AddSample(0x7FF80000u - 1000, 0x7FF80000u - 10);
    bank.AddPreset("Far", 3, 0, {bank.AddInstrument("Far", {last})});
    bank.WriteFile(path, SoundFontBuilder::SampleFill::Hole);

    std::uint64_t read = 0;
    auto file = std::make_unique<CFileSource>();
    ASSERT_TRUE(file->Open(path));
    CSoundFontReader reader;
    ASSERT_TRUE(reader.Open(std::make_unique<CCountingSource>(std::move(file), &read)));
    EXPECT_EQ(reader.SampleDataSize(), 0xFFF00000u);
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 2 * 990);
    EXPECT_LT(read, 64u * 1024);
    std::remove(path);
}
