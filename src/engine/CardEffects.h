#pragma once
// The card's eight reverb and eight chorus types as settings of FluidSynth's
// reverb (a room of a size, damping, stereo width and level) and chorus (a
// number of modulated delay lines, their level, speed, depth and wave).
// FluidSynth has no echo unit, so the delay types are approximated: a long,
// sparse, undamped reverb for "Delay" (spread wide for "Panning Delay"), and
// single slow or short chorus lines for the delay and flanger choruses.

struct ReverbSettings
{
    double roomSize = 0; // 0..1
    double damping = 0;  // 0..1
    double width = 0;    // 0..100
    double level = 0;    // 0..1
};

struct ChorusSettings
{
    int voices = 0;        // delay lines, 0..99
    double level = 0;      // 0..10
    double speed = 0;      // Hz, 0.1..5
    double depthMs = 0;    // 0..256
    bool triangle = false; // else sine
};

class CCardEffects
{
public:
    static constexpr int kTypeCount = 8;
    // Types outside 0..7 give the card's defaults ("Hall 2", "Chorus 3").
    static ReverbSettings Reverb(int type);
    static ChorusSettings Chorus(int type);
};
