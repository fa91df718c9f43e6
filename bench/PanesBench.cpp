// The panes stay interactive on big inputs: listing a folder of 10,000 sound
// files, the presets of a 1,000-preset bank, and opening a folder tree 300
// levels deep one level after the other, in a real (offscreen) view, filled,
// sorted and painted. Each figure is "ratio": the pane's time over a baseline
// measured in this run - for the folder, a plain enumeration of its names and
// sizes; for the bank, the reader's own listing of every preset's name, sample
// count and sample bytes; for the tree, a plain enumeration of the folders it
// reads (each opened folder, and its subfolders for their expand buttons),
// telling folders from files. Goals: a folder in at most 3 times its
// enumeration, a bank in at most 3 times its listing, the tree in at most 3
// times its enumeration.

#include "BenchSupport.h"

#include "bank/TamberlyDoc.h"
#include "platform/RegistryStore.h"
#include "soundfont/SoundFontReader.h"
#include "support/RiffBuilder.h"
#include "synth/AweSession.h"
#include "ui/panes/FileListModel.h"
#include "ui/panes/FileView.h"
#include "ui/panes/FolderView.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PatchView.h"

#include "QtBenchSupport.h"

#include <QApplication>
#include <QHeaderView>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kFiles = 10000;
constexpr int kPresets = 1000;
constexpr int kTreeDepth = 300;

const TempDir& Scratch()
{
    static const TempDir dir;
    return dir;
}

// A document without a card: the panes never reach it while listing.
std::unique_ptr<CTamberlyDoc> MakeDocument()
{
    return std::make_unique<CTamberlyDoc>(
        std::make_unique<CAweSession>(Scratch().File("no-card.so"), CRegistryStore(Scratch().File("card"))));
}

const std::string& BigFolder()
{
    static const std::string folder = []
    {
        const std::string path = Scratch().File("folder");
        std::filesystem::create_directory(path);
        static const char* const kExtensions[] = {".sbk", ".wav", ".tmb", ".txt"};
        for (int i = 0; i < kFiles; ++i)
        {
            // Every fourth file is no sound file; sizes spread over 0..99 KB.
            const std::string file = path + "/sound" + std::to_string(i * 7919 % kFiles) + kExtensions[i % 4];
            std::ofstream(file, std::ios::binary).close();
            std::filesystem::resize_file(file, static_cast<std::uintmax_t>(i % 100) * 1024);
        }
        return path;
    }();
    return folder;
}

std::uintmax_t EnumerateFolder(const std::string& folder)
{
    std::uintmax_t total = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    {
        std::error_code sizeError;
        total += it->path().filename().native().size() + it->file_size(sizeError);
    }
    return total;
}

std::int64_t ListPresetRows(const std::string& path)
{
    CSoundFontReader reader;
    if (!reader.Open(path))
        return -1;
    std::int64_t sum = 0;
    for (int i = 0; i < reader.GetPresetCount(); ++i)
        sum += static_cast<std::int64_t>(CSoundFontReader::GetDisplayName(reader.GetPresetHeader(i)).size()) +
               reader.GetSampleCount(i, -1) + reader.GetPresetSampleBytes(i);
    return sum;
}

void BM_FileListOf10000Files(benchmark::State& state)
{
    EnsureBenchApplication(Scratch().File("config"));
    const std::string& folder = BigFolder();
    auto document = MakeDocument();
    CFileView view(*document);
    view.resize(300, 400);
    view.show();
    const auto fill = [&]
    {
        view.FillFromFolder(folder);
        view.SortList(0, 1);
        view.viewport()->repaint();
    };
    fill();
    if (view.GetModel()->rowCount() != kFiles / 4 * 3)
    {
        state.SkipWithError("the folder does not list its sound files");
        return;
    }

    const AgainstBaseline time =
        TimeAgainstBaseline(state, fill, [&] { benchmark::DoNotOptimize(EnumerateFolder(folder)); });
    // A click on the Size heading, twice: ascending, then descending.
    const double sortBySize = BestOf(10,
                                     [&]
                                     {
                                         view.SortList(1, -1);
                                         view.viewport()->repaint();
                                     });
    ReportRatio(state, "ratio", {"list", time.seconds}, {"enumerate", time.baseline});
    state.counters["sort_size_ms"] = sortBySize * 1e3;
}
BENCHMARK(BM_FileListOf10000Files)->Unit(benchmark::kMillisecond);

