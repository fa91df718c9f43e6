#include "engine/CardEffects.h"

#include "cardstate/CardModel.h"

namespace
{
// "Room 1" .. "Panning Delay": rooms and halls grow in size and lose damping;
// the plate is small but bright and dense; the delays ring long and dark.
constexpr ReverbSettings kReverbs[CCardEffects::kTypeCount] = {
    {0.20, 0.50, 0.6, 0.50},  // Room 1
    {0.35, 0.40, 0.8, 0.55},  // Room 2
    {0.50, 0.30, 1.0, 0.60},  // Room 3
    {0.70, 0.25, 1.0, 0.65},  // Hall 1
    {0.85, 0.20, 1.0, 0.70},  // Hall 2
    {0.60, 0.05, 1.0, 0.70},  // Plate
    {0.90, 0.70, 0.3, 0.45},  // Delay
    {0.90, 0.70, 50.0, 0.45}, // Panning Delay
};

// "Chorus 1" .. "Short DelayFB": the four choruses grow richer and deeper;
// the delays use one line with little modulation (the "FB" ones louder, as
// feedback would make them); the flanger sweeps one short line slowly.
constexpr ChorusSettings kChoruses[CCardEffects::kTypeCount] = {
    {3, 1.2, 0.30, 4.0, false},  // Chorus 1
    {3, 1.5, 0.45, 6.0, false},  // Chorus 2
    {4, 1.8, 0.40, 8.0, false},  // Chorus 3
    {5, 2.0, 0.25, 12.0, false}, // Chorus 4
    {1, 2.5, 0.12, 24.0, true},  // Feedback Delay
    {2, 2.0, 0.20, 1.5, true},   // Flanger
    {1, 1.5, 0.12, 3.0, false},  // Short Delay
    {2, 2.2, 0.12, 4.0, true},   // Short DelayFB
};
} // namespace

ReverbSettings CCardEffects::Reverb(int type)
{
    if (type < 0 || type >= kTypeCount)
        type = CCardModel::kDefaultReverb;
    return kReverbs[type];
}

ChorusSettings CCardEffects::Chorus(int type)
{
    if (type < 0 || type >= kTypeCount)
        type = CCardModel::kDefaultChorus;
    return kChoruses[type];
}
