#include "soundfont/SoundFont2Assembler.h"

#include "platform/RiffFile.h"
#include "soundfont/CompressedSampleEncoder.h"
#include "soundfont/SoundFontReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

using namespace soundfont;

namespace
{
using Bytes = std::vector<std::uint8_t>;
using Span = std::span<const std::uint8_t>;
using Name = std::array<char, 20>;
using Modulator = std::array<std::uint8_t, kModulatorSize>;

// Every index of the file is a 16-bit word; the closing record's must fit too.
constexpr std::size_t kMaxRecords = 0xFFFF;

constexpr std::uint16_t kMono = 1, kRight = 2, kLeft = 4, kLinked = 8;

// Operators a version-2 file may carry in a zone of that level; the
// unused and reserved numbers never, and the ones that only make sense for
// one sample never at the preset level.
bool Allowed(std::uint16_t op, bool presetLevel)
{
    using enum SoundFontGenerator;
    if (op >= kGenCount || op == 14 || op == 18 || op == 19 || op == 20 || op == 42 || op == 49 ||
        op == GeneratorNumber(SamplePitch) || op == 59)
        return false;
    if (!presetLevel)
        return true;
    for (const SoundFontGenerator sampleOnly :
         {StartOffset, EndOffset, StartLoopOffset, EndLoopOffset, StartCoarseOffset, EndCoarseOffset,
          StartLoopCoarseOffset, EndLoopCoarseOffset, Key, Velocity, SampleModes, ExclusiveClass, RootKey})
    {
        if (op == GeneratorNumber(sampleOnly))
            return false;
    }
    return true;
}

struct Zone
{
    std::vector<std::pair<std::uint16_t, std::uint16_t>> generators; // ranges first, no link
    std::vector<Modulator> modulators;
    int link = -1; // instrument or sample of the result; -1: the global zone
};

struct Item // a preset or an instrument
{
    Name name{};
    std::uint16_t program = 0, bank = 0;
    std::vector<Zone> zones;
};

struct Sample
{
    Name name{};
    Bytes points;                             // 16-bit, as the file holds them
    std::uint32_t loopStart = 0, loopEnd = 0; // from the sample's start
    std::uint32_t rate = 44100;
    std::uint8_t key = 60;
    std::int8_t correction = 0;
    std::uint16_t type = kMono;
    std::uint16_t readType = kMono; // as the source had it, before a lost partner made it mono
    int partner = -1;
};

// A key for finding samples of equal content: their length, loop, pitch and
// up to 64 points spread over them. Not the whole content: equal keys are
// compared point by point anyway, and walking every point of every sample a
// second time would cost as much as reading it.
std::size_t ContentKey(const Sample& sample, std::span<const std::uint8_t> points)
{
    std::uint64_t key = 14695981039346656037ull;
    const auto fold = [&key](std::uint64_t value) { key = (key ^ value) * 1099511628211ull; };
    fold(points.size());
    fold(sample.loopStart);
    fold(sample.loopEnd);
    fold(sample.rate);
    fold(std::uint64_t{sample.key} << 8 | static_cast<std::uint8_t>(sample.correction));
    const std::size_t count = points.size() / 2;
    constexpr std::size_t kProbes = 64;
    for (std::size_t i = 0; i < std::min(count, kProbes); ++i)
        fold(ReadLE16(points.data() + 2 * (count <= kProbes ? i : i * (count - 1) / (kProbes - 1))));
    return static_cast<std::size_t>(key);
}

Name NameAt(Span records, std::size_t offset)
{
    Name name{};
    std::copy_n(records.begin() + static_cast<std::ptrdiff_t>(offset), name.size(), name.begin());
    name.back() = '\0'; // version 2 wants the closing zero
    return name;
}

// "N over the limit of M".
std::string OverTheLimit(std::size_t count, std::size_t limit)
{
    return std::to_string(count - limit).append(" over the limit of ").append(std::to_string(limit));
}

struct Source
{
    std::unique_ptr<CSoundFontReader> reader;
    Span phdr, pbag, pgen, inst, ibag, igen, shdr;
    Bytes pmod, imod;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataPoints = 0;
    std::map<std::size_t, int> instruments; // of the source -> of the result (-1: unusable)
    std::map<std::size_t, int> samples;
};
} // namespace

