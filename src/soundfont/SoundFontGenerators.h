#pragma once
// SoundFont generator operators by number, as both versions number them. A
// few numbers meant other things in version 1; those carry both names.

#include <cstdint>

enum class SoundFontGenerator : std::uint16_t
{
    StartOffset = 0,
    EndOffset = 1,
    StartLoopOffset = 2,
    EndLoopOffset = 3,
    StartCoarseOffset = 4,
    ModLfoToPitch = 5,
    VibLfoToPitch = 6,
    ModEnvToPitch = 7,
    FilterCutoff = 8,
    FilterQ = 9,
    ModLfoToFilter = 10,
    ModEnvToFilter = 11,
    EndCoarseOffset = 12,
    ModLfoToVolume = 13,
    ChorusSend = 15,
    ReverbSend = 16,
    Pan = 17,
    ModLfoDelay = 21,
    ModLfoFrequency = 22,
    VibLfoDelay = 23,
    VibLfoFrequency = 24,
    ModEnvDelay = 25,
    ModEnvAttack = 26,
    ModEnvHold = 27,
    ModEnvDecay = 28,
    ModEnvSustain = 29,
    ModEnvRelease = 30,
    KeyToModEnvHold = 31,
    KeyToModEnvDecay = 32,
    VolEnvDelay = 33,
    VolEnvAttack = 34,
    VolEnvHold = 35,
    VolEnvDecay = 36,
    VolEnvSustain = 37,
    VolEnvRelease = 38,
    KeyToVolEnvHold = 39,
    KeyToVolEnvDecay = 40,
    Instrument = 41, // preset zone: the amount is an instrument index
    KeyRange = 43,
    VelRange = 44,
    StartLoopCoarseOffset = 45,
    Key = 46,
    Velocity = 47,
    Attenuation = 48,
    EndLoopCoarseOffset = 50,
    CoarseTune = 51,
    FineTune = 52,
    SampleId = 53, // instrument zone: the amount is a sample index
    SampleModes = 54,
    SamplePitch = 55, // version 1 only: the sample's pitch in cents (reserved in version 2)
    ScaleTuning = 56, // version 1: 0 = 100 cents a key, 1 = 50; version 2: cents a key
    ExclusiveClass = 57,
    RootKey = 58, // version 1: shifts the original key by (value - 60); version 2: overrides it
    Count = 61,   // operators at or above are unknown and ignored
};

constexpr std::uint16_t GeneratorNumber(SoundFontGenerator generator)
{
    return static_cast<std::uint16_t>(generator);
}

// The operators the bank writers handle one by one, as numbers.
inline constexpr std::uint16_t kGenKeyRange = GeneratorNumber(SoundFontGenerator::KeyRange);
inline constexpr std::uint16_t kGenVelRange = GeneratorNumber(SoundFontGenerator::VelRange);
inline constexpr std::uint16_t kGenInstrument = GeneratorNumber(SoundFontGenerator::Instrument);
inline constexpr std::uint16_t kGenSampleId = GeneratorNumber(SoundFontGenerator::SampleId);
inline constexpr std::uint16_t kGenSampleModes = GeneratorNumber(SoundFontGenerator::SampleModes);
inline constexpr std::uint16_t kGenCount = GeneratorNumber(SoundFontGenerator::Count);
