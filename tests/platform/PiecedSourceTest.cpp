#include "platform/PiecedSource.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace
{
using Bytes = std::vector<std::uint8_t>;

// A source that ends early: what a file cut while being read looks like.
class CCutSource final : public IByteSource
{
public:
    CCutSource(IByteSource& inner, std::uint64_t cut) : inner(inner), cut(cut) {}
    std::size_t Read(void* buffer, std::size_t size) override
    {
        const std::uint64_t left = cut > inner.Tell() ? cut - inner.Tell() : 0;
        return inner.Read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(size, left)));
    }
    bool Seek(std::uint64_t position) override { return inner.Seek(position); }
    std::uint64_t Tell() const override { return inner.Tell(); }
    std::uint64_t Size() const override { return inner.Size(); }

private:
    IByteSource& inner;
    std::uint64_t cut;
};
} // namespace

// Held bytes, spans of another source (read where they lie, whoever else
// seeks it) and zeros read as one file, across every edge and to the end.
TEST(PiecedSource, PiecesReadAsOneFile)
{
    Bytes other(500);
    std::iota(other.begin(), other.end(), 0);
    CMemorySource from(other);

    CPiecedSource source;
    Bytes expected;
    const auto bytes = [&](Bytes held)
    {
        expected.insert(expected.end(), held.begin(), held.end());
        source.AddBytes(std::move(held));
    };
    const auto span = [&](std::uint64_t start, std::uint64_t length)
    {
        expected.insert(expected.end(), other.begin() + static_cast<std::ptrdiff_t>(start),
                        other.begin() + static_cast<std::ptrdiff_t>(start + length));
        source.AddSpan(from, start, length);
    };
    const auto zeros = [&](std::size_t count)
    {
        expected.insert(expected.end(), count, 0);
        source.AddZeros(count);
    };
    bytes({'R', 'I', 'F', 'F'});
    span(100, 50);
    span(150, 30); // goes on where the last ended: one piece
    zeros(7);
    zeros(0);
    zeros(5);
    span(10, 20); // back in the other source
    bytes({});
    for (int i = 0; i < 20; ++i) // many held pieces: pointers into them must stay valid
        bytes(Bytes(3, static_cast<std::uint8_t>(i)));
    span(490, 10);
    ASSERT_EQ(source.Size(), expected.size());

    for (std::size_t at = 0; at <= expected.size(); at += 3)
        for (const std::size_t count : {std::size_t{1}, std::size_t{9}, std::size_t{64}, expected.size()})
        {
            ASSERT_TRUE(source.Seek(at));
            from.Seek(0); // someone else moved the other source meanwhile
            Bytes got(count, 0xEE);
            const std::size_t read = source.Read(got.data(), got.size());
            const std::size_t want = std::min(count, expected.size() - at);
            ASSERT_EQ(read, want) << "at " << at << ", " << count << " bytes";
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(read),
                                   expected.begin() + static_cast<std::ptrdiff_t>(at)))
                << "at " << at << ", " << count << " bytes";
            EXPECT_EQ(source.Tell(), at + read);
        }
    EXPECT_FALSE(source.Seek(expected.size() + 1));

    // Copied out whole from where it stands.
    CMemorySink sink;
    ASSERT_TRUE(source.Seek(4));
    EXPECT_EQ(CopyRest(source, sink), CopyResult::Done);
    EXPECT_EQ(sink.Bytes(), Bytes(expected.begin() + 4, expected.end()));
}

// A span whose source ends early stops the read there, and a copy says the
// read failed, not the write; a sink that fills says so in turn.
TEST(PiecedSource, ACutSpanStopsTheReadAndTheCopy)
{
    Bytes other(200 * 1024, 0x5A);
    CMemorySource memory(other);
    CCutSource cut(memory, 150 * 1024);
    CPiecedSource source;
    source.AddBytes({1, 2, 3});
    source.AddSpan(cut, 0, other.size());
    source.AddZeros(10);

    Bytes got(source.Size());
    EXPECT_EQ(source.Read(got.data(), got.size()), 3u + 150 * 1024);
    ASSERT_TRUE(source.Seek(0));
    CMemorySink sink;
    EXPECT_EQ(CopyRest(source, sink), CopyResult::ReadFailed);

    CPiecedSource whole;
    whole.AddZeros(100 * 1024);
    CMemorySink small(1000);
    EXPECT_EQ(CopyRest(whole, small), CopyResult::WriteFailed);
}
