#include "bank/DocumentFile.h"
#include "AllocationProbe.h"
#include "bank/ArchiveException.h"
#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "bank/PatchItemListGuard.h"
#include "platform/FileException.h"
#include "support/ArchiveBuilder.h"
#include "support/PatchFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
using Cause = CArchiveException::Cause;

// Current bank 1, General MIDI, reverb 4, chorus 2, C:\BANKS\DRUMS.SBK in
// user bank 2, Piano (preset 0) on 1:0 and Strings (preset 48) on 1:1, no text.
const Bytes kSmallDocument = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02,
    0x00, 0x00, 0x00, 0x12, 0x43, 0x3A, 0x5C, 0x42, 0x41, 0x4E, 0x4B, 0x53, 0x5C, 0x44, 0x52, 0x55, 0x4D,
    0x53, 0x2E, 0x53, 0x42, 0x4B, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00,
    0x43, 0x50, 0x61, 0x74, 0x63, 0x68, 0x49, 0x74, 0x65, 0x6D, 0x05, 0x50, 0x69, 0x61, 0x6E, 0x6F, 0x0E,
    0x43, 0x3A, 0x5C, 0x42, 0x41, 0x4E, 0x4B, 0x53, 0x5C, 0x41, 0x2E, 0x53, 0x42, 0x4B, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x80, 0x07, 0x53, 0x74, 0x72, 0x69, 0x6E,
    0x67, 0x73, 0x0E, 0x43, 0x3A, 0x5C, 0x42, 0x41, 0x4E, 0x4B, 0x53, 0x5C, 0x41, 0x2E, 0x53, 0x42, 0x4B,
    0x30, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
};

Bytes Store(const CDocumentFile::Header& header, const CPatchItemList& patches, const std::string& info)
{
    CMemorySink sink;
    CDocumentFile::Store(sink, header, patches, info);
    return sink.Bytes();
}

CDocumentFile::Header ReadHeader(const Bytes& bytes)
{
    CMemorySource source(bytes);
    CArchiveReader archive(source);
    return CDocumentFile::ReadHeader(archive);
}
} // namespace

TEST(DocumentFile, SmallDocumentIsTheKnownHundredAndThirtyTwoBytes)
{
    CDocumentFile::Header header;
    header.currentBank = 1;
    header.synthBank = 0;
    header.reverb = 4;
    header.chorus = 2;
    header.bankFiles = {{2, "C:\\BANKS\\DRUMS.SBK"}};
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    AddPatch(patches, "Piano", 0, 0, 1);
    AddPatch(patches, "Strings", 48, 1, 1);

    const Bytes bytes = Store(header, patches, "");
    ASSERT_EQ(bytes.size(), 132u);
    EXPECT_EQ(bytes, kSmallDocument);
}

TEST(DocumentFile, SmallDocumentLoadsBack)
{
    CMemorySource source(kSmallDocument);
    CDocumentFile::Header header;
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    std::string info = "before";
    ASSERT_TRUE(CDocumentFile::Load(source, header, patches, info));
    EXPECT_EQ(header.currentBank, 1);
    EXPECT_EQ(header.synthBank, 0);
    EXPECT_EQ(header.reverb, 4);
    EXPECT_EQ(header.chorus, 2);
    ASSERT_EQ(header.bankFiles.size(), 1u);
    EXPECT_EQ(header.bankFiles[0].bank, 2);
    EXPECT_EQ(header.bankFiles[0].path, "C:\\BANKS\\DRUMS.SBK");
    ASSERT_EQ(patches.GetSize(), 2);
    EXPECT_EQ(patches.GetItem(0)->GetName(), "Piano");
    EXPECT_EQ(patches.GetItem(1)->GetName(), "Strings");
    EXPECT_EQ(patches.GetItem(1)->GetSourcePatch(), 48);
    EXPECT_EQ(patches.GetItem(1)->GetTargetPatch(), 1);
    EXPECT_EQ(info, "");
    EXPECT_EQ(source.Tell(), kSmallDocument.size());
}

