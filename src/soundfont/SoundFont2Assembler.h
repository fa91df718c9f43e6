#pragma once
// Puts presets of several SoundFont 2 banks together into one SoundFont 2
// file, each at the bank and program the caller gives it. What the export of
// a virtual bank writes: the version-1 parts of a document reach it converted
// (CSoundFont2Converter), the version-2 files as they are.
//
// - A preset is copied with its zones, generators and modulators; the
//   instruments and samples it names are copied once per source, however
//   many presets name them.
// - Samples of equal content (points, loop, rate, pitch) are stored once,
//   whichever source they come from: converted patches of one bank file
//   share their samples again in the result.
// - A stereo sample brings its partner along; a partner that cannot be
//   copied leaves it mono.
// - Sources are not trusted: a chunk that is no whole number of records is
//   refused, every index is bounded by its chunk (a range past the end, or
//   going back, counts as nothing), and zones naming an instrument or sample
//   that does not exist, lies in ROM, is compressed or lies outside the sample
//   data are dropped.
// - Before writing, every 16-bit index of the result is counted; a result
//   past one is refused with each limit it passes and by how much.
// - Compressed, the file is a version 3 one as FluidSynth reads them: every
//   sample one Ogg Vorbis stream, its start and end the stream's byte
//   offsets in the sample data, its loop counted from its first decoded
//   point, its type flagged compressed.

#include "platform/ByteStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CSoundFontReader;
class ICompressedSampleEncoder;

class CSoundFont2Assembler
{
public:
    struct Info
    {
        std::string name;     // INAM; "Untitled" when empty
        std::string comment;  // ICMT, left out when empty
        std::string software; // ISFT
        std::string date;     // ICRD, left out when empty
    };
    // Told the share done (0..1) now and then; returning false cancels.
    using Progress = std::function<bool(double)>;

    CSoundFont2Assembler();
    ~CSoundFont2Assembler();
    CSoundFont2Assembler(const CSoundFont2Assembler&) = delete;
    CSoundFont2Assembler& operator=(const CSoundFont2Assembler&) = delete;

    // Takes an opened version-2 bank over; its number for AddPreset, or -1
    // with *error saying why it cannot serve.
    int AddSource(std::unique_ptr<CSoundFontReader> source, std::string* error = nullptr);
    // Preset record `preset` of a source, as program/bank of the result. A
    // later preset on the same bank and program takes the place of the
    // earlier one. False (and *error) for a record the source lacks or a
    // place outside banks 0..128 and programs 0..127.
    bool AddPreset(int source, int preset, int bank, int program, std::string* error = nullptr);

    int PresetCount() const;

    // Writes version 3 instead, every sample compressed by encoder at quality
    // (-0.1 smallest to 1.0 best). Null: version 2 (as made).
    void SetCompression(const ICompressedSampleEncoder* encoder, double quality);

    // Writes the file; false with *error when it does not fit SoundFont 2,
    // a source cannot be read, the sink fails, or progress cancelled. The
    // sink is left as far as it got: write through CAtomicFile.
    bool Write(IByteSink& sink, const Info& info, std::string* error = nullptr,
               const Progress& progress = nullptr);

private:
    struct State;
    std::unique_ptr<State> state;
};
