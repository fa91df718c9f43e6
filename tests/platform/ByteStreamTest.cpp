#include "platform/ByteStream.h"

#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(ByteStream, LittleEndianValuesAreAppendedLowByteFirst)
{
    std::vector<std::uint8_t> out{0xAA};
    AppendLE16(out, 0x1234);
    AppendLE32(out, 0x89ABCDEF);
    AppendLE16(out, 0xFFFF);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xAA, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFF, 0xFF}));
    EXPECT_EQ(ReadLE16(out.data() + 1), 0x1234);
    EXPECT_EQ(ReadLE32(out.data() + 3), 0x89ABCDEFu);
}

// Large reads come from a read-ahead window and small ones through stdio: in
// any mix, at any position, every read answers the file's bytes, and at the
// end as many as there are.
TEST(ByteStream, FileReadsOfAnySizeInAnyOrderAnswerTheFileBytes)
{
    const TempDir dir;
    Bytes bytes(700 * 1024 + 13);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 11));
    const std::string path = dir.Write("data.bin", bytes);
    CFileSource file;
    ASSERT_TRUE(file.Open(path));
    struct Step
    {
        std::uint64_t at; // ~0: read on from where the last read stopped
        std::size_t count;
    };
    constexpr std::uint64_t kOn = ~std::uint64_t{0};
    const Step steps[] = {{0, 10},
                          {kOn, 40000},
                          {kOn, 3},
                          {kOn, 30000},
                          {100000, 20000},
                          {90000, 17000},
                          {kOn, 5},
                          {260000, 300000},
                          {kOn, 20},
                          {kOn, 16384},
                          {bytes.size() - 20000, 50000},
                          {kOn, 100},
                          {5, 700000},
                          {0, 1}};
    for (const Step& step : steps)
    {
        const std::uint64_t at = step.at == kOn ? file.Tell() : step.at;
        if (step.at != kOn)
        {
            ASSERT_TRUE(file.Seek(at));
        }
        Bytes got(step.count, 0xEE);
        const std::size_t read = file.Read(got.data(), got.size());
        const std::size_t expected = std::min<std::size_t>(step.count, bytes.size() - at);
        ASSERT_EQ(read, expected) << "at " << at << ", " << step.count << " bytes";
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(read),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at)))
            << "at " << at << ", " << step.count << " bytes";
        EXPECT_EQ(file.Tell(), at + read);
    }
    EXPECT_FALSE(file.Seek(bytes.size() + 1));
}
