// The card's presets become sound in the engine, not in the card: made once
// from the file the card pinned, again only when that file changes.

#include "engine/CardFonts.h"
#include "cardstate/CardJournal.h"
#include "engine/EngineFixture.h"
#include "engine/MemoryFontLoader.h"
#include "support/SoundFontBuilder.h"

#include <fluidsynth.h>

#include <fstream>
#include <thread>

namespace
{
// A synth as the engine makes it, with the loader that reads images from memory.
struct Synth
{
    fluid_settings_t* settings = new_fluid_settings();
    fluid_synth_t* synth = nullptr;
    Synth()
    {
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 0);
        synth = new_fluid_synth(settings);
        if (fluid_sfloader_t* loader = CMemoryFontLoader::NewLoader(settings))
            fluid_synth_add_sfloader(synth, loader);
    }
    ~Synth()
    {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;
};

Bytes TwoPresetBank(std::uint32_t points)
{
    SoundFontBuilder builder;
    builder.SampleData(4 * points);
    const int low = builder.AddSample(0, points);
    const int high = builder.AddSample(points, 2 * points);
    builder.AddPreset("Low", 0, 0, {builder.AddInstrument("Low", {low})});
    builder.AddPreset("High", 1, 0, {builder.AddInstrument("High", {high})});
    return builder.Build();
}
} // namespace

TEST_F(EngineTest, APresetIsMadeIntoSoundOnceAndAgainOnlyWhenItsFileChanges)
{
    const std::string bank = files.Write("two.sbk", TwoPresetBank(4000));
    ASSERT_TRUE(session->LoadPreset(5, 1, bank, 0, nullptr));
    ASSERT_TRUE(session->LoadPreset(5, 2, bank, 1, nullptr));
    ASSERT_TRUE(session->LoadPreset(6, 2, bank, 1, nullptr));
    const CCardModel state = CardStateOnDisk::Read(home.Path()).model;
    ASSERT_EQ(state.presets.size(), 3u);
    // The card converts nothing; its presets from one file share one pin of it.
    EXPECT_EQ(state.presets.at({5, 1}).memory, state.presets.at({6, 2}).memory);

    Synth synth;
    CCardFonts fonts(synth.synth, home.Path());
    EXPECT_TRUE(fonts.Update(state).empty());
    EXPECT_EQ(fonts.Conversions(), 3u);
    EXPECT_TRUE(fonts.HasSound(5, 1) && fonts.HasSound(5, 2) && fonts.HasSound(6, 2));
    EXPECT_TRUE(fonts.Problems().empty());

    // The same state again makes nothing; one slot cleared makes nothing either.
    EXPECT_TRUE(fonts.Update(state).empty());
    CCardModel fewer = state;
    fewer.presets.erase({6, 2});
    EXPECT_EQ(fonts.Update(fewer).size(), 1u) << "the cleared slot's font is handed back";
    EXPECT_EQ(fonts.Conversions(), 3u);

    // The pinned file written again in place is made again.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    {
        const Bytes again = TwoPresetBank(4000);
        std::ofstream pin(home.File(CCardModel::MemoryFileName(state.presets.at({5, 1}).memory)),
                          std::ios::binary);
        pin.write(reinterpret_cast<const char*>(again.data()), static_cast<std::streamsize>(again.size()));
        ASSERT_TRUE(pin.good());
    }
    const std::set<int> replaced = fonts.Update(fewer);
    EXPECT_EQ(replaced.size(), 2u);
    EXPECT_EQ(fonts.Conversions(), 5u);
    EXPECT_TRUE(fonts.HasSound(5, 1) && fonts.HasSound(5, 2));
    fonts.Unload(replaced);

    // Its file gone, the preset still sounds from the card's pin of it.
    ASSERT_EQ(::unlink(bank.c_str()), 0);
    const auto engine = Engine();
    EXPECT_TRUE(engine->HasSound(5, 1));
    EXPECT_GT(Peak(Play(*engine, 5, 1, 60).left), 0.01);
}
