#include "soundfont/SoundFontExtractor.h"

#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <span>
#include <stdexcept>

using namespace soundfont;

namespace
{
constexpr std::size_t kZeroPoints = 46;
constexpr std::uint16_t kStereoBits = 0x2 | 0x4 | 0x8; // right, left, linked
constexpr FourCC kListPdta = MakeFourCC("pdta");

struct ExtractError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutName(std::vector<std::uint8_t>& out, const char* name, std::size_t size)
{
    const std::size_t length =
        std::min(size, static_cast<std::size_t>(std::find(name, name + size, '\0') - name));
    out.insert(out.end(), name, name + length);
    out.insert(out.end(), size - length, 0);
}

std::vector<std::uint8_t> Chunk(const char* id, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out(id, id + 4);
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2)
        out.push_back(0);
    return out;
}

std::vector<std::uint8_t> List(const char* type, const std::vector<std::vector<std::uint8_t>>& chunks)
{
    std::vector<std::uint8_t> data(type, type + 4);
    for (const auto& chunk : chunks)
        data.insert(data.end(), chunk.begin(), chunk.end());
    return Chunk("LIST", data);
}

// A record-sized view of a chunk: whole records only, index checked.
struct Records
{
    std::span<const std::uint8_t> bytes;
    std::size_t size;
    std::size_t Count() const { return bytes.size() / size; }
    const std::uint8_t* At(std::size_t i) const { return bytes.data() + i * size; }
};

// The zones of a preset or instrument: copied generators and modulators,
// a bag for each zone, indices rewritten by the caller's function.
struct Zones
{
    std::vector<std::uint8_t> bags, generators, modulators;
    std::size_t generatorCount = 0, modulatorCount = 0;
};

// Copies the zones of record `index` of headers (bag index at bagOffset);
// remap turns a generator's amount for `indexOper` into the new index, or
// nothing to drop that generator.
template <typename Remap>
void CopyZones(const Records& headers, std::size_t bagOffset, std::size_t index, const Records& bags,
               const Records& generators, const Records& modulators, std::uint16_t indexOper, Remap remap,
               Zones& zones)
{
    if (index + 1 >= headers.Count() || bags.Count() == 0)
        return;
    const std::size_t firstBag = ReadLE16(headers.At(index) + bagOffset);
    const std::size_t endBag =
        std::min<std::size_t>(ReadLE16(headers.At(index + 1) + bagOffset), bags.Count() - 1);
    for (std::size_t bag = firstBag; bag < endBag; ++bag)
    {
        Put16(zones.bags, static_cast<std::uint32_t>(zones.generatorCount));
        Put16(zones.bags, static_cast<std::uint32_t>(zones.modulatorCount));
        const std::size_t g0 = ReadLE16(bags.At(bag));
        const std::size_t g1 = std::min<std::size_t>(ReadLE16(bags.At(bag + 1)), generators.Count());
        for (std::size_t g = g0; g < g1; ++g)
        {
            const std::uint16_t oper = ReadLE16(generators.At(g));
            std::uint16_t amount = ReadLE16(generators.At(g) + 2);
            if (oper == indexOper)
            {
                const auto mapped = remap(amount);
                if (!mapped)
                    continue;
                amount = *mapped;
            }
            Put16(zones.generators, oper);
            Put16(zones.generators, amount);
            ++zones.generatorCount;
        }
        const std::size_t m0 = ReadLE16(bags.At(bag) + 2);
        const std::size_t m1 = std::min<std::size_t>(ReadLE16(bags.At(bag + 1) + 2), modulators.Count());
        for (std::size_t m = m0; m < m1; ++m)
        {
            zones.modulators.insert(zones.modulators.end(), modulators.At(m),
                                    modulators.At(m) + kModulatorSize);
            ++zones.modulatorCount;
        }
        if (zones.generatorCount > 0xFFFF || zones.modulatorCount > 0xFFFF || zones.bags.size() / 4 > 0xFFFF)
            throw ExtractError("preset too large for one bank");
    }
}

void CloseZones(Zones& zones)
{
    Put16(zones.bags, static_cast<std::uint32_t>(zones.generatorCount));
    Put16(zones.bags, static_cast<std::uint32_t>(zones.modulatorCount));
    zones.generators.insert(zones.generators.end(), 4, 0);
    zones.modulators.insert(zones.modulators.end(), kModulatorSize, 0);
}

