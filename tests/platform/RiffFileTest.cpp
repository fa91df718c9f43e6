#include "platform/RiffFile.h"
#include "platform/AtomicFile.h"
#include "platform/StringTable.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>

namespace
{
CRiffChunk Key(std::string_view id, std::string_view type = "\0\0\0\0")
{
    CRiffChunk ck;
    ck.ckid = MakeFourCC(id);
    ck.fccType = MakeFourCC(type);
    return ck;
}

Bytes SampleFile()
{
    return RiffBuilder()
        .Begin("RIFF", "test")
        .Chunk("odd ", {1, 2, 3})
        .Begin("LIST", "abcd")
        .Chunk("in1 ", {9, 9})
        .End()
        .Chunk("aftr", {7, 7, 7, 7})
        .Finish();
}
} // namespace

TEST(RiffReader, FindsFormListAndChunksSkippingPadBytes)
{
    const Bytes file = SampleFile();
    CMemorySource source(file);
    CRiffReader reader(source);

    CRiffChunk riff = Key("RIFF", "test");
    ASSERT_TRUE(reader.Descend(riff, nullptr, CRiffReader::Find::Riff));
    EXPECT_EQ(riff.cksize, file.size() - 8);
    EXPECT_EQ(reader.Tell(), 12u);

    CRiffChunk list = Key("LIST", "abcd");
    ASSERT_TRUE(reader.Descend(list, &riff, CRiffReader::Find::List));
    CRiffChunk inner = Key("in1 ");
    ASSERT_TRUE(reader.Descend(inner, &list, CRiffReader::Find::Chunk));
    std::uint8_t data[2] = {};
    ASSERT_TRUE(reader.ReadExact(data, 2));
    EXPECT_EQ(data[0], 9);

    // A search inside the list stops at its end: the chunk after it is not found there.
    ASSERT_TRUE(reader.Seek(list.dataOffset + 4));
    CRiffChunk after = Key("aftr");
    EXPECT_FALSE(reader.Descend(after, &list, CRiffReader::Find::Chunk));
    // ... but a search inside the form finds it after skipping the odd chunk's pad byte.
    ASSERT_TRUE(reader.Seek(12));
    ASSERT_TRUE(reader.Descend(after, &riff, CRiffReader::Find::Chunk));
    EXPECT_EQ(after.cksize, 4u);
    EXPECT_TRUE(reader.Ascend(after));
    EXPECT_EQ(reader.Tell(), file.size());
}

TEST(RiffReader, WrongFormTypeOrMissingChunkFails)
{
    const Bytes file = SampleFile();
    CMemorySource source(file);
    CRiffReader reader(source);
    CRiffChunk riff = Key("RIFF", "sfbk");
    EXPECT_FALSE(reader.Descend(riff, nullptr, CRiffReader::Find::Riff));

    ASSERT_TRUE(reader.Seek(0));
    riff = Key("RIFF", "test");
    ASSERT_TRUE(reader.Descend(riff, nullptr, CRiffReader::Find::Riff));
    CRiffChunk list = Key("LIST", "zzzz");
    EXPECT_FALSE(reader.Descend(list, &riff, CRiffReader::Find::List));
}

TEST(RiffReader, SizesThatLieNeverReachPastParentOrFile)
{
    // The inner chunk claims far more than its list holds, and the form claims more than the file.
    Bytes file = RiffBuilder()
                     .Begin("RIFF", "test")
                     .Begin("LIST", "abcd")
                     .Chunk("big ", {1, 2, 3, 4}, 0x7FFFFFF0u)
                     .Chunk("next", {5, 6})
                     .End()
                     .Finish();
    file[4] = 0xFF; // RIFF size far beyond the file
    file[5] = 0xFF;
    CMemorySource source(file);
    CRiffReader reader(source);
    CRiffChunk riff = Key("RIFF", "test");
    ASSERT_TRUE(reader.Descend(riff, nullptr, CRiffReader::Find::Riff));
    EXPECT_FALSE(riff.IsWhole());
    EXPECT_EQ(riff.limit, file.size());

    CRiffChunk list = Key("LIST", "abcd");
    ASSERT_TRUE(reader.Descend(list, &riff, CRiffReader::Find::List));
    CRiffChunk big = Key("big ");
    ASSERT_TRUE(reader.Descend(big, &list, CRiffReader::Find::Chunk));
    EXPECT_FALSE(big.IsWhole());
    EXPECT_LE(big.limit, list.limit);
    EXPECT_EQ(big.Available(), list.limit - big.dataOffset);
    EXPECT_FALSE(reader.Ascend(big));
    EXPECT_LE(reader.Tell(), file.size());

    // The chunk behind the liar cannot be reached: skipping it would leave the list.
    ASSERT_TRUE(reader.Seek(list.dataOffset + 4));
    CRiffChunk next = Key("next");
    EXPECT_FALSE(reader.Descend(next, &list, CRiffReader::Find::Chunk));
}

TEST(RiffReader, TruncatedHeadersEndTheSearch)
{
    for (std::size_t cut : {0u, 3u, 7u, 11u, 15u})
    {
        Bytes file = SampleFile();
        file.resize(cut);
        CMemorySource source(file);
        CRiffReader reader(source);
        CRiffChunk ck = Key("odd ");
        EXPECT_FALSE(reader.Descend(ck, nullptr, CRiffReader::Find::Chunk)) << cut;
    }
}