struct CSoundFont2Assembler::State
{
    std::vector<std::unique_ptr<Source>> sources;
    std::vector<Item> presets, instruments;
    std::map<std::string, int> instrumentsByContent;
    std::map<std::pair<int, int>, std::size_t> presetAt; // (bank, program) -> preset
    std::vector<Sample> samples;
    std::unordered_multimap<std::size_t, int> samplesByContent; // ContentKey -> sample
    Bytes scratch;                                              // the sample being read
    const ICompressedSampleEncoder* encoder = nullptr;
    double quality = 0.5;

    int CopyInstrument(Source& source, std::size_t index);
    int CopySample(Source& source, std::size_t index);
    std::vector<Zone> CopyZones(Source& source, bool presetLevel, std::size_t item);
    std::string Limits() const;
    void WriteTo(CRiffWriter& riff, const Info& info, const Progress& progress) const;
    // The sample data; each sample's first and end point (compressed: byte) in it.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> WriteSamples(CRiffWriter& riff,
                                                                      const Progress& progress) const;
};

namespace
{
class AssembleError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

std::size_t Index(Span records, std::size_t recordSize, std::size_t index, std::size_t offset)
{
    return ReadLE16(records.data() + index * recordSize + offset);
}

void Put(Bytes& out, const Name& name)
{
    out.insert(out.end(), name.begin(), name.end());
}

Name MakeName(std::string_view text)
{
    Name name{};
    std::copy_n(text.begin(), std::min(text.size(), name.size() - 1), name.begin());
    return name;
}
} // namespace

// The zones of preset or instrument `item`: bags from its record's index to
// the next record's, each bag's generators and modulators up to the next
// bag's, all bounded by their chunks.
std::vector<Zone> CSoundFont2Assembler::State::CopyZones(Source& source, bool presetLevel, std::size_t item)
{
    const Span headers = presetLevel ? source.phdr : source.inst;
    const std::size_t headerSize = presetLevel ? kPresetHeaderSize : kInstrumentHeaderSize;
    const std::size_t bagOffset = presetLevel ? 24 : 20;
    const Span bags = presetLevel ? source.pbag : source.ibag;
    const Span generators = presetLevel ? source.pgen : source.igen;
    const Bytes& modulators = presetLevel ? source.pmod : source.imod;
    const std::uint16_t linkOp = presetLevel ? kGenInstrument : kGenSampleId;

    std::vector<Zone> zones;
    const std::size_t bagCount = bags.size() / kBagSize;
    const std::size_t firstBag = Index(headers, headerSize, item, bagOffset);
    const std::size_t endBag = std::min(Index(headers, headerSize, item + 1, bagOffset), bagCount - 1);
    for (std::size_t b = firstBag; b < endBag; ++b)
    {
        std::array<std::optional<std::uint16_t>, 64>
            amounts{}; // a generator given twice counts with its last amount
        std::optional<std::uint16_t> link;
        const std::size_t genEnd =
            std::min(Index(bags, kBagSize, b + 1, 0), generators.size() / kGeneratorSize);
        for (std::size_t g = Index(bags, kBagSize, b, 0); g < genEnd; ++g)
        {
            const std::uint16_t op = Index(generators, kGeneratorSize, g, 0);
            const auto amount = static_cast<std::uint16_t>(Index(generators, kGeneratorSize, g, 2));
            if (op == linkOp)
                link = amount;
            else if (op != kGenInstrument && op != kGenSampleId && Allowed(op, presetLevel))
                amounts[op] = amount;
        }
        Zone zone;
        if (link)
        {
            zone.link = presetLevel ? CopyInstrument(source, *link) : CopySample(source, *link);
            if (zone.link < 0)
                continue;
        }
        else if (b != firstBag)
        {
            continue; // only a first zone may go without its instrument or sample
        }
        for (const std::uint16_t op : {kGenKeyRange, kGenVelRange})
        {
            if (amounts[op])
                zone.generators.emplace_back(op, *amounts[op]);
        }
        for (std::uint16_t op = 0; op < amounts.size(); ++op)
        {
            if (amounts[op] && op != kGenKeyRange && op != kGenVelRange)
                zone.generators.emplace_back(op, *amounts[op]);
        }
        const std::size_t modEnd =
            std::min(Index(bags, kBagSize, b + 1, 2), modulators.size() / kModulatorSize);
        for (std::size_t m = Index(bags, kBagSize, b, 2); m < modEnd; ++m)
        {
            Modulator modulator;
            std::copy_n(modulators.begin() + static_cast<std::ptrdiff_t>(m * kModulatorSize), kModulatorSize,
                        modulator.begin());
            zone.modulators.push_back(modulator);
        }
        if (!link && zone.generators.empty() && zone.modulators.empty())
            continue;
        zones.push_back(std::move(zone));
    }
    // A global zone alone applies to nothing.
    if (zones.size() == 1 && zones.front().link < 0)
        zones.clear();
    return zones;
}

