#pragma once
// Environment variables set for a scope. The variable's earlier value, or its
// absence, comes back afterwards, so a test never leaves the next one
// pointing at a removed folder or another user's settings.

#include "support/RiffBuilder.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::string& value) : variable(name)
    {
        if (const char* old = std::getenv(name))
            previous = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (previous)
            ::setenv(variable.c_str(), previous->c_str(), 1);
        else
            ::unsetenv(variable.c_str());
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string variable;
    std::optional<std::string> previous;
};

// A card home folder of a test's own, named in $TAMBERLY_CARD_HOME for the
// object's lifetime (where the emulated card keeps its state and registry).
class ScopedCardHome
{
public:
    ScopedCardHome() : variable("TAMBERLY_CARD_HOME", folder.Path()) {}

    const std::string& Path() const { return folder.Path(); }
    std::string File(std::string_view name) const { return folder.File(name); }

private:
    TempDir folder; // made before the variable names it
    ScopedEnvironment variable;
};
