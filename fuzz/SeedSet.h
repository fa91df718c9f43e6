#pragma once
// The seed inputs of one fuzz target, made from the test fixture builders.
// Each target's seeds come from their own file in seeds/, which registers a
// maker with a static RegisterSeeds; fuzz-make-seeds writes them all as
// corpus/<target>/seed-<name>.

#include "support/RiffBuilder.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CSeedSet
{
public:
    void Add(std::string name, Bytes bytes) { seeds.emplace_back(std::move(name), std::move(bytes)); }
    void Add(std::string name, std::string_view text)
    {
        Add(std::move(name), Bytes(text.begin(), text.end()));
    }
    const std::vector<std::pair<std::string, Bytes>>& Seeds() const { return seeds; }

private:
    std::vector<std::pair<std::string, Bytes>> seeds;
};

using SeedMaker = void (*)(CSeedSet&);

struct RegisterSeeds
{
    RegisterSeeds(const char* target, SeedMaker make);
};

// target name and maker, in registration order.
std::vector<std::pair<std::string, SeedMaker>>& SeedMakers();
