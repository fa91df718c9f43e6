// The card driver's registry file: whatever text is parsed, the tree it gives
// must survive being written and parsed again unchanged, enumerate as it
// answers lookups, and keep doing so after edits with names and values taken
// from the input (quotes, backslashes, line breaks and all).

#include "FuzzTarget.h"

#include "platform/RegistryStore.h"

#include <string>

namespace
{
using Tree = CRegistryStore::Tree;

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Walks the tree through its public lookups, checking that they agree with
// one another, and describes it as text.
void Walk(const Tree& tree, const std::string& key, int depth, std::string& out)
{
    FUZZ_CHECK(tree.KeyExists(key));
    const auto values = tree.Values(key);
    for (std::size_t i = 0; i < values.size(); ++i)
    {
        const auto& [name, value] = values[i];
        for (std::size_t j = 0; j < i; ++j)
            FUZZ_CHECK(!SameName(values[j].first, name));
        FUZZ_CHECK(tree.GetValue(key, name) == value);
        out += '"' + name + "\"=\"" + value + "\"\n";
    }
    const auto subkeys = tree.Subkeys(key);
    for (std::size_t i = 0; i < subkeys.size(); ++i)
    {
        const std::string& name = subkeys[i];
        FUZZ_CHECK(!name.empty() && name.find_first_of("\\\r\n") == std::string::npos);
        FUZZ_CHECK(tree.EnumKey(key, i) == name);
        for (std::size_t j = 0; j < i; ++j)
            FUZZ_CHECK(!SameName(subkeys[j], name));
        out += std::string(static_cast<std::size_t>(depth), ' ') + '[' + name + "]\n";
        Walk(tree, key.empty() ? name : key + '\\' + name, depth + 1, out);
    }
    FUZZ_CHECK(!tree.EnumKey(key, subkeys.size()));
}

std::string Describe(const Tree& tree)
{
    std::string out;
    Walk(tree, "", 0, out);
    return out;
}

// parse(serialize(tree)) is the tree again, and serializing that gives the same text.
void CheckRoundTrip(const Tree& tree)
{
    const std::string text = tree.Serialize();
    const Tree again = Tree::Parse(text);
    FUZZ_CHECK(Describe(again) == Describe(tree));
    FUZZ_CHECK(again.Serialize() == text);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first bytes pick the edits; the rest is the file.
    CFuzzInput input(data, size);
    const std::uint8_t edits = input.Byte();
    const std::string_view text = AsText(input.Rest(), input.RestSize());

    Tree tree = Tree::Parse(text);
    CheckRoundTrip(tree);

    // Names and values for the edits are slices of the file text.
    const auto slice = [&](std::size_t at, std::size_t length)
    { return text.empty() ? std::string_view() : text.substr(at % text.size(), length); };
    const std::string key = "Software\\" + std::string(slice(0, 12));
    const std::string_view name = slice(size / 3, 8);
    const std::string_view value = slice(size / 2, 40);
    const std::string parent = key.substr(0, key.rfind('\\'));

    if (edits & 1)
    {
        const bool created = tree.SetValue(key, name, value);
        if (created)
        {
            const std::string stored(value.substr(0, value.find('\0')));
            FUZZ_CHECK(tree.GetValue(key, name) == stored);
        }
    }
    if (edits & 2)
        FUZZ_CHECK(tree.CreateKey(parent + "\\Fuzz\\Key") == tree.KeyExists(parent + "\\Fuzz\\Key"));
    if (edits & 4)
    {
        const bool had = tree.GetValue(key, name).has_value();
        FUZZ_CHECK(tree.DeleteValue(key, name) == had);
        FUZZ_CHECK(!tree.GetValue(key, name));
    }
    const std::string_view leaf = slice(size / 5, 6);
    const auto firstChild = tree.EnumKey("", 0);
    if ((edits & 8) && firstChild && !leaf.empty() && leaf.find('\\') == std::string_view::npos)
    {
        const std::size_t childCount = tree.Subkeys(*firstChild).size();
        // One name part below the first key: deleting it takes one subkey away.
        const std::string child = *firstChild + "\\" + std::string(leaf);
        const bool existed = tree.KeyExists(child);
        const bool deleted = tree.DeleteKey(child);
        FUZZ_CHECK(deleted == existed);
        if (deleted)
        {
            FUZZ_CHECK(!tree.KeyExists(child));
            FUZZ_CHECK(tree.Subkeys(*firstChild).size() + 1 == childCount);
        }
    }
    CheckRoundTrip(tree);
    return 0;
}
