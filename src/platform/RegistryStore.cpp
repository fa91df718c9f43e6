#include "platform/RegistryStore.h"

#include "platform/AtomicFile.h"
#include "platform/CardHome.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{
constexpr std::string_view kRoot = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::size_t kQueryLimit = 255; // a 256-byte buffer less its NUL

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The name parts of a key path; empty parts (doubled or outer backslashes) are dropped.
std::vector<std::string_view> SplitKey(std::string_view key)
{
    std::vector<std::string_view> parts;
    while (!key.empty())
    {
        const auto slash = key.find('\\');
        const auto part = key.substr(0, slash);
        if (!part.empty())
            parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        key.remove_prefix(slash + 1);
    }
    return parts;
}

bool ValidKeyName(std::string_view name)
{
    return !name.empty() && name.find_first_of("\r\n") == std::string_view::npos;
}

template <typename Pairs> auto FindValue(Pairs& values, std::string_view name)
{
    return std::find_if(values.begin(), values.end(), [&](const auto& v) { return SameName(v.first, name); });
}

void Quote(std::string_view text, std::string& out)
{
    out += '"';
    for (char c : text)
    {
        switch (c)
        {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    out += '"';
}

// Reads a quoted text at the start of line; removes it from line. Nothing
// when the quoting is broken.
std::optional<std::string> Unquote(std::string_view& line)
{
    if (line.empty() || line.front() != '"')
        return std::nullopt;
    std::string text;
    for (std::size_t i = 1; i < line.size(); ++i)
    {
        const char c = line[i];
        if (c == '"')
        {
            line.remove_prefix(i + 1);
            return text;
        }
        if (c != '\\')
        {
            text += c;
            continue;
        }
        if (++i == line.size())
            return std::nullopt;
        switch (line[i])
        {
        case '\\':
            text += '\\';
            break;
        case '"':
            text += '"';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string_view Trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The key a section header names, relative to the root; nothing for another root.
std::optional<std::string_view> SectionKey(std::string_view section)
{
    if (section.size() < kRoot.size() || !SameName(section.substr(0, kRoot.size()), kRoot))
        return std::nullopt;
    section.remove_prefix(kRoot.size());
    if (!section.empty() && section.front() != '\\')
        return std::nullopt;
    return section;
}

enum class Load
{
    Ok,
    Missing,
    Failed
};

Load LoadText(const std::string& path, std::string& text)
{
    if (ReadWholeFile(path, text))
        return Load::Ok;
    struct stat st
    {
    };
    return (::stat(path.c_str(), &st) != 0 && errno == ENOENT) ? Load::Missing : Load::Failed;
}

// Holds an exclusive flock on a file for its lifetime.
class CFileLock
{
public:
    explicit CFileLock(const std::string& path)
    {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        int result;
        do
            result = ::flock(fd, LOCK_EX);
        while (result != 0 && errno == EINTR);
        if (result != 0)
        {
            ::close(fd);
            fd = -1;
        }
    }
    ~CFileLock()
    {
        if (fd >= 0)
            ::close(fd); // closing drops the lock
    }
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;
    bool Held() const { return fd >= 0; }

private:
    int fd = -1;
};
} // namespace

// ---- Tree ----

const CRegistryStore::Tree::Node* CRegistryStore::Tree::Find(std::string_view key) const
{
    const Node* node = &root;
    for (const auto part : SplitKey(key))
    {
        const auto it = std::find_if(node->children.begin(), node->children.end(),
                                     [&](const Node& child) { return SameName(child.name, part); });
        if (it == node->children.end())
            return nullptr;
        node = &*it;
    }
    return node;
}

CRegistryStore::Tree::Node* CRegistryStore::Tree::Find(std::string_view key)
{
    return const_cast<Node*>(std::as_const(*this).Find(key));
}

CRegistryStore::Tree::Node* CRegistryStore::Tree::FindOrCreate(std::string_view key)
{
    const auto parts = SplitKey(key);
    if (!std::all_of(parts.begin(), parts.end(), ValidKeyName))
        return nullptr;
    Node* node = &root;
    for (const auto part : parts)
    {
        auto it = std::find_if(node->children.begin(), node->children.end(),
                               [&](const Node& child) { return SameName(child.name, part); });
        if (it == node->children.end())
        {
            node->children.push_back(Node{std::string(part), {}, {}});
            it = node->children.end() - 1;
        }
        node = &*it;
    }
    return node;
}

bool CRegistryStore::Tree::KeyExists(std::string_view key) const
{
    return Find(key) != nullptr;
}

bool CRegistryStore::Tree::CreateKey(std::string_view key)
{
    return FindOrCreate(key) != nullptr;
}

bool CRegistryStore::Tree::DeleteKey(std::string_view key)
{
    const auto parts = SplitKey(key);
    if (parts.empty())
        return false;
    const auto last = parts.back();
    // The parent is the path up to the last name part.
    Node* parent = Find(key.substr(0, static_cast<std::size_t>(last.data() - key.data())));
    if (!parent)
        return false;
    const auto it = std::find_if(parent->children.begin(), parent->children.end(),
                                 [&](const Node& child) { return SameName(child.name, last); });
    if (it == parent->children.end())
        return false;
    parent->children.erase(it);
    return true;
}

std::optional<std::string> CRegistryStore::Tree::EnumKey(std::string_view key, std::size_t index) const
{
    const Node* node = Find(key);
    if (!node || index >= node->children.size())
        return std::nullopt;
    return node->children[index].name;
}

std::vector<std::string> CRegistryStore::Tree::Subkeys(std::string_view key) const
{
    std::vector<std::string> names;
    if (const Node* node = Find(key))
        for (const auto& child : node->children)
            names.push_back(child.name);
    return names;
}

std::optional<std::string> CRegistryStore::Tree::GetValue(std::string_view key, std::string_view name) const
{
    const Node* node = Find(key);
    if (!node)
        return std::nullopt;
    const auto it = FindValue(node->values, name);
    if (it == node->values.end())
        return std::nullopt;
    return it->second;
}

bool CRegistryStore::Tree::SetValue(std::string_view key, std::string_view name, std::string_view value)
{
    Node* node = FindOrCreate(key);
    if (!node)
        return false;
    value = value.substr(0, value.find('\0'));
    const auto it = FindValue(node->values, name);
    if (it == node->values.end())
        node->values.emplace_back(std::string(name), std::string(value));
    else
        it->second.assign(value);
    return true;
}

bool CRegistryStore::Tree::DeleteValue(std::string_view key, std::string_view name)
{
    Node* node = Find(key);
    if (!node)
        return false;
    const auto it = FindValue(node->values, name);
    if (it == node->values.end())
        return false;
    node->values.erase(it);
    return true;
}

std::vector<std::pair<std::string, std::string>> CRegistryStore::Tree::Values(std::string_view key) const
{
    const Node* node = Find(key);
    return node ? node->values : std::vector<std::pair<std::string, std::string>>{};
}

void CRegistryStore::Tree::Write(const Node& node, const std::string& path, std::string& out)
{
    if (!path.empty() || !node.values.empty())
    {
        out += '[';
        out += kRoot;
        if (!path.empty())
            out += '\\' + path;
        out += "]\n";
        for (const auto& [name, value] : node.values)
        {
            if (name.empty())
                out += '@';
            else
                Quote(name, out);
            out += '=';
            Quote(value, out);
            out += '\n';
        }
        out += '\n';
    }
    for (const auto& child : node.children)
        Write(child, path.empty() ? child.name : path + '\\' + child.name, out);
}

std::string CRegistryStore::Tree::Serialize() const
{
    std::string out(kHeader);
    out += "\n\n";
    Write(root, "", out);
    return out;
}

CRegistryStore::Tree CRegistryStore::Tree::Parse(std::string_view text)
{
    Tree tree;
    Node* current = nullptr;
    while (!text.empty())
    {
        const auto end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';' || line == kHeader)
            continue;
        if (line.front() == '[')
        {
            current = nullptr;
            if (line.back() == ']')
                if (const auto key = SectionKey(line.substr(1, line.size() - 2)))
                    current = tree.FindOrCreate(*key);
            continue;
        }
        if (!current)
            continue;
        std::optional<std::string> name;
        if (line.front() == '@')
        {
            name.emplace();
            line.remove_prefix(1);
        }
        else
        {
            name = Unquote(line);
        }
        if (!name)
            continue;
        line = Trim(line);
        if (line.empty() || line.front() != '=')
            continue;
        line = Trim(line.substr(1));
        auto value = Unquote(line);
        if (!value || !Trim(line).empty())
            continue;
        const auto it = FindValue(current->values, *name);
        if (it == current->values.end())
            current->values.emplace_back(std::move(*name), std::move(*value));
        else
            it->second = std::move(*value);
    }
    return tree;
}

// ---- Store ----

CRegistryStore::CRegistryStore() : CRegistryStore(CardHomePath()) {}

CRegistryStore::CRegistryStore(std::string folderPath) : folder(std::move(folderPath)) {}

std::string CRegistryStore::FilePath() const
{
    return folder + "/registry.reg";
}

CRegistryStore::Tree CRegistryStore::Read() const
{
    std::string text;
    return LoadText(FilePath(), text) == Load::Ok ? Tree::Parse(text) : Tree();
}

std::optional<std::string> CRegistryStore::QueryString(std::string_view key, std::string_view name) const
{
    auto value = Read().GetValue(key, name);
    if (value && value->size() > kQueryLimit)
        value->resize(kQueryLimit);
    return value;
}

std::optional<std::string> CRegistryStore::QueryWholeString(std::string_view key, std::string_view name) const
{
    return Read().GetValue(key, name);
}

std::optional<std::string> CRegistryStore::EnumKey(std::string_view key, std::size_t index) const
{
    return Read().EnumKey(key, index);
}

bool CRegistryStore::Update(const std::function<void(Tree&)>& change, CAtomicFile::Durability durability)
{
    if (!MakeFolders(folder))
        return false;
    CFileLock lock(folder + "/registry.lock");
    if (!lock.Held())
        return false;
    std::string old;
    const Load loaded = LoadText(FilePath(), old);
    // A file that exists but cannot be read must not be replaced by an empty tree.
    if (loaded == Load::Failed)
        return false;
    Tree tree = loaded == Load::Ok ? Tree::Parse(old) : Tree();
    change(tree);
    const std::string text = tree.Serialize();
    if (loaded == Load::Ok && text == old)
        return true;
    return WriteWholeFileAtomic(FilePath(), text, durability);
}
