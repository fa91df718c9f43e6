// SoundFont banks: Open from memory, then every query the preset list and
// the information dialog make, over every preset, checked against what the
// reader promises (collections within their room, totals equal to the sums of
// their parts, nothing left over from an earlier file).

#include "FuzzTarget.h"

#include "platform/StringTable.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

namespace
{
using IndexList = CSoundFontReader::IndexList;

bool Distinct(IndexList list)
{
    std::sort(list.begin(), list.end());
    return std::adjacent_find(list.begin(), list.end()) == list.end();
}

void Append(std::string& digest, long long value)
{
    digest += std::to_string(value);
    digest += ',';
}

// Checks the queries of one preset index and adds their answers to digest.
void CheckPreset(const CSoundFontReader& bank, int preset, std::string& digest)
{
    IndexList instruments;
    const int count = bank.GetPresetInstruments(preset, instruments);
    FUZZ_CHECK(count >= 0 && count <= soundfont::kMaxCollected);
    FUZZ_CHECK(static_cast<std::size_t>(count) == instruments.size());
    FUZZ_CHECK(Distinct(instruments));

    const std::int64_t dataSize = bank.SampleDataSize();
    int sampleTotal = 0;
    std::int64_t byteTotal = 0;
    IndexList samples;
    for (int pos = 0; pos < count; ++pos)
    {
        const int n = bank.GetInstrumentSamples(instruments[static_cast<std::size_t>(pos)], samples);
        FUZZ_CHECK(n >= 0 && n <= soundfont::kMaxCollected);
        FUZZ_CHECK(static_cast<std::size_t>(n) == samples.size());
        FUZZ_CHECK(Distinct(samples));
        FUZZ_CHECK(bank.GetSampleCount(preset, pos) == n);
        // Every sample counted ends below the data size and starts before its end.
        const std::int64_t bytes = bank.GetInstrumentSampleBytes(preset, pos);
        FUZZ_CHECK(bytes >= 0 && bytes <= 2 * n * dataSize);
        sampleTotal += n;
        byteTotal += bytes;
        Append(digest, instruments[static_cast<std::size_t>(pos)]);
        Append(digest, n);
        Append(digest, bytes);
    }
    FUZZ_CHECK(bank.GetSampleCount(preset, -1) == sampleTotal);
    FUZZ_CHECK(bank.GetPresetSampleBytes(preset) == byteTotal);
    for (const int pos : {count, count + 1, -2, INT_MIN, INT_MAX})
    {
        FUZZ_CHECK(bank.GetSampleCount(preset, pos) == 0);
        FUZZ_CHECK(bank.GetInstrumentSampleBytes(preset, pos) == 0);
    }
    Append(digest, sampleTotal);
}

// Checks everything the reader answers and returns the answers as text, so
// that two readers of the same bytes can be compared.
std::string CheckBank(const CSoundFontReader& bank, std::size_t inputSize)
{
    std::string digest;
    const int presets = bank.GetPresetCount();
    Append(digest, presets);
    Append(digest, static_cast<int>(bank.GetOpenProblem()));
    Append(digest, bank.GetProblemChunk());
    Append(digest, bank.SampleDataSize());
    FUZZ_CHECK(bank.SampleDataSize() <= inputSize);
    for (const std::string* text :
         {&bank.name, &bank.engineer, &bank.creationDate, &bank.copyright, &bank.comment, &bank.product})
    {
        FUZZ_CHECK(text->size() <= inputSize);
        FUZZ_CHECK(text->find('\0') == std::string::npos);
        digest += *text;
        digest += '\n';
    }

    if (!bank.IsValid())
    {
        // A failed Open keeps no chunk data and says why.
        FUZZ_CHECK(!bank.IsOpen());
        FUZZ_CHECK(presets == -1);
        FUZZ_CHECK(bank.SampleDataSize() == 0);
        FUZZ_CHECK(bank.GetOpenProblem() != CSoundFontReader::OpenProblem::None);
    }
    else
    {
        FUZZ_CHECK(bank.GetOpenProblem() == CSoundFontReader::OpenProblem::None);
        FUZZ_CHECK(presets >= -1);
        FUZZ_CHECK(static_cast<std::size_t>(presets + 1) <= inputSize / soundfont::kPresetHeaderSize);
    }

    for (int p = 0; p < presets; ++p)
    {
        const PresetHeader header = bank.GetPresetHeader(p);
        const std::string name = CSoundFontReader::GetDisplayName(header);
        if (header.bank == 128)
        {
            FUZZ_CHECK(name == FormatString(IDS_DRUM_PATCH, header.presetNumber + 1));
        }
        else
        {
            FUZZ_CHECK(name.size() <= header.name.size());
            FUZZ_CHECK(name.find('\0') == std::string::npos);
            FUZZ_CHECK(name.empty() || std::string(" \t\n\v\f\r").find(name.back()) == std::string::npos);
        }
        const int found = bank.FindPreset(header.presetNumber);
        FUZZ_CHECK(found >= 0 && found <= p);
        FUZZ_CHECK(bank.GetPresetHeader(found).presetNumber == header.presetNumber);

        digest += name;
        digest += '|';
        Append(digest, header.presetNumber);
        Append(digest, header.bank);
        CheckPreset(bank, p, digest);
    }

    // Indices outside the presets have nothing.
    for (const int p : {-1, presets, presets + 1, INT_MAX, INT_MIN})
    {
        const PresetHeader header = bank.GetPresetHeader(p);
        FUZZ_CHECK(header.presetNumber == 0 && header.bank == 0 && header.bagIndex == 0);
        FUZZ_CHECK(std::all_of(header.name.begin(), header.name.end(), [](char c) { return c == 0; }));
        IndexList list;
        FUZZ_CHECK(bank.GetPresetInstruments(p, list) == 0 && list.empty());
        FUZZ_CHECK(bank.GetSampleCount(p, -1) == 0);
        FUZZ_CHECK(bank.GetPresetSampleBytes(p) == 0);
    }
    IndexList list;
    for (const int instrument : {-1, INT_MIN, 65535, INT_MAX})
        FUZZ_CHECK(bank.GetInstrumentSamples(instrument, list) == static_cast<int>(list.size()));
    FUZZ_CHECK(bank.FindPreset(-1) == -1 && bank.FindPreset(65536) == -1);
    return digest;
}

// A small valid bank, opened before the input so that anything the reader
// keeps from an earlier file shows up as a difference.
const std::vector<std::uint8_t>& EarlierBank()
{
    static const std::vector<std::uint8_t> bytes = []
    {
        std::vector<std::uint8_t> wave = {'R', 'I', 'F',  'F',  44, 0, 0, 0, 'W', 'A', 'V', 'E',  'f',
                                          'm', 't', ' ',  16,   0,  0, 0, 1, 0,   1,   0,   0x44, 0xAC,
                                          0,   0,   0x88, 0x58, 1,  0, 2, 0, 16,  0,   'd', 'a',  't',
                                          'a', 8,   0,    0,    0,  1, 2, 3, 4,   5,   6,   7,    8};
        CMemorySource source(wave);
        CWaveFile file;
        CMemorySink sink;
        if (!file.Open(source, "earlier.wav") || !file.WriteSoundFont(sink, 1))
            FuzzFail("the earlier bank cannot be made", __FILE__, __LINE__);
        return sink.Bytes();
    }();
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CSoundFontReader fresh;
    const bool opened = fresh.Open(std::make_unique<CMemorySource>(data, size));
    FUZZ_CHECK(opened == fresh.IsValid() && opened == fresh.IsOpen());
    const std::string digest = CheckBank(fresh, size);

    // What was read stays available after Close.
    fresh.Close();
    FUZZ_CHECK(!fresh.IsOpen());
    FUZZ_CHECK(CheckBank(fresh, size) == digest);

    // Every Open starts from nothing.
    CSoundFontReader reused;
    FUZZ_CHECK(reused.Open(std::make_unique<CMemorySource>(EarlierBank())));
    FUZZ_CHECK(reused.GetPresetCount() == 1);
    FUZZ_CHECK(reused.Open(std::make_unique<CMemorySource>(data, size)) == opened);
    FUZZ_CHECK(CheckBank(reused, size) == digest);
    return 0;
}
