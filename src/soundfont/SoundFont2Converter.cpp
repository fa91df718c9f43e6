#include "soundfont/SoundFont2Converter.h"

#include "platform/PiecedSource.h"
#include "platform/RiffFile.h"
#include "soundfont/SoundFontReader.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <tuple>

using namespace soundfont;

namespace
{
using Bytes = std::vector<std::uint8_t>;
using Span = std::span<const std::uint8_t>;

constexpr FourCC kListInfo = MakeFourCC("INFO");
constexpr FourCC kListSdta = MakeFourCC("sdta");

// Record, bag and generator indices of version 2 are 16-bit words.
constexpr std::size_t kMaxIndex = 0xFFFF;
constexpr std::size_t kMaxResolvedZones = 64 * kMaxIndex;

constexpr std::size_t kPresetBagOffset = 24;
constexpr std::size_t kInstrumentBagOffset = 20;
constexpr std::size_t kNameSize = 20;

constexpr std::size_t kSf2ModulatorSize = 10;
constexpr std::size_t kSf2SampleSize = 46;

// Generator operators handled one by one; the rest go through the table below.
constexpr std::uint16_t kGenCoarseTune = GeneratorNumber(SoundFontGenerator::CoarseTune);
constexpr std::uint16_t kGenFineTune = GeneratorNumber(SoundFontGenerator::FineTune);
constexpr std::uint16_t kGenSamplePitch = GeneratorNumber(SoundFontGenerator::SamplePitch);
constexpr std::uint16_t kGenScaleTuning = GeneratorNumber(SoundFontGenerator::ScaleTuning);
constexpr std::uint16_t kGenRootKeyShift = GeneratorNumber(SoundFontGenerator::RootKey);

class ConvertError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...)
{
    char text[200];
    va_list values;
    va_start(values, format);
    std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    return text;
}

// The reader owns its source; the caller of the converter keeps its own.
class CBorrowedSource final : public IByteSource
{
public:
    explicit CBorrowedSource(IByteSource& source) : source(source) {}
    std::size_t Read(void* buffer, std::size_t size) override { return source.Read(buffer, size); }
    bool Seek(std::uint64_t position) override { return source.Seek(position); }
    std::uint64_t Tell() const override { return source.Tell(); }
    std::uint64_t Size() const override { return source.Size(); }

private:
    IByteSource& source;
};

// ---------------------------------------------------------------------------
// Generator values, version 1 to version 2

enum class Unit
{
    Drop,         // unused, structural, or handled on its own
    Keep,         // same unit in both versions
    Time,         // milliseconds -> timecents
    VolSustain,   // level -> centibels of attenuation
    ModSustain,   // level -> per mille below the peak
    Pan,          // 0..127 -> -500..500
    Attenuation,  // level 0..127 -> centibels
    Send,         // 0..255 -> per mille
    FilterCutoff, // -> absolute cents
    FilterQ,      // -> centibels
    LfoFrequency, // -> absolute cents
    ToPitch,      // -> cents
    LfoToFilter,  // -> cents
    EnvToFilter,  // -> cents
    Tremolo,      // -> centibels
    KeyToEnv,     // -> timecents a key
};

struct GeneratorRule
{
    Unit unit = Unit::Drop;
    int low = 0, high = 0;          // the range version 2 allows
    int sf2Default = 0;             // not written when the value equals it
    std::optional<int> v1Default{}; // written when version 1 leaves the generator unset
};

constexpr int kMinTime = -12000;

std::array<GeneratorRule, kGenCount> MakeRules()
{
    using enum SoundFontGenerator;
    std::array<GeneratorRule, kGenCount> rules{};
    const auto rule = [&rules](SoundFontGenerator op) -> GeneratorRule&
    { return rules[GeneratorNumber(op)]; };
    const GeneratorRule offset{Unit::Keep, -32768, 32767, 0};
    for (const SoundFontGenerator op :
         {StartOffset, EndOffset, StartLoopOffset, EndLoopOffset, StartCoarseOffset, EndCoarseOffset,
          StartLoopCoarseOffset, EndLoopCoarseOffset})
        rule(op) = offset;
    for (const SoundFontGenerator op : {ModLfoToPitch, VibLfoToPitch, ModEnvToPitch})
        rule(op) = {Unit::ToPitch, -12000, 12000, 0};
    rule(FilterCutoff) = {Unit::FilterCutoff, 1500, 13500, 13500};
    rule(FilterQ) = {Unit::FilterQ, 0, 960, 0};
    rule(ModLfoToFilter) = {Unit::LfoToFilter, -12000, 12000, 0};
    rule(ModEnvToFilter) = {Unit::EnvToFilter, -12000, 12000, 0};
    rule(ModLfoToVolume) = {Unit::Tremolo, -960, 960, 0};
    rule(ChorusSend) = rule(ReverbSend) = {Unit::Send, 0, 1000, 0};
    rule(Pan) = {Unit::Pan, -500, 500, 0};
    for (const SoundFontGenerator op :
         {ModLfoDelay, VibLfoDelay, ModEnvDelay, ModEnvHold, VolEnvDelay, VolEnvHold})
        rule(op) = {Unit::Time, kMinTime, 5000, kMinTime};
    for (const SoundFontGenerator op :
         {ModEnvAttack, ModEnvDecay, ModEnvRelease, VolEnvAttack, VolEnvDecay, VolEnvRelease})
        rule(op) = {Unit::Time, kMinTime, 8000, kMinTime};
    rule(ModLfoFrequency) = {Unit::LfoFrequency, -16000, 4500, 0, -725};
    rule(VibLfoFrequency) = {Unit::LfoFrequency, -16000, 4500, 0, -15600};
    rule(ModEnvSustain) = {Unit::ModSustain, 0, 1000, 0};
    // Version 1 is said to default the volume sustain to 1000 centibels.
    // Rendered, that turns every zone without a sustain of its own into a
    // click: the decay defaults to 1 ms, and a held 440 Hz note measured
    // silent 100 ms after its start. Read as a version-1 amount instead (96
    // and above), 1000 is full level, the version-2 default, and the note holds.
    rule(VolEnvSustain) = {Unit::VolSustain, 0, 1440, 0};
    for (const SoundFontGenerator op : {KeyToModEnvHold, KeyToModEnvDecay, KeyToVolEnvHold, KeyToVolEnvDecay})
        rule(op) = {Unit::KeyToEnv, -1200, 1200, 0};
    rule(Key) = rule(Velocity) = {Unit::Keep, -1, 127, -1};
    rule(Attenuation) = {Unit::Attenuation, 0, 1440, 0};
    rule(ExclusiveClass) = {Unit::Keep, 0, 127, 0};
    return rules;
}

