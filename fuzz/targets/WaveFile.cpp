// Wave files: Open from memory, every option query and label, then the
// one-preset bank of every option written to memory, read back with the
// SoundFont reader and written again into sinks too small for it.

#include "FuzzTarget.h"

#include "media/MediaServices.h"
#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"

#include <memory>
#include <vector>

namespace
{
// Bytes of the written file besides the sample data chunk's content: the
// form header, the INFO list (106 bytes), the sdta list without that content
// and the pdta list, for one sample and for two.
constexpr std::uint64_t kOneSampleFrame = 458;
constexpr std::uint64_t kTwoSampleFrame = 534;

void CheckOptions(const CWaveFile& wave, std::size_t inputSize)
{
    const int count = wave.GetOptionCount();
    FUZZ_CHECK(count >= 0 && count <= CWaveFile::kOptionCount);
    FUZZ_CHECK(wave.DataSize() <= inputSize);
    int previous = -1;
    for (int k = 0; k < count; ++k)
    {
        const int option = wave.GetOption(k);
        FUZZ_CHECK(option > previous && option < CWaveFile::kOptionCount);
        FUZZ_CHECK(wave.IsOptionOffered(option));
        FUZZ_CHECK(wave.Format().channels != 1 || CWaveFile::OptionMode(option) == 1);
        FUZZ_CHECK(wave.GetOptionChannels(k) == (CWaveFile::OptionMode(option) == 0 ? 2 : 1));
        // 8-bit data doubles; nothing else grows.
        FUZZ_CHECK(wave.GetOptionSize(k) <= 2ull * wave.DataSize());
        const std::string label = wave.GetOptionLabel(k);
        FUZZ_CHECK(label.rfind("FUZZ ", 0) == 0 && label.find("KHz ") != std::string::npos);
        previous = option;
    }
    for (int option = previous + 1; option < CWaveFile::kOptionCount; ++option)
        FUZZ_CHECK(!wave.IsOptionOffered(option));
    for (const int k : {-1, count, count + 1})
    {
        FUZZ_CHECK(wave.GetOption(k) == -1);
        FUZZ_CHECK(wave.GetOptionLabel(k).empty());
        FUZZ_CHECK(wave.GetOptionSize(k) == 0);
    }
    FUZZ_CHECK(!wave.IsOptionOffered(-1) && !wave.IsOptionOffered(CWaveFile::kOptionCount));
}

// The written bank must be one the reader takes: one preset whose samples
// hold what the sample data chunk holds, the file as long as its parts.
void CheckWritten(const CWaveFile& wave, const std::vector<std::uint8_t>& bytes, int option)
{
    FUZZ_CHECK(bytes.size() >= 12);
    FUZZ_CHECK(ReadLE32(bytes.data() + 4) == bytes.size() - 8);

    CSoundFontReader bank;
    FUZZ_CHECK(bank.Open(std::make_unique<CMemorySource>(bytes)));
    FUZZ_CHECK(bank.GetPresetCount() == 1);
    FUZZ_CHECK(CSoundFontReader::GetDisplayName(bank.GetPresetHeader(0)) == "Tamberly Patch");

    const int channels = CWaveFile::OptionMode(option) == 0 ? 2 : 1;
    const int samples = bank.GetSampleCount(0, -1);
    FUZZ_CHECK(samples >= 0 && samples <= channels);
    const auto pointBytes = static_cast<std::uint64_t>(bank.GetPresetSampleBytes(0));

    // A kept frame makes one point of each sample, and no frame is kept twice.
    const std::uint32_t blockAlign = wave.Format().blockAlign;
    const std::uint64_t frames = blockAlign == 0 ? 0 : wave.DataSize() / blockAlign;
    FUZZ_CHECK(pointBytes <= 2ull * static_cast<std::uint64_t>(samples) * frames);

    // Each sample is followed by 16 zero points, except a sample the frames
    // cannot give at all (too small a block alignment), which is empty.
    if (samples == 1 && channels == 1)
    {
        FUZZ_CHECK(bank.SampleDataSize() == pointBytes + 32);
        FUZZ_CHECK(bytes.size() == kOneSampleFrame + bank.SampleDataSize());
    }
    else if (samples == 2)
    {
        const std::uint64_t zeros = bank.SampleDataSize() - pointBytes;
        FUZZ_CHECK(pointBytes <= bank.SampleDataSize() && (zeros == 32 || zeros == 64));
        FUZZ_CHECK(bytes.size() == kTwoSampleFrame + bank.SampleDataSize());
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Rates that are no whole multiple of an option's are resampled as the programs do.
    InstallMediaServices();
    CMemorySource source(data, size);
    CWaveFile wave;
    const bool opened = wave.Open(source, "/waves/FUZZ.WAV");
    FUZZ_CHECK(opened == wave.IsOpen());
    FUZZ_CHECK(wave.FileName() == "/waves/FUZZ.WAV");
    if (!opened)
    {
        // A refused file offers nothing and writes nothing.
        FUZZ_CHECK(wave.GetOpenError() != WaveOpenError::None);
        FUZZ_CHECK(wave.DataSize() == 0 && wave.GetOptionCount() == 0);
        CMemorySink sink;
        FUZZ_CHECK(!wave.WriteSoundFont(sink, 1) && sink.Bytes().empty());
        return 0;
    }
    FUZZ_CHECK(wave.GetOpenError() == WaveOpenError::None);
    CheckOptions(wave, size);

    // Every option converts, offered or not: the writer must cope with a
    // rate below the target and a mode the channels cannot give.
    for (int option = 0; option < CWaveFile::kOptionCount; ++option)
    {
        CMemorySink sink;
        FUZZ_CHECK(wave.WriteSoundFont(sink, option));
        CheckWritten(wave, sink.Bytes(), option);

        // For one option (a resampled one costs a filter design a pass):
        // each pass reads the same data again; a sink that fills up makes the
        // write fail, one just large enough does not.
        const std::size_t length = sink.Bytes().size();
        if (option == static_cast<int>(size % CWaveFile::kOptionCount))
        {
            CMemorySink again;
            FUZZ_CHECK(wave.WriteSoundFont(again, option));
            FUZZ_CHECK(again.Bytes() == sink.Bytes());

            for (const std::size_t capacity : {std::size_t{0}, length / 2, length - 1})
            {
                CMemorySink full(capacity);
                FUZZ_CHECK(!wave.WriteSoundFont(full, option));
            }
            CMemorySink exact(length);
            FUZZ_CHECK(wave.WriteSoundFont(exact, option));
            FUZZ_CHECK(exact.Bytes() == sink.Bytes());
        }
    }

    for (const int option : {-1, CWaveFile::kOptionCount})
    {
        CMemorySink sink;
        FUZZ_CHECK(!wave.WriteSoundFont(sink, option) && sink.Bytes().empty());
    }
    FUZZ_CHECK(wave.Close() && !wave.IsOpen());
    return 0;
}
