#include "BenchSupport.h"

#include "soundfont/SoundFontReader.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

std::size_t PlainRead(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    std::vector<char> buffer(64 * 1024);
    std::size_t total = 0;
    for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), file)) > 0;)
        total += got;
    std::fclose(file);
    return total;
}

const std::string& LargeBankFile(int presets, std::uint32_t sampleBytes)
{
    static const TempDir dir;
    static std::map<std::pair<int, std::uint32_t>, std::string> files;
    auto [entry, added] = files.try_emplace({presets, sampleBytes});
    if (added)
    {
        entry->second =
            dir.File("large-" + std::to_string(presets) + "-" + std::to_string(sampleBytes) + ".sbk");
        MakeLargeBank(presets, sampleBytes).WriteFile(entry->second);
    }
    return entry->second;
}

void ReportRatio(benchmark::State& state, const char* ratioName, Timing measured, Timing baseline,
                 benchmark::TimeUnit unit)
{
    const char* suffix = "_ms";
    double scale = 1e3;
    switch (unit)
    {
    case benchmark::kNanosecond:
        suffix = "_ns";
        scale = 1e9;
        break;
    case benchmark::kMicrosecond:
        suffix = "_us";
        scale = 1e6;
        break;
    case benchmark::kMillisecond:
        break;
    case benchmark::kSecond:
        suffix = "_s";
        scale = 1;
        break;
    }
    state.counters[std::string(measured.name) + suffix] = measured.seconds * scale;
    state.counters[std::string(baseline.name) + suffix] = baseline.seconds * scale;
    state.counters[ratioName] = measured.seconds / baseline.seconds;
}

std::int64_t ListBank(const std::string& path)
{
    CSoundFontReader reader;
    if (!reader.Open(path))
        return -1;
    std::int64_t sum = 0;
    for (int i = 0; i < reader.GetPresetCount(); ++i)
        sum += reader.GetSampleCount(i, -1) + reader.GetPresetSampleBytes(i);
    return sum;
}
