#include "AllocationProbe.h"
#include "bank/ArchiveException.h"
#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "bank/PatchItem.h"
#include "bank/PatchItemList.h"
#include "platform/FileException.h"
#include "support/ArchiveBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace
{
using Cause = CArchiveException::Cause;

Bytes Written(const std::function<void(CArchiveWriter&)>& write, std::uint32_t maxNumber = kMaxArchiveNumber)
{
    CMemorySink sink;
    CArchiveWriter archive(sink, maxNumber);
    write(archive);
    archive.Flush();
    return sink.Bytes();
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// The cause of the archive error reading bytes raises, or nothing.
std::optional<Cause> FailureOf(const Bytes& bytes, const std::function<void(CArchiveReader&)>& read)
{
    CMemorySource source(bytes);
    CArchiveReader archive(source);
    try
    {
        read(archive);
    }
    catch (const CArchiveException& e)
    {
        return e.GetCause();
    }
    return std::nullopt;
}

// A class that refuses schemas other than its own, recording what it read.
class CFixedThing : public CArchiveObject
{
public:
    static const CRuntimeClass runtimeClass;
    static std::unique_ptr<CArchiveObject> Create() { return std::make_unique<CFixedThing>(); }
    const CRuntimeClass& GetRuntimeClass() const override { return runtimeClass; }
    void Serialize(CArchiveWriter& archive) const override { archive.WriteInt32(value); }
    void Serialize(CArchiveReader& archive) override
    {
        schemaSeen = archive.GetObjectSchema();
        value = archive.ReadInt32();
    }
    std::int32_t value = 0;
    std::uint16_t schemaSeen = 0;
};
const CRuntimeClass CFixedThing::runtimeClass = {"CFixedThing", 3, false, &CFixedThing::Create};

const CRuntimeClass* const kTestClasses[] = {&CPatchItem::runtimeClass, &CPatchItemList::runtimeClass,
                                             &CFixedThing::runtimeClass};

std::unique_ptr<CPatchItem> MakePatch(const std::string& name, int sourcePatch, int slot, int bank)
{
    auto item = std::make_unique<CPatchItem>(true);
    item->SetName(name);
    item->SetSourceFile("C:\\BANKS\\A.SBK");
    item->SetSourcePatch(sourcePatch);
    item->SetTargetPatch(slot);
    item->SetTargetBank(bank);
    return item;
}
} // namespace

TEST(Archive, StringsTakeTheLengthFormTheirSizeNeeds)
{
    struct Case
    {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.length);
        std::string text(c.length, 'x');
        if (!text.empty())
            text.back() = 'y';
        const Bytes bytes = Written([&](CArchiveWriter& a) { a.WriteString(text); });
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
        EXPECT_EQ(Slice(bytes, 0, c.prefix.size()), c.prefix);

        CMemorySource source(bytes);
        CArchiveReader archive(source);
        EXPECT_EQ(archive.ReadString(), text);
        EXPECT_EQ(archive.BytesLeft(), 0u);
    }
}

TEST(Archive, StringBytesPassThroughUnchanged)
{
    const std::string stored("Pi\xE4no\0\xFF\x81", 8);
    const Bytes bytes = Written([&](CArchiveWriter& a) { a.WriteString(stored); });
    EXPECT_EQ(bytes.size(), 9u);
    CMemorySource source(bytes);
    CArchiveReader archive(source);
    EXPECT_EQ(archive.ReadString(), stored);
}

TEST(Archive, SixteenBitCharacterStringsReadAsUtf8)
{
    ArchiveBuilder b;
    b.WideString(u"Pi\u00E4no").WideString(u"\U0001D11E!").WideString(std::u16string(300, u'\u20AC'));
    // A lone high surrogate cannot be shown; it becomes the replacement character.
    b.WideString(std::u16string(1, char16_t(0xD800)));
    CMemorySource source(b.Get());
    CArchiveReader archive(source);
    EXPECT_EQ(archive.ReadString(), "Pi\xC3\xA4no");
    EXPECT_EQ(archive.ReadString(), "\xF0\x9D\x84\x9E!");
    std::string euros;
    for (int i = 0; i < 300; ++i)
        euros += "\xE2\x82\xAC";
    EXPECT_EQ(archive.ReadString(), euros);
    EXPECT_EQ(archive.ReadString(), "\xEF\xBF\xBD");
    EXPECT_EQ(archive.BytesLeft(), 0u);
}

