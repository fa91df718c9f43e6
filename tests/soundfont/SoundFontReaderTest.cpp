#include "soundfont/SoundFontReader.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace
{
using Problem = CSoundFontReader::OpenProblem;

// Opens a reader over a copy of the bytes, kept alive with the reader.
class MemoryReader : public CSoundFontReader
{
public:
    bool OpenBytes(const Bytes& file)
    {
        bytes = std::make_shared<Bytes>(file);
        return Open(std::make_unique<CMemorySource>(*bytes));
    }

private:
    std::shared_ptr<Bytes> bytes;
};

// Three samples, three instruments (two sharing sample 1), four presets:
//   0 "Grand Piano  " #0 bank 0   -> Piano named twice
//   1 "Pad"           #5 bank 0   -> Piano, Strings
//   2 "Kit"           #0 bank 128 -> Kit
//   3 "Pad Alt"       #5 bank 1   -> Strings
SoundFontBuilder StandardBank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Test Bank").Info("IENG", "An Engineer").Info("ICRD", "1996-05-01");
    bank.Info("ICOP", "(c) nobody").Info("ICMT", "Two\nlines").Info("IPRD", "AWE32");
    bank.SampleData(2000);
    const int s0 = bank.AddSample(0, 100);
    const int s1 = bank.AddSample(100, 300);
    const int s2 = bank.AddSample(300, 350);
    const int piano = bank.AddInstrument("Piano", {s0, s1});
    const int strings = bank.AddInstrument("Strings", {s1, s2, s1});
    const int kit = bank.AddInstrument("Kit", {s2});
    bank.AddPreset("Grand Piano  ", 0, 0, {piano, piano});
    bank.AddPreset("Pad", 5, 0, {piano, strings});
    bank.AddPreset("Kit", 0, 128, {kit});
    bank.AddPreset("Pad Alt", 5, 1, {strings});
    return bank;
}

std::string Name(const PresetHeader& header)
{
    return std::string(header.name.data(), header.name.size());
}

// Answers that must agree however the file looks: the collections stay
// within their room and the totals equal the sums of their parts.
void ExpectConsistent(const CSoundFontReader& reader)
{
    CSoundFontReader::IndexList instruments, samples;
    for (int p = -1; p <= reader.GetPresetCount() + 1; ++p)
    {
        const int count = reader.GetPresetInstruments(p, instruments);
        ASSERT_GE(count, 0);
        ASSERT_LE(count, 128);
        int sampleSum = 0;
        std::int64_t byteSum = 0;
        for (int k = 0; k < count; ++k)
        {
            const int n = reader.GetInstrumentSamples(instruments[static_cast<std::size_t>(k)], samples);
            ASSERT_LE(n, 128);
            EXPECT_EQ(reader.GetSampleCount(p, k), n);
            sampleSum += n;
            const std::int64_t bytes = reader.GetInstrumentSampleBytes(p, k);
            EXPECT_GE(bytes, 0);
            byteSum += bytes;
        }
        EXPECT_EQ(reader.GetSampleCount(p, -1), sampleSum);
        EXPECT_EQ(reader.GetPresetSampleBytes(p), byteSum);
    }
}
} // namespace

