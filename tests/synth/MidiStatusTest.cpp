// Status bytes by name: the kind and channel of a byte, and back.

#include "synth/MidiStatus.h"

#include <gtest/gtest.h>

TEST(MidiStatus, ChannelMessagesSplitIntoKindAndChannelAndSystemMessagesStayWhole)
{
    EXPECT_EQ(StatusByte(MidiStatus::NoteOn, 9), 0x99);
    EXPECT_EQ(StatusByte(MidiStatus::ControlChange, 17), 0xB1) << "only the channel's low four bits count";
    EXPECT_EQ(StatusKind(0x9F), MidiStatus::NoteOn);
    EXPECT_EQ(StatusChannel(0x9F), 15);
    EXPECT_EQ(StatusKind(0xEF), MidiStatus::PitchBend);
    EXPECT_TRUE(IsChannelStatus(0x80));
    EXPECT_TRUE(IsChannelStatus(0xEF));
    EXPECT_FALSE(IsChannelStatus(0xF0));
    EXPECT_FALSE(IsChannelStatus(0x7F));
    // A system message's low bits are part of it, not a channel.
    EXPECT_EQ(StatusKind(0xFF), MidiStatus::SystemReset);
    EXPECT_EQ(StatusKind(0xF8), MidiStatus::Clock);
    EXPECT_FALSE(IsStatusByte(0x40));
    EXPECT_TRUE(IsStatusByte(0xFF));
}
