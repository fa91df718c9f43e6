#pragma once
// Builds SoundFont 1 banks (.sbk, RIFF form "sfbk") for tests, benchmarks and
// fuzz seeds. A bank is described by its structure: samples, instruments that
// name samples, presets that name instruments. The builder writes the records,
// the closing record of every list and the chunk sizes; hooks then damage the
// result where a test needs a broken file.
//
//   SoundFontBuilder bank;
//   bank.Info("INAM", "Test Bank").SampleData(4096);
//   const int s = bank.AddSample(0, 100);
//   const int i = bank.AddInstrument("Piano", {s});
//   bank.AddPreset("Grand Piano", 0, 0, {i});
//   const Bytes file = bank.Build();
//
// Layout: RIFF "sfbk" { LIST "INFO" { ifil, texts }, LIST "sdta" { snam, smpl },
// LIST "pdta" { phdr, pbag, pmod, pgen, inst, ibag, imod, igen, shdr } }.
// Every preset and instrument zone carries a key range generator before the
// generator that names its instrument or sample.

#include "support/RiffBuilder.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SfGenerator
{
    std::uint16_t oper;
    std::uint16_t amount;
};
using SfZone = std::vector<SfGenerator>;

constexpr std::uint16_t kSfGenKeyRange = 43;
constexpr std::uint16_t kSfGenInstrument = 41;
constexpr std::uint16_t kSfGenSampleId = 53;

struct SfTreeNode; // the chunk tree a builder writes

class SoundFontBuilder
{
public:
    // An INFO text chunk ("INAM", "IENG", ...), written with one closing zero byte.
    SoundFontBuilder& Info(std::string_view id, std::string_view text);
    // The "ifil" version (1.0 unless set). From version 2 on the sample
    // records are the 46-byte ones, closed by a terminal "EOS" record, and
    // the "sdta" list has no "snam".
    SoundFontBuilder& Version(std::uint16_t major, std::uint16_t minor = 1);
    // The type of a version 2/3 sample record (1, mono, unless set): 0x8000
    // ROM, 0x10 compressed.
    SoundFontBuilder& SampleType(int sample, std::uint16_t type);
    // Size in bytes of the "smpl" chunk; its content is a fixed pattern.
    SoundFontBuilder& SampleData(std::uint32_t bytes);

    // Each returns the index of the new record. Positions count sample points.
    int AddSample(std::uint32_t start, std::uint32_t end);
    // One zone per listed sample.
    int AddInstrument(std::string_view name, const std::vector<int>& samples);
    int AddInstrumentZones(std::string_view name, std::vector<SfZone> zones);
    // One zone per listed instrument.
    int AddPreset(std::string_view name, std::uint16_t number, std::uint16_t bank,
                  const std::vector<int>& instruments);
    int AddPresetZones(std::string_view name, std::uint16_t number, std::uint16_t bank,
                       std::vector<SfZone> zones);

    // Damage. A key names a chunk by its id ("phdr", "INAM", "smpl") or a list
    // or the form by its type ("INFO", "sdta", "pdta", "sfbk").
    // Leaves out every chunk or list of the key; Insert comes after, so Drop
    // and Insert together move a chunk.
    SoundFontBuilder& Drop(std::string_view key);
    // A size in the header that lies (the data written stays the same).
    SoundFontBuilder& ClaimSize(std::string_view key, std::uint32_t size);
    // A chunk's data as given instead of the records (odd sizes, no zero byte, ...).
    SoundFontBuilder& Replace(std::string_view key, Bytes data);
    // Overwrites bytes of a chunk's data (after Replace); offset must lie inside.
    SoundFontBuilder& Poke16(std::string_view key, std::size_t offset, std::uint16_t value);
    SoundFontBuilder& Poke32(std::string_view key, std::size_t offset, std::uint32_t value);
    // An additional chunk in a list (key of the list), before or after the others.
    SoundFontBuilder& Insert(std::string_view listKey, std::string_view id, Bytes data, bool atFront = false);
    // The form type written instead of "sfbk" (the key stays "sfbk").
    SoundFontBuilder& FormType(std::string_view type);

    // The data the builder writes for a chunk of the preset data or "snam"
    // (before damage), to move or copy it elsewhere with Insert.
    Bytes Records(std::string_view id) const;

    Bytes Build() const;
    // How WriteFile produces the sample data: the pattern, or a hole in a
    // sparse file (zeros that take no disk space, for banks of hundreds of MB).
    enum class SampleFill
    {
        Pattern,
        Hole,
    };
    // Writes the bank to a file, producing the sample data block by block
    // instead of holding it; throws std::runtime_error when writing fails.
    void WriteFile(const std::string& path, SampleFill fill = SampleFill::Pattern) const;

private:
    struct Extra
    {
        std::string listKey, id;
        Bytes data;
        bool atFront;
    };
    SfTreeNode Tree() const;

    std::vector<std::pair<std::string, std::string>> infoTexts;
    std::uint32_t sampleBytes = 0;
    std::vector<std::array<std::uint32_t, 4>> samples;
    std::map<int, std::uint16_t> sampleTypes;
    std::uint16_t versionMajor = 1, versionMinor = 0;
    struct Item
    {
        std::string name;
        std::uint16_t number = 0, bank = 0;
        std::vector<SfZone> zones;
    };
    std::vector<Item> instruments, presets;

    std::vector<std::string> dropped;
    std::map<std::string, std::uint32_t, std::less<>> claimed;
    std::map<std::string, Bytes, std::less<>> replaced;
    std::vector<std::pair<std::string, std::pair<std::size_t, Bytes>>> pokes;
    std::vector<Extra> extras;
    std::string formType = "sfbk";
};

// A bank of the size real ones have, for benchmarks: presetCount presets of
// two instruments each, four samples to an instrument, the samples sharing
// about sampleBytes of sample data.
SoundFontBuilder MakeLargeBank(int presetCount, std::uint32_t sampleBytes);
