#pragma once
// A card home folder of a test's own, named in $TAMBERLY_CARD_HOME for the
// object's lifetime (where the emulated card keeps its state and registry).
// The variable's earlier value, or its absence, comes back afterwards, so a
// test never leaves the next one pointing at a removed folder.

#include "support/RiffBuilder.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

class ScopedCardHome
{
public:
    ScopedCardHome()
    {
        if (const char* old = std::getenv(kVariable))
            previous = old;
        ::setenv(kVariable, folder.Path().c_str(), 1);
    }
    ~ScopedCardHome()
    {
        if (previous)
            ::setenv(kVariable, previous->c_str(), 1);
        else
            ::unsetenv(kVariable);
    }
    ScopedCardHome(const ScopedCardHome&) = delete;
    ScopedCardHome& operator=(const ScopedCardHome&) = delete;

    const std::string& Path() const { return folder.Path(); }
    std::string File(std::string_view name) const { return folder.File(name); }

private:
    static constexpr const char* kVariable = "TAMBERLY_CARD_HOME";
    TempDir folder;
    std::optional<std::string> previous;
};
