#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

TEST(TextEncoding, Utf8ValidityIsStrict)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("Piano"));
    EXPECT_TRUE(IsValidUtf8("\xC3\xA4"));
    EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9D\x84\x9E"));
    EXPECT_FALSE(IsValidUtf8("\xE4"));             // Windows-1252 a-umlaut
    EXPECT_FALSE(IsValidUtf8("\xC3"));             // cut short
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\x80"));
}

TEST(TextEncoding, StoredBytesShowAsUtf8OrAsWindows1252)
{
    EXPECT_EQ(StoredTextToDisplay("Gr\xC3\xA4"
                                  "fin"),
              "Gr\xC3\xA4"
              "fin");
    EXPECT_EQ(StoredTextToDisplay("Gr\xE4"
                                  "fin"),
              "Gr\xC3\xA4"
              "fin");
    EXPECT_EQ(StoredTextToDisplay("\x80 \x9F \xA0 \xFF"), "\xE2\x82\xAC \xC5\xB8 \xC2\xA0 \xC3\xBF");
    EXPECT_EQ(StoredTextToDisplay("\x81\x8D"), "\xC2\x81\xC2\x8D");
    EXPECT_EQ(Windows1252ToUtf8("plain"), "plain");
}

TEST(TextEncoding, SixteenBitUnitsToUtf8)
{
    const std::uint8_t units[] = {'A', 0, 0xAC, 0x20, 0x34, 0xD8, 0x1E, 0xDD, 0x00, 0xDC, 'B', 0};
    EXPECT_EQ(Utf16LeToUtf8(units, 6), "A\xE2\x82\xAC\xF0\x9D\x84\x9E\xEF\xBF\xBD"
                                       "B");
    // A high surrogate as the last unit has no partner.
    EXPECT_EQ(Utf16LeToUtf8(units + 4, 1), "\xEF\xBF\xBD");
}
