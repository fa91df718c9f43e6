// Stored paths of old documents through the resolver, against a small tree
// built once: mixed letter case, namesakes, a link back to its parent and a
// drive map. The first byte chooses the stored path's form (as it stands, a
// drive prefix, a share prefix, a relative prefix), the rest is the path; a
// second line, when there is one, is tried as a drive mapping.

#include "FuzzTarget.h"

#include "bank/PathResolver.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace
{
namespace fs = std::filesystem;

// The tree lives as long as the process and goes with it; the fuzzer
// never writes into it.
struct TreeFolder
{
    std::string root;
    TreeFolder()
    {
        root = (fs::temp_directory_path() / "tamberly-fuzz-XXXXXX").native();
        if (!::mkdtemp(root.data()))
            FuzzFail("mkdtemp", __FILE__, __LINE__);
        for (const char* file :
             {"doc/A.SBK", "doc/sub/b.sbk", "doc/sub/deeper/B.SBK", "banks/Piano.sbk",
              "banks/GRAND/piano.SBK", "banks/kl\xC3\xa4nge.sbk", "doc/sub/1/2/3/4/5/6/7/8/9/C.SBK"})
        {
            const fs::path path = fs::path(root) / file;
            fs::create_directories(path.parent_path());
            std::ofstream(path) << 'x';
        }
        std::error_code ignored;
        fs::create_directory_symlink("..", fs::path(root) / "doc/sub/up", ignored);
        fs::create_directory(fs::path(root) / "doc/FOLDER.SBK", ignored);
    }
    ~TreeFolder()
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

const std::string& Tree()
{
    static const TreeFolder tree;
    return tree.root;
}

bool IsRegularFile(const std::string& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// One resolver for the whole run, as a document keeps one for all its
// paths: each folder tree is read once, and every input after that costs
// only its own walk and look-ups.
CPathResolver& Shared()
{
    static CPathResolver resolver = []
    {
        PathResolverSettings settings;
        std::string error;
        FUZZ_CHECK(settings.AddMapping("C:=" + Tree() + "/banks", &error));
        FUZZ_CHECK(settings.AddMapping("\\\\SRV\\Share=" + Tree() + "/doc", &error));
        settings.searchFolders.push_back(Tree() + "/banks");
        return CPathResolver(Tree() + "/doc", settings);
    }();
    return resolver;
}

void CheckResult(const std::string& stored, const CPathResolver::Result& result)
{
    FUZZ_CHECK(result.found == !result.path.empty());
    if (result.found)
        FUZZ_CHECK(IsRegularFile(result.path));
    for (const auto& attempt : result.tried)
        (void)CPathResolver::DescribeAttempt(attempt);
    (void)stored;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput input(data, size);
    const std::uint8_t form = input.Byte();
    const std::string_view rest = AsText(input.Rest(), input.RestSize());
    const std::size_t newline = rest.find('\n');
    std::string stored(rest.substr(0, newline));
    static const char* const prefixes[] = {"", "C:\\", "\\\\srv\\share\\", "..\\", "/", "D:/"};
    stored.insert(0, prefixes[form % std::size(prefixes)]);

    CPathResolver& resolver = Shared();
    const CPathResolver::Result& result = resolver.Resolve(stored);
    CheckResult(stored, result);
    // Asked again, the same answer without reading a folder again.
    const std::size_t read = resolver.GetFoldersRead();
    FUZZ_CHECK(&resolver.Resolve(stored) == &result && resolver.GetFoldersRead() == read);
    const std::string below = resolver.FindBelow(stored, Tree());
    FUZZ_CHECK(below.empty() || IsRegularFile(below));
    // Three folder trees of a dozen folders, each read once however many inputs ran.
    FUZZ_CHECK(resolver.GetFoldersRead() <= 40);

    const std::string folded = CPathResolver::FoldName(stored);
    FUZZ_CHECK(CPathResolver::FoldName(folded) == folded);

    // A second line is a drive mapping as the command line takes it; one
    // that is accepted is used at once (by the walk alone: no folder tree
    // to read, so an input cannot make the run read the whole disk).
    if (newline != std::string_view::npos)
    {
        PathResolverSettings settings;
        std::string error;
        const bool added = settings.AddMapping(std::string(rest.substr(newline + 1)), &error);
        FUZZ_CHECK(added ? settings.driveMap.size() == 1 : (settings.driveMap.empty() && !error.empty()));
        for (const auto& [key, folder] : settings.driveMap)
            FUZZ_CHECK(!folder.empty() && (key.size() == 2 ? key[0] >= 'A' && key[0] <= 'Z' && key[1] == ':'
                                                           : key.rfind("\\\\", 0) == 0));
        CPathResolver mapped(std::string(), settings);
        CheckResult(stored, mapped.Resolve(stored));
        FUZZ_CHECK(mapped.GetFoldersRead() == 0);
    }
    return 0;
}
