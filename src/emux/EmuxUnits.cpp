#include "emux/EmuxUnits.h"

#include <algorithm>
#include <cmath>

namespace emux
{
namespace
{
template <typename T> T Clamp(double value, double low, double high)
{
    if (!(value >= low)) // NaN too
        return static_cast<T>(low);
    return static_cast<T>(std::min(value, high));
}
} // namespace

double Seconds(int timecents)
{
    // The format's floor -12000 (1 ms) and far beyond any envelope the chip can hold.
    return std::exp2(std::clamp(timecents, -12000, 8000) / 1200.0);
}

std::uint16_t DelayRegister(int timecents)
{
    // The format's floor is what every bank writes for "no delay".
    if (timecents <= -12000)
        return 0x8000;
    const double steps = Seconds(timecents) * 1000.0 / 0.725;
    return Clamp<std::uint16_t>(0x8000 - std::floor(steps), 0, 0x8000);
}

std::uint16_t AttackHoldRegister(int attackTimecents, int holdTimecents)
{
    // Attack: 0x7F is 6 ms, the time growing as 11878 ms / value; 0 would never rise.
    const double attackMs = Seconds(attackTimecents) * 1000.0;
    const auto attack = Clamp<std::uint16_t>(std::floor(11878.0 / std::max(attackMs, 1.0)), 1, 0x7F);
    // Hold: 0x7F holds nothing, each step less holds 92 ms more.
    const double holdMs = holdTimecents <= -12000 ? 0.0 : Seconds(holdTimecents) * 1000.0;
    const auto hold = Clamp<std::uint16_t>(0x7F - std::floor(holdMs / 92.0), 0, 0x7F);
    return static_cast<std::uint16_t>((hold << 8) | attack);
}

std::uint8_t DecayByte(int timecents)
{
    // 0x7F decays in 23 ms; every 12 steps below it doubles the time (0x01 about 23 s).
    const double ms = Seconds(timecents) * 1000.0;
    return Clamp<std::uint8_t>(0x7F - std::round(12.0 * std::log2(std::max(ms, 23.0) / 23.0)), 1, 0x7F);
}

std::uint16_t VolumeDecaySustain(int decayTimecents, int sustainCentibels)
{
    const auto sustain = Clamp<std::uint16_t>(0x7F - std::round(sustainCentibels / 7.5), 0, 0x7F);
    return static_cast<std::uint16_t>((sustain << 8) | DecayByte(decayTimecents));
}

std::uint16_t ModDecaySustain(int decayTimecents, int sustainPermille)
{
    const auto sustain = Clamp<std::uint16_t>(0x7F - std::round(sustainPermille * 127.0 / 1000.0), 0, 0x7F);
    return static_cast<std::uint16_t>((sustain << 8) | DecayByte(decayTimecents));
}

std::uint16_t ReleaseRegister(int timecents)
{
    return static_cast<std::uint16_t>(0x8000 | DecayByte(timecents));
}

std::uint8_t LfoFrequency(int absoluteCents)
{
    const double hz = 8.176 * std::exp2(std::clamp(absoluteCents, -16000, 4500) / 1200.0);
    return Clamp<std::uint8_t>(std::round(hz / 0.042), 0, 0xFF);
}

std::uint8_t DepthByte(int value, int fullScale)
{
    const auto depth = Clamp<int>(std::round(value * 128.0 / fullScale), -128, 127);
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(depth));
}

std::uint8_t CutoffByte(int absoluteCents)
{
    // 0x00 is 100 Hz (about 4500 cents), 0xFF 8 kHz and open (about 13500).
    return Clamp<std::uint8_t>(std::round((absoluteCents - 4500) * 255.0 / 9000.0), 0, 0xFF);
}

std::uint8_t FilterQ(int centibels)
{
    return Clamp<std::uint8_t>(centibels / 15.0, 0, 15);
}

std::uint8_t Attenuation(int centibels)
{
    return Clamp<std::uint8_t>(std::round(centibels / 3.75), 0, 0xFF);
}

std::int8_t Pan(int pan)
{
    return Clamp<std::int8_t>((std::clamp(pan, -500, 500) + 500) * 127.0 / 1000.0, 0, 127);
}

std::uint8_t SendByte(int permille)
{
    return Clamp<std::uint8_t>(std::clamp(permille, 0, 1000) * 255.0 / 1000.0, 0, 0xFF);
}

std::int16_t RateOffset(std::uint32_t sampleRate)
{
    if (sampleRate == 0)
        return 0;
    return Clamp<std::int16_t>(std::trunc(4096.0 * std::log2(sampleRate / 44100.0)), -32768, 32767);
}
} // namespace emux