TEST(DocumentFile, EveryCutOfTheSmallDocumentIsRefusedAndLeavesNothingBehind)
{
    for (std::size_t cut = 1; cut < kSmallDocument.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        const Bytes part(kSmallDocument.begin(), kSmallDocument.begin() + static_cast<std::ptrdiff_t>(cut));
        CMemorySource source(part);
        CDocumentFile::Header header;
        header.currentBank = 77;
        CPatchItemList patches;
        AddPatch(patches, "held before", 0, 0, 1);
        std::string info = "kept";
        try
        {
            CDocumentFile::Load(source, header, patches, info);
            ADD_FAILURE() << "a cut document loaded";
        }
        catch (const CArchiveException& e)
        {
            EXPECT_EQ(e.GetCause(), Cause::EndOfFile);
        }
        EXPECT_EQ(patches.GetSize(), 0);
        EXPECT_EQ(header.currentBank, 77);
        EXPECT_EQ(info, "kept");
    }
}

TEST(DocumentFile, EmptySourceIsAnEmptyDocument)
{
    const Bytes none;
    CMemorySource source(none);
    CDocumentFile::Header header;
    CPatchItemList patches;
    AddPatch(patches, "held before", 0, 0, 1);
    std::string info;
    EXPECT_FALSE(CDocumentFile::Load(source, header, patches, info));
    EXPECT_EQ(patches.GetSize(), 0);
    EXPECT_EQ(header.currentBank, -1);
}

TEST(DocumentFile, WithoutBankFilesTheEndMarkFollowsTheFourValues)
{
    CDocumentFile::Header header;
    header.currentBank = -1;
    header.synthBank = 2;
    header.reverb = 7;
    header.chorus = 7;
    // Entries that cannot be stored are left out rather than ending the list early.
    header.bankFiles = {{-1, "C:\\X.SBK"}, {0, "C:\\SYNTH.SBK"}, {128, "C:\\Y.SBK"}, {5, ""}};
    const CPatchItemList none;
    const Bytes bytes = Store(header, none, "info");
    const Bytes expected = ArchiveBuilder().Header(-1, 2, 7, 7).Count(0).String("info").Get();
    EXPECT_EQ(bytes, expected);
}

TEST(DocumentFile, HeaderNumbersOutsideTheirRangeAreNotTaken)
{
    const Bytes bytes = ArchiveBuilder()
                            .Int32(128)
                            .Int32(1)
                            .Int32(3)
                            .Int32(5)
                            .Int32(0)
                            .String("C:\\SYNTH.SBK")
                            .Int32(200)
                            .String("C:\\HIGH.SBK")
                            .Int32(-5)
                            .String("C:\\LOW.SBK")
                            .Int32(9)
                            .String("")
                            .Int32(127)
                            .String("C:\\LAST.SBK")
                            .Int32(-1)
                            .Get();
    const CDocumentFile::Header header = ReadHeader(bytes);
    EXPECT_EQ(header.currentBank, -1);
    EXPECT_EQ(header.synthBank, 1);
    EXPECT_EQ(header.reverb, 3);
    EXPECT_EQ(header.chorus, 5);
    ASSERT_EQ(header.bankFiles.size(), 1u);
    EXPECT_EQ(header.bankFiles[0].bank, 127);
    EXPECT_EQ(header.bankFiles[0].path, "C:\\LAST.SBK");

    for (const std::int32_t bank : {-1, 0, 127})
        EXPECT_EQ(ReadHeader(ArchiveBuilder().Header(bank, 0, 0, 0).Get()).currentBank, bank);
    EXPECT_EQ(ReadHeader(ArchiveBuilder().Header(-2, 0, 0, 0).Get()).currentBank, -1);
}

