// Reading and writing a 100,000-patch list through the object archive, each
// as a ratio ("x_fread") to reading the same file's bytes with one fread,
// measured in the same iteration.

#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "support/RiffBuilder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int kPatches = 100000;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

void Fill(CPatchItemList& list)
{
    for (int i = 0; i < kPatches; ++i)
    {
        CPatchItem* item = list.AddNew();
        item->SetName("Preset " + std::to_string(i));
        item->SetSourceFile("/home/user/sounds/banks/collection" + std::to_string(i % 50) + ".sbk");
        item->SetSourcePatch(i % 128);
        item->SetTargetPatch(i % 128);
        item->SetTargetBank(1 + i % 127);
    }
}

void WriteList(const CPatchItemList& list, const std::string& path)
{
    CFileSink sink;
    if (!sink.Create(path))
        throw std::runtime_error("cannot create " + path);
    CArchiveWriter archive(sink);
    list.Serialize(archive);
    archive.Flush();
    if (!sink.Close())
        throw std::runtime_error("cannot write " + path);
}

// The baseline: the whole file in one fread.
double FreadSeconds(const std::string& path, std::vector<char>& buffer)
{
    const auto start = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    std::fclose(file);
    benchmark::DoNotOptimize(got);
    return Seconds(start);
}

struct Fixture
{
    TempDir dir;
    std::string path = dir.File("list.bin");
    CPatchItemList list;
    std::vector<char> buffer;

    Fixture()
    {
        Fill(list);
        WriteList(list, path);
        CFileSource source;
        source.Open(path);
        buffer.resize(static_cast<std::size_t>(source.Size()));
    }
    ~Fixture() { list.DeleteAll(); }
};

void ArchiveRead(benchmark::State& state)
{
    Fixture f;
    double archiveTotal = 0;
    double freadTotal = 0;
    for (auto _ : state)
    {
        freadTotal += FreadSeconds(f.path, f.buffer);
        const auto start = Clock::now();
        CPatchItemList read;
        CPatchItemListGuard guard(read);
        CFileSource source;
        source.Open(f.path);
        CArchiveReader archive(source);
        read.Serialize(archive);
        const double seconds = Seconds(start);
        archiveTotal += seconds;
        state.SetIterationTime(seconds);
        benchmark::DoNotOptimize(read.GetSize());
    }
    state.counters["x_fread"] = archiveTotal / freadTotal;
    state.counters["bytes"] = static_cast<double>(f.buffer.size());
}

void ArchiveWrite(benchmark::State& state)
{
    Fixture f;
    const std::string out = f.dir.File("written.bin");
    double archiveTotal = 0;
    double freadTotal = 0;
    for (auto _ : state)
    {
        freadTotal += FreadSeconds(f.path, f.buffer);
        const auto start = Clock::now();
        WriteList(f.list, out);
        const double seconds = Seconds(start);
        archiveTotal += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["x_fread"] = archiveTotal / freadTotal;
}
} // namespace

BENCHMARK(ArchiveRead)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ArchiveWrite)->UseManualTime()->Unit(benchmark::kMillisecond);