TEST(SoundFontReader, ReadsPresetsOfAWellFormedBank)
{
    MemoryReader reader;
    ASSERT_TRUE(reader.OpenBytes(StandardBank().Build()));
    EXPECT_TRUE(reader.IsValid());
    EXPECT_EQ(reader.GetOpenProblem(), Problem::None);
    ASSERT_EQ(reader.GetPresetCount(), 4);
    EXPECT_EQ(reader.SampleDataSize(), 2000u);

    const PresetHeader pad = reader.GetPresetHeader(3);
    EXPECT_EQ(Name(pad), std::string("Pad Alt") + std::string(13, '\0'));
    EXPECT_EQ(pad.presetNumber, 5);
    EXPECT_EQ(pad.bank, 1);
    EXPECT_EQ(pad.bagIndex, 5); // zones: 2 + 2 + 1 before it
    EXPECT_EQ(reader.GetPresetHeader(2).bank, 128);

    // The first preset of a number in file order, whatever its bank.
    EXPECT_EQ(reader.FindPreset(5), 1);
    EXPECT_EQ(reader.FindPreset(0), 0);
    EXPECT_EQ(reader.FindPreset(7), -1);

    CSoundFontReader::IndexList list;
    // An instrument two zones name is counted once.
    EXPECT_EQ(reader.GetPresetInstruments(0, list), 1);
    EXPECT_EQ(list, CSoundFontReader::IndexList({0}));
    EXPECT_EQ(reader.GetPresetInstruments(1, list), 2);
    EXPECT_EQ(list, CSoundFontReader::IndexList({0, 1}));
    // Distinct samples in order of first appearance.
    EXPECT_EQ(reader.GetInstrumentSamples(1, list), 2);
    EXPECT_EQ(list, CSoundFontReader::IndexList({1, 2}));

    EXPECT_EQ(reader.GetSampleCount(0, -1), 2);
    EXPECT_EQ(reader.GetSampleCount(0, 0), 2);
    // Sample 1 belongs to both instruments of preset 1 and counts twice, in number and bytes.
    EXPECT_EQ(reader.GetSampleCount(1, -1), 4);
    EXPECT_EQ(reader.GetSampleCount(1, 1), 2);
    EXPECT_EQ(reader.GetSampleCount(1, 2), 0);
    EXPECT_EQ(reader.GetInstrumentSampleBytes(1, 0), 2 * (100 + 200));
    EXPECT_EQ(reader.GetInstrumentSampleBytes(1, 1), 2 * (200 + 50));
    EXPECT_EQ(reader.GetPresetSampleBytes(1), 2 * (100 + 200 + 200 + 50));
    EXPECT_EQ(reader.GetPresetSampleBytes(2), 100);
    ExpectConsistent(reader);
}

TEST(SoundFontReader, ReadsInfoTextsAndResetsThemOnEveryOpen)
{
    MemoryReader reader;
    ASSERT_TRUE(reader.OpenBytes(StandardBank().Build()));
    EXPECT_EQ(reader.name, "Test Bank");
    EXPECT_EQ(reader.engineer, "An Engineer");
    EXPECT_EQ(reader.creationDate, "1996-05-01");
    EXPECT_EQ(reader.copyright, "(c) nobody");
    EXPECT_EQ(reader.comment, "Two\nlines");
    EXPECT_EQ(reader.product, "AWE32");

    // A text without a zero byte is taken up to its chunk's end (odd length:
    // the pad byte after it is not part of it); one with a zero byte ends there.
    SoundFontBuilder other = StandardBank();
    other.Replace("INAM", {'A', 'b', 'c'}).Replace("ICMT", {'x', 0, 'y', 'z'}).Drop("IENG");
    ASSERT_TRUE(reader.OpenBytes(other.Build()));
    EXPECT_EQ(reader.name, "Abc");
    EXPECT_EQ(reader.comment, "x");
    EXPECT_EQ(reader.engineer, "");
    EXPECT_EQ(reader.product, "AWE32");

    // A bank without INAM empties the name of the file before; so does a file that does not open.
    ASSERT_TRUE(reader.OpenBytes(StandardBank().Drop("INAM").Build()));
    EXPECT_EQ(reader.name, "");
    EXPECT_EQ(reader.copyright, "(c) nobody");
    EXPECT_FALSE(reader.Open("/nonexistent/bank.sbk"));
    for (const std::string* text : {&reader.name, &reader.engineer, &reader.creationDate, &reader.copyright,
                                    &reader.comment, &reader.product})
        EXPECT_EQ(*text, "");

    // No INFO list at all: presets still read, texts empty.
    ASSERT_TRUE(reader.OpenBytes(StandardBank().Drop("INFO").Build()));
    EXPECT_EQ(reader.GetPresetCount(), 4);
    EXPECT_EQ(reader.product, "");
}