int CSoundFont2Assembler::State::CopyInstrument(Source& source, std::size_t index)
{
    if (const auto found = source.instruments.find(index); found != source.instruments.end())
        return found->second;
    source.instruments[index] = -1; // an instrument naming itself through a corrupt index ends here
    const std::size_t count = source.inst.size() / kInstrumentHeaderSize;
    if (index + 1 >= count)
        return -1;
    Item instrument;
    instrument.name = NameAt(source.inst, index * kInstrumentHeaderSize);
    instrument.zones = CopyZones(source, false, index);
    if (instrument.zones.empty())
        return -1;
    // Equal instruments are written once: presets converted one by one
    // from the same bank bring the same instrument each time.
    std::string content(instrument.name.begin(), instrument.name.end());
    for (const Zone& zone : instrument.zones)
    {
        content += std::to_string(zone.link).append(":");
        for (const auto& [op, amount] : zone.generators)
            content += std::to_string(op).append("=").append(std::to_string(amount)).append(",");
        content += std::to_string(zone.modulators.size()).append("m");
        for (const Modulator& modulator : zone.modulators)
            content.append(modulator.begin(), modulator.end());
        content += ';';
    }
    const auto [at, added] =
        instrumentsByContent.try_emplace(std::move(content), static_cast<int>(instruments.size()));
    if (added)
        instruments.push_back(std::move(instrument));
    source.instruments[index] = at->second;
    return at->second;
}

