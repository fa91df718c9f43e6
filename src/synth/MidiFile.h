#pragma once
// Standard MIDI Files (.mid, .midi, .kar; and .rmi, a RIFF "RMID" form
// wrapping one) read for what the program shows and checks before a song is
// played: its name, its length in ticks and in seconds through its tempo map,
// and whether the player can be trusted with it at all.
//
// The player itself (FluidSynth's) reads the events again when it plays. It
// keeps tick counts in a signed int, divides by the tempo and by the ticks
// per quarter note, and takes at most 128 tracks, so a file it would misread
// (a zero tempo or division, a track past the end of the file, a tick count
// near 2^31, more tracks than it holds) is refused here with a reason, and
// a file accepted here has a length the renderer can bound itself by.

#include "platform/ByteStream.h"

#include <cstdint>
#include <string>
#include <vector>

struct MidiTempo
{
    std::uint64_t tick = 0;
    std::uint32_t microsecondsPerQuarter = 500000;
};

struct MidiSong
{
    int format = 0;   // 0, 1 or 2
    int tracks = 0;   // track chunks read
    int division = 0; // ticks per quarter note
    // The first sequence or track name of the first track, bytes as stored
    // (often Windows-1252); empty when the song has none.
    std::string name;
    std::uint64_t lastTick = 0; // the latest event of any track
    int notes = 0;              // note-ons with a velocity
    // Tempo changes by tick, the first at tick 0 (120 bpm unless the song says otherwise).
    std::vector<MidiTempo> tempos;
    // The Standard MIDI File as the player is given it: unwrapped from an
    // RMID form, and each system exclusive message shorter than 128 bytes
    // re-encoded in place as a text event (type 1) holding its bytes but the
    // closing F7, which is how a playback callback gets to see it.
    std::vector<std::uint8_t> playerBytes;

    double SecondsAt(std::uint64_t tick) const;
    double Seconds() const { return SecondsAt(lastTick); }
    // The tick playing at a time (0 before the start, lastTick after the end).
    std::uint64_t TickAt(double seconds) const;
};

class CMidiFile
{
public:
    // What the player takes.
    static constexpr int kMaxTracks = 128;
    static constexpr std::uint64_t kMaxTick = std::uint64_t{1} << 30;
    // Nobody keeps a four-hour song; a file that claims to be one is broken.
    static constexpr double kMaxSeconds = 4 * 3600.0;
    static constexpr std::uint64_t kMaxFileSize = 16u << 20;

    // Reads a whole file; false with a one-line reason (English) when it is
    // not a MIDI file the player can be given.
    static bool Read(IByteSource& source, MidiSong& song, std::string& error);
    static bool Read(const std::string& path, MidiSong& song, std::string& error);

    // Whether a file name has one of the extensions songs come with.
    static bool HasSongExtension(const std::string& path);
};