TEST(SoundFontReader, SampleBytesCompareTheEndWithTheDataSizeAsTheyStand)
{
    SoundFontBuilder bank;
    bank.SampleData(600);
    const int inside = bank.AddSample(0, 250);     // 500 bytes, end 250 < 600
    const int atEnd = bank.AddSample(300, 600);    // end 600 is not below 600
    const int beyond = bank.AddSample(350, 599);   // 498 bytes past the data, but 599 < 600
    const int backwards = bank.AddSample(500, 10); // end before start
    bank.AddPreset("P", 0, 0, {bank.AddInstrument("I", {inside, atEnd, beyond, backwards})});

    MemoryReader reader;
    ASSERT_TRUE(reader.OpenBytes(bank.Build()));
    EXPECT_EQ(reader.GetSampleCount(0, -1), 4);
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 2 * 250 + 2 * 249);

    // Without sample data every size is 0, the counts stay.
    ASSERT_TRUE(reader.OpenBytes(SoundFontBuilder(bank).Drop("smpl").Build()));
    EXPECT_EQ(reader.SampleDataSize(), 0u);
    EXPECT_EQ(reader.GetSampleCount(0, -1), 4);
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 0);

    // A smpl chunk claiming more than its list holds counts only the data
    // that is there (here the preset data comes first, so it can still be found).
    RiffBuilder riff;
    riff.Begin("RIFF", "sfbk").Begin("LIST", "pdta");
    for (const char* id : {"phdr", "pbag", "pgen", "inst", "ibag", "igen", "shdr"})
        riff.Chunk(id, bank.Records(id));
    riff.End().Begin("LIST", "sdta").Chunk("smpl", Bytes(300, 0), 600);
    ASSERT_TRUE(reader.OpenBytes(riff.Finish()));
    EXPECT_EQ(reader.SampleDataSize(), 300u);
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 2 * 250);
}

TEST(SoundFontReader, PresetCountComesFromWholeRecords)
{
    MemoryReader reader;
    SoundFontBuilder empty;
    ASSERT_TRUE(reader.OpenBytes(empty.Build()));
    EXPECT_EQ(reader.GetPresetCount(), 0); // the closing record alone

    Bytes phdr = StandardBank().Records("phdr");
    ASSERT_EQ(phdr.size(), 5 * 38u);
    phdr.resize(phdr.size() - 1); // odd size, last record cut
    ASSERT_TRUE(reader.OpenBytes(StandardBank().Replace("phdr", phdr).Build()));
    EXPECT_EQ(reader.GetPresetCount(), 3);
    EXPECT_EQ(reader.GetSampleCount(2, -1), 1); // record 3 still closes preset 2
    EXPECT_EQ(reader.GetSampleCount(3, -1), 0);

    // Shorter than one record, or empty: no presets; an empty chunk is still there.
    for (const Bytes& shortChunk : {Bytes(37, 0), Bytes{}})
    {
        ASSERT_TRUE(reader.OpenBytes(StandardBank().Replace("phdr", shortChunk).Build()));
        EXPECT_EQ(reader.GetPresetCount(), -1);
        EXPECT_EQ(reader.FindPreset(0), -1);
        EXPECT_EQ(reader.GetPresetHeader(0).bank, 0);
        ExpectConsistent(reader);
    }
}