int CSoundFont2Assembler::State::CopySample(Source& source, std::size_t index)
{
    if (const auto found = source.samples.find(index); found != source.samples.end())
        return found->second;
    source.samples[index] = -1;
    if (index + 1 >= source.shdr.size() / kSampleHeader2Size)
        return -1; // the closing record or past it
    const std::uint8_t* record = source.shdr.data() + index * kSampleHeader2Size;
    const std::uint32_t start = ReadLE32(record + 20), end = ReadLE32(record + 24);
    const std::uint16_t type = ReadLE16(record + 44);
    if ((type & (kSampleRom | kSampleCompressed)) != 0 || start >= end || end > source.dataPoints ||
        end - start < 2)
        return -1;

    // Read into a buffer kept from sample to sample: most samples of an
    // export are found again (converted patches of one bank), and those need
    // no memory of their own.
    const std::size_t bytes = 2 * std::size_t{end - start};
    if (scratch.size() < bytes)
        scratch.resize(bytes);
    IByteSource& in = *source.reader->GetSource();
    if (!in.Seek(source.dataOffset + 2 * std::uint64_t{start}) || in.Read(scratch.data(), bytes) != bytes)
        throw AssembleError("sample data cannot be read");
    const std::span<const std::uint8_t> points(scratch.data(), bytes);

    Sample sample;
    sample.name = NameAt(source.shdr, index * kSampleHeader2Size);
    const auto inside = [&](std::uint32_t point) { return std::clamp(point, start, end) - start; };
    sample.loopStart = inside(ReadLE32(record + 28));
    sample.loopEnd = inside(ReadLE32(record + 32));
    if (sample.loopStart >= sample.loopEnd)
    {
        sample.loopStart = 0;
        sample.loopEnd = end - start;
    }
    const std::uint32_t rate = ReadLE32(record + 36);
    sample.rate = rate == 0 ? 44100 : rate;
    sample.key = record[40] <= 127 ? record[40] : 60;
    sample.correction = static_cast<std::int8_t>(record[41]);
    const std::uint16_t channel = type & (kRight | kLeft | kLinked);
    sample.type = channel == kRight || channel == kLeft || channel == kLinked ? channel : kMono;
    sample.readType = sample.type;

    // Equal content is stored once. A stereo half found again keeps the
    // partner it was first stored with: links only tell players which
    // samples belong together, and equal halves sound alike.
    const std::size_t key = ContentKey(sample, points);
    const auto [first, last] = samplesByContent.equal_range(key);
    for (auto it = first; it != last; ++it)
    {
        const Sample& other = samples[static_cast<std::size_t>(it->second)];
        if (other.readType == sample.readType && other.loopStart == sample.loopStart &&
            other.loopEnd == sample.loopEnd && other.rate == sample.rate && other.key == sample.key &&
            other.correction == sample.correction && std::ranges::equal(other.points, points))
        {
            source.samples[index] = it->second;
            return it->second;
        }
    }
    sample.points.assign(points.begin(), points.end());
    const int out = static_cast<int>(samples.size());
    samples.push_back(std::move(sample));
    samplesByContent.emplace(key, out);
    source.samples[index] = out;
    if (samples[static_cast<std::size_t>(out)].type != kMono)
    {
        const int partner = CopySample(source, ReadLE16(record + 42));
        Sample& self = samples[static_cast<std::size_t>(out)];
        if (partner >= 0 && partner != out && samples[static_cast<std::size_t>(partner)].type != kMono)
        {
            self.partner = partner;
            Sample& other = samples[static_cast<std::size_t>(partner)];
            if (other.partner < 0)
                other.partner = out;
        }
        else
        {
            self.type = kMono;
        }
    }
    return out;
}

CSoundFont2Assembler::CSoundFont2Assembler() : state(std::make_unique<State>()) {}
CSoundFont2Assembler::~CSoundFont2Assembler() = default;

int CSoundFont2Assembler::AddSource(std::unique_ptr<CSoundFontReader> reader, std::string* error)
{
    const auto refuse = [&](const std::string& why)
    {
        if (error)
            *error = why;
        return -1;
    };
    if (!reader || !reader->IsValid() || !reader->IsOpen())
        return refuse(reader ? reader->GetOpenProblemText() : "no bank");
    if (reader->GetMajorVersion() != 2)
        return refuse("not a SoundFont 2 bank (version " + reader->GetVersionText() + ")");
    auto source = std::make_unique<Source>();
    const struct
    {
        const char* id;
        std::size_t recordSize;
        Span* span;
    } chunks[] = {{"phdr", kPresetHeaderSize, &source->phdr}, {"pbag", kBagSize, &source->pbag},
                  {"pgen", kGeneratorSize, &source->pgen},    {"inst", kInstrumentHeaderSize, &source->inst},
                  {"ibag", kBagSize, &source->ibag},          {"igen", kGeneratorSize, &source->igen},
                  {"shdr", kSampleHeader2Size, &source->shdr}};
    for (const auto& chunk : chunks)
    {
        *chunk.span = reader->GetChunkData(MakeFourCC(chunk.id));
        if (chunk.span->size() % chunk.recordSize != 0 || chunk.span->empty())
            return refuse(std::string("corrupt SoundFont bank (\"") + chunk.id +
                          "\" chunk is no whole number of records)");
    }
    for (const auto& [id, out] : {std::pair{"pmod", &source->pmod}, std::pair{"imod", &source->imod}})
    {
        if (auto data = reader->ReadListChunk(MakeFourCC("pdta"), MakeFourCC(id)))
            *out = std::move(*data);
    }
    if (const auto smpl = reader->FindListChunk(MakeFourCC("sdta"), MakeFourCC("smpl")))
    {
        source->dataOffset = smpl->dataOffset;
        source->dataPoints = std::min<std::uint64_t>(smpl->cksize, smpl->Available()) / 2;
    }
    source->reader = std::move(reader);
    state->sources.push_back(std::move(source));
    return static_cast<int>(state->sources.size() - 1);
}

