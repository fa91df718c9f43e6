#include "bank/PathResolver.h"

#include "platform/StringTable.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <tuple>
#include <unordered_map>

namespace fs = std::filesystem;

namespace
{
// Folders below a root that are read; deeper ones are not.
constexpr int kMaxDepth = 8;
// A home folder can hold millions of files; an index stops growing here
// rather than eat the machine's memory.
constexpr std::size_t kMaxIndexEntries = 2'000'000;
// No file system of ours takes a longer name; longer parts cannot exist.
constexpr std::size_t kMaxNameBytes = 255;

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::vector<std::string> SplitParts(const std::string& path, std::size_t from)
{
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = from; i < path.size(); ++i)
    {
        if (IsSeparator(path[i]))
        {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        }
        else
        {
            part += path[i];
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

std::string JoinParts(const std::string& base, const std::vector<std::string>& parts)
{
    std::string out = base;
    for (const std::string& part : parts)
    {
        if (out.empty() || out.back() != '/')
            out += '/';
        out += part;
    }
    return out;
}

fs::file_type TypeOf(const std::string& path)
{
    std::error_code error;
    return fs::status(path, error).type();
}

bool IsRegularFile(const std::string& path)
{
    return TypeOf(path) == fs::file_type::regular;
}

// How a stored path is written.
struct StoredForm
{
    enum Kind
    {
        Relative,
        Posix,    // "/home/..."
        Drive,    // "C:\..." or "C:..."
        Unc,      // "\\server\share\..."
        DriveLess // "\SBK\A.SBK": the root of whatever drive was current
    } kind = Relative;
    std::string key;                // "C:" or "\\server\share"
    std::vector<std::string> parts; // below the key (or the whole path)
    bool badDrive = false;
};

StoredForm ParseStored(const std::string& stored)
{
    StoredForm form;
    if (stored.size() >= 2 && IsSeparator(stored[0]) && IsSeparator(stored[1]))
    {
        std::vector<std::string> parts = SplitParts(stored, 2);
        form.kind = StoredForm::Unc;
        if (parts.size() >= 2)
        {
            form.key = std::string("\\\\").append(parts[0]).append("\\").append(parts[1]);
            form.parts.assign(parts.begin() + 2, parts.end());
        }
        else
        {
            form.parts = std::move(parts);
        }
        return form;
    }
    if (stored.size() >= 2 && stored[1] == ':')
    {
        form.kind = StoredForm::Drive;
        form.key = std::string(1, UpperAscii(stored[0])).append(":");
        form.badDrive = !IsAsciiLetter(stored[0]);
        form.parts = SplitParts(stored, 2);
        return form;
    }
    if (!stored.empty() && stored[0] == '/')
        form.kind = StoredForm::Posix;
    else if (!stored.empty() && stored[0] == '\\')
        form.kind = StoredForm::DriveLess;
    form.parts = SplitParts(stored, 0);
    return form;
}

bool SameKey(const std::string& a, const std::string& b)
{
    return CPathResolver::FoldName(a) == CPathResolver::FoldName(b);
}

// "\\server\share" and "//server/share" name the same share.
std::string NormalKey(const std::string& key)
{
    std::string out = key;
    std::replace(out.begin(), out.end(), '/', '\\');
    while (out.size() > 2 && out.back() == '\\')
        out.pop_back();
    return out;
}

std::optional<std::string> MatchInFolder(const std::string& folder, const std::string& name, bool wantFile)
{
    const std::string wanted = CPathResolver::FoldName(name);
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    std::optional<std::string> best;
    for (; !error && it != fs::directory_iterator(); it.increment(error))
    {
        const std::string entryName = it->path().filename().native();
        if (CPathResolver::FoldName(entryName) != wanted)
            continue;
        const std::string full = it->path().native();
        const fs::file_type type = TypeOf(full);
        if (wantFile ? type != fs::file_type::regular : type != fs::file_type::directory)
            continue;
        // Two names that differ in case only: byte order, never listing order.
        if (!best || full < *best)
            best = full;
    }
    return best;
}

// base/parts with each part matched without regard to case; the exact name
// first, as the common case costs one status call per part.
std::optional<std::string> WalkCaseless(const std::string& base, const std::vector<std::string>& parts)
{
    std::string current = base;
    if (TypeOf(current) != fs::file_type::directory)
        return std::nullopt;
    for (std::size_t i = 0; i < parts.size(); ++i)
    {
        const std::string& part = parts[i];
        const bool last = i + 1 == parts.size();
        if (part == "." && !last)
            continue;
        if (part == ".." && !last)
        {
            current = JoinParts(current, {part});
            continue;
        }
        if (part.size() > kMaxNameBytes)
            return std::nullopt;
        const std::string exact = JoinParts(current, {part});
        const fs::file_type type = TypeOf(exact);
        if (last ? type == fs::file_type::regular : type == fs::file_type::directory)
        {
            current = exact;
            continue;
        }
        std::optional<std::string> match = MatchInFolder(current, part, last);
        if (!match)
            return std::nullopt;
        current = std::move(*match);
    }
    if (parts.empty())
        return std::nullopt;
    // "music/../BANKS/a.sbk" reads better as "BANKS/a.sbk", unless a link on
    // the way makes the shorter path another file.
    std::string normal = fs::path(current).lexically_normal().native();
    std::error_code error;
    if (normal != current && fs::equivalent(normal, current, error) && !error)
        return normal;
    return current;
}

// Appends the UTF-8 bytes of one code point, made small when it is an ASCII
// or Latin-1 capital.
void AppendFolded(std::string& out, const std::string& text, std::size_t& i)
{
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80)
    {
        out += (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte - 'A' + 'a') : static_cast<char>(byte);
        ++i;
        return;
    }
    // U+00C0..U+00DE but U+00D7 (the multiplication sign) are capitals whose
    // small letter is 0x20 above: C3 80..C3 9E.
    if (byte == 0xC3 && i + 1 < text.size())
    {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        out += static_cast<char>(byte);
        out += (next >= 0x80 && next <= 0x9E && next != 0x97) ? static_cast<char>(next + 0x20)
                                                              : static_cast<char>(next);
        i += 2;
        return;
    }
    out += static_cast<char>(byte);
    ++i;
}
} // namespace

bool PathResolverSettings::AddMapping(const std::string& text, std::string* error)
{
    const auto fail = [&](const char* why)
    {
        if (error)
            *error = why;
        return false;
    };
    const auto equals = text.find('=');
    if (equals == std::string::npos)
        return fail("a drive mapping is written X:=FOLDER or \\\\server\\share=FOLDER");
    std::string key = text.substr(0, equals);
    std::string folder = text.substr(equals + 1);
    if (folder.empty())
        return fail("a drive mapping needs a folder after \"=\"");
    if (key.find('\0') != std::string::npos || folder.find('\0') != std::string::npos)
        return fail("a drive mapping holds a NUL byte");
    if (key.size() >= 2 && IsSeparator(key[0]) && IsSeparator(key[1]))
    {
        if (SplitParts(key, 2).size() != 2)
            return fail("a share is written \\\\server\\share");
        key = NormalKey(key);
    }
    else
    {
        if (key.size() != 2 || key[1] != ':')
            return fail("a drive is written as one letter and a colon (C:)");
        if (!IsAsciiLetter(key[0]))
            return fail("a drive letter must be one of A to Z");
        key = std::string(1, UpperAscii(key[0])).append(":");
    }
    // A later mapping of the same drive replaces the earlier one.
    for (auto& entry : driveMap)
        if (SameKey(entry.first, key))
        {
            entry.second = std::move(folder);
            return true;
        }
    driveMap.emplace_back(std::move(key), std::move(folder));
    return true;
}

// The files of one folder tree by folded name. A tree can hold many
// thousands of files and only a few are ever asked for, so a file costs one
// short name here and its folder is kept once for all the files in it.
struct CPathResolver::Candidate
{
    std::uint32_t folder = 0; // in Index::folders
    std::string name;         // as the folder lists it
};

struct CPathResolver::Index
{
    struct Folder
    {
        std::string path;
        std::string foldedName;
        int depth = 0;
    };
    std::vector<Folder> folders;
    std::unordered_map<std::string, std::vector<Candidate>> byName;
    std::size_t entries = 0;