TEST(SoundFontReader, MissingPresetDataFailsAndLeavesNothing)
{
    for (const char* id : {"phdr", "pbag", "pgen", "inst", "ibag", "igen", "shdr"})
    {
        SCOPED_TRACE(id);
        MemoryReader reader;
        ASSERT_TRUE(reader.OpenBytes(StandardBank().Build()));
        EXPECT_FALSE(reader.OpenBytes(StandardBank().Drop(id).Build()));
        EXPECT_FALSE(reader.IsValid());
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_EQ(reader.GetOpenProblem(), Problem::MissingChunk);
        EXPECT_EQ(reader.GetProblemChunk(), MakeFourCC(id));
        EXPECT_EQ(reader.GetOpenProblemText(),
                  "not a SoundFont bank (no \"" + std::string(id) + "\" chunk in the \"pdta\" list)");
        // Nothing of the earlier bank, nor of the chunks this one had, is left.
        EXPECT_EQ(reader.GetPresetCount(), -1);
        EXPECT_EQ(reader.SampleDataSize(), 0u);
        EXPECT_EQ(reader.GetSampleCount(0, -1), 0);
        EXPECT_EQ(reader.GetPresetHeader(0).presetNumber, 0);
        // The INFO texts of the file are still read.
        EXPECT_EQ(reader.name, "Test Bank");
    }

    MemoryReader reader;
    EXPECT_FALSE(reader.OpenBytes(StandardBank().Drop("pdta").Build()));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::NoList);
    EXPECT_EQ(reader.GetProblemChunk(), MakeFourCC("pdta"));
    EXPECT_EQ(reader.GetOpenProblemText(), "not a SoundFont bank (no \"pdta\" list)");
    EXPECT_FALSE(reader.OpenBytes(StandardBank().FormType("sfbK").Build()));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::NoSfbkForm);
    EXPECT_EQ(reader.GetOpenProblemText(), "not a SoundFont bank (no RIFF \"sfbk\" form)");
    EXPECT_FALSE(reader.OpenBytes({}));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::NoSfbkForm);
    EXPECT_FALSE(reader.Open(std::unique_ptr<IByteSource>()));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::CannotOpen);
    EXPECT_EQ(reader.GetOpenProblemText(), "cannot be read");
}

TEST(SoundFontReader, FindsEachChunkAfreshFromTheStartOfTheFile)
{
    const SoundFontBuilder reference = StandardBank();
    MemoryReader reader;

    // Chunks in another order, unknown chunks of odd size between them, and a
    // second chunk of an id (the first counts).
    SoundFontBuilder shuffled = StandardBank();
    shuffled.Drop("phdr").Insert("pdta", "phdr", reference.Records("phdr"));
    shuffled.Insert("pdta", "xtra", {1, 2, 3}, true).Insert("pdta", "pbag", {}, false);
    shuffled.Insert("INFO", "INAM", TextZ("Second"));
    ASSERT_TRUE(reader.OpenBytes(shuffled.Build()));
    EXPECT_EQ(reader.GetPresetCount(), 4);
    EXPECT_EQ(reader.GetPresetSampleBytes(1), 1100);
    EXPECT_EQ(reader.name, "Test Bank");

    // A second pdta list is never looked at, nor a chunk of the list that lies outside it.
    Bytes file = StandardBank().Build();
    const Bytes second = RiffBuilder().Begin("LIST", "pdta").Chunk("phdr", Bytes(38 * 9, 0)).Finish();
    Bytes withSecond =
        RiffBuilder().Begin("RIFF", "sfbk").Raw(Bytes(file.begin() + 12, file.end())).Raw(second).Finish();
    ASSERT_TRUE(reader.OpenBytes(withSecond));
    EXPECT_EQ(reader.GetPresetCount(), 4);

    SoundFontBuilder outside = StandardBank();
    outside.Drop("shdr").Insert("sdta", "shdr", reference.Records("shdr"));
    EXPECT_FALSE(reader.OpenBytes(outside.Build()));

    // A form of another type before the bank is skipped.
    Bytes twoForms = RiffBuilder().Begin("RIFF", "WAVE").Chunk("data", {1, 2, 3}).Finish();
    twoForms.insert(twoForms.end(), file.begin(), file.end());
    ASSERT_TRUE(reader.OpenBytes(twoForms));
    EXPECT_EQ(reader.GetPresetCount(), 4);
}

