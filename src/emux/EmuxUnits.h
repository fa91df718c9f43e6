#pragma once
// SoundFont 2 generator values in the EMU8000's register units, as the Emux
// driver passes them to the chip. Worked out from the chip's documented
// ranges: delays count 725 microsecond steps down from 0x8000, attack and
// hold are one byte each (0x7F the shortest), decay and release a byte on a
// logarithmic time scale, sustain levels 0.75 dB steps, LFO rates 0.042 Hz
// steps, modulation depths a signed byte over the range each destination has.
// Every result is clamped to its field.

#include <cstdint>

namespace emux
{
// timecents -> seconds.
double Seconds(int timecents);

// Delay register (volume and modulation envelopes, both LFOs).
std::uint16_t DelayRegister(int timecents);
// Attack in the low byte, hold in the high byte.
std::uint16_t AttackHoldRegister(int attackTimecents, int holdTimecents);
// A decay or release time as the byte the chip takes.
std::uint8_t DecayByte(int timecents);
// Volume envelope: decay in the low byte, sustain (centibels of attenuation) in the high.
std::uint16_t VolumeDecaySustain(int decayTimecents, int sustainCentibels);
// Modulation envelope: sustain given in tenths of a percent of its peak.
std::uint16_t ModDecaySustain(int decayTimecents, int sustainPermille);
// Release register: 0x80 in the high byte, the release byte low.
std::uint16_t ReleaseRegister(int timecents);
// An LFO's rate byte from absolute cents (8.176 Hz at 0).
std::uint8_t LfoFrequency(int absoluteCents);
// A signed modulation depth byte: value over fullScale maps to -128..127.
std::uint8_t DepthByte(int value, int fullScale);
// Initial filter cutoff byte from absolute cents; filter Q 0..15 from centibels.
std::uint8_t CutoffByte(int absoluteCents);
std::uint8_t FilterQ(int centibels);
// Attenuation in 0.375 dB steps from centibels.
std::uint8_t Attenuation(int centibels);
// Pan -500..500 (tenths of a percent, left to right) on the driver's 0..127 scale.
std::int8_t Pan(int pan);
// An effect send of 0..1000 (tenths of a percent) as 0..255.
std::uint8_t SendByte(int permille);
// Sample rate relative to 44100 Hz in 1/4096 octaves.
std::int16_t RateOffset(std::uint32_t sampleRate);
} // namespace emux
