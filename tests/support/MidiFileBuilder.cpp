#include "support/MidiFileBuilder.h"

namespace
{
void PutBig(Bytes& out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}
} // namespace

void MidiTrackBuilder::PutNumber(Bytes& out, std::uint32_t value)
{
    std::uint8_t groups[5];
    int count = 0;
    do
    {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 5);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

void MidiTrackBuilder::Delta()
{
    PutNumber(bytes, pending);
    pending = 0;
}

MidiTrackBuilder& MidiTrackBuilder::Wait(std::uint32_t ticks)
{
    pending += ticks;
    return *this;
}

MidiTrackBuilder& MidiTrackBuilder::Message(int status, int data1, int data2)
{
    Delta();
    bytes.push_back(static_cast<std::uint8_t>(status));
    bytes.push_back(static_cast<std::uint8_t>(data1));
    if (data2 >= 0)
        bytes.push_back(static_cast<std::uint8_t>(data2));
    return *this;
}

MidiTrackBuilder& MidiTrackBuilder::Running(int data1, int data2)
{
    Delta();
    bytes.push_back(static_cast<std::uint8_t>(data1));
    if (data2 >= 0)
        bytes.push_back(static_cast<std::uint8_t>(data2));
    return *this;
}

MidiTrackBuilder& MidiTrackBuilder::NoteOn(int channel, int key, int velocity)
{
    return Message(0x90 | channel, key, velocity);
}

MidiTrackBuilder& MidiTrackBuilder::NoteOff(int channel, int key)
{
    return Message(0x80 | channel, key, 0);
}

MidiTrackBuilder& MidiTrackBuilder::Program(int channel, int program)
{
    return Message(0xC0 | channel, program);
}

MidiTrackBuilder& MidiTrackBuilder::BankSelect(int channel, int bank)
{
    return Message(0xB0 | channel, 0, bank);
}

MidiTrackBuilder& MidiTrackBuilder::Meta(int type, const Bytes& data)
{
    Delta();
    bytes.push_back(0xFF);
    bytes.push_back(static_cast<std::uint8_t>(type));
    PutNumber(bytes, static_cast<std::uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

MidiTrackBuilder& MidiTrackBuilder::Tempo(std::uint32_t microseconds)
{
    return Meta(0x51,
                {static_cast<std::uint8_t>(microseconds >> 16), static_cast<std::uint8_t>(microseconds >> 8),
                 static_cast<std::uint8_t>(microseconds)});
}

MidiTrackBuilder& MidiTrackBuilder::Name(const std::string& name)
{
    return Meta(0x03, Bytes(name.begin(), name.end()));
}

MidiTrackBuilder& MidiTrackBuilder::SysEx(const Bytes& data)
{
    Delta();
    bytes.push_back(0xF0);
    PutNumber(bytes, static_cast<std::uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

MidiTrackBuilder& MidiTrackBuilder::GsReset()
{
    return SysEx({0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
}

MidiTrackBuilder& MidiTrackBuilder::GmReset()
{
    return SysEx({0x7E, 0x7F, 0x09, 0x01, 0xF7});
}

MidiTrackBuilder& MidiTrackBuilder::Raw(const Bytes& raw)
{
    Delta();
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    return *this;
}

MidiTrackBuilder& MidiTrackBuilder::NoEnd()
{
    end = false;
    return *this;
}

Bytes MidiTrackBuilder::Build() const
{
    Bytes out = bytes;
    if (end)
    {
        PutNumber(out, pending);
        out.insert(out.end(), {0xFF, 0x2F, 0x00});
    }
    return out;
}

MidiFileBuilder& MidiFileBuilder::Format(int value)
{
    format = value;
    return *this;
}

MidiFileBuilder& MidiFileBuilder::Division(int value)
{
    division = value;
    return *this;
}

MidiFileBuilder& MidiFileBuilder::DeclaredTracks(int count)
{
    declared = count;
    return *this;
}

MidiFileBuilder& MidiFileBuilder::Track(const MidiTrackBuilder& track)
{
    tracks.push_back(track.Build());
    claimed.emplace_back();
    return *this;
}

MidiFileBuilder& MidiFileBuilder::ClaimedLength(std::uint32_t length)
{
    if (!claimed.empty())
        claimed.back() = length;
    return *this;
}

MidiFileBuilder& MidiFileBuilder::Rmid(bool yes)
{
    rmid = yes;
    return *this;
}

Bytes MidiFileBuilder::Build() const
{
    Bytes out = {'M', 'T', 'h', 'd'};
    PutBig(out, 6, 4);
    PutBig(out, static_cast<std::uint32_t>(format), 2);
    PutBig(out, static_cast<std::uint32_t>(declared.value_or(static_cast<int>(tracks.size()))), 2);
    PutBig(out, static_cast<std::uint32_t>(division), 2);
    for (std::size_t i = 0; i < tracks.size(); ++i)
    {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        PutBig(out, claimed[i].value_or(static_cast<std::uint32_t>(tracks[i].size())), 4);
        out.insert(out.end(), tracks[i].begin(), tracks[i].end());
    }
    if (!rmid)
        return out;
    Bytes form = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a'};
    const auto size = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i)
        form.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    form.insert(form.end(), out.begin(), out.end());
    if (size & 1)
        form.push_back(0);
    const auto formSize = static_cast<std::uint32_t>(form.size() - 8);
    for (int i = 0; i < 4; ++i)
        form[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(formSize >> (8 * i));
    return form;
}