TEST(SoundFontReader, TruncatedFilesNeverOpenAndNeverReadPastTheirEnd)
{
    const Bytes file = StandardBank().Build();
    MemoryReader reader;
    // The shdr chunk ends the file: every shorter prefix lacks part of the preset data.
    for (std::size_t cut = 0; cut < file.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        ASSERT_FALSE(reader.OpenBytes(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut))));
        ASSERT_EQ(reader.GetPresetCount(), -1);
        ASSERT_TRUE(reader.GetOpenProblem() == Problem::NoSfbkForm ||
                    reader.GetOpenProblem() == Problem::NoList ||
                    reader.GetOpenProblem() == Problem::MissingChunk ||
                    reader.GetOpenProblem() == Problem::TruncatedChunk);
    }
    EXPECT_TRUE(reader.OpenBytes(file));
}

TEST(SoundFontReader, SizesThatLie)
{
    MemoryReader reader;
    // A chunk claiming more than its list holds is not read.
    EXPECT_FALSE(reader.OpenBytes(StandardBank().ClaimSize("igen", 0x7FFFFFFF).Build()));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::TruncatedChunk);
    EXPECT_EQ(reader.GetProblemChunk(), MakeFourCC("igen"));
    EXPECT_EQ(reader.GetOpenProblemText(), "not a SoundFont bank (\"igen\" chunk cut short)");

    // ... also when the file goes on after the list: the list's end is the bound.
    Bytes file = StandardBank().Build();
    const std::string_view type = "pdta";
    const auto pdta = std::search(file.begin(), file.end(), type.begin(), type.end()) - file.begin();
    WriteLE32(file.data() + pdta - 4, ReadLE32(file.data() + pdta - 4) - 16);
    EXPECT_FALSE(reader.OpenBytes(file));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::TruncatedChunk);
    EXPECT_EQ(reader.GetProblemChunk(), MakeFourCC("shdr"));

    // A form or list claiming more than the file holds: what lies inside the file is still read.
    ASSERT_TRUE(
        reader.OpenBytes(StandardBank().ClaimSize("sfbk", 0xFFFFFFF0).ClaimSize("pdta", 0x10000000).Build()));
    EXPECT_EQ(reader.GetPresetSampleBytes(1), 1100);

    // A list claiming less than it holds hides the chunks after its end.
    EXPECT_FALSE(reader.OpenBytes(StandardBank().ClaimSize("pdta", 4 + 8 + 5 * 38).Build()));
    EXPECT_EQ(reader.GetProblemChunk(), MakeFourCC("pbag"));

    // sdta running past the file hides pdta behind it.
    EXPECT_FALSE(reader.OpenBytes(StandardBank().ClaimSize("sdta", 0x01000000).Build()));
    EXPECT_EQ(reader.GetOpenProblem(), Problem::NoList);
}

