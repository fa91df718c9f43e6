#pragma once
// MIDI status bytes and the controller numbers the card's sound follows, by
// name. A channel message's status is its kind in the high nibble and the
// channel (0..15) in the low one; system messages are whole bytes.

#include <cstdint>

enum class MidiStatus : std::uint8_t
{
    // Channel messages (the kind; see StatusByte for the byte on a channel).
    NoteOff = 0x80,
    NoteOn = 0x90,
    KeyPressure = 0xA0,
    ControlChange = 0xB0,
    ProgramChange = 0xC0,
    ChannelPressure = 0xD0,
    PitchBend = 0xE0,
    // System messages.
    SysExStart = 0xF0,
    TimeCode = 0xF1,
    SongPosition = 0xF2,
    SongSelect = 0xF3,
    SysExEnd = 0xF7,
    Clock = 0xF8,
    ActiveSensing = 0xFE,
    SystemReset = 0xFF,
};

enum class MidiController : std::uint8_t
{
    BankSelect = 0,
    BankSelectLsb = 32,
    ReverbSend = 91,
    ChorusSend = 93,
    AllSoundsOff = 120,
};

constexpr int kMidiChannels = 16;

// The status byte of a channel message kind on a channel (only its low four bits count).
constexpr int StatusByte(MidiStatus kind, int channel = 0)
{
    return static_cast<int>(kind) | (channel & 0x0F);
}

constexpr bool IsStatusByte(int status)
{
    return status >= 0x80 && status <= 0xFF;
}

constexpr bool IsChannelStatus(int status)
{
    return status >= 0x80 && status < static_cast<int>(MidiStatus::SysExStart);
}

// The kind of a channel message's status byte (channel cleared); a system
// message's status byte as it stands.
constexpr MidiStatus StatusKind(int status)
{
    return static_cast<MidiStatus>(IsChannelStatus(status) ? (status & 0xF0) : (status & 0xFF));
}

constexpr int StatusChannel(int status)
{
    return status & 0x0F;
}
