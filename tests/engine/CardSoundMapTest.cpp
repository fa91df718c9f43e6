#include "engine/CardSoundMap.h"

#include <gtest/gtest.h>

namespace
{
using Source = SoundChoice::Source;

CCardModel CardWithBanks()
{
    CCardModel model;
    CCardModel::BankFile strings;
    strings.file = "/banks/strings.sbk";
    strings.presets = {{0, "Violin"}, {5, "Cello"}, {6, "Viola"}};
    EXPECT_EQ(model.LoadBankFile(3, strings, 1u << 30), CardResult::Ok);
    EXPECT_EQ(model.ClearSlot(3, 6), CardResult::Ok);
    EXPECT_EQ(model.LoadPreset(3, 5, {"/waves/a.sbk", 0, "Sine", 10, "abc"}, 1u << 30), CardResult::Ok);
    EXPECT_EQ(model.LoadPreset(3, 7, {"/waves/b.sbk", 0, "Saw", 10, ""}, 1u << 30), CardResult::Ok);
    EXPECT_EQ(model.LoadPreset(0, 9, {"/waves/c.sbk", 0, "Glock", 10, "def"}, 1u << 30), CardResult::Ok);
    return model;
}

bool NoKits(int)
{
    return false;
}
} // namespace

TEST(CardSoundMap, UserBanksPlayTheirPresetsBeforeTheBankFileAndNothingElse)
{
    const CCardModel model = CardWithBanks();
    EXPECT_EQ(CCardSoundMap::Choose(model, 3, 0), (SoundChoice{Source::BankFile, 3, 0, 0, 0}));
    EXPECT_EQ(CCardSoundMap::Choose(model, 3, 5), (SoundChoice{Source::Preset, 3, 5, 0, 0}))
        << "a preset loaded onto a bank file's slot covers it";
    EXPECT_EQ(CCardSoundMap::Choose(model, 3, 7), (SoundChoice{Source::Preset, 3, 7, 0, 0}))
        << "even one without sound of its own: the slot holds it";
    EXPECT_EQ(CCardSoundMap::Choose(model, 3, 6).source, Source::None) << "an emptied slot";
    EXPECT_EQ(CCardSoundMap::Choose(model, 3, 1).source, Source::None) << "a slot the bank file lacks";
    EXPECT_EQ(CCardSoundMap::Choose(model, 4, 0).source, Source::None) << "an empty bank";
    for (const auto& [bank, program] : {std::pair{-1, 0}, {128, 0}, {3, -1}, {3, 128}})
        EXPECT_EQ(CCardSoundMap::Choose(model, bank, program).source, Source::None) << bank << ':' << program;
}

TEST(CardSoundMap, TheSynthBankIsGeneralMidiUnlessASlotIsCoveredAndMt32ModeMapsItsPrograms)
{
    CCardModel model = CardWithBanks();
    for (const int mode : {0, 1})
    {
        model.synthMode = mode;
        EXPECT_EQ(CCardSoundMap::Choose(model, 0, 40), (SoundChoice{Source::GeneralMidi, 0, 0, 0, 40}))
            << mode;
        EXPECT_EQ(CCardSoundMap::Choose(model, 0, 9), (SoundChoice{Source::Preset, 0, 9, 0, 0})) << mode;
    }
    model.synthMode = 2;
    EXPECT_EQ(CCardSoundMap::Choose(model, 0, 122), (SoundChoice{Source::GeneralMidi, 0, 0, 0, 55}))
        << "Orche Hit plays the orchestra hit";
    EXPECT_EQ(CCardSoundMap::Choose(model, 0, 9).source, Source::Preset);
}

TEST(CardSoundMap, Mt32ProgramsLandInTheirGeneralMidiFamilies)
{
    // General MIDI groups its programs by eight; an MT-32 sound of a family
    // the General MIDI set has must stay in that family.
    struct Family
    {
        int firstMt32, lastMt32, gmFamily;
    };
    const Family families[] = {
        {0, 7, 0},     // pianos
        {8, 14, 2},    // organs
        {24, 27, 7},   // synth brass
        {28, 31, 4},   // synth bass
        {48, 50, 6},   // string sections
        {52, 56, 5},   // solo strings
        {59, 62, 3},   // guitars
        {64, 71, 4},   // basses
        {72, 77, 9},   // pipes
        {78, 81, 8},   // saxes
        {88, 96, 7},   // brass
        {112, 112, 5}, // timpani
    };
    for (const Family& family : families)
        for (int program = family.firstMt32; program <= family.lastMt32; ++program)
            EXPECT_EQ(CCardSoundMap::Mt32ToGeneralMidi(program) / 8, family.gmFamily)
                << "MT-32 program " << program;
    for (int program = 0; program < 128; ++program)
    {
        const int gm = CCardSoundMap::Mt32ToGeneralMidi(program);
        EXPECT_TRUE(gm >= 0 && gm <= 127) << program;
    }
    EXPECT_EQ(CCardSoundMap::Mt32ToGeneralMidi(-1), 0);
    EXPECT_EQ(CCardSoundMap::Mt32ToGeneralMidi(128), 0);
}

TEST(CardSoundMap, TheDrumChannelPlaysGeneralMidiKitsChosenByProgramOnlyInGsMode)
{
    CCardModel model = CardWithBanks();
    const auto kits = [](int kit) { return kit == 0 || kit == 8 || kit == 25; };
    const SoundChoice standard{Source::GeneralMidi, 0, 0, CCardSoundMap::kDrumBank,
                               CCardSoundMap::kStandardKit};
    model.synthMode = 1;
    EXPECT_EQ(CCardSoundMap::Choose(model, 3, 25, true, kits),
              (SoundChoice{Source::GeneralMidi, 0, 0, CCardSoundMap::kDrumBank, 25}))
        << "the bank does not matter on the drum channel";
    EXPECT_EQ(CCardSoundMap::Choose(model, 0, 9, true, kits), standard) << "a kit the set lacks";
    EXPECT_EQ(CCardSoundMap::Choose(model, 0, 8, true, NoKits), standard);
    for (const int mode : {0, 2})
    {
        model.synthMode = mode;
        EXPECT_EQ(CCardSoundMap::Choose(model, 0, 25, true, kits), standard) << mode;
    }
}
