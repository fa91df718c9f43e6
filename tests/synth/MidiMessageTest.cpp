#include "synth/MidiMessage.h"

#include <gtest/gtest.h>

#include <vector>

TEST(MidiMessage, PacksStatusAndDataIntoOneWord)
{
    const ShortMessage message = MakeShortMessage(0x93, 60, 127);
    EXPECT_EQ(message, 0x7F3C93u);
    EXPECT_EQ(MessageStatus(message), 0x93);
    EXPECT_EQ(MessageData1(message), 60);
    EXPECT_EQ(MessageData2(message), 127);
    // Only 8 bits of each part: a wide argument never spills into its neighbour.
    EXPECT_EQ(MakeShortMessage(0x1B0, 0x101, 0x17F), 0x7F01B0u);
}

TEST(MidiMessage, OnlyChannelMessagesMoveToTheFirstChannel)
{
    for (int kind = 0x80; kind <= 0xE0; kind += 0x10)
    {
        const ShortMessage message = MakeShortMessage(kind | 0x0F, 0x12, 0x34);
        EXPECT_TRUE(IsChannelMessage(message)) << std::hex << kind;
        EXPECT_EQ(MoveToFirstChannel(message), MakeShortMessage(kind, 0x12, 0x34)) << std::hex << kind;
    }
    // Clock, active sensing, song position, reset and a stray data byte pass as they are.
    for (int status : {0xF8, 0xFE, 0xF2, 0xFF, 0xF1, 0x45})
    {
        const ShortMessage message = MakeShortMessage(status, 0x05, 0x06);
        EXPECT_FALSE(IsChannelMessage(message)) << std::hex << status;
        EXPECT_EQ(MoveToFirstChannel(message), message) << std::hex << status;
    }
}

TEST(MidiMessage, WireLengthFollowsTheStatus)
{
    struct Case
    {
        int status;
        std::size_t length;
    };
    for (const Case& c :
         {Case{0x80, 3}, Case{0x9F, 3}, Case{0xA0, 3}, Case{0xB5, 3}, Case{0xC0, 2}, Case{0xDF, 2},
          Case{0xE3, 3}, Case{0xF1, 2}, Case{0xF2, 3}, Case{0xF3, 2}, Case{0xF6, 1}, Case{0xF8, 1},
          Case{0xFE, 1}, Case{0xFF, 1}, Case{0xF0, 0}, Case{0xF7, 0}, Case{0x7F, 0}, Case{0x00, 0}})
        EXPECT_EQ(ShortMessageLength(c.status), c.length) << std::hex << c.status;
}

TEST(MidiMessage, WireBytesRoundTrip)
{
    const ShortMessageBytes program = ToWireBytes(MakeShortMessage(0xC0, 48, 99));
    ASSERT_EQ(program.length, 2u);
    EXPECT_EQ(program.bytes[0], 0xC0);
    EXPECT_EQ(program.bytes[1], 48);

    // A data byte with its high bit set would read as a status on the wire.
    const ShortMessageBytes note = ToWireBytes(MakeShortMessage(0x90, 0xBC, 0xFF));
    ASSERT_EQ(note.length, 3u);
    EXPECT_EQ(note.bytes[1], 0x3C);
    EXPECT_EQ(note.bytes[2], 0x7F);

    EXPECT_EQ(ToWireBytes(MakeShortMessage(0xF0, 1, 2)).length, 0u);

    const unsigned char noteOn[] = {0x99, 0x24, 0x64, 0x55};
    EXPECT_EQ(FromWireBytes(noteOn, 4), MakeShortMessage(0x99, 0x24, 0x64)); // extra byte ignored
    const unsigned char clock[] = {0xF8};
    EXPECT_EQ(FromWireBytes(clock, 1), MakeShortMessage(0xF8, 0, 0));
    const unsigned char pressure[] = {0xD2, 0x40, 0x7F};
    EXPECT_EQ(FromWireBytes(pressure, 3), MakeShortMessage(0xD2, 0x40, 0)); // two bytes only
}

TEST(MidiMessage, WireBytesThatAreNoShortMessageGiveNothing)
{
    const unsigned char truncated[] = {0x90, 0x3C};
    const unsigned char sysex[] = {0xF0, 0x7E, 0x7F, 0xF7};
    const unsigned char dataOnly[] = {0x3C, 0x40, 0x00};
    EXPECT_FALSE(FromWireBytes(truncated, 2));
    EXPECT_FALSE(FromWireBytes(sysex, 4));
    EXPECT_FALSE(FromWireBytes(dataOnly, 3));
    EXPECT_FALSE(FromWireBytes(truncated, 0));
    EXPECT_FALSE(FromWireBytes(nullptr, 3));
}