bool CSoundFont2Assembler::AddPreset(int sourceIndex, int preset, int bank, int program, std::string* error)
{
    const auto refuse = [&](const std::string& why)
    {
        if (error)
            *error = why;
        return false;
    };
    if (sourceIndex < 0 || static_cast<std::size_t>(sourceIndex) >= state->sources.size())
        return refuse("no such source");
    Source& source = *state->sources[static_cast<std::size_t>(sourceIndex)];
    if (preset < 0 || static_cast<std::size_t>(preset) + 1 >= source.phdr.size() / kPresetHeaderSize)
        return refuse("no preset record " + std::to_string(preset));
    if (bank < 0 || bank > 128 || program < 0 || program > 127)
        return refuse("bank " + std::to_string(bank) + " program " + std::to_string(program) +
                      " cannot be written");
    Item item;
    item.name = NameAt(source.phdr, static_cast<std::size_t>(preset) * kPresetHeaderSize);
    item.bank = static_cast<std::uint16_t>(bank);
    item.program = static_cast<std::uint16_t>(program);
    try
    {
        item.zones = state->CopyZones(source, true, static_cast<std::size_t>(preset));
    }
    catch (const AssembleError& problem)
    {
        return refuse(problem.what());
    }
    const auto [at, added] = state->presetAt.try_emplace({bank, program}, state->presets.size());
    if (added)
        state->presets.push_back(std::move(item));
    else
        state->presets[at->second] = std::move(item);
    return true;
}

int CSoundFont2Assembler::PresetCount() const
{
    return static_cast<int>(state->presets.size());
}

void CSoundFont2Assembler::SetCompression(const ICompressedSampleEncoder* encoder, double quality)
{
    state->encoder = encoder;
    state->quality = quality;
}

std::string CSoundFont2Assembler::State::Limits() const
{
    std::string problems;
    const auto limit = [&](const std::string& what, std::size_t count)
    {
        if (count <= kMaxRecords)
            return;
        problems += problems.empty() ? "" : "; ";
        problems += std::to_string(count).append(" ").append(what).append(", ");
        problems += OverTheLimit(count, kMaxRecords);
    };
    for (const auto& [items, level] : {std::pair{&presets, "preset"}, std::pair{&instruments, "instrument"}})
    {
        std::size_t zones = 0, generators = 0, modulators = 0;
        for (const Item& item : *items)
        {
            zones += item.zones.size();
            for (const Zone& zone : item.zones)
            {
                generators += zone.generators.size() + (zone.link >= 0 ? 1 : 0);
                modulators += zone.modulators.size();
            }
        }
        limit(std::string(level).append(" zones"), zones);
        limit(std::string(level).append(" generators"), generators);
        limit(std::string(level).append(" modulators"), modulators);
    }
    limit("instruments", instruments.size());
    limit("samples", samples.size());
    return problems;
}