const std::array<GeneratorRule, kGenCount> kRules = MakeRules();

int Round(double value)
{
    return static_cast<int>(std::lround(value));
}

// The version-2 value of a version-1 amount, before the range is applied.
int ConvertAmount(Unit unit, std::uint16_t amount)
{
    const int v = amount;                            // levels, times, sends: unsigned
    const int s = static_cast<std::int16_t>(amount); // modulation depths: signed
    switch (unit)
    {
    case Unit::Keep:
        return s;
    case Unit::Time:
        return v == 0 ? kMinTime : Round(1200.0 * std::log2(v / 1000.0));
    case Unit::VolSustain:
        return v < 96 ? (2000 - 21 * v) / 2 : 0;
    case Unit::ModSustain:
        return 1000 * (96 - v) / 96;
    case Unit::Pan:
        return std::min(v, 127) * 1000 / 127 - 500;
    case Unit::Attenuation:
        // A level, 127 = full: this is its amplitude ratio in centibels. One
        // loader scales it by a further 10; rendered, that leaves 64 some
        // 24 dB down and everything below about 40 near silence, so it is not done.
        return v == 0 ? 1000 : Round(-200.0 * std::log10(v / 127.0));
    case Unit::Send:
        return v * 1000 / 256;
    case Unit::FilterCutoff:
        return 59 * v + 4366;
    case Unit::FilterQ:
        return 3 * v / 2;
    case Unit::LfoFrequency:
        return v == 0 ? -16000 : Round(1200.0 * std::log2(v) - 7925);
    case Unit::ToPitch:
        return (1200 * s / 64 + 1) / 2;
    case Unit::LfoToFilter:
        return 1200 * 3 * s / 64;
    case Unit::EnvToFilter:
        return 1200 * 6 * s / 64;
    case Unit::Tremolo:
        return 120 * s / 64;
    case Unit::KeyToEnv:
        return Round(s * 5.55);
    case Unit::Drop:
        break;
    }
    return 0;
}

// The generators of one zone; a generator given twice counts with its last amount.
struct GenSet
{
    std::array<std::uint16_t, kGenCount> amount{};
    std::bitset<kGenCount> set;

    bool Has(std::uint16_t op) const { return set[op]; }
    std::uint16_t Get(std::uint16_t op) const { return amount[op]; }
    void Put(std::uint16_t op, std::uint16_t value)
    {
        amount[op] = value;
        set[op] = true;
    }
    // Takes the other's values for the generators this one leaves unset.
    void Fill(const GenSet& other)
    {
        for (std::uint16_t op = 0; op < kGenCount; ++op)
        {
            if (!set[op] && other.set[op])
                Put(op, other.amount[op]);
        }
    }
};

// ---------------------------------------------------------------------------
// The converted bank, built preset by preset, then written out

struct Region // the data of one version-1 sample, as it goes into the file
{
    std::array<char, kNameSize> name{};
    std::uint32_t start = 0, end = 0;         // version-1 points, end cut at the data
    std::uint32_t loopStart = 0, loopEnd = 0; // version-2 loop, version-1 points
    std::uint32_t outStart = 0;               // first point in the new "smpl"
};

struct OutSample
{
    std::size_t region = 0;
    std::uint8_t key = 60;
    std::int8_t correction = 0;
};

struct OutZone
{
    std::vector<std::pair<std::uint16_t, std::uint16_t>> generators; // sample id not included
    std::uint16_t sample = 0;
};

struct OutInstrument
{
    std::array<char, kNameSize> name{};
    std::vector<OutZone> zones;
    // What every zone has alike goes once into a global zone before them: it
    // keeps large banks inside the 16-bit generator indices. Ranges stay in
    // the zones, as some players read a global range as none.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> global;
};

// The generators (operator and amount) that all zones carry alike; nothing for a single zone.
std::vector<std::pair<std::uint16_t, std::uint16_t>> CommonGenerators(const std::vector<OutZone>& zones)
{
    if (zones.size() < 2)
        return {};
    std::vector<std::pair<std::uint16_t, std::uint16_t>> common;
    for (const auto& generator : zones.front().generators)
    {
        if (generator.first == kGenKeyRange || generator.first == kGenVelRange)
            continue;
        const bool everywhere =
            std::all_of(zones.begin() + 1, zones.end(),
                        [&](const OutZone& zone) {
                            return std::find(zone.generators.begin(), zone.generators.end(), generator) !=
                                   zone.generators.end();
                        });
        if (everywhere)
            common.push_back(generator);
    }
    return common;
}

// A zone's own generators: those not given by its instrument's global zone.
template <typename Visit>
void ForOwnGenerators(const OutInstrument& instrument, const OutZone& zone, Visit&& visit)
{
    for (const auto& generator : zone.generators)
    {
        if (std::find(instrument.global.begin(), instrument.global.end(), generator) ==
            instrument.global.end())
            visit(generator);
    }
}

struct OutPresetZone
{
    // Key and velocity ranges kept at the preset level (where they leave
    // every instrument zone as version 1 would make it), so that presets
    // layering one instrument over several ranges share it.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> ranges;
    std::uint16_t instrument = 0;
};

struct OutPreset
{
    std::array<char, kNameSize> name{};
    std::uint16_t program = 0, bank = 0;
    std::vector<OutPresetZone> zones;
};

// "lo | hi << 8", bounded to 0..127.
std::pair<int, int> RangeOf(std::uint16_t amount)
{
    return {std::min(amount & 0xFF, 127), std::min(amount >> 8, 127)};
}

