#include "engine/CardEffects.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <memory>

namespace
{
// FluidSynth's own range of a setting.
std::pair<double, double> Range(const char* name)
{
    const std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)> settings(new_fluid_settings(),
                                                                                       delete_fluid_settings);
    double low = 0, high = 0;
    EXPECT_EQ(fluid_settings_getnum_range(settings.get(), name, &low, &high), FLUID_OK) << name;
    return {low, high};
}

std::pair<int, int> IntRange(const char* name)
{
    const std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)> settings(new_fluid_settings(),
                                                                                       delete_fluid_settings);
    int low = 0, high = 0;
    EXPECT_EQ(fluid_settings_getint_range(settings.get(), name, &low, &high), FLUID_OK) << name;
    return {low, high};
}

void ExpectWithin(double value, std::pair<double, double> range, const std::string& what)
{
    EXPECT_GE(value, range.first) << what;
    EXPECT_LE(value, range.second) << what;
}
} // namespace

TEST(CardEffects, EverySettingIsOneFluidSynthTakes)
{
    for (int type = 0; type < CCardEffects::kTypeCount; ++type)
    {
        const std::string name = "type " + std::to_string(type);
        const ReverbSettings reverb = CCardEffects::Reverb(type);
        ExpectWithin(reverb.roomSize, Range("synth.reverb.room-size"), name + " room size");
        ExpectWithin(reverb.damping, Range("synth.reverb.damp"), name + " damping");
        ExpectWithin(reverb.width, Range("synth.reverb.width"), name + " width");
        ExpectWithin(reverb.level, Range("synth.reverb.level"), name + " reverb level");
        const ChorusSettings chorus = CCardEffects::Chorus(type);
        const auto [fewest, most] = IntRange("synth.chorus.nr");
        EXPECT_GE(chorus.voices, std::max(fewest, 1)) << name;
        EXPECT_LE(chorus.voices, most) << name;
        ExpectWithin(chorus.level, Range("synth.chorus.level"), name + " chorus level");
        ExpectWithin(chorus.speed, Range("synth.chorus.speed"), name + " speed");
        ExpectWithin(chorus.depthMs, Range("synth.chorus.depth"), name + " depth");
    }
}

TEST(CardEffects, RoomsAndHallsGrowInOrderAndUnknownTypesAreTheCardsDefaults)
{
    // "Room 1" < "Room 2" < "Room 3" < "Hall 1" < "Hall 2".
    for (int type = 1; type <= 4; ++type)
        EXPECT_GT(CCardEffects::Reverb(type).roomSize, CCardEffects::Reverb(type - 1).roomSize) << type;
    EXPECT_GT(CCardEffects::Reverb(7).width, CCardEffects::Reverb(6).width)
        << "the panning delay spreads wider";
    // The choruses deepen from 1 to 4; the flanger's line is the shortest.
    for (int type = 1; type <= 3; ++type)
        EXPECT_GT(CCardEffects::Chorus(type).depthMs, CCardEffects::Chorus(type - 1).depthMs) << type;
    for (int type = 0; type < CCardEffects::kTypeCount; ++type)
        EXPECT_LE(CCardEffects::Chorus(5).depthMs, CCardEffects::Chorus(type).depthMs) << type;

    for (const int type : {-1, 8, 1000})
    {
        EXPECT_EQ(CCardEffects::Reverb(type).roomSize, CCardEffects::Reverb(4).roomSize) << type;
        EXPECT_EQ(CCardEffects::Chorus(type).depthMs, CCardEffects::Chorus(2).depthMs) << type;
    }
}
