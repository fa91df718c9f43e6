// SoundFont 1 banks converted to SoundFont 2, as the emulated card converts
// every preset it loads for its synthesizer. Input: a preset number, then the
// bank. The whole bank and that one preset are converted; what comes out is
// walked by a reader of its own here (not the program's) and must be a file a
// version-2 player can take without guessing: one RIFF "sfbk" form whose size
// is the file's, version 2, sample data, the nine "pdta" chunks in whole
// records with their terminal records, every index within its chunk and not
// decreasing, instrument and sample generators last in their zones and naming
// something that exists, every sample and loop inside the sample data. A
// refusal gives no bytes and a reason; converting again gives the same bytes.
// The converted file read as a source, in pieces, is the same file; that
// preset and its neighbour number converted together make a file of two.

#include "FuzzTarget.h"

#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontReader.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace
{
using Image = std::vector<std::uint8_t>;

std::string Id(const std::uint8_t* p)
{
    return std::string(reinterpret_cast<const char*>(p), 4);
}

struct Chunk
{
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
};

// The chunks of one LIST (or of the form) between begin and end: each inside, padded to even sizes.
std::map<std::string, Chunk> Children(const Image& file, std::size_t begin, std::size_t end)
{
    std::map<std::string, Chunk> children;
    std::size_t at = begin;
    while (at < end)
    {
        FUZZ_CHECK(end - at >= 8);
        const std::string id = Id(&file[at]);
        const std::uint32_t size = ReadLE32(&file[at + 4]);
        FUZZ_CHECK(size <= end - at - 8);
        std::string key = id;
        if (id == "LIST")
        {
            FUZZ_CHECK(size >= 4);
            key = "LIST " + Id(&file[at + 8]);
        }
        FUZZ_CHECK(children.emplace(key, Chunk{&file[at + 8], size}).second); // each once
        at += 8 + size + (size & 1);
    }
    FUZZ_CHECK(at == end);
    return children;
}

// Records of a pdta chunk: whole, at least the terminal one.
struct Records
{
    const std::uint8_t* data = nullptr;
    std::uint32_t count = 0;
    std::uint32_t size = 0;
    const std::uint8_t* operator[](std::uint32_t i) const { return data + i * size; }
};

Records RecordsOf(const std::map<std::string, Chunk>& pdta, const char* id, std::uint32_t size)
{
    const auto found = pdta.find(id);
    FUZZ_CHECK(found != pdta.end());
    FUZZ_CHECK(found->second.size % size == 0 && found->second.size >= size);
    return {found->second.data, found->second.size / size, size};
}

// Headers (phdr or inst) index bags, bags index generators and modulators:
// not decreasing, the terminal record's index the last one of the next level.
void CheckIndices(const Records& records, std::size_t offset, std::uint32_t nextCount)
{
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < records.count; ++i)
    {
        const std::uint16_t index = ReadLE16(records[i] + offset);
        FUZZ_CHECK(index >= previous && index < nextCount);
        previous = index;
    }
    FUZZ_CHECK(ReadLE16(records[records.count - 1] + offset) == nextCount - 1);
}

// Zones' generators: the one naming what the zone plays (instrument 41,
// sample 53) comes last and names an existing non-terminal record; a key
// range (43) comes first.
void CheckZones(const Records& bags, const Records& gens, std::uint16_t link, std::uint32_t linkedCount)
{
    for (std::uint32_t zone = 0; zone + 1 < bags.count; ++zone)
    {
        const std::uint16_t first = ReadLE16(bags[zone]);
        const std::uint16_t end = ReadLE16(bags[zone + 1]);
        for (std::uint16_t g = first; g < end; ++g)
        {
            const std::uint16_t op = ReadLE16(gens[g]);
            const std::uint16_t amount = ReadLE16(gens[g] + 2);
            FUZZ_CHECK(op < 61);
            if (op == link)
                FUZZ_CHECK(g + 1 == end && amount + 1u < linkedCount);
            if (op == 43)
                FUZZ_CHECK(g == first);
        }
    }
}

bool NameIs(const std::uint8_t* record, std::string_view name)
{
    return std::string_view(reinterpret_cast<const char*>(record), name.size()) == name &&
           record[name.size()] == 0;
}

