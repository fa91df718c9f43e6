// What exporting costs, as ratios to baselines measured in the same run:
// - "ratio" of BM_ExportDocument: exporting a document of 128 patches (each
//   a preset of a 28 MB version-1 bank, converted and written into one
//   SoundFont 2 file, synced to disk) over one plain read of the bank it
//   names, the two in turns (TimeInterleaved). Goal: 3 or less.
// - "ratio" of BM_ExportDocumentSf3: the same export as SoundFont 3 (every
//   sample compressed) over the same read; no goal, for the record, with the
//   sizes of both files ("sf2_MB", "sf3_MB").
// - "ratio" of BM_ConvertFluidR3AsSoundFont1: Debian's FluidR3_GM laid out as
//   SoundFont 1 (148 MB), converted from its file into a SoundFont 2 file,
//   over copying the file (read and written in 64 KiB pieces), the two in
//   turns (TimeInterleaved). Goal: 2 or less. "sf2_MB" is the converted
//   file's size.

#include "BenchSupport.h"

#include "bank/PatchItemList.h"
#include "bank/PatchItemListGuard.h"
#include "bank/SoundFontExport.h"
#include "media/MediaServices.h"
#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"
#include "support/PatchFixtures.h"
#include "support/RiffBuilder.h"
#include "support/SoundFont1Layout.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int kPresets = 128;
constexpr std::uint32_t kSampleBytes = 28u << 20;
constexpr const char* kFluidR3 = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

double Megabytes(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<double>(size) / (1 << 20);
}

void ExportDocument(benchmark::State& state, bool compressed)
{
    InstallMediaServices();
    const std::string& bank = LargeBankFile(kPresets, kSampleBytes);
    const TempDir dir;
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    for (int program = 0; program < kPresets; ++program)
        AddFilePatch(patches, "Patch", bank, program, 1, program);
    SoundFontExportOptions options;
    options.compressed = compressed;
    const std::string out = dir.File(compressed ? "export.sf3" : "export.sf2");
    const auto run = [&]
    { return CSoundFontExport(dir.Path(), {}, options).Export({}, patches, "Bench", "", out).presets; };
    if (run() != kPresets)
    {
        state.SkipWithError("the document does not export");
        return;
    }
    const AgainstBaseline time = TimeInterleaved(
        state, [&] { benchmark::DoNotOptimize(run()); }, [&] { benchmark::DoNotOptimize(PlainRead(bank)); });
    ReportRatio(state, "ratio", {"export", time.seconds}, {"read", time.baseline});
    state.counters[compressed ? "sf3_MB" : "sf2_MB"] = Megabytes(out);
}

void BM_ExportDocument(benchmark::State& state)
{
    ExportDocument(state, false);
}
BENCHMARK(BM_ExportDocument)->Unit(benchmark::kMillisecond);

void BM_ExportDocumentSf3(benchmark::State& state)
{
    ExportDocument(state, true);
}
BENCHMARK(BM_ExportDocumentSf3)->Unit(benchmark::kMillisecond)->Iterations(1);

// The file copied through 64 KiB pieces; false when a piece fails.
bool CopyFile(const std::string& from, const std::string& to)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(from.c_str(), "rb"), std::fclose);
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(to.c_str(), "wb"), std::fclose);
    if (!in || !out)
        return false;
    std::vector<char> piece(64 << 10);
    while (const std::size_t got = std::fread(piece.data(), 1, piece.size(), in.get()))
    {
        if (std::fwrite(piece.data(), 1, got, out.get()) != got)
            return false;
    }
    return std::fflush(out.get()) == 0;
}

// As sbk2sf2 does it: the bank converted from its file and streamed to the
// new one (without the sync to disk at the end, which the copy does not do
// either).
bool ConvertFile(const std::string& from, const std::string& to)
{
    CFileSource source;
    CFileSink sink;
    if (!source.Open(from) || !sink.Create(to))
        return false;
    const std::unique_ptr<IByteSource> converted = CSoundFont2Converter().ConvertedBank(source);
    return converted && CopyRest(*converted, sink) == CopyResult::Done && sink.Close();
}

void BM_ConvertFluidR3AsSoundFont1(benchmark::State& state)
{
    if (::access(kFluidR3, R_OK) != 0)
    {
        state.SkipWithError("FluidR3_GM.sf2 is not installed");
        return;
    }
    const TempDir dir;
    const std::string sbk = dir.Write("fluidr3.sbk", LayOutAsSoundFont1(kFluidR3));
    const std::string sf2 = dir.File("fluidr3.sf2"), copy = dir.File("copy.sbk");
    if (!ConvertFile(sbk, sf2))
    {
        state.SkipWithError("the bank does not convert");
        return;
    }
    const AgainstBaseline time = TimeInterleaved(
        state, [&] { benchmark::DoNotOptimize(ConvertFile(sbk, sf2)); },
        [&] { benchmark::DoNotOptimize(CopyFile(sbk, copy)); });
    ReportRatio(state, "ratio", {"convert", time.seconds}, {"copy", time.baseline});
    state.counters["sbk_MB"] = Megabytes(sbk);
    state.counters["sf2_MB"] = Megabytes(sf2);
}
BENCHMARK(BM_ConvertFluidR3AsSoundFont1)->Unit(benchmark::kMillisecond)->Iterations(12);
} // namespace
