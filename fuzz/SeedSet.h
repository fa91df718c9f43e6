#pragma once
// The seed inputs of one fuzz target, made from the test fixture builders.
// Each target's seeds come from their own file in seeds/, which registers a
// maker with a static RegisterSeeds; fuzz-make-seeds writes them all as
// corpus/<target>/seed-<name>.

#include "support/RiffBuilder.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
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

// A leading byte (a seed's choice of what to do) and the bytes it works on.
// Built in place: GCC 12 at -O3 misreads an insert at the end of a one-byte
// vector as an overflow (-Wstringop-overflow).
template <typename... Ranges> Bytes WithLeadingByte(std::uint8_t first, const Ranges&... rest)
{
    Bytes bytes(1 + (std::size(rest) + ... + 0));
    bytes[0] = first;
    auto at = bytes.begin() + 1;
    ((at = std::copy(std::begin(rest), std::end(rest), at)), ...);
    return bytes;
}

struct RegisterSeeds
{
    RegisterSeeds(const char* target, SeedMaker make);
};

// target name and maker, in registration order.
std::vector<std::pair<std::string, SeedMaker>>& SeedMakers();
