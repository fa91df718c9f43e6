#pragma once
// A strict reader of SoundFont 2 files for tests: anything a careful player
// could object to throws std::runtime_error (chunk sizes, closing records,
// indices, generator order, a sample outside the data or without its 46
// points of silence). It shares no code with the program's writers.

#include "support/RiffBuilder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct RiffNode
{
    std::string id, type;
    Bytes data; // a list's data without its type
    std::vector<RiffNode> children;

    const RiffNode& Child(const std::string& key) const;
    std::vector<std::string> Keys() const;
};

struct Zone
{
    std::vector<std::pair<std::uint16_t, std::uint16_t>> generators;
    std::optional<int> Gen(std::uint16_t op) const
    {
        for (const auto& [o, amount] : generators)
            if (o == op)
                return static_cast<std::int16_t>(amount);
        return std::nullopt;
    }
    int Low(std::uint16_t rangeOp) const { return Gen(rangeOp) ? (*Gen(rangeOp) & 0xFF) : 0; }
    int High(std::uint16_t rangeOp) const { return Gen(rangeOp) ? ((*Gen(rangeOp) >> 8) & 0xFF) : 127; }
};

struct Item // a preset or an instrument
{
    std::string name;
    int program = 0, bank = 0;
    std::vector<Zone> zones;
};

struct Sample
{
    std::string name;
    std::uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0, rate = 0;
    int key = 0, correction = 0;
    int link = 0, type = 1;
};

struct Sf2
{
    RiffNode form;
    Bytes smpl;
    std::vector<Item> presets, instruments;
    std::vector<Sample> samples;

    std::int16_t Point(std::size_t index) const;
    std::string Info(const std::string& id) const;
};

struct Sf2Rules
{
    // What the version-1 converter writes: every sample mono at 44100 Hz.
    // Files that carry samples of other banks keep their rates and stereo pairs.
    bool cardSamplesOnly = true;
};

// An instrument's zones as a player sees them: the global zone (a first
// zone without a sample) gone, its generators in every zone that does not
// set them itself.
std::vector<Zone> PlayedZones(const Item& instrument);

// Throws std::runtime_error(what) unless condition holds.
void Require(bool condition, const std::string& what);

// The chunk tree of a RIFF file; evenSizes: every chunk size is even, as version 2 asks.
RiffNode ParseRiff(const Bytes& file, bool evenSizes);

Sf2 ReadSf2(const Bytes& file, Sf2Rules rules = {});