namespace
{
void Check(bool ok)
{
    if (!ok)
        throw AssembleError("cannot be written");
}

void PutChunk(CRiffWriter& riff, std::string_view id, const Bytes& data)
{
    Check(riff.WriteChunk(MakeFourCC(id), data.data(), data.size()));
}

void PutText(CRiffWriter& riff, std::string_view id, std::string_view text, std::size_t maxBytes = 256)
{
    Check(riff.WriteText(MakeFourCC(id), text, maxBytes));
}

// One level's records: headers, bags, modulators, generators, with their closing records.
struct Level
{
    Bytes headers, bags, modulators, generators;
};

Level WriteLevel(const std::vector<Item>& items, bool presetLevel)
{
    Level out;
    std::size_t bag = 0, generator = 0, modulator = 0;
    const std::uint16_t linkOp = presetLevel ? kGenInstrument : kGenSampleId;
    const auto header = [&](const Name& name, std::uint16_t program, std::uint16_t bank)
    {
        Put(out.headers, name);
        if (presetLevel)
        {
            AppendLE16(out.headers, program);
            AppendLE16(out.headers, bank);
        }
        AppendLE16(out.headers, static_cast<std::uint16_t>(bag));
        if (presetLevel)
            out.headers.insert(out.headers.end(), 12, 0); // library, genre, morphology
    };
    for (const Item& item : items)
    {
        header(item.name, item.program, item.bank);
        for (const Zone& zone : item.zones)
        {
            AppendLE16(out.bags, static_cast<std::uint16_t>(generator));
            AppendLE16(out.bags, static_cast<std::uint16_t>(modulator));
            for (const auto& [op, amount] : zone.generators)
            {
                AppendLE16(out.generators, op);
                AppendLE16(out.generators, amount);
            }
            if (zone.link >= 0)
            {
                AppendLE16(out.generators, linkOp);
                AppendLE16(out.generators, static_cast<std::uint16_t>(zone.link));
            }
            for (const Modulator& m : zone.modulators)
                out.modulators.insert(out.modulators.end(), m.begin(), m.end());
            generator += zone.generators.size() + (zone.link >= 0 ? 1 : 0);
            modulator += zone.modulators.size();
            ++bag;
        }
    }
    header(MakeName(presetLevel ? "EOP" : "EOI"), 0, 0);
    AppendLE16(out.bags, static_cast<std::uint16_t>(generator));
    AppendLE16(out.bags, static_cast<std::uint16_t>(modulator));
    out.modulators.insert(out.modulators.end(), kModulatorSize, 0);
    out.generators.insert(out.generators.end(), kGeneratorSize, 0);
    return out;
}

constexpr std::uint32_t kZeroPoints = 46; // silence after every sample, as players expect
} // namespace

std::vector<std::pair<std::uint32_t, std::uint32_t>>
CSoundFont2Assembler::State::WriteSamples(CRiffWriter& riff, const Progress& progress) const
{
    CRiffChunk smpl;
    smpl.ckid = MakeFourCC("smpl");
    Check(riff.CreateChunk(smpl, CRiffWriter::Create::Chunk));
    const Bytes silence(2 * kZeroPoints, 0);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
    std::uint64_t at = 0; // points, or bytes when compressed
    std::vector<std::int16_t> points;
    for (std::size_t i = 0; i < samples.size(); ++i)
    {
        const Sample& sample = samples[i];
        if (encoder)
        {
            points.resize(sample.points.size() / 2);
            for (std::size_t p = 0; p < points.size(); ++p)
                points[p] = static_cast<std::int16_t>(ReadLE16(sample.points.data() + 2 * p));
            const auto stream = encoder->Encode(points, sample.rate, quality);
            if (!stream)
                throw AssembleError(std::string("sample \"")
                                        .append(sample.name.data())
                                        .append("\" cannot be compressed (rate ")
                                        .append(std::to_string(sample.rate))
                                        .append(")"));
            if (at + stream->size() > UINT32_MAX)
                throw AssembleError("too much sample data for a SoundFont 3 file");
            places.emplace_back(static_cast<std::uint32_t>(at),
                                static_cast<std::uint32_t>(at + stream->size()));
            Check(riff.Write(stream->data(), stream->size()));
            at += stream->size();
        }
        else
        {
            const std::uint64_t count = sample.points.size() / 2;
            if (at + count + kZeroPoints > UINT32_MAX / 2)
                throw AssembleError("too much sample data for a SoundFont 2 file");
            places.emplace_back(static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + count));
            Check(riff.Write(sample.points.data(), sample.points.size()) &&
                  riff.Write(silence.data(), silence.size()));
            at += count + kZeroPoints;
        }
        // Compressing takes long for every sample: tell each one then.
        if (progress && (encoder || i % 64 == 0) &&
            !progress(static_cast<double>(i) / static_cast<double>(samples.size())))
            throw AssembleError("cancelled");
    }
    Check(riff.Ascend(smpl));
    return places;
}

