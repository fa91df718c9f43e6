#include "engine/MemoryFontLoader.h"
#include "soundfont/FluidProbe.h"
#include "soundfont/SoundFont2Converter.h"
#include "support/SoundFontBuilder.h"

#include <fluidsynth.h>
#include <gtest/gtest.h>

#include <memory>

namespace
{
// A synth reading through the loader; its presets listed by name.
class LoaderSynth
{
public:
    LoaderSynth()
    {
        fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
        synth.reset(new_fluid_synth(settings.get()));
        fluid_synth_add_sfloader(synth.get(), CMemoryFontLoader::NewLoader(settings.get()));
    }
    int Load(const std::string& name) { return fluid_synth_sfload(synth.get(), name.c_str(), 0); }
    std::vector<std::string> Presets(int id)
    {
        std::vector<std::string> names;
        fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth.get(), id);
        if (!font)
            return names;
        fluid_sfont_iteration_start(font);
        while (fluid_preset_t* preset = fluid_sfont_iteration_next(font))
            names.push_back(std::to_string(fluid_preset_get_banknum(preset)) + ':' +
                            std::to_string(fluid_preset_get_num(preset)) + ' ' +
                            fluid_preset_get_name(preset));
        return names;
    }
    fluid_synth_t* Get() { return synth.get(); }

private:
    std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)> settings{new_fluid_settings(),
                                                                                 delete_fluid_settings};
    std::unique_ptr<fluid_synth_t, decltype(&delete_fluid_synth)> synth{nullptr, delete_fluid_synth};
};

std::vector<std::uint8_t> ConvertedBank()
{
    SoundFontBuilder bank;
    bank.SampleData(8192);
    const int sample = bank.AddSample(0, 4000);
    bank.AddPreset("Organ", 3, 0, {bank.AddInstrument("Organ", {sample})});
    bank.AddPreset("Bells", 17, 2, {bank.AddInstrument("Bells", {sample})});
    const Bytes sbk = bank.Build();
    CMemorySource in(sbk);
    std::vector<std::uint8_t> sf2;
    EXPECT_TRUE(CSoundFont2Converter().ConvertBank(in, sf2));
    return sf2;
}
} // namespace

TEST(MemoryFontLoader, AnImageLoadsUnderItsNameAndIsGoneOnceWithdrawn)
{
    const std::size_t before = CMemoryFontLoader::PublishedCount();
    LoaderSynth synth;
    const std::string name = CMemoryFontLoader::Publish(ConvertedBank());
    EXPECT_EQ(name.rfind(CMemoryFontLoader::kPrefix, 0), 0u) << name;
    EXPECT_NE(CMemoryFontLoader::Publish({}), name) << "every image gets a name of its own";
    const int id = synth.Load(name);
    ASSERT_NE(id, FLUID_FAILED);
    EXPECT_EQ(synth.Presets(id), (std::vector<std::string>{"0:3 Organ", "2:17 Bells"}));

    // The font plays after its image is gone: FluidSynth keeps its own copy.
    CMemoryFontLoader::Withdraw(name);
    CMemoryFontLoader::Withdraw(name);
    ASSERT_EQ(fluid_synth_program_select(synth.Get(), 0, id, 0, 3), FLUID_OK);
    fluid_synth_noteon(synth.Get(), 0, 60, 100);
    std::vector<float> left(4410), right(4410);
    fluid_synth_write_float(synth.Get(), 4410, left.data(), 0, 1, right.data(), 0, 1);
    EXPECT_GT(Rms(left, 0, left.size()), 0.0);
    EXPECT_EQ(synth.Load(name), FLUID_FAILED) << "a withdrawn name opens nothing";

    // The empty image published above is still there: withdrawn, nothing is left.
    EXPECT_EQ(CMemoryFontLoader::PublishedCount(), before + 1);
}

TEST(MemoryFontLoader, DamagedImagesFailAndFilesOnDiskStillLoad)
{
    const FluidProbe quiet; // keeps FluidSynth's complaints off the terminal
    LoaderSynth synth;
    const std::vector<std::uint8_t> whole = ConvertedBank();
    // Cut short anywhere (inside the header, the samples, the preset data), the image is refused.
    for (const std::size_t length :
         {std::size_t{0}, std::size_t{7}, std::size_t{12}, whole.size() / 2, whole.size() - 1})
    {
        const std::string name = CMemoryFontLoader::Publish(
            std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(synth.Load(name), FLUID_FAILED) << length;
        CMemoryFontLoader::Withdraw(name);
    }
    EXPECT_EQ(synth.Load("mem:never-published"), FLUID_FAILED);

    TempDir dir;
    const std::string path = dir.Write("bank.sf2", Bytes(whole.begin(), whole.end()));
    const int id = synth.Load(path);
    ASSERT_NE(id, FLUID_FAILED);
    EXPECT_EQ(synth.Presets(id).size(), 2u);
    EXPECT_EQ(synth.Load(dir.File("missing.sf2")), FLUID_FAILED);
    EXPECT_FALSE(quiet.Messages().empty());
}