TEST(RiffWriter, AscendWritesSizesAndPadBytes)
{
    CMemorySink sink;
    CRiffWriter writer(sink);
    CRiffChunk riff;
    riff.fccType = MakeFourCC("test");
    ASSERT_TRUE(writer.CreateChunk(riff, CRiffWriter::Create::Riff));
    CRiffChunk list;
    list.fccType = MakeFourCC("abcd");
    ASSERT_TRUE(writer.CreateChunk(list, CRiffWriter::Create::List));
    const std::uint8_t three[3] = {1, 2, 3};
    ASSERT_TRUE(writer.WriteChunk(MakeFourCC("odd "), three, 3));
    ASSERT_TRUE(writer.Ascend(list));
    ASSERT_TRUE(writer.WriteChunk(MakeFourCC("aftr"), three, 2));
    ASSERT_TRUE(writer.Ascend(riff));

    const Bytes expected = RiffBuilder()
                               .Begin("RIFF", "test")
                               .Begin("LIST", "abcd")
                               .Chunk("odd ", {1, 2, 3})
                               .End()
                               .Chunk("aftr", {1, 2})
                               .Finish();
    EXPECT_EQ(sink.Bytes(), expected);
    EXPECT_EQ(ReadLE32(sink.Bytes().data() + 4), sink.Bytes().size() - 8);
    // List type, the inner header, its 3 bytes and their pad byte, which belongs to the list.
    EXPECT_EQ(ReadLE32(sink.Bytes().data() + 16), 4u + 8u + 3u + 1u);
    EXPECT_EQ(ReadLE32(sink.Bytes().data() + 28), 3u);
}

TEST(RiffWriter, FullSinkIsReported)
{
    CMemorySink sink(20);
    CRiffWriter writer(sink);
    CRiffChunk riff;
    riff.fccType = MakeFourCC("test");
    ASSERT_TRUE(writer.CreateChunk(riff, CRiffWriter::Create::Riff));
    const std::uint8_t data[16] = {};
    EXPECT_FALSE(writer.WriteChunk(MakeFourCC("data"), data, sizeof data));
    EXPECT_FALSE(writer.Ascend(riff));
    EXPECT_FALSE(writer.Good());
}

TEST(AtomicFile, CommitReplacesAndDiscardKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.Write("doc.bin", {1, 2, 3});
    {
        CAtomicFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Sink().Write("abcd", 4));
        // Dropped without Commit: the old content stays and no temporary file is left.
    }
    EXPECT_EQ(ReadFileBytes(path), (Bytes{1, 2, 3}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    ASSERT_TRUE(WriteWholeFileAtomic(path, "new"));
    EXPECT_EQ(ReadFileBytes(path), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    EXPECT_FALSE(WriteWholeFileAtomic(dir.File("missing/folder.bin"), "x"));
}

TEST(AtomicFile, ACommitRemovesOnlyStaleTemporariesOfItsOwnTarget)
{
    // What killed writers leave beside doc.bin, and what merely looks alike.
    TempDir dir;
    const std::string path = dir.Write("doc.bin", {1});
    const auto age = [&](const std::string& name, int hours)
    {
        const std::string file = dir.Write(name, {9});
        const timespec old[2] = {{::time(nullptr) - hours * 3600, 0}, {::time(nullptr) - hours * 3600, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    };
    age(".doc.bin.a1B2c3", 2);   // stale: goes
    age(".doc.bin.Zz9000", 0);   // a save going on now: stays
    age(".doc.bin.abc", 2);      // not six characters: stays
    age(".doc.bin.ab-d_f", 2);   // not letters and digits: stays
    age(".other.bin.a1B2c3", 2); // another file's: stays
    age("doc.bin.a1B2c3", 2);    // not hidden: stays
    std::filesystem::create_directory(dir.File(".doc.bin.dir000"));
    const timespec old[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.File(".doc.bin.dir000").c_str(), old, 0), 0); // a folder: stays

    ASSERT_TRUE(WriteWholeFileAtomic(path, "new"));
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"doc.bin", ".doc.bin.Zz9000", ".doc.bin.abc", ".doc.bin.ab-d_f",
                                            ".other.bin.a1B2c3", "doc.bin.a1B2c3", ".doc.bin.dir000"}));

    // A commit that makes a new file looks for nothing; the next one, which replaces it, does.
    age(".new.bin.q1w2e3", 2);
    ASSERT_TRUE(WriteWholeFileAtomic(dir.File("new.bin"), "1"));
    EXPECT_TRUE(std::filesystem::exists(dir.File(".new.bin.q1w2e3")));
    ASSERT_TRUE(WriteWholeFileAtomic(dir.File("new.bin"), "2"));
    EXPECT_FALSE(std::filesystem::exists(dir.File(".new.bin.q1w2e3")));
}

TEST(StringTable, LooksUpAndFormatsByNumber)
{
    EXPECT_EQ(LoadString(123), "st");
    EXPECT_EQ(LoadString(IDS_WAVE_MODES_MLR), "mlr");
    EXPECT_EQ(LoadString(99999), "");
    EXPECT_EQ(FormatString(IDS_DRUM_PATCH, 1), "Drum Patch 1");
    EXPECT_EQ(FormatString(IDS_WAVE_OPTION_LABEL, "PIANO", 22.05, "st"), "PIANO 22.1KHz st");
}
