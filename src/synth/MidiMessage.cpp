#include "synth/MidiMessage.h"

#include "synth/MidiStatus.h"

ShortMessage MakeShortMessage(int status, int data1, int data2)
{
    return (static_cast<ShortMessage>(status) & 0xFF) | ((static_cast<ShortMessage>(data1) & 0xFF) << 8) |
           ((static_cast<ShortMessage>(data2) & 0xFF) << 16);
}

bool IsChannelMessage(ShortMessage message)
{
    return IsChannelStatus(MessageStatus(message));
}

ShortMessage MoveToFirstChannel(ShortMessage message)
{
    return IsChannelMessage(message) ? (message & ~ShortMessage{0x0F}) : message;
}

std::size_t ShortMessageLength(int status)
{
    status &= 0xFF;
    if (!IsStatusByte(status))
        return 0;
    switch (StatusKind(status))
    {
    case MidiStatus::ProgramChange:
    case MidiStatus::ChannelPressure:
        return 2;
    case MidiStatus::NoteOff:
    case MidiStatus::NoteOn:
    case MidiStatus::KeyPressure:
    case MidiStatus::ControlChange:
    case MidiStatus::PitchBend:
        return 3;
    case MidiStatus::SysExStart: // SysEx start and end travel as long messages, never as short ones
    case MidiStatus::SysExEnd:
        return 0;
    case MidiStatus::TimeCode: // a quarter frame
    case MidiStatus::SongSelect:
        return 2;
    case MidiStatus::SongPosition:
        return 3;
    default: // tune request, real-time messages and the undefined ones
        return 1;
    }
}

ShortMessageBytes ToWireBytes(ShortMessage message)
{
    ShortMessageBytes out;
    out.length = ShortMessageLength(MessageStatus(message));
    out.bytes[0] = static_cast<unsigned char>(MessageStatus(message));
    out.bytes[1] = static_cast<unsigned char>(MessageData1(message) & 0x7F);
    out.bytes[2] = static_cast<unsigned char>(MessageData2(message) & 0x7F);
    return out;
}

std::optional<ShortMessage> FromWireBytes(const unsigned char* bytes, std::size_t size)
{
    if (!bytes || size == 0)
        return std::nullopt;
    const std::size_t length = ShortMessageLength(bytes[0]);
    if (length == 0 || size < length)
        return std::nullopt;
    return MakeShortMessage(bytes[0], length > 1 ? bytes[1] : 0, length > 2 ? bytes[2] : 0);
}
