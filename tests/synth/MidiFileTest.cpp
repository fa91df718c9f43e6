// Standard MIDI Files read for their name, length and tempo map, and the
// damaged or hostile ones refused before the player sees them.

#include "synth/MidiFile.h"
#include "support/MidiFileBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
bool Read(const Bytes& bytes, MidiSong& song, std::string& error)
{
    CMemorySource source(bytes);
    return CMidiFile::Read(source, song, error);
}

// Two quarter notes at 120 bpm, then two at 60 bpm: 1 + 2 = 3 seconds.
Bytes TempoChangeSong()
{
    MidiTrackBuilder conductor;
    conductor.Name("Tempo Song").Tempo(500000).Wait(960).Tempo(1000000).Wait(960);
    MidiTrackBuilder notes;
    notes.NoteOn(0, 60).Wait(480).NoteOff(0, 60).NoteOn(0, 62).Wait(480).NoteOff(0, 62);
    notes.NoteOn(0, 64).Wait(480).NoteOff(0, 64).NoteOn(0, 65).Wait(480).NoteOff(0, 65);
    return MidiFileBuilder().Format(1).Division(480).Track(conductor).Track(notes).Build();
}
} // namespace

TEST(MidiFile, TheTempoMapGivesTheLengthAndTheTimeOfEveryTick)
{
    MidiSong song;
    std::string error;
    ASSERT_TRUE(Read(TempoChangeSong(), song, error)) << error;
    EXPECT_EQ(song.format, 1);
    EXPECT_EQ(song.tracks, 2);
    EXPECT_EQ(song.division, 480);
    EXPECT_EQ(song.name, "Tempo Song");
    EXPECT_EQ(song.notes, 4);
    EXPECT_EQ(song.lastTick, 1920u);
    EXPECT_NEAR(song.Seconds(), 3.0, 1e-9);
    EXPECT_NEAR(song.SecondsAt(480), 0.5, 1e-9);
    EXPECT_NEAR(song.SecondsAt(1440), 2.0, 1e-9);
    EXPECT_EQ(song.TickAt(0.5), 480u);
    EXPECT_EQ(song.TickAt(2.0), 1440u);
    EXPECT_EQ(song.TickAt(-1), 0u);
    EXPECT_EQ(song.TickAt(99), song.lastTick);

    // Without any tempo the song runs at 120 bpm.
    MidiTrackBuilder plain;
    plain.NoteOn(0, 60).Wait(960).NoteOff(0, 60);
    ASSERT_TRUE(Read(MidiFileBuilder().Format(0).Division(96).Track(plain).Build(), song, error)) << error;
    EXPECT_NEAR(song.Seconds(), 5.0, 1e-9);
    EXPECT_EQ(song.name, "");
}

TEST(MidiFile, RunningStatusRmidFormsAndShortSysExAreWhatThePlayerIsGiven)
{
    // Running status: note-ons after the first without their status byte,
    // note-offs as note-ons of velocity 0 (which are no notes).
    MidiTrackBuilder running;
    running.NoteOn(0, 60).Wait(10).Running(60, 0).Wait(10).Running(62, 90).Wait(10).Running(62, 0);
    running.GsReset().GmReset().SysEx(Bytes(200, 0x10));
    const Bytes smf = MidiFileBuilder().Format(0).Track(running).Build();
    MidiSong song;
    std::string error;
    ASSERT_TRUE(Read(smf, song, error)) << error;
    EXPECT_EQ(song.notes, 2);
    EXPECT_EQ(song.lastTick, 30u);
    ASSERT_EQ(song.playerBytes.size(), smf.size()) << "re-encoded in place";

    // The resets are now text events of the same length; the long message is left as it was.
    const Bytes gs = {0xFF, 0x01, 0x09, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41};
    const Bytes gm = {0xFF, 0x01, 0x04, 0x7E, 0x7F, 0x09, 0x01};
    EXPECT_NE(std::search(song.playerBytes.begin(), song.playerBytes.end(), gs.begin(), gs.end()),
              song.playerBytes.end());
    EXPECT_NE(std::search(song.playerBytes.begin(), song.playerBytes.end(), gm.begin(), gm.end()),
              song.playerBytes.end());
    const Bytes longSysEx = {0xF0, 0x81, 0x48, 0x10, 0x10};
    EXPECT_NE(
        std::search(song.playerBytes.begin(), song.playerBytes.end(), longSysEx.begin(), longSysEx.end()),
        song.playerBytes.end());

    // The same song in a RIFF form: the player gets the song inside it.
    MidiSong wrapped;
    ASSERT_TRUE(Read(MidiFileBuilder().Format(0).Track(running).Rmid().Build(), wrapped, error)) << error;
    EXPECT_EQ(wrapped.playerBytes, song.playerBytes);
    EXPECT_EQ(wrapped.lastTick, song.lastTick);

    // Chunks of other kinds between tracks are skipped.
    Bytes alien = MidiFileBuilder().Format(0).Track(running).Build();
    const Bytes extra = {'X', 'T', 'R', 'A', 0, 0, 0, 2, 1, 2};
    alien.insert(alien.begin() + 14, extra.begin(), extra.end());
    ASSERT_TRUE(Read(alien, song, error)) << error;
    EXPECT_EQ(song.notes, 2);
}