// Version 2 wants names closed by a zero byte: at most 19 characters are kept.
void PutName(Bytes& out, const std::array<char, kNameSize>& name)
{
    const auto end = std::find(name.begin(), name.end() - 1, '\0');
    out.insert(out.end(), name.begin(), end);
    out.insert(out.end(), static_cast<std::size_t>(name.end() - end), 0);
}

std::array<char, kNameSize> MakeName(std::string_view text)
{
    std::array<char, kNameSize> name{};
    std::copy_n(text.begin(), std::min(text.size(), kNameSize - 1), name.begin());
    return name;
}

std::array<char, kNameSize> NameAt(Span records, std::size_t offset)
{
    std::array<char, kNameSize> name{};
    std::copy_n(records.begin() + static_cast<std::ptrdiff_t>(offset), kNameSize, name.begin());
    return name;
}

// Writes one whole chunk; the sink is memory, so only a size past the RIFF limit fails.
void PutChunk(CRiffWriter& riff, std::string_view id, const Bytes& data)
{
    if (!riff.WriteChunk(MakeFourCC(id), data.data(), data.size()))
        throw ConvertError("too large for a SoundFont 2 file");
}

void PutText(CRiffWriter& riff, std::string_view id, std::string_view text, std::size_t maxBytes = 256)
{
    if (!riff.WriteText(MakeFourCC(id), text, maxBytes))
        throw ConvertError("too large for a SoundFont 2 file");
}

// Opens a chunk whose size Ascend fills in: a RIFF form or LIST of a type, or a plain chunk of an id.
void Begin(CRiffWriter& riff, CRiffChunk& chunk, CRiffWriter::Create kind, std::string_view idOrType)
{
    if (kind == CRiffWriter::Create::Chunk)
        chunk.ckid = MakeFourCC(idOrType);
    else
        chunk.fccType = MakeFourCC(idOrType);
    if (!riff.CreateChunk(chunk, kind))
        throw ConvertError("too large for a SoundFont 2 file");
}

void End(CRiffWriter& riff, CRiffChunk& chunk)
{
    if (!riff.Ascend(chunk))
        throw ConvertError("too large for a SoundFont 2 file");
}

class CConversion
{
public:
    // Reads the bank from in (the reader borrows it).
    explicit CConversion(IByteSource& in);
    // Converts from a reader that holds the bank open already.
    explicit CConversion(CSoundFontReader& opened);

    int PresetCount() const { return static_cast<int>(presetCount); }
    int FindPreset(int number) const { return reader.FindPreset(number); }
    // Adds preset record `index` as program/bank of the new file.
    void AddPreset(std::size_t index, std::uint16_t program, std::uint16_t bank);
    void AddPreset(std::size_t index);
    // The converted file; it reads sample data from the bank's source when read.
    std::unique_ptr<CPiecedSource> Write();

private:
    void CheckSizes();
    void CheckIndices(Span headers, std::size_t headerSize, std::size_t bagOffset, Span bags, Span generators,
                      const char* level);
    std::size_t BagOf(Span headers, std::size_t headerSize, std::size_t bagOffset, std::size_t index) const
    {
        return ReadLE16(headers.data() + index * headerSize + bagOffset);
    }
    GenSet ZoneGenerators(Span bags, Span generators, std::size_t bag) const;
    std::optional<std::size_t> RegionOf(std::size_t sample);
    int ResolveInstrument(std::size_t instrument, const GenSet& presetZone);
    bool RangeCoversInstrument(std::size_t instrument, std::uint16_t op, std::uint16_t presetRange) const;
    OutZone ConvertZone(const GenSet& zone, std::size_t region);
    std::uint16_t SampleHeaderFor(std::size_t region, int key, int correction);
    void Check();

    // The file's parts, in the order they are written.
    void CheckLimits() const;
    void LayOutSampleData();
    void WriteInfo(CRiffWriter& riff) const;
    void WritePresetData(CRiffWriter& riff) const;
    Bytes PresetHeaders() const;        // phdr
    Bytes PresetZones() const;          // pbag
    Bytes PresetGenerators() const;     // pgen
    Bytes Instruments() const;          // inst
    Bytes InstrumentZones() const;      // ibag
    Bytes InstrumentGenerators() const; // igen
    Bytes SampleHeaders() const;        // shdr

    std::unique_ptr<CSoundFontReader> ownReader;
    CSoundFontReader& reader;
    IByteSource* data; // the bank's bytes, outliving the conversion: the caller's source or the reader's
    std::uint64_t sampleDataBytes = 0; // of the new "smpl"
    Span phdr, pbag, pgen, inst, ibag, igen, shdr;
    std::size_t presetCount = 0, instrumentCount = 0, sampleCount = 0;
    std::size_t firstRamSample = 0;
    std::uint64_t dataOffset = 0; // of the "smpl" data in the file
    std::uint32_t dataPoints = 0;
    std::optional<Bytes> sampleNames;

    std::vector<OutPreset> presets;
    std::vector<OutInstrument> instruments;
    std::map<std::string, std::uint16_t> instrumentIndex; // content -> index, to share equal instruments
    std::vector<Region> regions;
    std::map<std::size_t, std::optional<std::size_t>> regionOfSample;
    std::vector<OutSample> samples;
    std::map<std::tuple<std::size_t, int, int>, std::uint16_t> sampleIndex;
    std::size_t resolvedZones = 0;
};

CConversion::CConversion(IByteSource& in)
    : ownReader(std::make_unique<CSoundFontReader>()), reader(*ownReader), data(&in)
{
    if (!reader.Open(std::make_unique<CBorrowedSource>(in)))
        throw ConvertError(reader.GetOpenProblemText());
    Check();
}

CConversion::CConversion(CSoundFontReader& opened) : reader(opened), data(opened.GetSource())
{
    if (!reader.IsValid() || !data)
        throw ConvertError(reader.GetOpenProblemText());
    Check();
}