TEST(DocumentFile, LargeListsLongStringsAndOldTextRoundTrip)
{
    CDocumentFile::Header header;
    header.bankFiles = {{1, std::string(255, 'p')}, {64, "C:\\BANKS\\\xC4RGER.SBK"}};
    const std::string info(65534, 'i');

    for (const int count : {65534, 65535, 70000})
    {
        SCOPED_TRACE(count);
        CPatchItemList patches;
        CPatchItemListGuard guard(patches);
        for (int i = 0; i < count; ++i)
            AddPatch(patches, i == 1 ? "Strings" : "", i % 128, i % 128, 1 + i % 127);
        const Bytes bytes = Store(header, patches, info);

        // The count follows the header: four values, the two entries, the end mark.
        const std::size_t at = 16 + (4 + 3 + 255) + (4 + 1 + header.bankFiles[1].path.size()) + 4;
        ASSERT_EQ(ReadLE32(bytes.data() + at - 4), 0xFFFFFFFFu);
        if (count < 0xFFFF)
        {
            EXPECT_EQ(ReadLE16(bytes.data() + at), count);
        }
        else
        {
            EXPECT_EQ(ReadLE16(bytes.data() + at), 0xFFFF);
            EXPECT_EQ(ReadLE32(bytes.data() + at + 2), static_cast<std::uint32_t>(count));
        }

        CMemorySource source(bytes);
        CDocumentFile::Header readHeader;
        CPatchItemList read;
        CPatchItemListGuard readGuard(read);
        std::string readInfo;
        ASSERT_TRUE(CDocumentFile::Load(source, readHeader, read, readInfo));
        ASSERT_EQ(read.GetSize(), count);
        EXPECT_EQ(read.GetItem(1)->GetName(), "Strings");
        EXPECT_EQ(read.GetItem(count - 1)->GetTargetBank(), 1 + (count - 1) % 127);
        EXPECT_EQ(read.GetItem(count - 1)->GetSourcePatch(), (count - 1) % 128);
        ASSERT_EQ(readHeader.bankFiles.size(), 2u);
        EXPECT_EQ(readHeader.bankFiles[0].path, std::string(255, 'p'));
        EXPECT_EQ(readHeader.bankFiles[1].path, "C:\\BANKS\\\xC4RGER.SBK");
        EXPECT_EQ(readInfo, info);
    }
}

TEST(DocumentFile, StoreReportsAFullDisk)
{
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    AddPatch(patches, "Piano", 0, 0, 1);
    CMemorySink full(40);
    EXPECT_THROW(CDocumentFile::Store(full, {}, patches, ""), CFileException);
}

TEST(DocumentFile, PatchListOfADocumentFile)
{
    TempDir dir;
    const std::string path = dir.Write("small.tmb", kSmallDocument);
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    AddPatch(list, "held before", 0, 0, 1);
    CDocumentFile::ReadPatchList(path, list);
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list.GetItem(0)->GetName(), "Piano");
    EXPECT_EQ(list.GetItem(1)->GetTargetBank(), 1);

    CDocumentFile::ReadPatchList(dir.Write("empty.tmb", {}), list);
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(DocumentFile, PatchListErrorsSayWhy)
{
    TempDir dir;
    CPatchItemList list;
    const auto fileCause = [&](const std::string& path) -> std::optional<CFileException::Cause>
    {
        AddPatch(list, "held before", 0, 0, 1);
        try
        {
            CDocumentFile::ReadPatchList(path, list);
        }
        catch (const CFileException& e)
        {
            EXPECT_EQ(e.GetFileName(), path);
            return e.GetCause();
        }
        return std::nullopt;
    };
    EXPECT_EQ(fileCause(dir.File("missing.tmb")), CFileException::Cause::FileNotFound);
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_EQ(fileCause(dir.Path()), CFileException::Cause::AccessDenied);
    EXPECT_EQ(list.GetSize(), 0);

    AddPatch(list, "held before", 0, 0, 1);
    const Bytes garbled = ArchiveBuilder().Header(1, 0, 0, 0).Count(1).NewClass("CPatchItemX").Get();
    EXPECT_THROW(CDocumentFile::ReadPatchList(dir.Write("bad.tmb", garbled), list), CArchiveException);
    EXPECT_EQ(list.GetSize(), 0);

    // A header whose bank entries never end runs into the end of the file.
    ArchiveBuilder endless;
    endless.Int32(1).Int32(0).Int32(0).Int32(0);
    for (int i = 0; i < 1000; ++i)
        endless.Int32(3).String("x");
    AllocationProbe probe;
    EXPECT_THROW(
        CDocumentFile::ReadPatchList(
            dir.Write("huge.tmb", ArchiveBuilder().Header(1, 0, 0, 0).Word(0xFFFF).DWord(0x7FFFFFFF).Get()),
            list),
        CArchiveException);
    EXPECT_LT(probe.Largest(), 64u * 1024u);
    EXPECT_THROW(CDocumentFile::ReadPatchList(dir.Write("endless.tmb", endless.Get()), list),
                 CArchiveException);
}
