#include "platform/ByteStream.h"

#include <gtest/gtest.h>

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