void CSoundFont2Assembler::State::WriteTo(CRiffWriter& riff, const Info& info, const Progress& progress) const
{
    CRiffChunk form, list;
    form.fccType = MakeFourCC("sfbk");
    Check(riff.CreateChunk(form, CRiffWriter::Create::Riff));

    list.fccType = MakeFourCC("INFO");
    Check(riff.CreateChunk(list, CRiffWriter::Create::List));
    PutChunk(riff, "ifil", encoder ? Bytes{3, 0, 1, 0} : Bytes{2, 0, 1, 0});
    PutText(riff, "isng", "EMU8000");
    PutText(riff, "INAM", info.name.empty() ? std::string_view("Untitled") : std::string_view(info.name));
    if (!info.date.empty())
        PutText(riff, "ICRD", info.date);
    if (!info.comment.empty())
        PutText(riff, "ICMT", info.comment, 65536);
    if (!info.software.empty())
        PutText(riff, "ISFT", info.software);
    Check(riff.Ascend(list));

    list.fccType = MakeFourCC("sdta");
    Check(riff.CreateChunk(list, CRiffWriter::Create::List));
    const auto places = WriteSamples(riff, progress);
    Check(riff.Ascend(list));

    list.fccType = MakeFourCC("pdta");
    Check(riff.CreateChunk(list, CRiffWriter::Create::List));
    const Level presetLevel = WriteLevel(presets, true);
    const Level instrumentLevel = WriteLevel(instruments, false);
    PutChunk(riff, "phdr", presetLevel.headers);
    PutChunk(riff, "pbag", presetLevel.bags);
    PutChunk(riff, "pmod", presetLevel.modulators);
    PutChunk(riff, "pgen", presetLevel.generators);
    PutChunk(riff, "inst", instrumentLevel.headers);
    PutChunk(riff, "ibag", instrumentLevel.bags);
    PutChunk(riff, "imod", instrumentLevel.modulators);
    PutChunk(riff, "igen", instrumentLevel.generators);
    Bytes shdr;
    for (std::size_t i = 0; i < samples.size(); ++i)
    {
        const Sample& sample = samples[i];
        Put(shdr, sample.name);
        const auto [start, end] = places[i];
        // A compressed sample's loop counts from its first decoded point.
        const std::uint32_t loopBase = encoder ? 0 : start;
        AppendLE32(shdr, start);
        AppendLE32(shdr, end);
        AppendLE32(shdr, loopBase + sample.loopStart);
        AppendLE32(shdr, loopBase + sample.loopEnd);
        AppendLE32(shdr, sample.rate);
        shdr.push_back(sample.key);
        shdr.push_back(static_cast<std::uint8_t>(sample.correction));
        AppendLE16(shdr, static_cast<std::uint16_t>(sample.partner >= 0 ? sample.partner : 0));
        AppendLE16(shdr, static_cast<std::uint16_t>(sample.type | (encoder ? kSampleCompressed : 0)));
    }
    Put(shdr, MakeName("EOS"));
    shdr.insert(shdr.end(), kSampleHeader2Size - 20, 0);
    PutChunk(riff, "shdr", shdr);
    Check(riff.Ascend(list));
    Check(riff.Ascend(form));
}

bool CSoundFont2Assembler::Write(IByteSink& sink, const Info& info, std::string* error,
                                 const Progress& progress)
{
    const auto refuse = [&](const std::string& why)
    {
        if (error)
            *error = why;
        return false;
    };
    if (state->presets.empty() || state->samples.empty())
        return refuse("nothing to write (no preset with samples)");
    if (const std::string problems = state->Limits(); !problems.empty())
        return refuse("too large for a SoundFont 2 file (" + problems + ")");
    try
    {
        CRiffWriter riff(sink);
        state->WriteTo(riff, info, progress);
    }
    catch (const AssembleError& problem)
    {
        return refuse(problem.what());
    }
    return sink.Good() || refuse("cannot be written");
}