void CConversion::Check()
{
    if (const auto ifil = reader.ReadListChunk(kListInfo, MakeFourCC("ifil")); ifil && ifil->size() >= 4)
    {
        const int major = ReadLE16(ifil->data());
        if (major != 1)
            throw ConvertError(
                Format("not a SoundFont 1 bank (version %d.%02d)", major, int{ReadLE16(ifil->data() + 2)}));
    }

    CheckSizes();
    CheckIndices(phdr, kPresetHeaderSize, kPresetBagOffset, pbag, pgen, "preset");
    CheckIndices(inst, kInstrumentHeaderSize, kInstrumentBagOffset, ibag, igen, "instrument");

    // RAM samples start at point 0 of the sample data; the ones listed before
    // the first such sample live in the card's ROM.
    firstRamSample = sampleCount;
    for (std::size_t i = 0; i < sampleCount; ++i)
    {
        if (ReadLE32(shdr.data() + i * kSampleHeaderSize) == 0)
        {
            firstRamSample = i;
            break;
        }
    }

    if (const auto smpl = reader.FindListChunk(kListSdta, MakeFourCC("smpl")))
    {
        if (!smpl->IsWhole())
            throw ConvertError(Format("sample data cut short (%u bytes claimed, %llu there)", smpl->cksize,
                                      static_cast<unsigned long long>(smpl->Available())));
        dataOffset = smpl->dataOffset;
        dataPoints = smpl->cksize / 2;
    }
    sampleNames = reader.ReadListChunk(kListSdta, MakeFourCC("snam"));
}

void CConversion::CheckSizes()
{
    const struct
    {
        const char* id;
        std::size_t recordSize;
        Span* span;
        std::size_t* count; // records less the closing one
    } chunks[] = {{"phdr", kPresetHeaderSize, &phdr, &presetCount},
                  {"pbag", kBagSize, &pbag, nullptr},
                  {"pgen", kGeneratorSize, &pgen, nullptr},
                  {"inst", kInstrumentHeaderSize, &inst, &instrumentCount},
                  {"ibag", kBagSize, &ibag, nullptr},
                  {"igen", kGeneratorSize, &igen, nullptr},
                  {"shdr", kSampleHeaderSize, &shdr, nullptr}};
    for (const auto& chunk : chunks)
    {
        *chunk.span = reader.GetChunkData(MakeFourCC(chunk.id));
        const std::size_t size = chunk.span->size();
        if (size % chunk.recordSize != 0)
            throw ConvertError(Format("not a SoundFont bank (\"%s\" chunk of %zu bytes is no whole number of "
                                      "%zu-byte records)",
                                      chunk.id, size, chunk.recordSize));
        if (chunk.count)
        {
            if (size == 0)
                throw ConvertError(
                    Format("not a SoundFont bank (\"%s\" chunk lacks its closing record)", chunk.id));
            *chunk.count = size / chunk.recordSize - 1;
        }
    }
    sampleCount = shdr.size() / kSampleHeaderSize; // version 1 has no closing sample record
}

// Header i owns bags [bag(i), bag(i + 1)); bag b owns generators [gen(b),
// gen(b + 1)). Both must never decrease and the last must close inside its
// chunk, so that every range later walked lies in the data.
void CConversion::CheckIndices(Span headers, std::size_t headerSize, std::size_t bagOffset, Span bags,
                               Span generators, const char* level)
{
    const std::size_t headerCount = headers.size() / headerSize;
    std::size_t previous = 0;
    for (std::size_t i = 0; i < headerCount; ++i)
    {
        const std::size_t bag = BagOf(headers, headerSize, bagOffset, i);
        if (bag < previous)
            throw ConvertError(Format("corrupt SoundFont bank (%s %zu: zone index goes back)", level, i));
        previous = bag;
    }
    const std::size_t bagCount = bags.size() / kBagSize;
    const std::size_t lastBag = previous;
    if (bagCount == 0 && lastBag == 0)
        return; // no zones at all
    if (lastBag >= bagCount)
        throw ConvertError(
            Format("corrupt SoundFont bank (%s zones end at %zu of %zu)", level, lastBag, bagCount));
    previous = 0;
    for (std::size_t b = 0; b <= lastBag; ++b)
    {
        const std::size_t generator = ReadLE16(bags.data() + b * kBagSize);
        if (generator < previous)
            throw ConvertError(
                Format("corrupt SoundFont bank (%s zone %zu: generator index goes back)", level, b));
        previous = generator;
    }
    if (previous > generators.size() / kGeneratorSize)
        throw ConvertError(Format("corrupt SoundFont bank (%s generators end at %zu of %zu)", level, previous,
                                  generators.size() / kGeneratorSize));
}

GenSet CConversion::ZoneGenerators(Span bags, Span generators, std::size_t bag) const
{
    GenSet set;
    const std::size_t first = ReadLE16(bags.data() + bag * kBagSize);
    const std::size_t end = ReadLE16(bags.data() + (bag + 1) * kBagSize);
    for (std::size_t g = first; g < end; ++g)
    {
        const std::uint16_t op = ReadLE16(generators.data() + g * kGeneratorSize);
        if (op < kGenCount)
            set.Put(op, ReadLE16(generators.data() + g * kGeneratorSize + 2));
    }
    return set;
}

// The region of a RAM sample, made on first use; none for a sample of fewer than two points.
std::optional<std::size_t> CConversion::RegionOf(std::size_t sample)
{
    if (const auto found = regionOfSample.find(sample); found != regionOfSample.end())
        return found->second;

    const std::uint8_t* record = shdr.data() + sample * kSampleHeaderSize;
    Region region;
    region.start = ReadLE32(record);
    region.end = std::min(ReadLE32(record + 4), dataPoints);
    std::optional<std::size_t> result;
    // Players take a sample of one point for a broken header; it would be silent anyway.
    if (region.start < region.end && region.end - region.start >= 2)
    {
        // Version-1 loop points lie one and two points before where version 2
        // counts them. A loop reaching past the sample's end (as every
        // loop over a whole sample does) ends at the end: version 2 allows no
        // loop outside the sample, and the points after it are silence.
        const std::uint64_t loopStart = std::uint64_t{ReadLE32(record + 8)} + 1;
        const std::uint64_t loopEnd = std::uint64_t{ReadLE32(record + 12)} + 2;
        region.loopStart =
            static_cast<std::uint32_t>(std::clamp<std::uint64_t>(loopStart, region.start, region.end));
        region.loopEnd =
            static_cast<std::uint32_t>(std::clamp<std::uint64_t>(loopEnd, region.start, region.end));
        if (region.loopStart >= region.loopEnd)
        {
            region.loopStart = region.start;
            region.loopEnd = region.end;
        }
        if (sampleNames && sampleNames->size() >= (sample + 1) * kNameSize)
            region.name = NameAt(*sampleNames, sample * kNameSize);
        else
            region.name = MakeName("Sample " + std::to_string(sample));
        result = regions.size();
        regions.push_back(region);
    }
    regionOfSample.emplace(sample, result);
    return result;
}

