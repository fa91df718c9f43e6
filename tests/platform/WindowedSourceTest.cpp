#include "platform/WindowedSource.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

// Whatever spans are held, every read answers the inner source's bytes,
// across the edges of a span and up to the end.
TEST(WindowedSource, ReadsAnswerTheInnerBytesInAndAroundHeldSpans)
{
    std::vector<std::uint8_t> bytes(1000);
    std::iota(bytes.begin(), bytes.end(), 0);
    CWindowedSource source(std::make_unique<CMemorySource>(bytes));
    EXPECT_TRUE(source.Keep(100, 50));
    EXPECT_TRUE(source.Keep(300, 5000)) << "a span is cut at the end of the source";
    EXPECT_FALSE(source.Keep(120, 10)) << "spans never overlap";
    EXPECT_FALSE(source.Keep(1000, 10));

    for (const auto& [at, count] :
         {std::pair{90, 20}, {140, 200}, {0, 1000}, {990, 50}, {149, 1}, {150, 150}})
    {
        ASSERT_TRUE(source.Seek(static_cast<std::uint64_t>(at)));
        std::vector<std::uint8_t> got(static_cast<std::size_t>(count), 0xEE);
        const std::size_t read = source.Read(got.data(), got.size());
        const std::size_t expected = std::min<std::size_t>(static_cast<std::size_t>(count), 1000u - at);
        ASSERT_EQ(read, expected) << "at " << at;
        EXPECT_TRUE(
            std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(read), bytes.begin() + at))
            << "at " << at;
        EXPECT_EQ(source.Tell(), static_cast<std::uint64_t>(at) + read);
    }
    EXPECT_FALSE(source.Seek(1001));
    EXPECT_EQ(source.Size(), 1000u);
}
