// Putting SoundFont 2 banks together: the input is taken as a bank twice
// over (two sources of the same bytes), its first presets placed on slots
// of the result, the result written and read back. Equal samples of the two
// sources must be stored once.

#include "FuzzTarget.h"

#include "soundfont/SoundFont2Assembler.h"
#include "soundfont/SoundFontReader.h"

#include <memory>
#include <vector>

namespace
{
constexpr int kPlacedPresets = 6;

std::unique_ptr<CSoundFontReader> Open(const std::uint8_t* data, std::size_t size)
{
    auto reader = std::make_unique<CSoundFontReader>();
    reader->SetSampleDecoder(nullptr);
    if (!reader->Open(std::make_unique<CMemorySource>(data, size)))
        return nullptr;
    return reader;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto first = Open(data, size);
    if (!first)
        return 0;
    const int presets = first->GetPresetCount();
    CSoundFont2Assembler assembler;
    std::string error;
    const int a = assembler.AddSource(std::move(first), &error);
    if (a < 0)
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const int b = assembler.AddSource(Open(data, size), &error);
    FUZZ_CHECK(b >= 0);
    int placed = 0;
    for (int p = 0; p < std::min(presets, kPlacedPresets); ++p)
    {
        placed += assembler.AddPreset(a, p, 0, p, &error) ? 1 : 0;
        placed += assembler.AddPreset(b, p, 1, p, &error) ? 1 : 0;
    }
    FUZZ_CHECK(!assembler.AddPreset(a, presets, 0, 0, &error));
    FUZZ_CHECK(!assembler.AddPreset(a, 0, 129, 0, &error));
    FUZZ_CHECK(assembler.PresetCount() == placed);

    CMemorySink sink;
    if (!assembler.Write(sink, {"Fuzz", "comment", "fuzz", "today"}, &error))
    {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    CSoundFontReader result;
    result.SetSampleDecoder(nullptr);
    FUZZ_CHECK(result.Open(std::make_unique<CMemorySource>(sink.Bytes())));
    FUZZ_CHECK(result.GetMajorVersion() == 2);
    FUZZ_CHECK(result.GetPresetCount() == placed);
    // The second source's samples are the first's again: none is added twice.
    CSoundFontReader original;
    original.SetSampleDecoder(nullptr);
    FUZZ_CHECK(original.Open(std::make_unique<CMemorySource>(data, size)));
    FUZZ_CHECK(result.GetSampleRecordCount() <= std::max(original.GetSampleRecordCount(), 0));
    return 0;
}