void BM_PresetListOf1000Presets(benchmark::State& state)
{
    EnsureBenchApplication(Scratch().File("config"));
    const std::string& bank = LargeBankFile(kPresets, 1u << 20);
    auto document = MakeDocument();
    CPatchView view(*document);
    view.resize(300, 400);
    view.show();
    const auto fill = [&]
    {
        view.FillFromFile(bank);
        view.SortList(1, 1);
        view.viewport()->repaint();
    };
    fill();
    if (view.GetModel()->rowCount() != kPresets)
    {
        state.SkipWithError("the bank does not list its presets");
        return;
    }

    const AgainstBaseline time =
        TimeAgainstBaseline(state, fill, [&] { benchmark::DoNotOptimize(ListPresetRows(bank)); });
    ReportRatio(state, "ratio", {"list", time.seconds}, {"reader", time.baseline});
}
BENCHMARK(BM_PresetListOf1000Presets)->Unit(benchmark::kMillisecond);

// deep/level-001/level-002/.../level-300; beside each level's next folder two
// empty folders and four files. The chain's folders, top first.
const std::vector<std::string>& DeepTree()
{
    static const std::vector<std::string> chain = []
    {
        std::vector<std::string> folders;
        std::string path = Scratch().File("deep");
        std::filesystem::create_directory(path);
        for (int level = 1; level <= kTreeDepth; ++level)
        {
            char name[16];
            std::snprintf(name, sizeof name, "/level-%03d", level);
            folders.push_back(path);
            path += name;
            std::filesystem::create_directory(path);
            for (const char* side : {"/aside", "/Beside"})
                std::filesystem::create_directory(folders.back() + side);
            for (const char* file : {"/a.sbk", "/b.wav", "/c.tmb", "/d.txt"})
                std::ofstream(folders.back() + file, std::ios::binary).close();
        }
        folders.push_back(path);
        return folders;
    }();
    return chain;
}

// The folders of a folder, told from its files, counted.
std::size_t CountFolders(const std::string& path, std::vector<std::string>* found)
{
    std::size_t folders = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end; it.increment(error))
    {
        std::error_code typeError;
        if (it->is_directory(typeError))
        {
            ++folders;
            if (found)
                found->push_back(it->path().string());
        }
    }
    return folders;
}

// What the tree reads at least: each opened folder's folders, and each of
// those for a folder of its own (its expand button).
std::size_t EnumerateTree(const std::vector<std::string>& chain)
{
    std::size_t folders = 0;
    std::vector<std::string> children;
    for (const std::string& path : chain)
    {
        children.clear();
        folders += CountFolders(path, &children);
        for (const std::string& child : children)
            folders += CountFolders(child, nullptr);
    }
    return folders;
}

void BM_FolderTreeThreeHundredLevelsDeep(benchmark::State& state)
{
    EnsureBenchApplication(Scratch().File("config"));
    const std::vector<std::string>& chain = DeepTree();
    auto document = MakeDocument();
    CFolderView view(*document);
    view.resize(300, 400);
    view.show();
    // From a fresh root down to the deepest folder, one expansion at a time.
    int reached = 0;
    const auto open = [&]
    {
        view.clear();
        QTreeWidgetItem* item = view.AddFolderItem(QStringLiteral("Deep"), chain.front(), nullptr);
        reached = 0;
        for (std::size_t level = 1; item && level < chain.size(); ++level)
        {
            item->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < item->childCount() && !next; ++i)
                if (CFolderView::GetItemPath(item->child(i)) == chain[level])
                    next = item->child(i);
            item = next;
            reached += item ? 1 : 0;
        }
        if (item)
            view.scrollToItem(item);
        view.viewport()->repaint();
    };
    open();
    if (reached != kTreeDepth)
    {
        state.SkipWithError("the tree does not reach its deepest folder");
        return;
    }

    const AgainstBaseline time =
        TimeAgainstBaseline(state, open, [&] { benchmark::DoNotOptimize(EnumerateTree(chain)); });
    ReportRatio(state, "ratio", {"open", time.seconds}, {"enumerate", time.baseline});
}
BENCHMARK(BM_FolderTreeThreeHundredLevelsDeep)->Unit(benchmark::kMillisecond);
} // namespace
