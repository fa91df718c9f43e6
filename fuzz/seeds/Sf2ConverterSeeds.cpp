// Seeds of the SoundFont 1 to 2 converter target: the SoundFont bank target's
// seeds, each behind a preset number, bank and program (0:0:0 and 5:2:9, so
// that both a present and an absent preset are asked for).

#include "SeedSet.h"

#include <cstdlib>

namespace
{
void Make(CSeedSet& seeds)
{
    for (const auto& [target, make] : SeedMakers())
    {
        if (target != "SoundFontBank")
            continue;
        CSeedSet banks;
        make(banks);
        for (const auto& [name, bytes] : banks.Seeds())
            for (const Bytes& prefix : {Bytes{0, 0, 0}, Bytes{5, 2, 9}})
            {
                Bytes seed = prefix;
                seed.insert(seed.end(), bytes.begin(), bytes.end());
                seeds.Add(name + "-" + std::to_string(prefix[0]), std::move(seed));
            }
        return;
    }
    std::abort(); // the bank seeds moved: this target would have none
}

const RegisterSeeds registration("Sf2Converter", Make);
} // namespace