    std::string PathOf(const Candidate& c) const
    {
        const std::string& folder = folders[c.folder].path;
        // The root folder "/" already ends in a separator.
        return folder.ends_with('/') ? folder + c.name : folder + "/" + c.name;
    }
};

CPathResolver::CPathResolver(std::string folder, PathResolverSettings resolverSettings)
    : documentFolder(std::move(folder)), settings(std::move(resolverSettings))
{
}

CPathResolver::~CPathResolver() = default;

std::string CPathResolver::FoldName(const std::string& name)
{
    // Most names are plain ASCII: small letters made in place, no decoding.
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    {
        std::string out = name;
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    const std::string text = IsValidUtf8(name) ? name : Windows1252ToUtf8(name);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        AppendFolded(out, text, i);
    return out;
}

CPathResolver::Index& CPathResolver::IndexOf(const std::string& root)
{
    auto& slot = indexes[root];
    if (slot)
        return *slot;
    slot = std::make_unique<Index>();
    Index& index = *slot;

    std::error_code error;
    const fs::path start = fs::canonical(root, error);
    if (error)
        return index;
    // Every folder read, by its real path: a link to one of them (its own
    // parent, say) is not read again.
    std::set<std::string> visited{start.native()};
    struct Pending
    {
        fs::path path;
        std::string real; // without links, as visited holds it
        std::string foldedName;
        int depth;
    };
    std::vector<Pending> pending{{start, start.native(), FoldName(start.filename().native()), 0}};
    // Depth first in name order keeps the index the same however the
    // system lists a folder.
    while (!pending.empty() && index.entries < kMaxIndexEntries)
    {
        Pending folder = std::move(pending.back());
        pending.pop_back();
        ++foldersRead;
        const auto folderIndex = static_cast<std::uint32_t>(index.folders.size());
        index.folders.push_back({folder.path.native(), folder.foldedName, folder.depth});
        std::vector<Pending> subfolders;
        fs::directory_iterator it(folder.path, fs::directory_options::skip_permission_denied, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error))
        {
            const fs::directory_entry& entry = *it;
            std::error_code typeError;
            const bool link = entry.is_symlink(typeError);
            // The type the folder listing gave, without a status call per
            // file: only links need one, to see what they lead to.
            fs::file_type type = fs::file_type::unknown;
            if (link)
                type = fs::status(entry.path(), typeError).type();
            else if (entry.is_regular_file(typeError))
                type = fs::file_type::regular;
            else if (!typeError && entry.is_directory(typeError))
                type = fs::file_type::directory;
            if (typeError)
                continue;
            // The name is the last part of what the listing gave: no path
            // object is built for a file that is only counted.
            const std::string& full = entry.path().native();
            std::string name = full.substr(full.rfind('/') + 1);
            if (type == fs::file_type::regular)
            {
                index.byName[FoldName(name)].push_back({folderIndex, std::move(name)});
                if (++index.entries >= kMaxIndexEntries)
                    break;
            }
            else if (type == fs::file_type::directory && folder.depth < kMaxDepth)
            {
                std::string real = folder.real + "/" + name;
                if (link)
                {
                    std::error_code linkError;
                    real = fs::canonical(entry.path(), linkError).native();
                    if (linkError)
                        continue;
                }
                if (visited.insert(real).second)
                    subfolders.push_back({entry.path(), real, FoldName(name), folder.depth + 1});
            }
        }
        // An unreadable folder (or one that stopped listing) keeps what was read.
        error.clear();
        std::sort(subfolders.begin(), subfolders.end(),
                  [](const Pending& a, const Pending& b) { return a.path.native() > b.path.native(); });
        for (Pending& sub : subfolders)
            pending.push_back(std::move(sub));
    }
    return index;
}

bool CPathResolver::FindByName(const std::vector<std::string>& parts, const std::vector<std::string>& roots,
                               Result& result)
{
    // The last real names: "..", "." and over-long parts name nothing to match.
    std::vector<std::string> names;
    for (const std::string& part : parts)
        if (part != "." && part != "..")
            names.push_back(part);
    if (names.empty() || names.back().size() > kMaxNameBytes)
        return false;
    const std::string name = FoldName(names.back());
    const std::string parent = names.size() >= 2 ? FoldName(names[names.size() - 2]) : std::string();

    for (const std::string& root : roots)
    {
        if (root.empty())
            continue;
        result.tried.push_back({StepByName, root, false});
        const Index& index = IndexOf(root);
        const auto found = index.byName.find(name);
        if (found == index.byName.end() || found->second.empty())
            continue;
        const auto rank = [&](const Candidate& c)
        {
            const Index::Folder& folder = index.folders[c.folder];
            std::string path = index.PathOf(c);
            const std::size_t size = path.size();
            return std::make_tuple(parent.empty() || folder.foldedName != parent, folder.depth, size,
                                   std::move(path));
        };
        const auto best =
            std::min_element(found->second.begin(), found->second.end(),
                             [&](const Candidate& a, const Candidate& b) { return rank(a) < rank(b); });
        result.found = true;
        result.step = StepByName;
        result.path = index.PathOf(*best);
        result.namesakes = static_cast<int>(found->second.size()) - 1;
        return true;
    }
    return false;
}

const CPathResolver::Result& CPathResolver::Resolve(const std::string& stored)
{
    if (const auto cached = cache.find(stored); cached != cache.end())
        return cached->second;
    Result& result = cache[stored];

    if (stored.empty())
    {
        result.problem = LoadString(IDS_PATH_PROBLEM_EMPTY);
        return result;
    }
    if (stored.find('\0') != std::string::npos)
    {
        result.problem = LoadString(IDS_PATH_PROBLEM_NUL);
        return result;
    }
    const StoredForm form = ParseStored(stored);
    for (const std::string& part : form.parts)
        if (part.size() > kMaxNameBytes)
            result.problem = LoadString(IDS_PATH_PROBLEM_LONG_NAME);

    const auto found = [&](Step step, std::string path) -> const Result&
    {
        result.found = true;
        result.step = step;
        result.path = std::move(path);
        return result;
    };

    // 1. As stored: only an absolute path names one file wherever the
    // program runs; a relative one means the document's folder (step 2).
    if (form.kind == StoredForm::Posix)
    {
        result.tried.push_back({StepAsStored, stored, false});
        if (IsRegularFile(stored))
            return found(StepAsStored, stored);
    }
    // 2. Beside the document.
    if (form.kind == StoredForm::Relative && !documentFolder.empty())
    {
        result.tried.push_back({StepRelative, JoinParts(documentFolder, form.parts), false});
        if (auto path = WalkCaseless(documentFolder, form.parts))
            return found(StepRelative, std::move(*path));
    }
    // 3. Through the drive map.
    if (form.kind == StoredForm::Drive && form.badDrive)
    {
        result.problem = FormatString(IDS_PATH_PROBLEM_DRIVE, form.key.c_str());
    }
    else if ((form.kind == StoredForm::Drive || form.kind == StoredForm::Unc) && !form.key.empty())
    {
        const auto mapping =
            std::find_if(settings.driveMap.begin(), settings.driveMap.end(),
                         [&](const auto& entry) { return SameKey(NormalKey(entry.first), form.key); });
        if (mapping == settings.driveMap.end())
        {
            result.tried.push_back({StepDriveMap, form.key, true});
        }
        else
        {
            result.tried.push_back({StepDriveMap, JoinParts(mapping->second, form.parts), false});
            if (auto path = WalkCaseless(mapping->second, form.parts))
                return found(StepDriveMap, std::move(*path));
        }
    }
    // 4. By name.
    std::vector<std::string> roots{documentFolder};
    roots.insert(roots.end(), settings.searchFolders.begin(), settings.searchFolders.end());
    FindByName(form.parts, roots, result);
    return result;
}

std::string CPathResolver::FindBelow(const std::string& stored, const std::string& folder)
{
    if (stored.find('\0') != std::string::npos || folder.empty())
        return {};
    Result result;
    return FindByName(ParseStored(stored).parts, {folder}, result) ? result.path : std::string();
}

std::string CPathResolver::FolderOf(const std::string& file)
{
    if (file.empty() || file.find('\0') != std::string::npos)
        return {};
    std::error_code error;
    const fs::path absolute = fs::absolute(file, error);
    return error ? std::string() : absolute.parent_path().native();
}

std::string CPathResolver::DescribeStep(Step step)
{
    switch (step)
    {
    case StepAsStored:
        return LoadString(IDS_RESOLVED_AS_STORED);
    case StepRelative:
        return LoadString(IDS_RESOLVED_RELATIVE);
    case StepDriveMap:
        return LoadString(IDS_RESOLVED_DRIVE_MAP);
    case StepByName:
        return LoadString(IDS_RESOLVED_BY_NAME);
    case StepRelinked:
        return LoadString(IDS_RESOLVED_RELINKED);
    }
    return {};
}

std::string CPathResolver::DescribeAttempt(const Attempt& attempt)
{
    switch (attempt.step)
    {
    case StepAsStored:
        return std::string(LoadString(IDS_TRIED_AS_STORED)).append(attempt.where);
    case StepRelative:
        return std::string(LoadString(IDS_TRIED_RELATIVE)).append(attempt.where);
    case StepDriveMap:
        if (attempt.noMapping)
            return std::string(LoadString(IDS_TRIED_NO_MAPPING)).append(attempt.where);
        return std::string(LoadString(IDS_TRIED_DRIVE_MAP)).append(attempt.where);
    case StepByName:
        return std::string(LoadString(IDS_TRIED_BY_NAME)).append(attempt.where);
    case StepRelinked:
        return attempt.where;
    }
    return {};
}
