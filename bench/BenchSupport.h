#pragma once
// What the benchmarks share: timing a piece of work, the plain read of a
// whole file that several of them are measured against, the large banks
// they generate, and the counters that give a time as a ratio to its
// baseline measured in the same run.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

// The wall time of one run of work, in seconds.
double SecondsOf(auto&& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of rounds runs of work: other load on the machine only slows a
// run down, so the best is the one closest to the work's own cost.
double BestOf(int rounds, auto&& work)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, SecondsOf(work));
    return best;
}

struct AgainstBaseline
{
    double seconds;  // the work, the mean of the benchmark's iterations
    double baseline; // the best run of the baseline
};

// Times work once per iteration of state, and baseline ten times before and
// ten times after the loop: the best of both sides, the files and caches as
// warm for the baseline as for the work; other load on the machine only
// lowers the ratio.
AgainstBaseline TimeAgainstBaseline(benchmark::State& state, auto&& work, auto&& baseline)
{
    double best = BestOf(10, baseline);
    double total = 0;
    for (auto _ : state)
        total += SecondsOf(work);
    best = std::min(best, BestOf(10, baseline));
    return {total / static_cast<double>(state.iterations()), best};
}

// For work that writes files (and syncs them): the kernel's write-back
// makes any one run of such work, or of its baseline, take from one to
// three times its own cost, depending on what earlier runs left to flush,
// and this machine's speed drifts from one minute to the next. So both run
// in every iteration, in turns (each first every other time), and both
// sides are the mean: a best-of baseline against a mean of the work would
// measure the write-back and the drift, not the work.
AgainstBaseline TimeInterleaved(benchmark::State& state, auto&& work, auto&& baseline)
{
    double total = 0, baselineTotal = 0;
    bool workFirst = false;
    for (auto _ : state)
    {
        if (!workFirst)
            baselineTotal += SecondsOf(baseline);
        total += SecondsOf(work);
        if (workFirst)
            baselineTotal += SecondsOf(baseline);
        workFirst = !workFirst;
    }
    const auto runs = static_cast<double>(state.iterations());
    return {total / runs, baselineTotal / runs};
}

// The baseline of the file benchmarks: the whole file once through 64 KiB
// reads. The bytes read; 0 when the file does not open.
std::size_t PlainRead(const std::string& path);

// What listing a bank's presets costs, as the preset list does it: the bank
// opened and every preset's sample count and bytes asked. Their sum, so the
// work cannot be optimized away; -1 when the bank does not open.
std::int64_t ListBank(const std::string& path);

// The file of MakeLargeBank(presets, sampleBytes), written on first use into
// a folder that lives as long as the run; benchmarks asking for the same
// bank share one file.
const std::string& LargeBankFile(int presets, std::uint32_t sampleBytes);

struct Timing
{
    const char* name;
    double seconds;
};

// Puts a measured time and its baseline into state's counters as
// "<name>_ms" ("_us" and so on after unit), and measured over baseline as
// ratioName.
void ReportRatio(benchmark::State& state, const char* ratioName, Timing measured, Timing baseline,
                 benchmark::TimeUnit unit = benchmark::kMillisecond);
