#pragma once
// The card's fixed numbers, in one place for everything that checks a bank,
// a slot, a synth mode or an effect type: the document, the card's session,
// the emulated card, its sound engine and both front ends.

namespace CardLimits
{
// Bank 0 is the synth bank; banks 1 to 127 are the user banks.
constexpr int kSynthBank = 0;
constexpr int kFirstUserBank = 1;
constexpr int kLastBank = 127;
// Program slots 0 to 127 in every bank.
constexpr int kSlotsPerBank = 128;
constexpr int kLastSlot = kSlotsPerBank - 1;
// Synth modes: 0 General MIDI, 1 Roland GS, 2 MT-32.
constexpr int kSynthModes = 3;
constexpr int kLastSynthMode = kSynthModes - 1;
// Reverb and chorus types 0 to 7.
constexpr int kEffectTypes = 8;
constexpr int kLastEffect = kEffectTypes - 1;

constexpr bool IsBank(int bank)
{
    return bank >= kSynthBank && bank <= kLastBank;
}
constexpr bool IsUserBank(int bank)
{
    return bank >= kFirstUserBank && bank <= kLastBank;
}
constexpr bool IsSlot(int slot)
{
    return slot >= 0 && slot <= kLastSlot;
}
constexpr bool IsSynthMode(int mode)
{
    return mode >= 0 && mode <= kLastSynthMode;
}
constexpr bool IsEffect(int type)
{
    return type >= 0 && type <= kLastEffect;
}
} // namespace CardLimits