TEST(SoundFontReader, IndicesPastTheirChunksCountAsNothing)
{
    SoundFontBuilder bank = StandardBank();
    // Preset 1 names instrument 1 and one that does not exist; instrument 1
    // names sample 2 and one that does not exist.
    bank.AddPreset("Ghost", 9, 0, {1, 3, 999});
    bank.AddInstrumentZones("Ghost", {{{kSfGenSampleId, 2}, {kSfGenSampleId, 3}, {kSfGenSampleId, 0xFFFF}}});
    MemoryReader reader;
    ASSERT_TRUE(reader.OpenBytes(bank.Build()));
    CSoundFontReader::IndexList list;
    // Instrument 3 is the new one; the closing "EOI" record is now index 4.
    EXPECT_EQ(reader.GetPresetInstruments(4, list), 2);
    EXPECT_EQ(list, CSoundFontReader::IndexList({1, 3}));
    EXPECT_EQ(reader.GetInstrumentSamples(3, list), 1);
    EXPECT_EQ(reader.GetInstrumentSamples(4, list), 0); // the closing record has no successor
    EXPECT_EQ(reader.GetInstrumentSamples(5, list), 0);
    EXPECT_EQ(reader.GetSampleCount(4, -1), 3);
    EXPECT_EQ(reader.GetPresetSampleBytes(4), 500 + 100);

    // Bag and generator indices past their chunks, and ranges that end before they start.
    const auto corrupt = [&](const char* id, std::size_t offset, std::uint16_t value)
    {
        SCOPED_TRACE(std::string(id) + " @" + std::to_string(offset) + " = " + std::to_string(value));
        ASSERT_TRUE(reader.OpenBytes(StandardBank().Poke16(id, offset, value).Build()));
        ExpectConsistent(reader);
    };
    corrupt("phdr", 38 * 1 + 24, 0xFFFF); // preset 1 starts past pbag: preset 0 runs to the end, 1 is empty
    EXPECT_EQ(reader.GetSampleCount(0, -1), 2 + 2 + 1);
    EXPECT_EQ(reader.GetSampleCount(1, -1), 0);
    corrupt("phdr", 38 * 4 + 24, 60000); // the closing record points past pbag
    EXPECT_EQ(reader.GetSampleCount(3, -1), 2);
    corrupt("phdr", 38 * 2 + 24, 1); // preset 2 starts before preset 1
    EXPECT_EQ(reader.GetSampleCount(1, -1), 0);
    corrupt("pbag", 4 * 2, 0xFFF0); // preset 1's first bag points past pgen: preset 0 runs to pgen's end
    EXPECT_EQ(reader.GetSampleCount(0, -1), 2 + 2 + 1);
    EXPECT_EQ(reader.GetSampleCount(1, -1), 0);
    corrupt("pbag", 4 * 6, 0xFFF0); // the closing bag past pgen: cut at its end
    EXPECT_EQ(reader.GetSampleCount(3, -1), 2);
    corrupt("inst", 22 * 1 + 20, 0xFFFF);      // instrument 1 starts past ibag
    EXPECT_EQ(reader.GetSampleCount(1, 0), 3); // piano runs to ibag's end: samples 0, 1, 2
    corrupt("igen", 4 * 1 + 2, 7);             // a sample index past shdr
    EXPECT_EQ(reader.GetSampleCount(0, 0), 1);

    // The preset header of an index out of range is a zeroed record.
    ASSERT_TRUE(reader.OpenBytes(StandardBank().Build()));
    for (const int index : {-1, 4, 5, 1 << 30})
    {
        const PresetHeader header = reader.GetPresetHeader(index);
        EXPECT_EQ(Name(header), std::string(20, '\0'));
        EXPECT_EQ(header.bagIndex, 0);
    }
    EXPECT_EQ(reader.GetSampleCount(-5, -1), 0);
    EXPECT_EQ(reader.GetInstrumentSampleBytes(1, -2), 0);
    EXPECT_EQ(reader.GetInstrumentSamples(-1, list), 0);
}

TEST(SoundFontReader, CollectionsKeepTheFirst128Entries)
{
    SoundFontBuilder bank;
    bank.SampleData(100000);
    std::vector<int> samples, instruments;
    for (int i = 0; i < 130; ++i)
        samples.push_back(
            bank.AddSample(static_cast<std::uint32_t>(i * 10), static_cast<std::uint32_t>(i * 10 + 1)));
    std::reverse(samples.begin(), samples.end());
    const int big = bank.AddInstrument("Big", samples);
    for (int i = 0; i < 129; ++i)
        instruments.push_back(i == 0 ? big : bank.AddInstrument("Small", {0}));
    bank.AddPreset("Many", 0, 0, instruments);

    MemoryReader reader;
    ASSERT_TRUE(reader.OpenBytes(bank.Build()));
    CSoundFontReader::IndexList list;
    ASSERT_EQ(reader.GetInstrumentSamples(big, list), 128);
    EXPECT_EQ(list.front(), 129);
    EXPECT_EQ(list.back(), 2);
    ASSERT_EQ(reader.GetPresetInstruments(0, list), 128);
    EXPECT_EQ(list.back(), 127);
    EXPECT_EQ(reader.GetSampleCount(0, -1), 128 + 127);
    EXPECT_EQ(reader.GetPresetSampleBytes(0), 2 * (128 + 127));
}

