#pragma once
// MIDI short messages packed the classic way into one 32-bit word: status in
// bits 0..7, first data byte in bits 8..15, second data byte in bits 16..23.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

using ShortMessage = std::uint32_t;

// Only the low 8 bits of each argument are kept.
ShortMessage MakeShortMessage(int status, int data1, int data2);
inline int MessageStatus(ShortMessage message)
{
    return static_cast<int>(message & 0xFF);
}
inline int MessageData1(ShortMessage message)
{
    return static_cast<int>((message >> 8) & 0xFF);
}
inline int MessageData2(ShortMessage message)
{
    return static_cast<int>((message >> 16) & 0xFF);
}

// Note off, note on, key pressure, controller, program, channel pressure, pitch bend.
bool IsChannelMessage(ShortMessage message);

// The message as it leaves the keyboard: a channel message moves to channel 1
// (low status nibble cleared). System messages keep their status, since
// clearing their low bits would turn a clock (0xF8) or active sensing (0xFE)
// into the start of a SysEx.
ShortMessage MoveToFirstChannel(ShortMessage message);

// Bytes on the wire for a status byte: 1 to 3, or 0 for what is no short
// message (a data byte where the status belongs, SysEx start 0xF0 and its end 0xF7).
std::size_t ShortMessageLength(int status);

// The wire bytes of a message; length 0 when it is no short message. Data
// bytes are cut to 7 bits so that a stray high bit never reads as a status.
struct ShortMessageBytes
{
    std::array<unsigned char, 3> bytes{};
    std::size_t length = 0;
};
ShortMessageBytes ToWireBytes(ShortMessage message);

// Packs received wire bytes; nothing for an empty or short buffer, a missing
// status or SysEx. Bytes beyond the message's length are ignored.
std::optional<ShortMessage> FromWireBytes(const unsigned char* bytes, std::size_t size);
