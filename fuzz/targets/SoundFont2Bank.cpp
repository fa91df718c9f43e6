// SoundFont 2 and 3 banks: Open from memory with the program's decoder of
// compressed samples, every record and size the listing and the card ask
// for, and the one-preset copy the card keeps of each preset, read back.

#include "FuzzTarget.h"

#include "media/VorbisSampleDecoder.h"
#include "soundfont/SoundFontExtractor.h"
#include "soundfont/SoundFontReader.h"

#include <climits>
#include <memory>
#include <vector>

namespace
{
// Only the first presets are copied: each copy reads its samples again.
constexpr int kCopiedPresets = 4;

void CheckCopy(CSoundFontReader& bank, int preset, std::int64_t allSamples)
{
    std::vector<std::uint8_t> copy;
    std::string error;
    const bool made = CSoundFontExtractor::ExtractPreset(bank, preset, copy, &error, 3, 7,
                                                         &CVorbisSampleDecoder::Instance());
    if (!made)
    {
        FUZZ_CHECK(copy.empty() && !error.empty());
        return;
    }
    FUZZ_CHECK(error.empty());
    CSoundFontReader reread;
    reread.SetSampleDecoder(&CVorbisSampleDecoder::Instance());
    FUZZ_CHECK(reread.Open(std::make_unique<CMemorySource>(copy)));
    FUZZ_CHECK(reread.GetVersion() == bank.GetVersion());
    FUZZ_CHECK(reread.GetPresetCount() == 1);
    const PresetHeader header = reread.GetPresetHeader(0);
    FUZZ_CHECK(header.presetNumber == 7 && header.bank == 3);
    FUZZ_CHECK(reread.FindSourcePreset(MakeSourcePreset(7, 3)) == 0);
    // The copy holds samples of the bank, each once. (Not bounded by the
    // preset's listed bytes: the listing keeps 128 instruments and samples of
    // a zone list, the copy every zone.)
    FUZZ_CHECK(reread.GetSampleRecordCount() <= bank.GetSampleRecordCount());
    FUZZ_CHECK(reread.GetBankSampleBytes() <= allSamples);
    FUZZ_CHECK(reread.PresetSamplesDecode(0, true));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CSoundFontReader bank;
    bank.SetSampleDecoder(&CVorbisSampleDecoder::Instance());
    if (!bank.Open(std::make_unique<CMemorySource>(data, size)))
    {
        FUZZ_CHECK(bank.GetPresetCount() == -1 && !bank.IsOpen());
        FUZZ_CHECK(bank.GetSampleRecordCount() == 0 && bank.GetInstrumentCount() == -1);
        return 0;
    }
    const auto [major, minor] = bank.GetVersion();
    FUZZ_CHECK(major >= 1 && major <= 3 && minor >= 0);
    for (const std::string* text : {&bank.soundEngine, &bank.romName, &bank.romVersion, &bank.software})
        FUZZ_CHECK(text->size() <= size && text->find('\0') == std::string::npos);

    const std::int64_t dataSize = bank.SampleDataSize();
    const int samples = bank.GetSampleRecordCount();
    FUZZ_CHECK(samples >= 0 && static_cast<std::size_t>(samples) <= size / 16);
    for (const int s : {-1, samples, INT_MAX, INT_MIN})
        FUZZ_CHECK(bank.GetSampleCardBytes(s) == 0);
    std::int64_t allSamples = 0;
    for (int s = 0; s < samples; ++s)
    {
        const SampleRecord record = bank.GetSampleRecord(s);
        const std::int64_t bytes = bank.GetSampleCardBytes(s);
        FUZZ_CHECK(bytes >= 0);
        if (major < 2)
            FUZZ_CHECK(bytes == 0);
        else if ((record.sampleType & soundfont::kSampleRom) != 0)
            FUZZ_CHECK(bytes == 0);
        else if (major == 2 || (record.sampleType & soundfont::kSampleCompressed) == 0)
            // Counted whole when it lies inside the data, else not at all.
            FUZZ_CHECK(bytes == 0 ||
                       (bytes <= dataSize && bytes == 2 * (std::int64_t{record.end} - record.start)));
        allSamples += bytes;
    }
    // A bank of version 2/3 holds each sample its presets use once.
    const std::int64_t bankBytes = bank.GetBankSampleBytes();
    FUZZ_CHECK(bankBytes >= 0);
    if (major >= 2)
        FUZZ_CHECK(bankBytes <= allSamples);
    else
        FUZZ_CHECK(bankBytes == dataSize);

    const int presets = bank.GetPresetCount();
    for (int p = 0; p < presets; ++p)
    {
        const std::uint32_t source = bank.GetSourcePreset(p);
        const int found = bank.FindSourcePreset(source);
        FUZZ_CHECK(found >= 0 && found <= p);
        FUZZ_CHECK(bank.GetSourcePreset(found) == source || major < 2);
        const int slot = bank.FindSlotPreset(bank.GetPresetHeader(p).presetNumber);
        FUZZ_CHECK(slot >= 0 && slot < presets);
        FUZZ_CHECK(bank.GetPresetHeader(slot).presetNumber == bank.GetPresetHeader(p).presetNumber);
        FUZZ_CHECK(bank.GetPresetHeader(slot).bank <= bank.GetPresetHeader(p).bank || major < 2);
        if (major >= 2 && p < kCopiedPresets)
            CheckCopy(bank, p, allSamples);
    }
    // A version 1 number never has a bank in it.
    if (major < 2)
        FUZZ_CHECK(bank.FindSourcePreset(0x10000u) == -1);
    return 0;
}