TEST(SoundFontReader, DisplayNames)
{
    PresetHeader header;
    const std::string full = "Twenty Characters!!!";
    std::copy(full.begin(), full.end(), header.name.begin());
    EXPECT_EQ(CSoundFontReader::GetDisplayName(header), full); // no zero byte at all

    header.name = {};
    const std::string padded = "Strings \t \0rest";
    std::copy(padded.begin(), padded.end(), header.name.begin());
    EXPECT_EQ(CSoundFontReader::GetDisplayName(header), "Strings");
    header.name = {};
    EXPECT_EQ(CSoundFontReader::GetDisplayName(header), "");

    header.bank = 128;
    header.presetNumber = 0;
    EXPECT_EQ(CSoundFontReader::GetDisplayName(header), "Drum Patch 1");
    header.presetNumber = 127;
    EXPECT_EQ(CSoundFontReader::GetDisplayName(header), "Drum Patch 128");
    header.bank = 127;
    EXPECT_EQ(CSoundFontReader::GetDisplayName(header), "");
}

TEST(SoundFontReader, OpensFilesAndRefusesFoldersPipesAndMissingPaths)
{
    TempDir dir;
    CSoundFontReader reader;
    const std::string path = dir.File("bank.sbk");
    StandardBank().WriteFile(path);
    EXPECT_EQ(ReadFileBytes(path), StandardBank().Build());

    ASSERT_TRUE(reader.Open(path));
    EXPECT_TRUE(reader.IsOpen());
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
    // What was read stays after the file is closed.
    EXPECT_EQ(reader.GetPresetSampleBytes(1), 1100);
    EXPECT_EQ(CSoundFontReader::GetDisplayName(reader.GetPresetHeader(0)), "Grand Piano");
    EXPECT_EQ(CSoundFontReader::GetDisplayName(reader.GetPresetHeader(2)), "Drum Patch 1");

    // A named pipe (a document may name anything) is no file either, and
    // opening it must not wait for a writer that never comes.
    const std::string fifo = dir.File("pipe.sbk");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto opened = std::async(std::launch::async,
                             [&]
                             {
                                 CSoundFontReader other;
                                 return other.Open(fifo);
                             });
    if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
    {
        // Release the blocked open so the test can end.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        opened.wait();
        ::close(writer);
        FAIL() << "opening a named pipe waited for a writer";
    }
    EXPECT_FALSE(opened.get());

    for (const std::string& bad : {dir.Path(), dir.File("missing.sbk"), fifo})
    {
        EXPECT_FALSE(reader.Open(bad));
        EXPECT_EQ(reader.GetOpenProblem(), Problem::CannotOpen);
        EXPECT_EQ(reader.GetPresetCount(), -1);
    }
}

TEST(SoundFontReader, DamagedBytesNeverBreakTheAnswers)
{
    // Every byte of the preset data replaced by a few values: whatever opens
    // must answer within bounds (the sanitizers watch the reads).
    const Bytes file = StandardBank().Build();
    const std::string_view type = "pdta";
    const std::size_t pdta = static_cast<std::size_t>(
        std::search(file.begin(), file.end(), type.begin(), type.end()) - file.begin());
    ASSERT_LT(pdta, file.size());
    int opened = 0, tried = 0;
    for (std::size_t at = pdta; at < file.size(); ++at)
        for (const std::uint8_t value : {0x00, 0x07, 0x80, 0xFF})
        {
            Bytes damaged = file;
            damaged[at] = value;
            ++tried;
            MemoryReader reader;
            if (!reader.OpenBytes(damaged))
                continue;
            ++opened;
            ExpectConsistent(reader);
            if (HasFatalFailure())
                return;
        }
    EXPECT_GT(opened, tried / 2); // most damage leaves the chunk structure whole
}