TEST(Archive, SecondEscapeInsideAWideLengthIsALength)
{
    // FF FE FF: 16-bit characters; then FF FE FF again: 65534 units, not a second escape.
    ArchiveBuilder b;
    b.Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(0xFFFE);
    for (int i = 0; i < 65534; ++i)
        b.Word('a');
    CMemorySource source(b.Get());
    CArchiveReader archive(source);
    EXPECT_EQ(archive.ReadString(), std::string(65534, 'a'));
}

TEST(Archive, CountsEscapeAtFFFF)
{
    EXPECT_EQ(Written([](CArchiveWriter& a) { a.WriteCount(0xFFFE); }), (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(Written([](CArchiveWriter& a) { a.WriteCount(0xFFFF); }),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(Written([](CArchiveWriter& a) { a.WriteCount(70000); }),
              (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));

    // The escaped form is read even for counts that would fit 16 bits.
    const Bytes bytes = ArchiveBuilder().Word(0xFFFF).DWord(3).Word(0xFFFF).DWord(70000).Get();
    CMemorySource source(bytes);
    CArchiveReader archive(source);
    EXPECT_EQ(archive.ReadCount(), 3u);
    EXPECT_EQ(archive.ReadCount(), 70000u);
}

TEST(Archive, ValuesCutShortAreEndOfFile)
{
    const auto word = [](CArchiveReader& a) { a.ReadWord(); };
    const auto dword = [](CArchiveReader& a) { a.ReadDWord(); };
    const auto string = [](CArchiveReader& a) { a.ReadString(); };
    EXPECT_EQ(FailureOf({}, word), Cause::EndOfFile);
    EXPECT_EQ(FailureOf({1}, word), Cause::EndOfFile);
    EXPECT_EQ(FailureOf({1, 2, 3}, dword), Cause::EndOfFile);
    EXPECT_EQ(FailureOf({5, 'a', 'b', 'c'}, string), Cause::EndOfFile);
    EXPECT_EQ(FailureOf({0xFF, 0x00}, string), Cause::EndOfFile);
    EXPECT_EQ(FailureOf({0xFF, 0xFE, 0xFF, 0x02, 'a', 0}, string), Cause::EndOfFile);
    EXPECT_EQ(FailureOf({0x00}, string), std::nullopt);
}

TEST(Archive, ClaimedLengthsAndCountsAreNotAllocated)
{
    const Bytes hugeString = ArchiveBuilder().Byte(0xFF).Word(0xFFFF).DWord(0xFFFFFFF0).Raw("short").Get();
    const Bytes hugeWide =
        ArchiveBuilder().Byte(0xFF).Word(0xFFFE).Byte(0xFF).Word(0xFFFF).DWord(0x7FFFFFFF).Get();
    const Bytes hugeCount = ArchiveBuilder().Word(0xFFFF).DWord(0xFFFFFFFF).Word(0).Word(0).Get();
    const Bytes hugeClassName =
        ArchiveBuilder().Word(1).Word(0xFFFF).Word(1).Word(0xFFFF).Raw("CPatchItem").Get();

    AllocationProbe probe;
    EXPECT_EQ(FailureOf(hugeString, [](CArchiveReader& a) { a.ReadString(); }), Cause::EndOfFile);
    EXPECT_EQ(FailureOf(hugeWide, [](CArchiveReader& a) { a.ReadString(); }), Cause::EndOfFile);
    CPatchItemList list;
    EXPECT_EQ(FailureOf(hugeCount, [&](CArchiveReader& a) { list.Serialize(a); }), Cause::EndOfFile);
    EXPECT_EQ(FailureOf(hugeClassName, [&](CArchiveReader& a) { list.Serialize(a); }), Cause::BadClass);
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_LT(probe.Largest(), 64u * 1024u);
}

TEST(Archive, ClassesAndObjectsShareOneNumbering)
{
    auto piano = MakePatch("Piano", 0, 0, 1);
    auto strings = MakePatch("Strings", 48, 1, 1);
    const Bytes bytes = Written(
        [&](CArchiveWriter& a)
        {
            a.WriteObject(piano.get());
            a.WriteObject(strings.get());
            a.WriteObject(piano.get());
            a.WriteObject(nullptr);
        });
    const Bytes expected = ArchiveBuilder()
                               .NewClass("CPatchItem")
                               .PatchData("Piano", "C:\\BANKS\\A.SBK", 0, 0, 1)
                               .Word(0x8001) // class 1; this object is number 3
                               .PatchData("Strings", "C:\\BANKS\\A.SBK", 48, 1, 1)
                               .Word(2) // object 2 again
                               .Word(0)
                               .Get();
    EXPECT_EQ(bytes, expected);

    CMemorySource source(bytes);
    CArchiveReader archive(source);
    auto first = archive.ReadObject(&CPatchItem::runtimeClass);
    auto second = archive.ReadObject(&CPatchItem::runtimeClass);
    auto third = archive.ReadObject(&CPatchItem::runtimeClass);
    auto fourth = archive.ReadObject(&CPatchItem::runtimeClass);
    ASSERT_TRUE(first.created && second.created);
    EXPECT_EQ(static_cast<CPatchItem&>(*second.created).GetName(), "Strings");
    EXPECT_FALSE(third.created);
    EXPECT_EQ(third.earlier, first.created.get());
    EXPECT_FALSE(fourth.created);
    EXPECT_EQ(fourth.earlier, nullptr);
}

TEST(Archive, NumbersFromSevenFFFFOnUseThirtyTwoBitTags)
{
    // Class 1, patches 2 .. 0x8001, then a new class 0x8002 with object
    // 0x8003, then a second object of that class (number 0x8004).
    constexpr int kPatches = 0x8000;
    std::vector<std::unique_ptr<CPatchItem>> patches;
    for (int i = 0; i < kPatches; ++i)
        patches.push_back(MakePatch("", i, -1, -1));
    CPatchItemList emptyA;
    CPatchItemList emptyB;
    const Bytes bytes = Written(
        [&](CArchiveWriter& a)
        {
            for (const auto& p : patches)
                a.WriteObject(p.get());
            a.WriteObject(patches.front().get());
            a.WriteObject(patches.back().get());
            a.WriteObject(&emptyA);
            a.WriteObject(&emptyB);
        });
    const Bytes tail = ArchiveBuilder()
                           .Word(0x0002) // first patch, short form
                           .Word(0x7FFF)
                           .DWord(0x8001) // last patch, long form
                           .NewClass("CPatchItemList")
                           .Count(0)
                           .Word(0x7FFF)
                           .DWord(0x80008002) // class 0x8002, long form
                           .Count(0)
                           .Get();
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(Slice(bytes, bytes.size() - tail.size(), tail.size()), tail);

    CMemorySource source(bytes);
    CArchiveReader archive(source);
    std::vector<std::unique_ptr<CArchiveObject>> read;
    for (int i = 0; i < kPatches; ++i)
        read.push_back(archive.ReadObject(&CPatchItem::runtimeClass).created);
    EXPECT_EQ(archive.ReadObject(nullptr).earlier, read.front().get());
    EXPECT_EQ(archive.ReadObject(nullptr).earlier, read.back().get());
    const auto listA = archive.ReadObject(&CPatchItemList::runtimeClass);
    const auto listB = archive.ReadObject(&CPatchItemList::runtimeClass);
    ASSERT_TRUE(listA.created && listB.created);
    EXPECT_EQ(&listB.created->GetRuntimeClass(), &CPatchItemList::runtimeClass);
    EXPECT_EQ(static_cast<CPatchItem&>(*read.back()).GetSourcePatch(), kPatches - 1);
}

TEST(Archive, ClassRecordsMustNameAKnownClassExactly)
{
    const auto readPatch = [](CArchiveReader& a) { a.ReadObject(&CPatchItem::runtimeClass); };
    const auto withName = [](std::string_view name)
    { return ArchiveBuilder().NewClass(name).PatchData("P", "F", 0, 0, 1).Get(); };
    EXPECT_EQ(FailureOf(withName("CPatchItem"), readPatch), std::nullopt);
    EXPECT_EQ(FailureOf(withName("CPATCHITEM"), readPatch), Cause::BadClass);
    EXPECT_EQ(FailureOf(withName("cPatchItem"), readPatch), Cause::BadClass);
    EXPECT_EQ(FailureOf(withName("CPatchItem "), readPatch), Cause::BadClass);
    EXPECT_EQ(FailureOf(withName("CTamberlyDoc"), readPatch), Cause::BadClass);
    EXPECT_EQ(FailureOf(withName(""), readPatch), Cause::BadClass);
    EXPECT_EQ(FailureOf(withName(std::string(63, 'C')), readPatch), Cause::BadClass);
    EXPECT_EQ(FailureOf(withName(std::string(64, 'C')), readPatch), Cause::BadClass);
    // A name cut short by the end of the stream.
    EXPECT_EQ(FailureOf(ArchiveBuilder().Word(0xFFFF).Word(1).Word(10).Raw("CPatch").Get(), readPatch),
              Cause::EndOfFile);
    // A class the program knows, where another one is required.
    EXPECT_EQ(FailureOf(ArchiveBuilder().NewClass("CPatchItemList").Count(0).Get(), readPatch),
              Cause::BadClass);
}

TEST(Archive, VersionableClassesReadOtherSchemasOthersRefuseThem)
{
    const Bytes patch =
        ArchiveBuilder().NewClass("CPatchItem", 2).PatchData("Piano", "C:\\A.SBK", 3, 4, 5).Get();
    CMemorySource source(patch);
    CArchiveReader archive(source);
    auto read = archive.ReadObject(&CPatchItem::runtimeClass);
    ASSERT_TRUE(read.created);
    const auto& item = static_cast<const CPatchItem&>(*read.created);
    EXPECT_EQ(item.GetName(), "Piano");
    EXPECT_EQ(item.GetTargetBank(), 5);
    EXPECT_EQ(archive.BytesLeft(), 0u);

    const auto readThing = [](const Bytes& bytes) -> std::optional<Cause>
    {
        CMemorySource s(bytes);
        CArchiveReader a(s, kTestClasses);
        try
        {
            auto object = a.ReadObject(nullptr);
            EXPECT_EQ(static_cast<CFixedThing&>(*object.created).value, 42);
            EXPECT_EQ(static_cast<CFixedThing&>(*object.created).schemaSeen, 3);
        }
        catch (const CArchiveException& e)
        {
            return e.GetCause();
        }
        return std::nullopt;
    };
    EXPECT_EQ(readThing(ArchiveBuilder().NewClass("CFixedThing", 3).Int32(42).Get()), std::nullopt);
    EXPECT_EQ(readThing(ArchiveBuilder().NewClass("CFixedThing", 2).Int32(42).Get()), Cause::BadSchema);
    // A class missing from the reader's table is unknown to it.
    EXPECT_EQ(FailureOf(ArchiveBuilder().NewClass("CFixedThing", 3).Int32(42).Get(),
                        [](CArchiveReader& a) { a.ReadObject(nullptr); }),
              Cause::BadClass);
}

TEST(Archive, NumbersNeverAssignedOrOfTheWrongKindAreBadIndex)
{
    const auto readTwo = [](CArchiveReader& a)
    {
        auto first = a.ReadObject(nullptr);
        a.ReadObject(nullptr);
    };
    const Bytes onePatch = ArchiveBuilder().NewClass("CPatchItem").PatchData("P", "F", 0, 0, 1).Get();
    const auto after = [&](std::initializer_list<std::uint16_t> words, std::uint32_t longTag = 0)
    {
        ArchiveBuilder b;
        b.Raw(std::string_view(reinterpret_cast<const char*>(onePatch.data()), onePatch.size()));
        for (const auto w : words)
            b.Word(w);
        if (longTag)
            b.DWord(longTag);
        b.PatchData("Q", "F", 0, 0, 1);
        return b.Get();
    };
    EXPECT_EQ(FailureOf(after({0x8001}), readTwo), std::nullopt);    // class 1
    EXPECT_EQ(FailureOf(after({0x0002}), readTwo), std::nullopt);    // object 2
    EXPECT_EQ(FailureOf(after({0x0003}), readTwo), Cause::BadIndex); // not yet assigned
    EXPECT_EQ(FailureOf(after({0x0001}), readTwo), Cause::BadIndex); // a class, not an object
    EXPECT_EQ(FailureOf(after({0x8002}), readTwo), Cause::BadIndex); // an object, not a class
    EXPECT_EQ(FailureOf(after({0x8000}), readTwo), Cause::BadIndex); // class 0
    EXPECT_EQ(FailureOf(after({0x8005}), readTwo), Cause::BadIndex);
    EXPECT_EQ(FailureOf(after({0x7FFF}, 0x80000000), readTwo), Cause::BadIndex);
    EXPECT_EQ(FailureOf(after({0x7FFF}, 0xFFFFFFFF), readTwo), Cause::BadIndex);
    EXPECT_EQ(FailureOf(after({0x7FFF}, 0x00000009), readTwo), Cause::BadIndex);
    EXPECT_EQ(FailureOf(after({0x7FFF}, 0x80000001), readTwo), std::nullopt);
    // A reference to an object of another class than the one required.
    EXPECT_EQ(FailureOf(after({0x0002}),
                        [](CArchiveReader& a)
                        {
                            auto first = a.ReadObject(nullptr);
                            a.ReadObject(&CPatchItemList::runtimeClass);
                        }),
              Cause::BadClass);
}

TEST(Archive, EntriesBeyondTheNumberingLimitAreBadIndex)
{
    // With the limit at 5: the class takes 1 and four patches 2 to 5.
    std::vector<std::unique_ptr<CPatchItem>> patches;
    for (int i = 0; i < 5; ++i)
        patches.push_back(MakePatch("", i, 0, 1));
    const auto writeSome = [&](int count)
    {
        return Written(
            [&](CArchiveWriter& a)
            {
                for (int i = 0; i < count; ++i)
                    a.WriteObject(patches[static_cast<std::size_t>(i)].get());
            },
            5);
    };
    EXPECT_NO_THROW(writeSome(4));
    try
    {
        writeSome(5);
        ADD_FAILURE() << "the writer numbered past its limit";
    }
    catch (const CArchiveException& e)
    {
        EXPECT_EQ(e.GetCause(), Cause::BadIndex);
    }

    const Bytes five = Written(
        [&](CArchiveWriter& a)
        {
            for (const auto& p : patches)
                a.WriteObject(p.get());
        });
    const auto readWithLimit = [&](int count) -> std::optional<Cause>
    {
        CMemorySource source(five);
        CArchiveReader archive(source, ProgramArchiveClasses(), 5);
        try
        {
            for (int i = 0; i < count; ++i)
                archive.ReadObject(&CPatchItem::runtimeClass);
        }
        catch (const CArchiveException& e)
        {
            return e.GetCause();
        }
        return std::nullopt;
    };
    EXPECT_EQ(readWithLimit(4), std::nullopt);
    EXPECT_EQ(readWithLimit(5), Cause::BadIndex);
}

TEST(Archive, SinkFailuresAreFileErrors)
{
    for (const std::size_t size : {std::size_t{100}, std::size_t{10000}})
    {
        SCOPED_TRACE(size);
        CMemorySink full(50);
        CArchiveWriter archive(full);
        EXPECT_THROW(
            {
                archive.WriteString(std::string(size, 'x'));
                archive.Flush();
            },
            CFileException);
    }
}

TEST(Archive, CloseLeavesTheSourceAfterWhatWasRead)
{
    const Bytes bytes = {1, 0, 2, 0, 3, 0};
    CMemorySource source(bytes);
    {
        CArchiveReader archive(source);
        EXPECT_EQ(archive.ReadWord(), 1);
        archive.Close();
    }
    EXPECT_EQ(source.Tell(), 2u);
    CArchiveReader next(source);
    EXPECT_EQ(next.ReadWord(), 2);
    EXPECT_EQ(next.BytesLeft(), 2u);
}
