// Converting a wave file into a one-preset SoundFont: time as a ratio to a
// plain file copy of the same wave in the same run, and the peak memory of
// converting a big file; at 44.1 kHz (frames kept as stored) and at 48 kHz
// (resampled).

#include "media/MediaServices.h"
#include "platform/ByteStream.h"
#include "soundfont/WaveFile.h"
#include "support/WaveBuilder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// A 16-bit stereo wave of frames frames, streamed to disk in 64 KiB pieces.
void WriteStereoWave(const std::string& path, std::uint32_t rate, std::uint64_t frames)
{
    const WaveBuilder format = WaveBuilder().Channels(2).Rate(rate).Bits(16);
    const auto dataSize = static_cast<std::uint32_t>(frames * 4);
    const Bytes header = format.Header(dataSize);
    CFileSink out;
    if (!out.Create(path))
        throw std::runtime_error("cannot create " + path);
    out.Write(header.data(), header.size());
    std::vector<std::uint8_t> block(65536);
    std::uint64_t frame = 0;
    while (frame < frames)
    {
        std::size_t used = 0;
        for (; used + 4 <= block.size() && frame < frames; used += 4, ++frame)
        {
            const auto left = static_cast<std::int16_t>(12000 * std::sin(frame * 0.0313));
            const auto right = static_cast<std::int16_t>((frame * 7919) & 0x3FFF);
            WriteLE16(&block[used], static_cast<std::uint16_t>(left));
            WriteLE16(&block[used + 2], static_cast<std::uint16_t>(right));
        }
        out.Write(block.data(), used);
    }
    if (!out.Close())
        throw std::runtime_error("cannot write " + path);
}

// The baseline: copy with 64 KiB reads and writes; durable copies end with
// fsync, as the atomic save of the SoundFont does.
double CopySeconds(const std::string& from, const std::string& to, bool durable)
{
    const auto start = Clock::now();
    std::FILE* in = std::fopen(from.c_str(), "rb");
    std::FILE* out = std::fopen(to.c_str(), "wb");
    if (!in || !out)
        throw std::runtime_error("cannot copy");
    std::setvbuf(in, nullptr, _IOFBF, 65536);
    std::setvbuf(out, nullptr, _IOFBF, 65536);
    std::vector<char> buffer(65536);
    std::size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
        std::fwrite(buffer.data(), 1, got, out);
    std::fflush(out);
    if (durable)
        fsync(fileno(out));
    std::fclose(out);
    std::fclose(in);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Fixture
{
    TempDir dir;
    std::string wave = dir.File("minute.wav");
    explicit Fixture(std::uint32_t rate)
    {
        InstallMediaServices();
        WriteStereoWave(wave, rate, 60ull * rate);
    }
};

// A minute of stereo sound at rate.
Fixture& Minute(std::uint32_t rate)
{
    static Fixture at44100(44100);
    static Fixture at48000(48000);
    return rate == 48000 ? at48000 : at44100;
}

void BM_WriteSoundFont(benchmark::State& state)
{
    const int option = static_cast<int>(state.range(0));
    Fixture& f = Minute(static_cast<std::uint32_t>(state.range(1)));
    CWaveFile wave;
    if (!wave.Open(f.wave))
    {
        state.SkipWithError("the wave does not open");
        return;
    }
    const std::string target = f.dir.File("out.sbk");
    const std::string copy = f.dir.File("copy.wav");
    double convert = 0;
    double durable = 0;
    double plain = 0;
    for (auto _ : state)
    {
        durable += CopySeconds(f.wave, copy, true);
        plain += CopySeconds(f.wave, copy, false);
        const auto start = Clock::now();
        if (!wave.WriteSoundFont(target, option))
            state.SkipWithError("the SoundFont was not written");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        convert += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["ratio_to_copy"] = convert / durable;
    state.counters["ratio_to_copy_nosync"] = convert / plain;
    state.counters["copy_ms"] = 1000 * durable / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * wave.DataSize());
    std::filesystem::remove(target);
    std::filesystem::remove(copy);
}
BENCHMARK(BM_WriteSoundFont)
    ->ArgNames({"option", "rate"})
    ->Args({0, 44100})
    ->Args({1, 44100})
    ->Args({10, 44100})
    ->Args({0, 48000})
    ->Args({1, 48000})
    ->Args({10, 48000})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

long StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
    {
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    }
    return -1;
}

// Peak resident memory of converting a 200 MB wave, measured in a child
// process whose high-water mark is reset just before the conversion.
//
// Two figures. peak_delta_kB is what streaming the big file costs a program
// that has converted before: the child first converts a short wave of the
// same rate, so the resampler's code and one-time tables are already in
// memory. first_use_kB is the same conversion in a fresh child; the
// difference is mostly pages of shared library code touched for the first
// time (first_use_file_kB), which the kernel shares and can drop, not heap.
struct PeakResult
{
    long peak = -1;
    long anonymous = -1;
    long file = -1;
};

PeakResult MeasureInChild(const std::string& wave, const std::string& warmUp, const std::string& target)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0)
    {
        close(fds[0]);
        PeakResult result;
        bool ready = true;
        if (!warmUp.empty())
        {
            CWaveFile small;
            ready = small.Open(warmUp) && small.WriteSoundFont(target, 0);
        }
        // Writing 5 resets the high-water mark to the present resident size.
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5" << std::flush;
        const long start = StatusKilobytes("VmHWM");
        const long anonymous = StatusKilobytes("RssAnon");
        const long file = StatusKilobytes("RssFile");
        if (ready && reset && start > 0)
        {
            CWaveFile big;
            if (big.Open(wave) && big.WriteSoundFont(target, 0))
                result = {StatusKilobytes("VmHWM") - start, StatusKilobytes("RssAnon") - anonymous,
                          StatusKilobytes("RssFile") - file};
        }
        if (write(fds[1], &result, sizeof result) != sizeof result)
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    PeakResult result;
    if (read(fds[0], &result, sizeof result) != sizeof result)
        result = {};
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return result;
}

void BM_PeakMemoryOfBigWave(benchmark::State& state)
{
    InstallMediaServices();
    TempDir dir;
    const auto rate = static_cast<std::uint32_t>(state.range(0));
    const std::string wave = dir.File("big.wav");
    const std::string small = dir.File("small.wav");
    WriteStereoWave(wave, rate, 200ull * 1000 * 1000 / 4);
    WriteStereoWave(small, rate, rate / 10);
    for (auto _ : state)
    {
        const PeakResult warm = MeasureInChild(wave, small, dir.File("big.sbk"));
        const PeakResult cold = MeasureInChild(wave, "", dir.File("big.sbk"));
        if (warm.peak < 0 || cold.peak < 0)
        {
            state.SkipWithError("the peak memory could not be measured");
            break;
        }
        state.counters["peak_delta_kB"] = static_cast<double>(warm.peak);
        state.counters["within_1MB"] = warm.peak <= 1024 ? 1 : 0;
        state.counters["first_use_kB"] = static_cast<double>(cold.peak);
        state.counters["first_use_anon_kB"] = static_cast<double>(cold.anonymous);
        state.counters["first_use_file_kB"] = static_cast<double>(cold.file);
    }
    std::filesystem::remove(dir.File("big.sbk"));
    std::filesystem::remove(wave);
    std::filesystem::remove(small);
}
BENCHMARK(BM_PeakMemoryOfBigWave)
    ->ArgName("rate")
    ->Arg(44100)
    ->Arg(48000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
} // namespace