std::uint16_t CConversion::SampleHeaderFor(std::size_t region, int key, int correction)
{
    const auto where = std::make_tuple(region, key, correction);
    if (const auto found = sampleIndex.find(where); found != sampleIndex.end())
        return found->second;
    if (samples.size() >= kMaxIndex)
        throw ConvertError("too many samples for a SoundFont 2 file");
    const auto index = static_cast<std::uint16_t>(samples.size());
    samples.push_back({region, static_cast<std::uint8_t>(key), static_cast<std::int8_t>(correction)});
    sampleIndex.emplace(where, index);
    return index;
}

OutZone CConversion::ConvertZone(const GenSet& zone, std::size_t region)
{
    OutZone out;
    for (const std::uint16_t op : {kGenKeyRange, kGenVelRange})
    {
        if (!zone.Has(op))
            continue;
        const int low = std::min(zone.Get(op) & 0xFF, 127);
        const int high = std::min(zone.Get(op) >> 8, 127);
        if (low != 0 || high != 127)
            out.generators.emplace_back(op, static_cast<std::uint16_t>(low | (high << 8)));
    }

    // Sample pitch: hundreds are the key, the rest a correction downwards,
    // rounded to the nearer key.
    int key = 60;
    int correction = 0;
    if (zone.Has(kGenSamplePitch))
    {
        const int cents = zone.Get(kGenSamplePitch);
        key = cents / 100;
        correction = -(cents % 100);
        if (correction <= -50)
        {
            ++key;
            correction += 100;
        }
    }
    if (zone.Has(kGenRootKeyShift))
        key += static_cast<std::int16_t>(zone.Get(kGenRootKeyShift)) - 60;

    // Tuning: coarse and fine both count in steps of the key scale.
    const int scale = zone.Has(kGenScaleTuning) && zone.Get(kGenScaleTuning) == 1 ? 50 : 100;
    int tuning = 0;
    if (zone.Has(kGenCoarseTune))
        tuning += static_cast<std::int16_t>(zone.Get(kGenCoarseTune)) * scale;
    if (zone.Has(kGenFineTune))
        tuning += Round(static_cast<std::int16_t>(zone.Get(kGenFineTune)) * scale / 100.0);
    // A key outside 0..127 cannot be written; the tuning makes up the difference.
    const int writtenKey = std::clamp(key, 0, 127);
    tuning -= (key - writtenKey) * scale;
    const int coarse = std::clamp(tuning / 100, -120, 120);
    const int fine = std::clamp(tuning - (tuning / 100) * 100, -99, 99);

    for (std::uint16_t op = 0; op < kGenCount; ++op)
    {
        int value = 0;
        if (op == kGenCoarseTune)
            value = coarse;
        else if (op == kGenFineTune)
            value = fine;
        else if (op == kGenScaleTuning)
            value = scale == 100 ? 0 : scale;
        else if (op == kGenSampleModes)
            value = zone.Has(op) && (zone.Get(op) & 1) ? 1 : 0; // bit 0: loop
        else
        {
            const GeneratorRule& rule = kRules[op];
            if (rule.unit == Unit::Drop)
                continue;
            if (zone.Has(op))
                value = std::clamp(ConvertAmount(rule.unit, zone.Get(op)), rule.low, rule.high);
            else if (rule.v1Default)
                value = *rule.v1Default;
            else
                continue;
            if (value != rule.sf2Default)
                out.generators.emplace_back(op, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
            continue;
        }
        if (value != 0) // tuning and loop are off unless set, a scale of 100 cents is the default
            out.generators.emplace_back(op, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    out.sample = SampleHeaderFor(region, writtenKey, correction);
    return out;
}

// Version 1 gives every instrument zone the preset zone's range; version 2
// plays the overlap of the two. They agree where each zone's own range (or
// its instrument's global one, or none) holds the preset's.
bool CConversion::RangeCoversInstrument(std::size_t instrument, std::uint16_t op,
                                        std::uint16_t presetRange) const
{
    const auto [low, high] = RangeOf(presetRange);
    std::optional<std::uint16_t> global;
    const std::size_t firstBag = BagOf(inst, kInstrumentHeaderSize, kInstrumentBagOffset, instrument);
    const std::size_t endBag = BagOf(inst, kInstrumentHeaderSize, kInstrumentBagOffset, instrument + 1);
    for (std::size_t bag = firstBag; bag < endBag; ++bag)
    {
        const GenSet zone = ZoneGenerators(ibag, igen, bag);
        if (!zone.Has(kGenSampleId))
        {
            if (bag == firstBag && zone.Has(op))
                global = zone.Get(op);
            continue;
        }
        const std::optional<std::uint16_t> own = zone.Has(op) ? std::optional(zone.Get(op)) : global;
        if (!own)
            continue;
        const auto [ownLow, ownHigh] = RangeOf(*own);
        if (ownLow > low || ownHigh < high)
            return false;
    }
    return true;
}

int CConversion::ResolveInstrument(std::size_t instrument, const GenSet& presetZone)
{
    OutInstrument out;
    out.name = NameAt(inst, instrument * kInstrumentHeaderSize);
    GenSet global;
    const std::size_t firstBag = BagOf(inst, kInstrumentHeaderSize, kInstrumentBagOffset, instrument);
    const std::size_t endBag = BagOf(inst, kInstrumentHeaderSize, kInstrumentBagOffset, instrument + 1);
    for (std::size_t bag = firstBag; bag < endBag; ++bag)
    {
        GenSet zone = ZoneGenerators(ibag, igen, bag);
        if (!zone.Has(kGenSampleId))
        {
            if (bag == firstBag)
                global = zone; // a first zone without a sample holds the instrument's common values
            continue;
        }
        const std::size_t sample = zone.Get(kGenSampleId);
        if (sample >= sampleCount)
            throw ConvertError(Format("corrupt SoundFont bank (instrument %zu names sample %zu of %zu)",
                                      instrument, sample, sampleCount));
        if (sample < firstRamSample)
            continue; // in the card's ROM: not in this file
        const auto region = RegionOf(sample);
        if (!region)
            continue;
        // Shared instruments make most resolved zones vanish again; this only
        // bounds the work a corrupt bank of crossing indices could ask for.
        if (++resolvedZones > kMaxResolvedZones)
            throw ConvertError(Format("too many zones to resolve (more than %zu)", kMaxResolvedZones));

        zone.Fill(global);
        // Ranges are the preset's; every other preset value only fills a gap.
        for (const std::uint16_t op : {kGenKeyRange, kGenVelRange})
        {
            if (presetZone.Has(op))
                zone.Put(op, presetZone.Get(op));
        }
        zone.Fill(presetZone);
        out.zones.push_back(ConvertZone(zone, *region));
    }
    if (out.zones.empty())
        return -1;

    // Presets that resolve an instrument alike share one.
    Bytes content(out.name.begin(), out.name.end());
    for (const OutZone& zone : out.zones)
    {
        AppendLE16(content, static_cast<std::uint16_t>(zone.generators.size()));
        for (const auto& [op, amount] : zone.generators)
        {
            AppendLE16(content, op);
            AppendLE16(content, amount);
        }
        AppendLE16(content, zone.sample);
    }
    std::string key(content.begin(), content.end());
    if (const auto found = instrumentIndex.find(key); found != instrumentIndex.end())
        return found->second;
    if (instruments.size() >= kMaxIndex)
        throw ConvertError(Format("too many instruments for a SoundFont 2 file (more than %zu)", kMaxIndex));
    const auto index = static_cast<std::uint16_t>(instruments.size());
    out.global = CommonGenerators(out.zones);
    instruments.push_back(std::move(out));
    instrumentIndex.emplace(std::move(key), index);
    return index;
}

void CConversion::AddPreset(std::size_t index)
{
    const std::uint8_t* record = phdr.data() + index * kPresetHeaderSize;
    AddPreset(index, ReadLE16(record + 20), ReadLE16(record + 22));
}

void CConversion::AddPreset(std::size_t index, std::uint16_t program, std::uint16_t bank)
{
    OutPreset preset;
    preset.name = NameAt(phdr, index * kPresetHeaderSize);
    preset.program = program;
    preset.bank = bank;

    GenSet global;
    const std::size_t firstBag = BagOf(phdr, kPresetHeaderSize, kPresetBagOffset, index);
    const std::size_t endBag = BagOf(phdr, kPresetHeaderSize, kPresetBagOffset, index + 1);
    for (std::size_t bag = firstBag; bag < endBag; ++bag)
    {
        GenSet zone = ZoneGenerators(pbag, pgen, bag);
        if (!zone.Has(kGenInstrument))
        {
            if (bag == firstBag)
                global = zone;
            continue;
        }
        const std::size_t instrument = zone.Get(kGenInstrument);
        if (instrument >= instrumentCount)
            throw ConvertError(Format("corrupt SoundFont bank (preset %zu names instrument %zu of %zu)",
                                      index, instrument, instrumentCount));
        zone.Fill(global);
        OutPresetZone out;
        for (const std::uint16_t op : {kGenKeyRange, kGenVelRange})
        {
            if (!zone.Has(op) || !RangeCoversInstrument(instrument, op, zone.Get(op)))
                continue;
            const auto [low, high] = RangeOf(zone.Get(op));
            if (low != 0 || high != 127)
                out.ranges.emplace_back(op, static_cast<std::uint16_t>(low | (high << 8)));
            zone.set[op] = false;
        }
        const int resolved = ResolveInstrument(instrument, zone);
        if (resolved < 0)
            continue;
        out.instrument = static_cast<std::uint16_t>(resolved);
        preset.zones.push_back(std::move(out));
    }
    if (presets.size() >= kMaxIndex)
        throw ConvertError("too many presets for a SoundFont 2 file");
    presets.push_back(std::move(preset));
}

// The file as pieces: its lists in memory, its sample data spans of the
// bank's own, each followed by its silence. Nothing of the sample data is
// read here.
std::unique_ptr<CPiecedSource> CConversion::Write()
{
    // Players refuse a file without samples, and a preset of ROM samples alone would only be silent.
    if (samples.empty())
        throw ConvertError("no sample data to convert (samples in the card's ROM are left out)");
    CheckLimits();
    LayOutSampleData();
    const std::uint64_t dataBytes = sampleDataBytes;
    const auto list = [this](void (CConversion::*write)(CRiffWriter&) const)
    {
        CMemorySink sink;
        CRiffWriter riff(sink);
        (this->*write)(riff);
        return sink.Take();
    };
    const Bytes info = list(&CConversion::WriteInfo);
    Bytes pdta = list(&CConversion::WritePresetData);

    constexpr std::size_t kHeader = 8; // id and size
    const std::uint64_t sdtaSize = 4 + kHeader + dataBytes;
    const std::uint64_t formSize = 4 + info.size() + kHeader + sdtaSize + pdta.size();
    if (formSize > UINT32_MAX)
        throw ConvertError("too large for a SoundFont 2 file");
    Bytes head;
    const auto id = [&head](std::string_view fourcc)
    { head.insert(head.end(), fourcc.begin(), fourcc.end()); };
    id("RIFF");
    AppendLE32(head, static_cast<std::uint32_t>(formSize));
    id("sfbk");
    head.insert(head.end(), info.begin(), info.end());
    id("LIST");
    AppendLE32(head, static_cast<std::uint32_t>(sdtaSize));
    id("sdta");
    id("smpl");
    AppendLE32(head, static_cast<std::uint32_t>(dataBytes));

    auto out = std::make_unique<CPiecedSource>();
    out->AddBytes(std::move(head));
    for (const Region& region : regions)
    {
        out->AddSpan(*data, dataOffset + 2 * std::uint64_t{region.start},
                     2 * std::uint64_t{region.end - region.start});
        out->AddZeros(2 * CSoundFont2Converter::kZeroPoints);
    }
    out->AddBytes(std::move(pdta));
    return out;
}

// Every 16-bit index of the file, counted before anything is written, so
// that a bank too large is refused with each limit it passes and by how much.
void CConversion::CheckLimits() const
{
    std::size_t presetZones = 0, presetGenerators = 0, instrumentZones = 0, instrumentGenerators = 0;
    for (const OutPreset& preset : presets)
    {
        presetZones += preset.zones.size();
        for (const OutPresetZone& zone : preset.zones)
            presetGenerators += zone.ranges.size() + 1;
    }
    for (const OutInstrument& instrument : instruments)
    {
        instrumentZones += instrument.zones.size() + (instrument.global.empty() ? 0 : 1);
        instrumentGenerators += instrument.global.size();
        for (const OutZone& zone : instrument.zones)
        {
            ForOwnGenerators(instrument, zone, [&](const auto&) { ++instrumentGenerators; });
            ++instrumentGenerators; // the sample
        }
    }
    std::string problems;
    const auto limit = [&](const char* what, std::size_t count)
    {
        if (count <= kMaxIndex)
            return;
        problems += problems.empty() ? "" : "; ";
        problems += Format("%zu %s, %zu over the limit of %zu", count, what, count - kMaxIndex, kMaxIndex);
    };
    limit("preset zones", presetZones);
    limit("preset generators", presetGenerators);
    limit("instrument zones", instrumentZones);
    limit("instrument generators", instrumentGenerators);
    if (!problems.empty())
        throw ConvertError("too large for a SoundFont 2 file (" + problems + ")");
}

// Where each sample's points go: one after another, each followed by silence.
void CConversion::LayOutSampleData()
{
    std::uint64_t points = 0;
    for (Region& region : regions)
    {
        region.outStart = static_cast<std::uint32_t>(points);
        points += std::uint64_t{region.end - region.start} + CSoundFont2Converter::kZeroPoints;
        if (points > UINT32_MAX / 4)
            throw ConvertError("too much sample data for a SoundFont 2 file");
    }
    sampleDataBytes = 2 * points;
}

void CConversion::WriteInfo(CRiffWriter& riff) const
{
    CRiffChunk info;
    Begin(riff, info, CRiffWriter::Create::List, "INFO");
    PutChunk(riff, "ifil", {2, 0, 1, 0});
    PutText(riff, "isng", "EMU8000");
    PutText(riff, "INAM", reader.name.empty() ? std::string_view("Untitled") : std::string_view(reader.name));
    const struct
    {
        std::string_view id;
        const std::string& text;
    } texts[] = {{"ICRD", reader.creationDate},
                 {"IENG", reader.engineer},
                 {"IPRD", reader.product},
                 {"ICOP", reader.copyright}};
    for (const auto& text : texts)
    {
        if (!text.text.empty())
            PutText(riff, text.id, text.text);
    }
    if (!reader.comment.empty())
        PutText(riff, "ICMT", reader.comment, 65536);
    PutText(riff, "ISFT", "Tamberly 96");
    End(riff, info);
}

void CConversion::WritePresetData(CRiffWriter& riff) const
{
    CRiffChunk pdta;
    Begin(riff, pdta, CRiffWriter::Create::List, "pdta");
    const Bytes noModulators(kSf2ModulatorSize, 0);
    PutChunk(riff, "phdr", PresetHeaders());
    PutChunk(riff, "pbag", PresetZones());
    PutChunk(riff, "pmod", noModulators);
    PutChunk(riff, "pgen", PresetGenerators());
    PutChunk(riff, "inst", Instruments());
    PutChunk(riff, "ibag", InstrumentZones());
    PutChunk(riff, "imod", noModulators);
    PutChunk(riff, "igen", InstrumentGenerators());
    PutChunk(riff, "shdr", SampleHeaders());
    End(riff, pdta);
}

// Every preset zone names one instrument, after the ranges it keeps.
Bytes CConversion::PresetHeaders() const
{
    Bytes out;
    std::size_t zones = 0;
    for (const OutPreset& preset : presets)
    {
        PutName(out, preset.name);
        AppendLE16(out, preset.program);
        AppendLE16(out, preset.bank);
        AppendLE16(out, static_cast<std::uint16_t>(zones));
        out.insert(out.end(), 12, 0); // library, genre, morphology
        zones += preset.zones.size();
    }
    PutName(out, MakeName("EOP"));
    out.insert(out.end(), 4, 0);
    AppendLE16(out, static_cast<std::uint16_t>(zones));
    out.insert(out.end(), 12, 0);
    return out;
}

Bytes CConversion::PresetZones() const
{
    Bytes out;
    std::size_t generators = 0;
    for (const OutPreset& preset : presets)
        for (const OutPresetZone& zone : preset.zones)
        {
            AppendLE16(out, static_cast<std::uint16_t>(generators));
            AppendLE16(out, 0);
            generators += zone.ranges.size() + 1;
        }
    AppendLE16(out, static_cast<std::uint16_t>(generators)); // the closing zone
    AppendLE16(out, 0);
    return out;
}

Bytes CConversion::PresetGenerators() const
{
    Bytes out;
    for (const OutPreset& preset : presets)
        for (const OutPresetZone& zone : preset.zones)
        {
            for (const auto& [op, amount] : zone.ranges)
            {
                AppendLE16(out, op);
                AppendLE16(out, amount);
            }
            AppendLE16(out, kGenInstrument);
            AppendLE16(out, zone.instrument);
        }
    out.insert(out.end(), kGeneratorSize, 0);
    return out;
}

Bytes CConversion::Instruments() const
{
    Bytes out;
    std::size_t zones = 0;
    for (const OutInstrument& instrument : instruments)
    {
        PutName(out, instrument.name);
        AppendLE16(out, static_cast<std::uint16_t>(zones));
        zones += instrument.zones.size() + (instrument.global.empty() ? 0 : 1);
    }
    PutName(out, MakeName("EOI"));
    AppendLE16(out, static_cast<std::uint16_t>(zones));
    return out;
}

// Each zone's generators, then its sample.
Bytes CConversion::InstrumentZones() const
{
    Bytes out;
    std::size_t generators = 0;
    const auto bag = [&](std::size_t count)
    {
        AppendLE16(out, static_cast<std::uint16_t>(generators));
        AppendLE16(out, 0);
        generators += count;
    };
    for (const OutInstrument& instrument : instruments)
    {
        if (!instrument.global.empty())
            bag(instrument.global.size());
        for (const OutZone& zone : instrument.zones)
        {
            std::size_t own = 1; // and the sample
            ForOwnGenerators(instrument, zone, [&](const auto&) { ++own; });
            bag(own);
        }
    }
    AppendLE16(out, static_cast<std::uint16_t>(generators));
    AppendLE16(out, 0);
    return out;
}

Bytes CConversion::InstrumentGenerators() const
{
    Bytes out;
    const auto put = [&out](const std::pair<std::uint16_t, std::uint16_t>& generator)
    {
        AppendLE16(out, generator.first);
        AppendLE16(out, generator.second);
    };
    for (const OutInstrument& instrument : instruments)
    {
        std::for_each(instrument.global.begin(), instrument.global.end(), put);
        for (const OutZone& zone : instrument.zones)
        {
            ForOwnGenerators(instrument, zone, put);
            put({kGenSampleId, zone.sample});
        }
    }
    out.insert(out.end(), kGeneratorSize, 0);
    return out;
}

Bytes CConversion::SampleHeaders() const
{
    Bytes out;
    for (const OutSample& sample : samples)
    {
        const Region& region = regions[sample.region];
        const auto shift = [&](std::uint32_t point) { return region.outStart + (point - region.start); };
        PutName(out, region.name);
        AppendLE32(out, shift(region.start));
        AppendLE32(out, shift(region.end));
        AppendLE32(out, shift(region.loopStart));
        AppendLE32(out, shift(region.loopEnd));
        AppendLE32(out, CSoundFont2Converter::kSampleRate);
        out.push_back(sample.key);
        out.push_back(static_cast<std::uint8_t>(sample.correction));
        AppendLE16(out, 0); // no link
        AppendLE16(out, 1); // mono
    }
    PutName(out, MakeName("EOS"));
    out.insert(out.end(), kSf2SampleSize - kNameSize, 0);
    return out;
}

// The conversion work does, as a source reading the bank's sample data when
// read; null (and *error) when it refuses.
template <typename Source, typename Work>
std::unique_ptr<IByteSource> Run(Source& in, std::string* error, Work&& work)
{
    try
    {
        CConversion conversion(in);
        work(conversion);
        return conversion.Write();
    }
    catch (const ConvertError& problem)
    {
        if (error)
            *error = problem.what();
    }
    catch (const std::bad_alloc&)
    {
        if (error)
            *error = "out of memory";
    }
    catch (const std::exception& problem)
    {
        if (error)
            *error = std::string("cannot be converted (") + problem.what() + ")";
    }
    return nullptr;
}

// The same, read into memory whole.
template <typename Source, typename Work>
bool Run(Source& in, std::vector<std::uint8_t>& out, std::string* error, Work&& work)
{
    out.clear();
    std::unique_ptr<IByteSource> converted = Run(in, error, std::forward<Work>(work));
    if (!converted)
        return false;
    try
    {
        out.resize(static_cast<std::size_t>(converted->Size()));
    }
    catch (const std::bad_alloc&)
    {
        if (error)
            *error = "out of memory";
        return false;
    }
    if (converted->Read(out.data(), out.size()) == out.size())
        return true;
    if (error)
        *error = "sample data cannot be read";
    out.clear();
    out.shrink_to_fit();
    return false;
}

void AddWholeBank(CConversion& conversion)
{
    for (int i = 0; i < conversion.PresetCount(); ++i)
        conversion.AddPreset(static_cast<std::size_t>(i));
}

void AddPlacement(CConversion& conversion, int presetNumber, int bank, int program)
{
    if (program < 0 || program > 127 || bank < 0 || bank > 0xFFFF)
        throw ConvertError(Format("bank %d program %d cannot be written", bank, program));
    const int index = conversion.FindPreset(presetNumber);
    if (index < 0)
        throw ConvertError(Format("no preset numbered %d", presetNumber));
    conversion.AddPreset(static_cast<std::size_t>(index), static_cast<std::uint16_t>(program),
                         static_cast<std::uint16_t>(bank));
}
} // namespace

bool CSoundFont2Converter::ConvertBank(IByteSource& in, std::vector<std::uint8_t>& out, std::string* error)
{
    return Run(in, out, error, AddWholeBank);
}

bool CSoundFont2Converter::ConvertBank(CSoundFontReader& opened, std::vector<std::uint8_t>& out,
                                       std::string* error)
{
    return Run(opened, out, error, AddWholeBank);
}

bool CSoundFont2Converter::ConvertPreset(IByteSource& in, int presetNumber, std::vector<std::uint8_t>& out,
                                         std::string* error, int bank, int program)
{
    return Run(in, out, error,
               [&](CConversion& conversion) { AddPlacement(conversion, presetNumber, bank, program); });
}

bool CSoundFont2Converter::ConvertPreset(CSoundFontReader& opened, int presetNumber,
                                         std::vector<std::uint8_t>& out, std::string* error, int bank,
                                         int program)
{
    return Run(opened, out, error,
               [&](CConversion& conversion) { AddPlacement(conversion, presetNumber, bank, program); });
}

std::unique_ptr<IByteSource> CSoundFont2Converter::ConvertedBank(IByteSource& in, std::string* error)
{
    return Run(in, error, AddWholeBank);
}

std::unique_ptr<IByteSource> CSoundFont2Converter::ConvertedBank(CSoundFontReader& opened, std::string* error)
{
    return Run(opened, error, AddWholeBank);
}

std::unique_ptr<IByteSource> CSoundFont2Converter::ConvertedPresets(CSoundFontReader& opened,
                                                                    const std::vector<Placement>& placements,
                                                                    std::string* error)
{
    return Run(opened, error,
               [&](CConversion& conversion)
               {
                   for (const Placement& place : placements)
                       AddPlacement(conversion, place.presetNumber, place.bank, place.program);
               });
}
