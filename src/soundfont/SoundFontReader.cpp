#include "soundfont/SoundFontReader.h"

#include "platform/StringTable.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <new>
#include <set>

using namespace soundfont;

namespace
{
constexpr FourCC kFormSfbk = MakeFourCC("sfbk");
constexpr FourCC kListPdta = MakeFourCC("pdta");
constexpr FourCC kListInfo = MakeFourCC("INFO");
constexpr FourCC kListSdta = MakeFourCC("sdta");
// A header list beyond this is read chunk by chunk from the file rather than
// held whole (a full bank's preset data takes a few megabytes).
constexpr std::uint64_t kMaxHeldList = 64 << 20;

// Offsets of the bag index in a preset and an instrument record.
constexpr std::size_t kPresetBagOffset = 24;
constexpr std::size_t kInstrumentBagOffset = 20;

std::size_t RecordCount(const std::optional<std::vector<std::uint8_t>>& chunk, std::size_t recordSize)
{
    return chunk ? chunk->size() / recordSize : 0;
}

std::uint16_t Field16(const std::vector<std::uint8_t>& chunk, std::size_t offset)
{
    return ReadLE16(chunk.data() + offset);
}

std::string TextUpToZero(const std::vector<std::uint8_t>& bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::string(bytes.begin(), end);
}

// A chunk id in double quotes, anything unprintable shown as '?'.
std::string Quoted(FourCC id)
{
    std::string text = "\"";
    for (int shift = 0; shift < 32; shift += 8)
    {
        const char c = static_cast<char>((id >> shift) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text + '"';
}
std::string VersionText(int major, int minor)
{
    char text[24];
    std::snprintf(text, sizeof text, "%d.%02d", major, minor);
    return text;
}

std::atomic<const ICompressedSampleDecoder*> defaultDecoder{nullptr};
constexpr std::uint64_t kMaxDecodedPoints = 0x7FFFFFFF;
} // namespace

void SetDefaultSampleDecoder(const ICompressedSampleDecoder* decoder)
{
    defaultDecoder.store(decoder);
}

const ICompressedSampleDecoder* GetDefaultSampleDecoder()
{
    return defaultDecoder.load();
}

CSoundFontReader::~CSoundFontReader() = default;

bool CSoundFontReader::Open(const std::string& path)
{
    auto file = std::make_unique<CFileSource>();
    if (!file->Open(path))
        file.reset();
    return Open(std::move(file));
}

bool CSoundFontReader::Open(std::unique_ptr<IByteSource> newSource)
{
    FreeChunks();
    Close();
    // Texts of an earlier file must not outlive it, whatever this one holds.
    for (std::string* text : {&name, &engineer, &creationDate, &copyright, &comment, &product, &soundEngine,
                              &romName, &romVersion, &software})
        text->clear();
    versionMajor = 1;
    versionMinor = 0;
    decoded.clear();
    decodedWhole.clear();
    problem = OpenProblem::None;
    problemChunk = 0;
    form = {};
    lists.clear();

    if (!newSource)
    {
        problem = OpenProblem::CannotOpen;
        return false;
    }
    source = std::make_unique<CWindowedSource>(std::move(newSource));
    opening = true;

    // The version decides the layout of the sample records, so it is read
    // first; a bank without one is a version 1 bank, as before.
    if (const Buffer ifil = ReadChunk(kListInfo, MakeFourCC("ifil")); ifil && ifil->size() >= 4)
    {
        versionMajor = ReadLE16(ifil->data());
        versionMinor = ReadLE16(ifil->data() + 2);
        if (versionMajor < 1 || versionMajor > 3)
        {
            NoteProblem(OpenProblem::BadVersion, MakeFourCC("ifil"));
            opening = false;
            Close();
            return false;
        }
    }

    const struct
    {
        const char* id;
        Buffer* buffer;
    } presetChunks[] = {{"phdr", &phdr}, {"pbag", &pbag}, {"pgen", &pgen}, {"inst", &inst},
                        {"ibag", &ibag}, {"igen", &igen}, {"shdr", &shdr}};
    for (const auto& chunk : presetChunks)
        *chunk.buffer = ReadChunk(kListPdta, MakeFourCC(chunk.id));

    const struct
    {
        const char* id;
        std::string* text;
    } infoChunks[] = {{"INAM", &name},         {"IPRD", &product},  {"ICOP", &copyright},
                      {"ICRD", &creationDate}, {"IENG", &engineer}, {"ICMT", &comment}};
    for (const auto& chunk : infoChunks)
    {
        const Buffer data = ReadChunk(kListInfo, MakeFourCC(chunk.id));
        *chunk.text = data ? TextUpToZero(*data) : std::string();
    }
    const struct
    {
        const char* id;
        std::string* text;
    } laterInfoChunks[] = {{"isng", &soundEngine}, {"irom", &romName}, {"ISFT", &software}};
    for (const auto& chunk : laterInfoChunks)
    {
        const Buffer data = ReadChunk(kListInfo, MakeFourCC(chunk.id));
        *chunk.text = data ? TextUpToZero(*data) : std::string();
    }
    if (const Buffer iver = ReadChunk(kListInfo, MakeFourCC("iver")); iver && iver->size() >= 4)
        romVersion = VersionText(ReadLE16(iver->data()), ReadLE16(iver->data() + 2));

    if (const auto smpl = FindChunk(kListSdta, MakeFourCC("smpl")))
    {
        sampleDataSize = static_cast<std::uint32_t>(smpl->Available()); // never above the claimed size
        sampleDataOffset = smpl->dataOffset;
    }
    opening = false;

    if (IsValid())
        return true;
    FreeChunks();
    Close();
    return false;
}

void CSoundFontReader::Close()
{
    source.reset();
}

bool CSoundFontReader::IsValid() const
{
    return phdr && pbag && pgen && inst && ibag && igen && shdr;
}

void CSoundFontReader::FreeChunks()
{
    for (Buffer* buffer : {&phdr, &pbag, &pgen, &inst, &ibag, &igen, &shdr})
        buffer->reset();
    sampleDataSize = 0;
    sampleDataOffset = 0;
    decoded.clear();
    decodedWhole.clear();
}

std::string CSoundFontReader::GetOpenProblemText() const
{
    const std::string chunk = Quoted(problemChunk);
    switch (problem)
    {
    case OpenProblem::NoSfbkForm:
        return "not a SoundFont bank (no RIFF \"sfbk\" form)";
    case OpenProblem::NoList:
        return "not a SoundFont bank (no " + chunk + " list)";
    case OpenProblem::MissingChunk:
        return "not a SoundFont bank (no " + chunk + " chunk in the \"pdta\" list)";
    case OpenProblem::TruncatedChunk:
        return "not a SoundFont bank (" + chunk + " chunk cut short)";
    case OpenProblem::OutOfMemory:
        return "cannot read (" + chunk + " chunk does not fit in memory)";
    case OpenProblem::CannotOpen:
        return "cannot be read";
    case OpenProblem::BadVersion:
        return std::string("not a SoundFont bank (version ").append(GetVersionText()).append(")");
    case OpenProblem::None:
        break;
    }
    return "not a SoundFont bank";
}

std::string CSoundFontReader::GetVersionText() const
{
    return VersionText(versionMajor, versionMinor);
}

void CSoundFontReader::NoteProblem(OpenProblem what, FourCC chunk)
{
    if (problem != OpenProblem::None)
        return;
    problem = what;
    problemChunk = chunk;
}

// Every search starts afresh at the beginning of the file: the first "sfbk"
// form, its first list of the type, the first chunk of the id in that list.
std::optional<CRiffChunk> CSoundFontReader::FindChunk(FourCC listType, FourCC chunkId)
{
    if (!source)
        return std::nullopt;
    const bool reportProblems = opening && listType == kListPdta;
    CRiffReader riff(*source);

    if (!form.searched)
    {
        form.searched = true;
        CRiffChunk found;
        found.fccType = kFormSfbk;
        if (source->Seek(0) && riff.Descend(found, nullptr, CRiffReader::Find::Riff))
            form.found = found;
    }
    if (!form.found)
    {
        if (reportProblems)
            NoteProblem(OpenProblem::NoSfbkForm, kFourCCRiff);
        return std::nullopt;
    }

    auto entry =
        std::find_if(lists.begin(), lists.end(), [&](const auto& item) { return item.first == listType; });
    if (entry == lists.end())
    {
        Lookup lookup;
        lookup.searched = true;
        CRiffChunk found;
        found.fccType = listType;
        // The lists follow the form's type.
        if (source->Seek(form.found->dataOffset + 4) &&
            riff.Descend(found, &*form.found, CRiffReader::Find::List))
            lookup.found = found;
        else
            lookup.found = FindUnpaddedList(listType);
        // Every list but the sample data is searched for several chunks.
        if (lookup.found && listType != kListSdta && lookup.found->Available() <= kMaxHeldList)
            source->Keep(lookup.found->dataOffset, lookup.found->Available());
        entry = lists.insert(lists.end(), {listType, lookup});
    }
    const std::optional<CRiffChunk>& list = entry->second.found;
    if (!list)
    {
        if (reportProblems)
            NoteProblem(OpenProblem::NoList, listType);
        return std::nullopt;
    }

    CRiffChunk chunk;
    chunk.ckid = chunkId;
    if (!source->Seek(list->dataOffset + 4) || !riff.Descend(chunk, &*list, CRiffReader::Find::Chunk))
    {
        if (reportProblems)
            NoteProblem(OpenProblem::MissingChunk, chunkId);
        return std::nullopt;
    }
    return chunk;
}

CSoundFontReader::Buffer CSoundFontReader::ReadChunk(FourCC listType, FourCC chunkId)
{
    const auto chunk = FindChunk(listType, chunkId);
    if (!chunk)
        return std::nullopt;
    const bool reportProblems = opening && listType == kListPdta;
    // A size that runs past the list or the file is a cut or a lie: the data is not all there.
    if (!chunk->IsWhole())
    {
        if (reportProblems)
            NoteProblem(OpenProblem::TruncatedChunk, chunkId);
        return std::nullopt;
    }
    try
    {
        std::vector<std::uint8_t> data(chunk->cksize);
        if (!data.empty() &&
            (!source->Seek(chunk->dataOffset) || source->Read(data.data(), data.size()) != data.size()))
        {
            if (reportProblems)
                NoteProblem(OpenProblem::TruncatedChunk, chunkId);
            return std::nullopt;
        }
        return data;
    }
    catch (const std::bad_alloc&)
    {
        if (reportProblems)
            NoteProblem(OpenProblem::OutOfMemory, chunkId);
        return std::nullopt;
    }
}

std::span<const std::uint8_t> CSoundFontReader::GetChunkData(FourCC chunkId) const
{
    const struct
    {
        const char* id;
        const Buffer* buffer;
    } chunks[] = {{"phdr", &phdr}, {"pbag", &pbag}, {"pgen", &pgen}, {"inst", &inst},
                  {"ibag", &ibag}, {"igen", &igen}, {"shdr", &shdr}};
    for (const auto& chunk : chunks)
    {
        if (MakeFourCC(chunk.id) == chunkId && *chunk.buffer)
            return {(*chunk.buffer)->data(), (*chunk.buffer)->size()};
    }
    return {};
}

// Some version 3 banks leave out the pad byte after a list of odd size, so
// the list after it starts one byte early; FluidSynth reads them, and so
// does this walk of the form's lists, which takes the unpadded position
// whenever the padded one holds no list header but the unpadded one does.
std::optional<CRiffChunk> CSoundFontReader::FindUnpaddedList(FourCC listType)
{
    const std::uint64_t end = form.found->limit;
    std::uint64_t at = form.found->dataOffset + 4;
    const auto header = [&](std::uint64_t where, std::uint8_t(&bytes)[12])
    { return where + 12 <= end && source->Seek(where) && source->Read(bytes, 12) == 12; };
    for (int guard = 0; guard < 64 && at + 12 <= end; ++guard)
    {
        std::uint8_t bytes[12];
        if (!header(at, bytes))
            return std::nullopt;
        const std::uint32_t size = ReadLE32(bytes + 4);
        if (ReadLE32(bytes) == kFourCCList && ReadLE32(bytes + 8) == listType)
        {
            CRiffChunk chunk;
            chunk.ckid = kFourCCList;
            chunk.cksize = size;
            chunk.fccType = listType;
            chunk.dataOffset = at + 8;
            chunk.limit = std::min(at + 8 + size, end);
            return chunk;
        }
        std::uint64_t next = at + 8 + size;
        std::uint8_t following[12];
        if ((size & 1) && !(header(next + 1, following) && ReadLE32(following) == kFourCCList) &&
            header(next, following) && ReadLE32(following) == kFourCCList)
            at = next;
        else
            at = next + (size & 1);
    }
    return std::nullopt;
}

std::optional<CRiffChunk> CSoundFontReader::FindListChunk(FourCC listType, FourCC chunkId)
{
    return FindChunk(listType, chunkId);
}

std::optional<std::vector<std::uint8_t>> CSoundFontReader::ReadListChunk(FourCC listType, FourCC chunkId)
{
    return ReadChunk(listType, chunkId);
}

int CSoundFontReader::GetPresetCount() const
{
    return static_cast<int>(RecordCount(phdr, kPresetHeaderSize)) - 1;
}

PresetHeader CSoundFontReader::GetPresetHeader(int index) const
{
    PresetHeader header;
    if (index < 0 || index >= GetPresetCount())
        return header;
    const std::uint8_t* record = phdr->data() + static_cast<std::size_t>(index) * kPresetHeaderSize;
    std::copy(record, record + header.name.size(), header.name.begin());
    header.presetNumber = ReadLE16(record + 20);
    header.bank = ReadLE16(record + 22);
    header.bagIndex = ReadLE16(record + kPresetBagOffset);
    return header;
}

int CSoundFontReader::FindPreset(int presetNumber) const
{
    const int count = GetPresetCount();
    for (int i = 0; i < count; ++i)
    {
        if (Field16(*phdr, static_cast<std::size_t>(i) * kPresetHeaderSize + 20) == presetNumber)
            return i;
    }
    return -1;
}

int CSoundFontReader::FindSourcePreset(std::uint32_t source) const
{
    if (versionMajor < 2)
        return source <= 0xFFFF ? FindPreset(static_cast<int>(source)) : -1;
    const int program = SourcePresetProgram(source);
    const int bank = SourcePresetBank(source);
    const int count = GetPresetCount();
    for (int i = 0; i < count; ++i)
    {
        const std::size_t at = static_cast<std::size_t>(i) * kPresetHeaderSize;
        if (Field16(*phdr, at + 20) == program && Field16(*phdr, at + 22) == bank)
            return i;
    }
    return bank == 0 ? FindPreset(program) : -1;
}

std::uint32_t CSoundFontReader::GetSourcePreset(int index) const
{
    const PresetHeader header = GetPresetHeader(index);
    return versionMajor < 2 ? header.presetNumber : MakeSourcePreset(header.presetNumber, header.bank);
}

int CSoundFontReader::FindSlotPreset(int program) const
{
    if (versionMajor < 2)
        return FindPreset(program);
    int best = -1;
    int bestBank = 0;
    const int count = GetPresetCount();
    for (int i = 0; i < count; ++i)
    {
        const std::size_t at = static_cast<std::size_t>(i) * kPresetHeaderSize;
        const int bank = Field16(*phdr, at + 22);
        if (Field16(*phdr, at + 20) == program && (best < 0 || bank < bestBank))
        {
            best = i;
            bestBank = bank;
        }
    }
    return best;
}

CSoundFontReader::Range CSoundFontReader::ZoneGenerators(const Buffer& headers, std::size_t headerSize,
                                                         std::size_t bagOffset, std::size_t index,
                                                         const Buffer& bags, const Buffer& generators) const
{
    // The record after index closes its bag range; the bag after the last closes its generator range.
    const std::size_t headerCount = RecordCount(headers, headerSize);
    const std::size_t bagCount = RecordCount(bags, kBagSize);
    if (index + 1 >= headerCount || bagCount == 0)
        return {};
    const std::size_t firstBag = Field16(*headers, index * headerSize + bagOffset);
    const std::size_t endBag =
        std::min<std::size_t>(Field16(*headers, (index + 1) * headerSize + bagOffset), bagCount - 1);
    if (firstBag >= endBag)
        return {};
    const std::size_t first = Field16(*bags, firstBag * kBagSize);
    const std::size_t end =
        std::min(std::size_t{Field16(*bags, endBag * kBagSize)}, RecordCount(generators, kGeneratorSize));
    if (first >= end)
        return {};
    return {first, end};
}

int CSoundFontReader::Collect(const Range& generators, const Buffer& generatorChunk, std::uint16_t oper,
                              std::size_t recordCount, IndexList& out) const
{
    out.clear();
    for (std::size_t g = generators.first; g < generators.end; ++g)
    {
        if (out.size() == static_cast<std::size_t>(kMaxCollected))
            break; // full: nothing further can be added
        const std::size_t at = g * kGeneratorSize;
        if (Field16(*generatorChunk, at) != oper)
            continue;
        const std::uint16_t amount = Field16(*generatorChunk, at + 2);
        if (amount < recordCount && std::find(out.begin(), out.end(), amount) == out.end())
            out.push_back(amount);
    }
    return static_cast<int>(out.size());
}

int CSoundFontReader::GetPresetInstruments(int preset, IndexList& out) const
{
    out.clear();
    if (preset < 0)
        return 0;
    const Range range = ZoneGenerators(phdr, kPresetHeaderSize, kPresetBagOffset,
                                       static_cast<std::size_t>(preset), pbag, pgen);
    return Collect(range, pgen, GeneratorNumber(SoundFontGenerator::Instrument),
                   RecordCount(inst, kInstrumentHeaderSize), out);
}

int CSoundFontReader::GetInstrumentSamples(int instrument, IndexList& out) const
{
    out.clear();
    if (instrument < 0)
        return 0;
    const Range range = ZoneGenerators(inst, kInstrumentHeaderSize, kInstrumentBagOffset,
                                       static_cast<std::size_t>(instrument), ibag, igen);
    return Collect(range, igen, GeneratorNumber(SoundFontGenerator::SampleId),
                   RecordCount(shdr, SampleHeaderSize()), out);
}

int CSoundFontReader::GetSampleCount(int preset, int instrumentPos) const
{
    IndexList instruments;
    const int count = GetPresetInstruments(preset, instruments);
    IndexList samples;
    if (instrumentPos == -1)
    {
        int total = 0;
        for (const std::uint16_t instrument : instruments)
            total += GetInstrumentSamples(instrument, samples);
        return total;
    }
    if (instrumentPos < 0 || instrumentPos >= count)
        return 0;
    return GetInstrumentSamples(instruments[static_cast<std::size_t>(instrumentPos)], samples);
}

std::int64_t CSoundFontReader::SampleBytes(const IndexList& samples) const
{
    if (versionMajor >= 2)
    {
        std::int64_t bytes = 0;
        for (const std::uint16_t sample : samples)
            bytes += GetSampleCardBytes(sample);
        return bytes;
    }
    std::int64_t points = 0;
    for (const std::uint16_t sample : samples)
    {
        const std::uint8_t* record = shdr->data() + std::size_t{sample} * kSampleHeaderSize;
        const std::uint32_t start = ReadLE32(record);
        const std::uint32_t end = ReadLE32(record + 4);
        if (end < sampleDataSize && end >= start)
            points += end - start;
    }
    return 2 * points;
}

std::int64_t CSoundFontReader::GetInstrumentSampleBytes(int preset, int instrumentPos) const
{
    IndexList instruments;
    const int count = GetPresetInstruments(preset, instruments);
    if (instrumentPos < 0 || instrumentPos >= count)
        return 0;
    IndexList samples;
    GetInstrumentSamples(instruments[static_cast<std::size_t>(instrumentPos)], samples);
    return SampleBytes(samples);
}

std::int64_t CSoundFontReader::GetPresetSampleBytes(int preset) const
{
    // Walks the preset once rather than once per instrument position.
    IndexList instruments;
    GetPresetInstruments(preset, instruments);
    IndexList samples;
    std::int64_t total = 0;
    for (const std::uint16_t instrument : instruments)
    {
        GetInstrumentSamples(instrument, samples);
        total += SampleBytes(samples);
    }
    return total;
}

std::string CSoundFontReader::GetDisplayName(const PresetHeader& header)
{
    if (header.bank == 128)
        return FormatString(IDS_DRUM_PATCH, header.presetNumber + 1);
    const auto zero = std::find(header.name.begin(), header.name.end(), '\0');
    std::string text(header.name.begin(), zero);
    const auto last = text.find_last_not_of(" \t\n\v\f\r");
    text.erase(last == std::string::npos ? 0 : last + 1);
    return text;
}

int CSoundFontReader::GetInstrumentCount() const
{
    return static_cast<int>(RecordCount(inst, kInstrumentHeaderSize)) - 1;
}

std::string CSoundFontReader::GetInstrumentName(int instrument) const
{
    if (instrument < 0 || instrument >= GetInstrumentCount())
        return {};
    const std::uint8_t* record = inst->data() + static_cast<std::size_t>(instrument) * kInstrumentHeaderSize;
    const auto end = std::find(record, record + 20, std::uint8_t{0});
    return std::string(record, end);
}

int CSoundFontReader::GetSampleRecordCount() const
{
    const auto count = static_cast<int>(RecordCount(shdr, SampleHeaderSize()));
    return versionMajor >= 2 ? std::max(count - 1, 0) : count;
}

SampleRecord CSoundFontReader::GetSampleRecord(int sample) const
{
    SampleRecord record;
    if (sample < 0 || static_cast<std::size_t>(sample) >= RecordCount(shdr, SampleHeaderSize()))
        return record;
    const std::uint8_t* at = shdr->data() + static_cast<std::size_t>(sample) * SampleHeaderSize();
    if (versionMajor < 2)
    {
        record.start = ReadLE32(at);
        record.end = ReadLE32(at + 4);
        record.loopStart = ReadLE32(at + 8);
        record.loopEnd = ReadLE32(at + 12);
        return record;
    }
    std::copy(at, at + record.name.size(), reinterpret_cast<std::uint8_t*>(record.name.data()));
    record.start = ReadLE32(at + 20);
    record.end = ReadLE32(at + 24);
    record.loopStart = ReadLE32(at + 28);
    record.loopEnd = ReadLE32(at + 32);
    record.sampleRate = ReadLE32(at + 36);
    record.originalPitch = at[40];
    record.pitchCorrection = static_cast<std::int8_t>(at[41]);
    record.sampleLink = ReadLE16(at + 42);
    record.sampleType = ReadLE16(at + 44);
    return record;
}

std::optional<std::vector<std::uint8_t>> CSoundFontReader::SampleStream(int sample) const
{
    if (!source)
        return std::nullopt;
    const SampleRecord record = GetSampleRecord(sample);
    if (record.end <= record.start || record.end > sampleDataSize)
        return std::nullopt;
    try
    {
        std::vector<std::uint8_t> stream(record.end - record.start);
        if (!source->Seek(sampleDataOffset + record.start) ||
            source->Read(stream.data(), stream.size()) != stream.size())
            return std::nullopt;
        return stream;
    }
    catch (const std::bad_alloc&)
    {
        return std::nullopt;
    }
}

std::optional<std::uint64_t> CSoundFontReader::DecodedPoints(int sample) const
{
    if (sample < 0 || static_cast<std::size_t>(sample) >= RecordCount(shdr, SampleHeaderSize()))
        return std::nullopt;
    if (decoded.size() <= static_cast<std::size_t>(sample))
        decoded.resize(static_cast<std::size_t>(sample) + 1);
    auto& known = decoded[static_cast<std::size_t>(sample)];
    if (known)
        return *known;
    // Without a decoder or the file the answer may come later: not remembered.
    if (!sampleDecoder || !source)
        return std::nullopt;
    const auto stream = SampleStream(sample);
    known.emplace(stream ? sampleDecoder->DecodedPoints(*stream) : std::nullopt);
    // A stream claiming more than 2^31 points (4 GB decoded, far beyond any
    // card) is a damaged one, and its size would overflow every sum.
    if (*known && **known > kMaxDecodedPoints)
        *known = std::nullopt;
    return *known;
}

std::int64_t CSoundFontReader::GetSampleCardBytes(int sample) const
{
    if (versionMajor < 2 || sample < 0 || sample >= GetSampleRecordCount())
        return 0;
    const SampleRecord record = GetSampleRecord(sample);
    if (record.sampleType & kSampleRom)
        return 0;
    if (versionMajor >= 3 && (record.sampleType & kSampleCompressed))
    {
        const auto points = DecodedPoints(sample);
        return points ? static_cast<std::int64_t>(2 * *points) : 0;
    }
    if (record.end < record.start || record.end > sampleDataSize / 2)
        return 0;
    return 2 * static_cast<std::int64_t>(record.end - record.start);
}

bool CSoundFontReader::SamplesDecode(const IndexList& samples, bool whole) const
{
    for (const std::uint16_t sample : samples)
    {
        const SampleRecord record = GetSampleRecord(sample);
        if (!(record.sampleType & kSampleCompressed) || (record.sampleType & kSampleRom))
            continue;
        if (!DecodedPoints(sample))
            return false;
        if (!whole || (sample < decodedWhole.size() && decodedWhole[sample]))
            continue;
        const auto stream = SampleStream(sample);
        if (!stream || !sampleDecoder->Decode(*stream))
        {
            decoded[sample] = std::optional<std::uint64_t>(); // known not to decode
            return false;
        }
        if (decodedWhole.size() <= sample)
            decodedWhole.resize(std::size_t{sample} + 1);
        decodedWhole[sample] = true;
    }
    return true;
}

bool CSoundFontReader::PresetSamplesDecode(int preset, bool whole) const
{
    if (versionMajor < 3)
        return true;
    IndexList instruments;
    GetPresetInstruments(preset, instruments);
    IndexList samples;
    for (const std::uint16_t instrument : instruments)
    {
        GetInstrumentSamples(instrument, samples);
        if (!SamplesDecode(samples, whole))
            return false;
    }
    return true;
}

std::int64_t CSoundFontReader::GetBankSampleBytes() const
{
    if (versionMajor < 2)
        return sampleDataSize;
    std::set<std::uint16_t> used;
    IndexList instruments;
    IndexList samples;
    for (int preset = 0; preset < GetPresetCount(); ++preset)
    {
        GetPresetInstruments(preset, instruments);
        for (const std::uint16_t instrument : instruments)
        {
            GetInstrumentSamples(instrument, samples);
            used.insert(samples.begin(), samples.end());
        }
    }
    std::int64_t bytes = 0;
    for (const std::uint16_t sample : used)
        bytes += GetSampleCardBytes(sample);
    return bytes;
}

bool CSoundFontReader::BankSamplesDecode(bool whole) const
{
    for (int preset = 0; preset < GetPresetCount(); ++preset)
        if (!PresetSamplesDecode(preset, whole))
            return false;
    return true;
}
