#include "bank/ClipboardStream.h"
#include "bank/ArchiveException.h"
#include "bank/PatchItemListGuard.h"
#include "platform/ByteStream.h"
#include "support/ArchiveBuilder.h"
#include "support/PatchFixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
std::optional<CArchiveException::Cause> ReadFails(const Bytes& bytes, CPatchItemList& list)
{
    try
    {
        CClipboardStream::Read(bytes, list);
    }
    catch (const CArchiveException& e)
    {
        return e.GetCause();
    }
    return std::nullopt;
}

const Bytes kOnePiano = {
    0x01, 0x00,                                                 // one element
    0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00,                         // new class, schema 1, length 10
    0x43, 0x50, 0x61, 0x74, 0x63, 0x68, 0x49, 0x74, 0x65, 0x6D, // "CPatchItem"
    0x05, 0x50, 0x69, 0x61, 0x6E, 0x6F,                         // "Piano"
    0x0E, 0x43, 0x3A, 0x5C, 0x42, 0x41, 0x4E, 0x4B, 0x53, 0x5C,
    0x41, 0x2E, 0x53, 0x42, 0x4B, // C:\BANKS\A.SBK
    0x00, 0x00, 0x00, 0x00,       // source patch 0
    0x05, 0x00, 0x00, 0x00,       // slot 5
    0x01, 0x00, 0x00, 0x00,       // bank 1
};
} // namespace

TEST(ClipboardStream, OnePatchIsTheFiftyOneByteStream)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    AddPatch(list, "Piano", 0, 5, 1)->SetLoadedKB(30);
    const Bytes bytes = CClipboardStream::Write(list);
    ASSERT_EQ(bytes.size(), 51u);
    EXPECT_EQ(bytes, kOnePiano);

    CPatchItemList pasted;
    CPatchItemListGuard pastedGuard(pasted);
    CClipboardStream::Read(bytes, pasted);
    ASSERT_EQ(pasted.GetSize(), 1);
    const CPatchItem& item = *pasted.GetItem(0);
    EXPECT_EQ(item.GetName(), "Piano");
    EXPECT_EQ(item.GetSourceFile(), "C:\\BANKS\\A.SBK");
    EXPECT_EQ(item.GetSourcePatch(), 0);
    EXPECT_EQ(item.GetTargetPatch(), 5);
    EXPECT_EQ(item.GetTargetBank(), 1);
    EXPECT_FALSE(item.IsLoaded());
    EXPECT_TRUE(item.IsDocumentPatch());
}

TEST(ClipboardStream, LaterPatchesReferToTheClassByNumberAndNumberingRestarts)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    AddPatch(list, "Piano", 0, 5, 1);
    AddPatch(list, "Strings", 48, 6, 1);
    const Bytes bytes = CClipboardStream::Write(list);
    ASSERT_GT(bytes.size(), 53u);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[51], 0x01);
    EXPECT_EQ(bytes[52], 0x80);
    // A second stream starts its numbering again: same bytes.
    EXPECT_EQ(CClipboardStream::Write(list), bytes);

    CPatchItemList pasted;
    CPatchItemListGuard pastedGuard(pasted);
    CClipboardStream::Read(bytes, pasted);
    ASSERT_EQ(pasted.GetSize(), 2);
    EXPECT_EQ(pasted.GetItem(1)->GetName(), "Strings");
    EXPECT_EQ(pasted.GetItem(1)->GetSourcePatch(), 48);
}

TEST(ClipboardStream, AnEmptyListIsTwoZeroBytes)
{
    const CPatchItemList empty;
    const Bytes bytes = CClipboardStream::Write(empty);
    EXPECT_EQ(bytes, (Bytes{0x00, 0x00}));
    CPatchItemList pasted;
    CClipboardStream::Read(bytes, pasted);
    EXPECT_EQ(pasted.GetSize(), 0);
}

TEST(ClipboardStream, ReadingReplacesWhatTheListHeld)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    AddPatch(list, "old", 1, 1, 1);
    AddPatch(list, "old too", 2, 2, 1);
    CClipboardStream::Read(kOnePiano, list);
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.GetItem(0)->GetName(), "Piano");
}

