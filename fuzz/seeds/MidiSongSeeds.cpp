// Seeds of the MIDI song target: songs of both types with tempo changes,
// running status, bank selects, drums and resets, and the damaged forms the
// reader refuses.

#include "SeedSet.h"

#include "support/MidiFileBuilder.h"

namespace
{
MidiTrackBuilder Melody(int channel, int bank)
{
    MidiTrackBuilder track;
    track.BankSelect(channel, bank).Program(channel, 0);
    for (int key = 60; key < 66; ++key)
        track.NoteOn(channel, key).Wait(120).Running(key, 0).Wait(120);
    return track;
}

void Make(CSeedSet& seeds)
{
    MidiTrackBuilder conductor;
    conductor.Name("Seed").Tempo(500000).Wait(480).Tempo(250000).Wait(480).Tempo(1000000);
    seeds.Add("type0", MidiFileBuilder().Format(0).Track(Melody(0, 0)).Build());
    seeds.Add("type1",
              MidiFileBuilder().Format(1).Track(conductor).Track(Melody(0, 5)).Track(Melody(9, 0)).Build());
    MidiTrackBuilder resets;
    resets.GsReset().BankSelect(0, 1).Program(0, 3).GmReset().NoteOn(0, 60).Wait(96).NoteOff(0, 60);
    resets.Message(0xE0, 0, 96).Message(0xB0, 7, 100).Message(0xD0, 40).Message(0xA0, 60, 10);
    resets.SysEx({0x41, 0x10, 0x42, 0x12, 0x40, 0x01, 0x30, 0x04, 0x0B, 0xF7});
    seeds.Add("resets", MidiFileBuilder().Format(0).Track(resets).Build());
    seeds.Add("rmid", MidiFileBuilder().Format(0).Track(Melody(0, 0)).Rmid().Build());
    MidiTrackBuilder zero;
    zero.Tempo(0).NoteOn(0, 60);
    seeds.Add("zero-tempo", MidiFileBuilder().Track(zero).Build());
    seeds.Add("track-past-end", MidiFileBuilder().Track(Melody(0, 0)).ClaimedLength(0x7FFFFFFF).Build());
    seeds.Add("many-tracks", MidiFileBuilder().DeclaredTracks(65535).Track(Melody(0, 0)).Build());
    MidiTrackBuilder endless;
    endless.Raw({0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x41}).NoEnd();
    seeds.Add("endless-sysex", MidiFileBuilder().Track(endless).Build());
}

const RegisterSeeds registration("MidiSong", Make);
} // namespace
