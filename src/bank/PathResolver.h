#pragma once
// Finds the file a document names on this machine.
//
// Documents made years ago on Windows name "C:\SBK\PIANO.SBK",
// "\\SERVER\BANKS\DRUMS.SBK" or "..\BANKS\A.SBK"; the files now sit somewhere
// under the user's home, often in another letter case. The stored path is
// never changed here: Resolve only says which file to load, trying in turn
//   1. the path as stored (an absolute path that exists),
//   2. a relative path against the document's own folder,
//   3. a Windows path through the user's drive map (letter or \\server\share
//      to a folder),
//   4. by name, without regard to letter case, in the document's folder and
//      below it, then below each search folder.
// The first existing regular file wins. "\" and "/" both separate, and every
// comparison of names ignores case (ASCII and the Latin-1 letters, in UTF-8
// or in the Windows-1252 bytes old documents hold), as Windows did.
//
// A folder tree is read once per resolver (an index of names, built the first
// time a name is looked up below it), to a depth of 8, never following a link
// back into a folder it has read, skipping folders it cannot read. Results are
// cached per stored path, so a document of many patches from few files costs
// little more than one listing of the tree.
//
// Namesakes: a file whose parent folder has the stored parent's name comes
// first; then the one closest to the root searched (the document's folder
// before the search folders, fewer folders down first), then the shortest
// path, then byte order. The choice never depends on the order the system
// lists a folder in.
//
// Never throws on any stored path or any folder; bad input is a missing
// result with a problem text. One thread.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct PathResolverSettings
{
    // Keys "C:" (any case) or "\\server\share"; values are folders.
    std::vector<std::pair<std::string, std::string>> driveMap;
    std::vector<std::string> searchFolders;

    // Reads "C:=DIR" or "\\server\share=DIR" into driveMap. False with a
    // reason in error for anything else (no "=", a drive letter outside A to
    // Z, an empty folder).
    bool AddMapping(const std::string& text, std::string* error);
};

class CPathResolver
{
public:
    enum Step
    {
        StepAsStored = 0,
        StepRelative = 1,
        StepDriveMap = 2,
        StepByName = 3,
        StepRelinked = 4, // chosen by the user (Locate, Search Folder)
    };

    struct Attempt
    {
        Step step = StepAsStored;
        std::string where;      // the file tried, or the folder searched
        bool noMapping = false; // StepDriveMap: the drive has no folder in the map
    };

    struct Result
    {
        bool found = false;
        Step step = StepAsStored; // how it was found
        std::string path;         // the file to load; empty when not found
        std::vector<Attempt> tried;
        std::string problem; // what is wrong with the stored path itself, or empty
        // Other files by the same name that lost the choice (for the report).
        int namesakes = 0;
    };

    // documentFolder: the folder of the document (or .shb file) that names
    // the paths; empty when it has none (a new document).
    CPathResolver(std::string documentFolder, PathResolverSettings settings);
    ~CPathResolver();
    CPathResolver(const CPathResolver&) = delete;
    CPathResolver& operator=(const CPathResolver&) = delete;

    const Result& Resolve(const std::string& stored);

    // The file stored names by name below folder only (the window's "Search
    // Folder..."); empty when none.
    std::string FindBelow(const std::string& stored, const std::string& folder);

    // The absolute folder of a file that names paths (a document); empty
    // for an empty name.
    static std::string FolderOf(const std::string& file);

    const std::string& GetDocumentFolder() const { return documentFolder; }
    const PathResolverSettings& GetSettings() const { return settings; }
    // Folders read so far (the index's cost, for tests and the benchmark).
    std::size_t GetFoldersRead() const { return foldersRead; }

    // How the front ends name an attempt and a step, from the string table.
    static std::string DescribeAttempt(const Attempt& attempt);
    static std::string DescribeStep(Step step);

    // The key two names compare by: Windows-1252 bytes turned to UTF-8, then
    // ASCII and Latin-1 capitals made small. Exposed for the tests.
    static std::string FoldName(const std::string& name);

private:
    struct Index;
    struct Candidate;

    Index& IndexOf(const std::string& root);
    bool FindByName(const std::vector<std::string>& parts, const std::vector<std::string>& roots,
                    Result& result);

    std::string documentFolder;
    PathResolverSettings settings;
    std::map<std::string, std::unique_ptr<Index>> indexes;
    std::map<std::string, Result> cache;
    std::size_t foldersRead = 0;
};