void Extract(CSoundFontReader& reader, int index, std::vector<std::uint8_t>& out, int bank, int program,
             const ICompressedSampleDecoder* verify)
{
    const int major = reader.GetMajorVersion();
    if (major < 2)
        throw ExtractError(
            std::string("not a SoundFont 2 or 3 bank (version ").append(reader.GetVersionText()).append(")"));
    if (index < 0 || index >= reader.GetPresetCount())
        throw ExtractError("no such preset");
    IByteSource* source = reader.GetSource();
    if (!source)
        throw ExtractError("the bank is closed");

    const Records phdr{reader.GetChunkData(MakeFourCC("phdr")), kPresetHeaderSize};
    const Records pbag{reader.GetChunkData(MakeFourCC("pbag")), kBagSize};
    const Records pgen{reader.GetChunkData(MakeFourCC("pgen")), kGeneratorSize};
    const Records inst{reader.GetChunkData(MakeFourCC("inst")), kInstrumentHeaderSize};
    const Records ibag{reader.GetChunkData(MakeFourCC("ibag")), kBagSize};
    const Records igen{reader.GetChunkData(MakeFourCC("igen")), kGeneratorSize};
    // Modulators are optional to the listing; a bank without them has none.
    const auto pmodData = reader.ReadListChunk(kListPdta, MakeFourCC("pmod"));
    const auto imodData = reader.ReadListChunk(kListPdta, MakeFourCC("imod"));
    const Records pmod{pmodData ? std::span<const std::uint8_t>(*pmodData) : std::span<const std::uint8_t>(),
                       kModulatorSize};
    const Records imod{imodData ? std::span<const std::uint8_t>(*imodData) : std::span<const std::uint8_t>(),
                       kModulatorSize};

    const int instrumentCount = reader.GetInstrumentCount();
    const int sampleCount = reader.GetSampleRecordCount();
    std::map<std::uint16_t, std::uint16_t> newInstrument; // old index -> new
    std::vector<std::uint16_t> instruments;
    Zones presetZones;
    CopyZones(
        phdr, 24, static_cast<std::size_t>(index), pbag, pgen, pmod,
        GeneratorNumber(SoundFontGenerator::Instrument),
        [&](std::uint16_t old) -> std::optional<std::uint16_t>
        {
            if (old >= instrumentCount)
                return std::nullopt;
            const auto [at, added] =
                newInstrument.emplace(old, static_cast<std::uint16_t>(instruments.size()));
            if (added)
                instruments.push_back(old);
            return at->second;
        },
        presetZones);
    CloseZones(presetZones);

    std::map<std::uint16_t, std::uint16_t> newSample;
    std::vector<std::uint16_t> samples;
    Zones instrumentZones;
    std::vector<std::uint8_t> instRecords;
    for (const std::uint16_t old : instruments)
    {
        PutName(instRecords, reinterpret_cast<const char*>(inst.At(old)), 20);
        Put16(instRecords, static_cast<std::uint32_t>(instrumentZones.bags.size() / kBagSize));
        CopyZones(
            inst, 20, old, ibag, igen, imod, GeneratorNumber(SoundFontGenerator::SampleId),
            [&](std::uint16_t sample) -> std::optional<std::uint16_t>
            {
                if (sample >= sampleCount || (reader.GetSampleRecord(sample).sampleType & kSampleRom))
                    return std::nullopt;
                const auto [at, added] =
                    newSample.emplace(sample, static_cast<std::uint16_t>(samples.size()));
                if (added)
                    samples.push_back(sample);
                return at->second;
            },
            instrumentZones);
    }
    PutName(instRecords, "EOI", 20);
    Put16(instRecords, static_cast<std::uint32_t>(instrumentZones.bags.size() / kBagSize));
    CloseZones(instrumentZones);

    // The samples' data, each read from the file once.
    std::vector<std::uint8_t> sampleData;
    std::vector<std::uint8_t> shdr;
    const std::uint64_t dataSize = reader.SampleDataSize();
    for (const std::uint16_t old : samples)
    {
        const SampleRecord record = reader.GetSampleRecord(old);
        const bool compressed = major >= 3 && (record.sampleType & kSampleCompressed);
        // Version 2 positions count points, version 3 streams bytes.
        const std::uint64_t unit = compressed ? 1 : 2;
        if (record.end <= record.start || record.end * unit > dataSize)
            throw ExtractError(
                std::string("sample \"")
                    .append(record.name.data(), strnlen(record.name.data(), record.name.size()))
                    .append("\" lies outside the sample data"));
        const std::uint64_t bytes = (record.end - record.start) * unit;
        const std::uint64_t newStart = sampleData.size() / unit;
        if (sampleData.size() + bytes + 2 * kZeroPoints > 0xF0000000u)
            throw ExtractError("preset too large for one bank");
        const std::size_t at = sampleData.size();
        sampleData.resize(at + bytes);
        if (!source->Seek(reader.SampleDataOffset() + record.start * unit) ||
            source->Read(sampleData.data() + at, bytes) != bytes)
            throw ExtractError("sample data cut short");
        if (compressed && verify &&
            !verify->Decode(std::span<const std::uint8_t>(sampleData.data() + at, bytes)))
            throw ExtractError(
                std::string("sample \"")
                    .append(record.name.data(), strnlen(record.name.data(), record.name.size()))
                    .append("\" does not decode"));
        if (!compressed)
            sampleData.insert(sampleData.end(), 2 * kZeroPoints, 0);
        else if (sampleData.size() % 2)
            sampleData.push_back(0);

        const auto shift = [&](std::uint32_t point) -> std::uint32_t
        {
            if (compressed) // loop points of a stream count from its own start
                return point;
            const std::int64_t moved =
                std::int64_t{point} - record.start + static_cast<std::int64_t>(newStart);
            return static_cast<std::uint32_t>(std::clamp<std::int64_t>(moved, 0, 0xFFFFFFFF));
        };
        PutName(shdr, record.name.data(), 20);
        Put32(shdr, static_cast<std::uint32_t>(newStart));
        Put32(shdr, static_cast<std::uint32_t>(newStart + bytes / unit));
        Put32(shdr, shift(record.loopStart));
        Put32(shdr, shift(record.loopEnd));
        Put32(shdr, record.sampleRate);
        shdr.push_back(record.originalPitch);
        shdr.push_back(static_cast<std::uint8_t>(record.pitchCorrection));
        // A stereo partner left behind makes this half a mono sample.
        std::uint16_t type = record.sampleType;
        std::uint16_t link = 0;
        if (const auto partner = newSample.find(record.sampleLink);
            (type & kStereoBits) && partner != newSample.end())
            link = partner->second;
        else if (type & kStereoBits)
            type = static_cast<std::uint16_t>((type & ~kStereoBits) | 1);
        Put16(shdr, link);
        Put16(shdr, type);
    }
    PutName(shdr, "EOS", 46);

    std::vector<std::uint8_t> phdrOut;
    PutName(phdrOut, reinterpret_cast<const char*>(phdr.At(static_cast<std::size_t>(index))), 20);
    Put16(phdrOut, static_cast<std::uint32_t>(program));
    Put16(phdrOut, static_cast<std::uint32_t>(bank));
    Put16(phdrOut, 0);
    phdrOut.insert(phdrOut.end(), 12, 0);
    PutName(phdrOut, "EOP", 20);
    phdrOut.insert(phdrOut.end(), 4, 0);
    Put16(phdrOut, static_cast<std::uint32_t>(presetZones.bags.size() / kBagSize - 1));
    phdrOut.insert(phdrOut.end(), 12, 0);

    std::vector<std::uint8_t> ifil;
    Put16(ifil, static_cast<std::uint32_t>(major));
    Put16(ifil, static_cast<std::uint32_t>(reader.GetVersion().second));
    std::vector<std::uint8_t> engine;
    PutName(engine, "EMU8000", 8);
    // INFO texts end in a zero byte and have an even size: FluidSynth refuses others.
    std::vector<std::uint8_t> name;
    const PresetHeader header = reader.GetPresetHeader(index);
    PutName(name, header.name.data(), 20);
    name.resize(static_cast<std::size_t>(std::find(name.begin(), name.end(), 0) - name.begin()) + 1);
    if (name.size() % 2)
        name.push_back(0);

    std::vector<std::uint8_t> form{'s', 'f', 'b', 'k'};
    for (const auto& list :
         {List("INFO", {Chunk("ifil", ifil), Chunk("isng", engine), Chunk("INAM", name)}),
          List("sdta", {Chunk("smpl", sampleData)}),
          List("pdta", {Chunk("phdr", phdrOut), Chunk("pbag", presetZones.bags),
                        Chunk("pmod", presetZones.modulators), Chunk("pgen", presetZones.generators),
                        Chunk("inst", instRecords), Chunk("ibag", instrumentZones.bags),
                        Chunk("imod", instrumentZones.modulators), Chunk("igen", instrumentZones.generators),
                        Chunk("shdr", shdr)})})
        form.insert(form.end(), list.begin(), list.end());
    out = Chunk("RIFF", form);
}
} // namespace

bool CSoundFontExtractor::ExtractPreset(CSoundFontReader& opened, int index, std::vector<std::uint8_t>& out,
                                        std::string* error, int bank, int program,
                                        const ICompressedSampleDecoder* verify)
{
    out.clear();
    try
    {
        Extract(opened, index, out, bank, program, verify);
        return true;
    }
    catch (const ExtractError& problem)
    {
        if (error)
            *error = problem.what();
    }
    catch (const std::bad_alloc&)
    {
        if (error)
            *error = "preset does not fit in memory";
    }
    out.clear();
    return false;
}
