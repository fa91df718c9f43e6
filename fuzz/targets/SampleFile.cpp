// Sample files read through libsndfile (AIFF, FLAC, Ogg Vorbis): Open from
// memory under a name that is not a wave's, every option's size and the
// bank of every offered option written to memory and read back, twice.

#include "FuzzTarget.h"

#include "media/MediaServices.h"
#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"

#include <memory>

// libvorbis's codec setup leaks inside libsndfile when it gives up on some
// damaged Ogg streams (sf_close cannot reach it); that is the library's, not
// ours, and would stop every run at the first such input.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InstallMediaServices();
    CMemorySource source(data, size);
    CWaveFile wave;
    const bool opened = wave.Open(source, "/samples/FUZZ.FLAC");
    FUZZ_CHECK(opened == wave.IsOpen());
    if (!opened)
    {
        FUZZ_CHECK(wave.GetOpenError() != WaveOpenError::None);
        FUZZ_CHECK(wave.GetOptionCount() == 0);
        // A refusal says why, in words.
        FUZZ_CHECK(wave.GetOpenError() != WaveOpenError::NotDecoded || !wave.RefusalText().empty());
        return 0;
    }
    FUZZ_CHECK(wave.Format().channels >= 1 && wave.Format().samplesPerSec >= 1);

    const int count = wave.GetOptionCount();
    FUZZ_CHECK(count >= 0 && count <= CWaveFile::kOptionCount);
    for (int k = 0; k < count; ++k)
    {
        const int option = wave.GetOption(k);
        CMemorySink sink;
        FUZZ_CHECK(wave.WriteSoundFont(sink, option));
        const auto& bytes = sink.Bytes();
        FUZZ_CHECK(bytes.size() >= 12 && ReadLE32(bytes.data() + 4) == bytes.size() - 8);

        CSoundFontReader bank;
        FUZZ_CHECK(bank.Open(std::make_unique<CMemorySource>(bytes)));
        FUZZ_CHECK(bank.GetPresetCount() == 1);
        // The written points never exceed what the option list announced.
        FUZZ_CHECK(static_cast<std::uint64_t>(bank.GetPresetSampleBytes(0)) <= wave.GetOptionSize(k));

        // A second pass decodes the same data again (for one option: a pass
        // costs a decoder rewind and a filter design).
        if (k == static_cast<int>(size % static_cast<std::size_t>(count)))
        {
            CMemorySink again;
            FUZZ_CHECK(wave.WriteSoundFont(again, option));
            FUZZ_CHECK(again.Bytes() == bytes);
        }
    }
    FUZZ_CHECK(wave.Close() && !wave.IsOpen());
    return 0;
}
