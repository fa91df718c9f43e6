// Resolving the paths of a 1,000-patch document made on Windows whose 50
// bank files now lie, in other letter case, in a tree of 10,000 files (100
// folders of 100 files, two levels deep), none of them where the document
// says: every path is found by name. Against the baseline of listing that
// tree once ("x_listing", goal: at most 2). On a machine shared with other
// builds the wall times wait for the processor more than they work, so the
// same ratio is also given in processor time, best of both sides
// ("x_listing_cpu").

#include "BenchSupport.h"

#include "bank/PathResolver.h"
#include "support/FileTree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr int kBankFiles = 50;
constexpr int kPatches = 1000;

struct Tree
{
    TempDir root;
    std::string documentFolder;
    std::vector<std::string> stored; // one per patch, as the document names them

    Tree()
    {
        documentFolder = PlaceFolder(root.Path(), "music");
        for (int folder = 0; folder < kFolders; ++folder)
            for (int file = 0; file < kFilesPerFolder; ++file)
            {
                const int n = folder * kFilesPerFolder + file;
                // Every 200th file is one of the document's banks, in small letters.
                const std::string name = n % (kFolders * kFilesPerFolder / kBankFiles) == 0
                                             ? "bank" + std::to_string(n) + ".sbk"
                                             : "other" + std::to_string(n) + ".wav";
                PlaceFile(documentFolder, "set" + std::to_string(folder / 10) + "/part" +
                                              std::to_string(folder) + "/" + name);
            }
        for (int i = 0; i < kPatches; ++i)
        {
            const int n = (i % kBankFiles) * (kFolders * kFilesPerFolder / kBankFiles);
            stored.push_back("C:\\SBK\\BANK" + std::to_string(n) + ".SBK");
        }
    }
};

std::size_t ListTree(const std::string& root)
{
    std::size_t count = 0;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

// The processor time of the best of rounds runs of work.
double BestCpuOf(int rounds, auto&& work)
{
    double best = 1e9;
    for (int i = 0; i < rounds; ++i)
    {
        const std::clock_t start = std::clock();
        work();
        best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    return best;
}

void BM_ResolveThousandPatchDocument(benchmark::State& state)
{
    static const Tree tree;
    int found = 0;
    const auto resolve = [&]
    {
        CPathResolver resolver(tree.documentFolder, {});
        found = 0;
        for (const std::string& path : tree.stored)
            found += resolver.Resolve(path).found ? 1 : 0;
    };
    const auto listing = [&] { benchmark::DoNotOptimize(ListTree(tree.documentFolder)); };
    const auto result = TimeAgainstBaseline(state, resolve, listing);
    if (found != kPatches)
        state.SkipWithError("not every path was found");
    ReportRatio(state, "x_listing", {"resolve", result.seconds}, {"listing", result.baseline});
    ReportRatio(state, "x_listing_cpu", {"resolve_cpu", BestCpuOf(10, resolve)},
                {"listing_cpu", BestCpuOf(10, listing)});
}
BENCHMARK(BM_ResolveThousandPatchDocument)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace
