// Seeds of the Emux card library's manager target: banks of both versions
// (with global zones, key ranges and a looped sample), a device that takes
// everything, one that refuses a load part way, one that goes, one with
// little memory and a busy one, and scripts of loads, clears and names.

#include "SeedSet.h"

#include "support/SoundFontBuilder.h"

#include <algorithm>
#include <cstdint>

namespace
{
enum Op : std::uint8_t
{
    LoadBank,
    LoadPreset,
    LoadPresetToo,
    ClearBank,
    ClearPreset,
    GetMemory,
    GetPresetName,
    GetBankName,
    SelectSynthBank,
    SetEffects,
};

Bytes Bank(std::uint16_t version)
{
    SoundFontBuilder bank;
    bank.Version(version).Info("INAM", "Seed").SampleData(3000);
    const int a = bank.AddSample(0, 300);
    const int b = bank.AddSample(346, 900);
    const int looped = bank.AddInstrumentZones(
        "Looped",
        {{{48, 60}}, {{kSfGenKeyRange, 0x4000}, {54, 1}, {kSfGenSampleId, static_cast<std::uint16_t>(b)}}});
    bank.AddPreset("One", 0, 0, {bank.AddInstrument("One", {a, b})});
    bank.AddPresetZones(
        "Two", 5, 0,
        {{{48, 20}}, {{kSfGenKeyRange, 0x7F20}, {kSfGenInstrument, static_cast<std::uint16_t>(looped)}}});
    return bank.Build();
}

class Script
{
public:
    // Sized once and filled in place: GCC's -O3 bounds warnings misread
    // inserts into a vector that grew from two bytes.
    Script(const Bytes& bank, std::initializer_list<std::uint8_t> device)
        : bytes(2 + bank.size() + device.size())
    {
        bytes[0] = static_cast<std::uint8_t>(bank.size() & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(bank.size() >> 8);
        std::copy(bank.begin(), bank.end(), bytes.begin() + 2);
        std::copy(device.begin(), device.end(), bytes.begin() + 2 + static_cast<std::ptrdiff_t>(bank.size()));
    }
    Script& Step(Op op, std::uint8_t bank, std::uint8_t slot, std::uint8_t source = 0)
    {
        bytes.insert(bytes.end(), {op, bank, slot, 1, source, 4, 2});
        return *this;
    }
    Bytes Build() const { return bytes; }

private:
    Bytes bytes;
};

void Make(CSeedSet& seeds)
{
    for (const std::uint16_t version : {1, 2})
    {
        const Bytes bank = Bank(version);
        const std::string v = std::string("v").append(std::to_string(version)).append("-");
        seeds.Add(v + "loads", Script(bank, {2})
                                   .Step(LoadBank, 1, 0)
                                   .Step(LoadPreset, 2, 7, 5)
                                   .Step(LoadPreset, 0, 3, 0)
                                   .Step(GetPresetName, 2, 7)
                                   .Step(GetBankName, 1, 0)
                                   .Step(GetMemory, 0, 0)
                                   .Step(ClearPreset, 1, 5)
                                   .Step(ClearBank, 1, 0)
                                   .Step(SelectSynthBank, 2, 0)
                                   .Step(ClearBank, 2, 0)
                                   .Build());
        seeds.Add(v + "refused", Script(bank, {1, 3}).Step(LoadBank, 4, 0).Step(LoadPreset, 4, 1, 5).Build());
        seeds.Add(v + "gone", Script(bank, {3, 4}).Step(LoadPreset, 1, 1, 0).Step(LoadBank, 2, 0).Build());
        seeds.Add(v + "little-memory", Script(bank, {5, 0, 100, 0}).Step(LoadBank, 3, 0).Build());
    }
    const Bytes bank = Bank(2);
    seeds.Add("busy", Script(bank, {0}).Step(LoadBank, 1, 0).Build());
    seeds.Add("damaged", Script(Bytes(bank.begin(), bank.begin() + 200), {2}).Step(LoadBank, 1, 0).Build());
}

const RegisterSeeds registration("EmuxManager", Make);
} // namespace
