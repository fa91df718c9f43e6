#pragma once
// Builds Standard MIDI Files in memory for tests, benchmarks and fuzzer
// seeds: tracks of timed events (running status written where asked), any
// format, division and track count, and the damage real files come with
// (a track length past the end, a header that claims more tracks).

#include "support/RiffBuilder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class MidiTrackBuilder
{
public:
    // Ticks before the next event.
    MidiTrackBuilder& Wait(std::uint32_t ticks);
    // A channel message with its status byte; Running() writes the next one without it.
    MidiTrackBuilder& Message(int status, int data1, int data2 = -1);
    MidiTrackBuilder& Running(int data1, int data2 = -1);
    MidiTrackBuilder& NoteOn(int channel, int key, int velocity = 100);
    MidiTrackBuilder& NoteOff(int channel, int key);
    MidiTrackBuilder& Program(int channel, int program);
    MidiTrackBuilder& BankSelect(int channel, int bank);
    MidiTrackBuilder& Tempo(std::uint32_t microsecondsPerQuarter);
    MidiTrackBuilder& Name(const std::string& name);
    MidiTrackBuilder& Meta(int type, const Bytes& data);
    // F0, the length, then the bytes given (which end in F7 when whole).
    MidiTrackBuilder& SysEx(const Bytes& data);
    MidiTrackBuilder& GsReset();
    MidiTrackBuilder& GmReset();
    // Bytes as they stand, after the pending delta time.
    MidiTrackBuilder& Raw(const Bytes& bytes);
    // Leaves out the end-of-track event Build adds.
    MidiTrackBuilder& NoEnd();

    Bytes Build() const;
    static void PutNumber(Bytes& out, std::uint32_t value);

private:
    void Delta();

    Bytes bytes;
    std::uint32_t pending = 0;
    bool end = true;
};

class MidiFileBuilder
{
public:
    MidiFileBuilder& Format(int format);
    MidiFileBuilder& Division(int ticksPerQuarter); // raw 16 bits (SMPTE when the top bit is set)
    MidiFileBuilder& DeclaredTracks(int count);     // what the header claims (default: the tracks added)
    MidiFileBuilder& Track(const MidiTrackBuilder& track);
    // The last track added claims this many bytes instead of its own length.
    MidiFileBuilder& ClaimedLength(std::uint32_t length);
    // Wrapped in a RIFF "RMID" form, as .rmi files are.
    MidiFileBuilder& Rmid(bool yes = true);

    Bytes Build() const;

private:
    int format = 1;
    int division = 480;
    std::optional<int> declared;
    std::vector<Bytes> tracks;
    std::vector<std::optional<std::uint32_t>> claimed;
    bool rmid = false;
};