// Walks a converted file; returns its presets as (bank, program) pairs.
std::vector<std::pair<int, int>> CheckImage(const Image& file)
{
    FUZZ_CHECK(file.size() >= 12 && Id(&file[0]) == "RIFF" && Id(&file[8]) == "sfbk");
    FUZZ_CHECK(ReadLE32(&file[4]) == file.size() - 8);
    const auto form = Children(file, 12, file.size());
    FUZZ_CHECK(form.size() == 3 && form.contains("LIST INFO") && form.contains("LIST sdta") &&
               form.contains("LIST pdta"));
    const auto base = [&](const Chunk& list) { return static_cast<std::size_t>(list.data - file.data()); };

    const Chunk& infoList = form.at("LIST INFO");
    const auto info = Children(file, base(infoList) + 4, base(infoList) + infoList.size);
    FUZZ_CHECK(info.contains("ifil") && info.at("ifil").size == 4 && ReadLE16(info.at("ifil").data) == 2);
    FUZZ_CHECK(info.contains("isng") && info.contains("INAM"));

    const Chunk& sdtaList = form.at("LIST sdta");
    const auto sdta = Children(file, base(sdtaList) + 4, base(sdtaList) + sdtaList.size);
    FUZZ_CHECK(sdta.contains("smpl") && sdta.at("smpl").size % 2 == 0);
    const std::uint32_t points = sdta.at("smpl").size / 2;

    const Chunk& pdtaList = form.at("LIST pdta");
    const auto pdta = Children(file, base(pdtaList) + 4, base(pdtaList) + pdtaList.size);
    FUZZ_CHECK(pdta.size() == 9);
    const Records phdr = RecordsOf(pdta, "phdr", 38);
    const Records pbag = RecordsOf(pdta, "pbag", 4);
    const Records pmod = RecordsOf(pdta, "pmod", 10);
    const Records pgen = RecordsOf(pdta, "pgen", 4);
    const Records inst = RecordsOf(pdta, "inst", 22);
    const Records ibag = RecordsOf(pdta, "ibag", 4);
    const Records imod = RecordsOf(pdta, "imod", 10);
    const Records igen = RecordsOf(pdta, "igen", 4);
    const Records shdr = RecordsOf(pdta, "shdr", 46);

    FUZZ_CHECK(phdr.count >= 2 && inst.count >= 2 && shdr.count >= 2);
    FUZZ_CHECK(NameIs(phdr[phdr.count - 1], "EOP") && NameIs(inst[inst.count - 1], "EOI") &&
               NameIs(shdr[shdr.count - 1], "EOS"));
    CheckIndices(phdr, 24, pbag.count);
    CheckIndices(pbag, 0, pgen.count);
    CheckIndices(pbag, 2, pmod.count);
    CheckIndices(inst, 20, ibag.count);
    CheckIndices(ibag, 0, igen.count);
    CheckIndices(ibag, 2, imod.count);
    CheckZones(pbag, pgen, 41, inst.count);
    CheckZones(ibag, igen, 53, shdr.count);

    for (std::uint32_t i = 0; i + 1 < shdr.count; ++i)
    {
        const std::uint8_t* s = shdr[i];
        const std::uint32_t start = ReadLE32(s + 20), end = ReadLE32(s + 24);
        const std::uint32_t loopStart = ReadLE32(s + 28), loopEnd = ReadLE32(s + 32);
        FUZZ_CHECK(start < end && end <= points);
        FUZZ_CHECK(start <= loopStart && loopStart < loopEnd && loopEnd <= end);
        FUZZ_CHECK(ReadLE32(s + 36) > 0); // sample rate
        FUZZ_CHECK(s[40] <= 127);         // original key
    }

    std::vector<std::pair<int, int>> presets;
    for (std::uint32_t i = 0; i + 1 < phdr.count; ++i)
        presets.emplace_back(ReadLE16(phdr[i] + 22), ReadLE16(phdr[i] + 20));
    return presets;
}

// Converts twice: the same result both times, and a refusal with its reason and no bytes.
template <typename Convert>
bool ConvertChecked(const std::uint8_t* data, std::size_t size, Convert convert, Image& image)
{
    std::string error;
    CMemorySource in(data, size);
    const bool converted = convert(in, image, &error);
    FUZZ_CHECK(converted ? error.empty() && !image.empty() : !error.empty() && image.empty());
    // FUZZ_TRACE=1 in the environment prints each result (for replaying a finding).
    static const bool trace = std::getenv("FUZZ_TRACE") != nullptr;
    if (trace)
        std::fprintf(stderr, "%s\n",
                     converted ? ("converted, " + std::to_string(image.size()) + " bytes").c_str()
                               : error.c_str());
    Image again;
    CMemorySource in2(data, size);
    FUZZ_CHECK(convert(in2, again, nullptr) == converted && again == image);
    return converted;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput input(data, size);
    const int presetNumber = input.Byte();
    const int bank = input.Byte() % 129;
    const int program = input.Byte() % 128;
    const std::uint8_t* bytes = input.Rest();
    const std::size_t length = input.RestSize();

    CSoundFont2Converter converter;
    Image whole;
    if (ConvertChecked(
            bytes, length,
            [&](IByteSource& in, Image& out, std::string* error)
            { return converter.ConvertBank(in, out, error); },
            whole))
        CheckImage(whole);

    Image one;
    if (ConvertChecked(
            bytes, length,
            [&](IByteSource& in, Image& out, std::string* error)
            { return converter.ConvertPreset(in, presetNumber, out, error, bank, program); },
            one))
    {
        const auto presets = CheckImage(one);
        FUZZ_CHECK(presets.size() == 1 && presets[0] == std::make_pair(bank, program));
    }

    // The converted file as a source, read in odd pieces (as the export's
    // assembler reads it): the same bytes as the image, and two presets
    // together a file of their own.
    const auto readAll = [](IByteSource& source)
    {
        Image bytesRead;
        std::array<std::uint8_t, 777> piece{};
        while (const std::size_t got = source.Read(piece.data(), piece.size()))
            bytesRead.insert(bytesRead.end(), piece.begin(),
                             piece.begin() + static_cast<std::ptrdiff_t>(got));
        FUZZ_CHECK(bytesRead.size() == source.Size());
        return bytesRead;
    };
    CMemorySource in(bytes, length);
    if (const auto streamed = converter.ConvertedBank(in))
        FUZZ_CHECK(readAll(*streamed) == whole);
    else
        FUZZ_CHECK(whole.empty());
    CSoundFontReader reader;
    if (reader.Open(std::make_unique<CMemorySource>(bytes, length)))
    {
        std::string error;
        if (const auto together = converter.ConvertedPresets(
                reader, {{presetNumber, bank, program}, {presetNumber ^ 1, 0, 127}}, &error))
        {
            const auto presets = CheckImage(readAll(*together));
            FUZZ_CHECK(presets.size() == 2 && presets[0] == std::make_pair(bank, program) &&
                       presets[1] == std::make_pair(0, 127));
        }
        else
            FUZZ_CHECK(!error.empty());
    }
    return 0;
}
