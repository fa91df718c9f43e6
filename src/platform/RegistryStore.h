#pragma once
// The card driver's HKEY_LOCAL_MACHINE entries, kept in a REGEDIT4-style text
// file, <folder>/registry.reg:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Creative\Settings]
//   "Synthesizer"="1"
//   "GM"="C:\\path with \"quotes\""
//
// Key paths are relative to HKEY_LOCAL_MACHINE, separated by backslashes.
// Key and value names compare case-insensitively (ASCII, as the registry
// does) but keep the spelling they were created with. Subkeys enumerate in
// the order they were created (the order of the file), which never changes
// while they exist. Values are strings.
//
// Lines the parser does not understand (other roots, other value types,
// broken quoting, binary junk) are skipped, so a damaged file yields what can
// still be read. Writers go through Update: it holds an exclusive lock on
// <folder>/registry.lock across reading, changing and atomically replacing
// the file, so two processes never lose each other's changes and a crash
// never leaves a half-written file. Readers need no lock.

#include "platform/AtomicFile.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CRegistryStore
{
public:
    // The keys and values in memory; what Read returns and Update changes.
    class Tree
    {
    public:
        bool KeyExists(std::string_view key) const;
        // Creates the key and its missing parents; false for an empty name
        // part or a name holding a line break.
        bool CreateKey(std::string_view key);
        // Removes the key with everything below it; false when it is missing.
        bool DeleteKey(std::string_view key);
        // The name of the index-th subkey (0 first), or nothing past the last
        // one or for a missing key.
        std::optional<std::string> EnumKey(std::string_view key, std::size_t index) const;
        std::vector<std::string> Subkeys(std::string_view key) const;

        std::optional<std::string> GetValue(std::string_view key, std::string_view name) const;
        // Creates the key when missing. An existing value keeps its name's
        // spelling. The value is cut at a NUL byte, as a registry string is.
        bool SetValue(std::string_view key, std::string_view name, std::string_view value);
        bool DeleteValue(std::string_view key, std::string_view name);
        // Name and value pairs of a key in their stored order.
        std::vector<std::pair<std::string, std::string>> Values(std::string_view key) const;

        // The file text, and the tree a file text describes.
        std::string Serialize() const;
        static Tree Parse(std::string_view text);

    private:
        struct Node
        {
            std::string name;
            std::vector<std::pair<std::string, std::string>> values;
            std::vector<Node> children;
        };
        const Node* Find(std::string_view key) const;
        Node* Find(std::string_view key);
        Node* FindOrCreate(std::string_view key);
        static void Write(const Node& node, const std::string& path, std::string& out);

        Node root;
    };

    // The store in the card's home folder (CardHomePath()).
    CRegistryStore();
    // The store in another folder (tests, tools).
    explicit CRegistryStore(std::string folder);

    const std::string& Folder() const { return folder; }
    std::string FilePath() const;

    // The current content; an empty tree when the file is missing or unreadable.
    Tree Read() const;
    // A string value as a 256-byte registry read gives it: at most 255 bytes.
    // Nothing for a missing key or value.
    std::optional<std::string> QueryString(std::string_view key, std::string_view name) const;
    // A string value whatever its length: file paths, which a cut would make
    // name a file that does not exist.
    std::optional<std::string> QueryWholeString(std::string_view key, std::string_view name) const;
    std::optional<std::string> EnumKey(std::string_view key, std::size_t index) const;

    // Reads the file, lets change edit the tree and writes the result back,
    // all under the lock; creates the folder when missing. False (file
    // untouched) when the folder, lock or file cannot be used. An exception
    // from change leaves the file untouched and passes on. Synced to disk
    // unless the caller says the values need not outlive a power failure.
    bool Update(const std::function<void(Tree&)>& change,
                CAtomicFile::Durability durability = CAtomicFile::Durability::Synced);

private:
    std::string folder;
};