TEST(MidiFile, DamagedAndHostileFilesAreRefusedWithAReason)
{
    MidiTrackBuilder note;
    note.NoteOn(0, 60).Wait(480).NoteOff(0, 60);
    MidiTrackBuilder zeroTempo;
    zeroTempo.Tempo(0).NoteOn(0, 60);
    MidiTrackBuilder endlessSysEx;
    endlessSysEx.Raw({0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x41}).NoEnd();
    MidiTrackBuilder farAway;
    for (int i = 0; i < 9; ++i)
        farAway.Wait(0x0FFFFFFF).Meta(0x01, {});
    farAway.NoteOn(0, 60);
    MidiTrackBuilder longTempo;
    longTempo.Meta(0x51, {0x07, 0xA1, 0x20, 0x00});
    MidiTrackBuilder orphanData;
    orphanData.Raw({0x3C, 0x40});
    MidiTrackBuilder cutShort;
    cutShort.Raw({0x90, 0x3C}).NoEnd();
    MidiTrackBuilder badNumber;
    badNumber.Raw({0xFF, 0xFF, 0xFF, 0xFF, 0x7F}).NoEnd();
    MidiTrackBuilder realTime;
    realTime.Raw({0xF8});
    // A song that lasts days: the slowest tempo over a long stretch.
    MidiTrackBuilder slow;
    slow.Tempo(0xFFFFFF).Wait(96 * 20000).NoteOn(0, 60);

    struct Case
    {
        const char* what;
        Bytes bytes;
        const char* reason;
    };
    std::vector<Case> cases = {
        {"empty", {}, "not a Standard MIDI File"},
        {"wave", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}, "not a Standard MIDI File"},
        {"rmid without data", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}, "without its song"},
        // An odd chunk length whose padding byte would lie past the end.
        {"rmid odd chunk at the end",
         {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T', 3, 0, 0, 0, 1, 2, 3},
         "without its song"},
        {"zero tempo", MidiFileBuilder().Track(zeroTempo).Build(), "tempo of zero"},
        {"tempo of four bytes", MidiFileBuilder().Track(longTempo).Build(), "not 3"},
        {"zero division", MidiFileBuilder().Division(0).Track(note).Build(), "zero ticks"},
        {"SMPTE", MidiFileBuilder().Division(0xE728).Track(note).Build(), "SMPTE"},
        {"format 3", MidiFileBuilder().Format(3).Track(note).Build(), "format 3"},
        {"65535 tracks", MidiFileBuilder().DeclaredTracks(65535).Track(note).Build(), "65535 tracks"},
        {"129 tracks", MidiFileBuilder().DeclaredTracks(129).Track(note).Build(), "129 tracks"},
        {"no tracks", MidiFileBuilder().DeclaredTracks(0).Build(), "0 tracks"},
        {"fewer tracks than declared", MidiFileBuilder().DeclaredTracks(3).Track(note).Build(),
         "ends after 1"},
        {"track past the end", MidiFileBuilder().Track(note).ClaimedLength(0xFFFFFFF0).Build(),
         "past the end"},
        {"endless sysex", MidiFileBuilder().Track(endlessSysEx).Build(), "system exclusive"},
        {"events at 2^31", MidiFileBuilder().Track(farAway).Build(), "too far"},
        {"four hours and more", MidiFileBuilder().Division(96).Track(slow).Build(), "four hours"},
        {"data byte without status", MidiFileBuilder().Track(orphanData).Build(), "data byte"},
        {"message cut short", MidiFileBuilder().Track(cutShort).Build(), "cut short"},
        {"number of five bytes", MidiFileBuilder().Track(badNumber).Build(), "past the end of its track"},
        {"real-time byte", MidiFileBuilder().Track(realTime).Build(), "no place in a file"},
    };
    // Every prefix of a good file: none read beyond its bytes, each refused or read whole.
    const Bytes good = TempoChangeSong();
    for (std::size_t length = 0; length < good.size(); ++length)
    {
        MidiSong song;
        std::string error;
        EXPECT_FALSE(
            Read(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)), song, error))
            << length;
        EXPECT_FALSE(error.empty()) << length;
        EXPECT_TRUE(song.playerBytes.empty()) << length;
    }
    for (const Case& item : cases)
    {
        MidiSong song;
        std::string error;
        EXPECT_FALSE(Read(item.bytes, song, error)) << item.what;
        EXPECT_NE(error.find(item.reason), std::string::npos) << item.what << ": " << error;
        EXPECT_TRUE(song.playerBytes.empty()) << item.what;
    }
}

TEST(MidiFile, SongsAreKnownByTheirExtensions)
{
    for (const char* name : {"a.mid", "B.MID", "c.midi", "song.kar", "x/y.rmi", "z.Rmi"})
        EXPECT_TRUE(CMidiFile::HasSongExtension(name)) << name;
    for (const char* name : {"a.mp3", "mid", "a.mid/b", "a.midx", "", "a.sbk"})
        EXPECT_FALSE(CMidiFile::HasSongExtension(name)) << name;
}