TEST(ClipboardStream, RepeatedReferencesBecomeCopiesAndNullsAreDropped)
{
    const Bytes bytes = ArchiveBuilder()
                            .Count(4)
                            .NewClass("CPatchItem")
                            .PatchData("Piano", "A.SBK", 0, 5, 1)
                            .Word(0)      // null
                            .Word(2)      // the piano again
                            .Word(0x8001) // a new patch
                            .PatchData("Organ", "A.SBK", 16, 6, 1)
                            .Get();
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    CClipboardStream::Read(bytes, list);
    ASSERT_EQ(list.GetSize(), 3);
    EXPECT_NE(list.GetItem(0), list.GetItem(1));
    EXPECT_TRUE(list.GetItem(0)->IsEqual(*list.GetItem(1)));
    EXPECT_EQ(list.GetItem(2)->GetName(), "Organ");
}

TEST(ClipboardStream, PayloadsThatDoNotDecodeLeaveAnEmptyList)
{
    struct Case
    {
        const char* what;
        Bytes bytes;
        CArchiveException::Cause cause;
    };
    using C = CArchiveException::Cause;
    const Case cases[] = {
        {"zero-length stream", {}, C::EndOfFile},
        {"text from another program", TextZ("Tamberly Clipboard Object"), C::EndOfFile},
        {"unknown class", ArchiveBuilder().Count(1).NewClass("CDocItem").PatchData("P", "F", 0, 0, 1).Get(),
         C::BadClass},
        {"a list inside the list", ArchiveBuilder().Count(1).NewClass("CPatchItemList").Count(0).Get(),
         C::BadClass},
        {"second element names an object",
         ArchiveBuilder().Count(2).NewClass("CPatchItem").PatchData("P", "F", 0, 0, 1).Word(5).Get(),
         C::BadIndex},
        {"count larger than the stream",
         ArchiveBuilder().Count(3).NewClass("CPatchItem").PatchData("P", "F", 0, 0, 1).Word(0x8001).Get(),
         C::EndOfFile},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CPatchItemList list;
        AddPatch(list, "held before", 0, 0, 1);
        EXPECT_EQ(ReadFails(c.bytes, list), c.cause);
        EXPECT_EQ(list.GetSize(), 0);
    }
}

TEST(ClipboardStream, EveryCutOfAStreamIsRefused)
{
    CPatchItemList two;
    CPatchItemListGuard guard(two);
    AddPatch(two, "Piano", 0, 5, 1);
    AddPatch(two, "Strings", 48, 6, 1);
    const Bytes bytes = CClipboardStream::Write(two);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        CPatchItemList list;
        EXPECT_EQ(ReadFails(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)), list),
                  CArchiveException::Cause::EndOfFile);
        EXPECT_EQ(list.GetSize(), 0);
    }
}

TEST(ClipboardStream, SeventyThousandPatchesAndStringsAtEveryLengthEscapeRoundTrip)
{
    // Names just below and at the points where the length takes its longer
    // forms (255 and 65534: 0xFFFE would read as the 16-bit character mark).
    const std::size_t lengths[] = {254, 255, 256, 65533, 65534, 65535, 70000};
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    for (int i = 0; i < 70000; ++i)
    {
        const std::size_t length = i < 7 ? lengths[i] : static_cast<std::size_t>(i % 3);
        CPatchItem* patch = AddPatch(list, "", i % 128, i % 128, 1 + i % 127);
        patch->SetName(std::string(length, static_cast<char>('a' + i % 26)));
    }
    const Bytes bytes = CClipboardStream::Write(list);
    ASSERT_GE(bytes.size(), 6u);
    EXPECT_EQ(ReadLE16(bytes.data()), 0xFFFF);
    EXPECT_EQ(ReadLE32(bytes.data() + 2), 70000u);

    CPatchItemList pasted;
    CPatchItemListGuard pastedGuard(pasted);
    CClipboardStream::Read(bytes, pasted);
    ASSERT_EQ(pasted.GetSize(), 70000);
    for (int i = 0; i < 70000; ++i)
        ASSERT_TRUE(pasted.GetItem(i)->IsEqual(*list.GetItem(i))) << i;
    EXPECT_EQ(pasted.GetItem(6)->GetName().size(), 70000u);
    EXPECT_EQ(CClipboardStream::Write(pasted), bytes);
}

TEST(ClipboardStream, MarkerAndFormatName)
{
    EXPECT_EQ(CClipboardStream::FormatName(), "Tamberly Format");
    EXPECT_EQ(CClipboardStream::MarkerText(), "Tamberly Clipboard Object");
    const Bytes block = CClipboardStream::MarkerBlock();
    ASSERT_EQ(block.size(), 100u);
    EXPECT_EQ(std::memcmp(block.data(), "Tamberly Clipboard Object", 25), 0);
    for (std::size_t i = 25; i < block.size(); ++i)
        ASSERT_EQ(block[i], 0) << i;
}
