// The Emux card library's manager commands against a recording device: what
// each command sends to the driver, what it answers, and what it keeps.

#include "FakeHwdep.h"
#include "SynthChoice.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
// Two presets (0 "Piano" of two samples, 5 "Strings" of one) in a bank of the given version.
std::string WriteBank(const TempDir& folder, std::uint16_t version, const std::string& name = "bank.sf2")
{
    SoundFontBuilder bank;
    bank.Version(version).Info("INAM", "Test Bank").SampleData(4000);
    const int a = bank.AddSample(0, 300);
    const int b = bank.AddSample(400, 900);
    const int c = bank.AddSample(1000, 1500);
    bank.AddPreset("Piano", 0, 0, {bank.AddInstrument("Piano", {a, b})});
    bank.AddPreset("Strings", 5, 0, {bank.AddInstrument("Strings", {c})});
    return folder.Write(name, bank.Build());
}

class EmuxCardTest : public ::testing::Test
{
protected:
    ScopedCardHome home;
    TempDir files;
    FakeCard fake;
    std::uint32_t handle = 0;

    void SetUp() override
    {
        ASSERT_TRUE(ChooseSynthBank(home.Path(), ""));
        ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
    }
    void TearDown() override { fake.card.Call(handle, kAweClose, 0, 0); }

    template <typename T> static std::uintptr_t Address(T& value)
    {
        return reinterpret_cast<std::uintptr_t>(&value);
    }

    std::int32_t Call(std::uint32_t code, std::uintptr_t p1, std::uintptr_t p2 = 0)
    {
        return fake.card.Call(handle, code, p1, p2);
    }
    std::int32_t LoadPreset(int bank, int slot, const std::string& path, std::uint32_t source)
    {
        PresetAddress address;
        address.bank = static_cast<std::uint16_t>(bank);
        address.preset = static_cast<std::uint16_t>(slot);
        FileReference file{static_cast<std::uint32_t>(path.size()), path.c_str(), source, 0};
        return Call(kAweLoadPreset, Address(address), Address(file));
    }
    std::int32_t LoadBank(int bank, const std::string& path)
    {
        FileReference file{static_cast<std::uint32_t>(path.size()), path.c_str(), 0, 0};
        return Call(kAweLoadBank, static_cast<std::uintptr_t>(bank), Address(file));
    }
    // The preset name on a slot; "(empty)" when the card says there is none.
    std::string PresetName(int bank, int slot)
    {
        PresetAddress address;
        address.bank = static_cast<std::uint16_t>(bank);
        address.preset = static_cast<std::uint16_t>(slot);
        char text[kNameBufferSize] = {};
        NameBuffer name{kNameBufferSize, text, 0, 0};
        return Call(kAweGetPresetName, Address(address), Address(name)) == 0 ? text : "(empty)";
    }
    std::string BankName(int bank)
    {
        char text[kNameBufferSize] = {};
        NameBuffer name{kNameBufferSize, text, 0, 0};
        return Call(kAweGetBankName, static_cast<std::uintptr_t>(bank), Address(name)) == 0 ? text
                                                                                            : "(empty)";
    }
    HwdepLog& Log() { return fake.state->log; }
};

TEST_F(EmuxCardTest, HandlesFollowTheManagerRules)
{
    std::uint32_t total = 0, free = 0;
    EXPECT_EQ(static_cast<int>(CardResult::BadHandle),
              fake.card.Call(handle + 1, kAweGetMemory, Address(total), Address(free)));
    EXPECT_EQ(static_cast<int>(CardResult::BadRecord), fake.card.Call(0, kAweOpen, 0, 0));
    std::uint32_t second = 0;
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(second), 0));
    EXPECT_NE(second, handle);
    EXPECT_EQ(0, fake.card.Call(second, kAweClose, 0, 0));
    EXPECT_EQ(static_cast<int>(CardResult::BadHandle), fake.card.Call(second, kAweClose, 0, 0));
    EXPECT_EQ(static_cast<int>(CardResult::UnknownCommand), Call(12345, 0));
    // Only the device it was given was opened, once, while a handle is open.
    ASSERT_EQ(1u, Log().opened.size());
    EXPECT_EQ("hw:1,2", Log().opened[0]);
    EXPECT_EQ(0, fake.state->closes);
}

TEST_F(EmuxCardTest, APresetIsOneFontOfItsSamplesAndVoicesOnTheSlot)
{
    const std::string path = WriteBank(files, 2);
    ASSERT_EQ(0, LoadPreset(3, 17, path, 0));
    const auto& calls = Log().calls;
    const auto open = Log().Patches(SNDRV_SFNT_OPEN_PATCH);
    const auto close = Log().Patches(SNDRV_SFNT_CLOSE_PATCH);
    ASSERT_EQ(1u, open.size());
    ASSERT_EQ(1u, close.size());
    const auto samples = Log().Samples();
    ASSERT_EQ(2u, samples.size());
    EXPECT_EQ(300, samples.at(0).info.end - samples.at(0).info.start);
    // Each sample's own points and the silence after it, as far as the next sample.
    EXPECT_EQ(std::size_t(300 + 46) * 2, samples.at(0).data.size());
    EXPECT_EQ(std::size_t(500 + 46) * 2, samples.at(1).data.size());
    const auto voices = Log().Voices();
    ASSERT_EQ(2u, voices.size());
    for (const auto& voice : voices)
    {
        EXPECT_EQ(3, voice.header.bank);
        EXPECT_EQ(17, voice.header.instr);
        EXPECT_EQ(60, voice.info.root);
        EXPECT_EQ(0, voice.info.rate_offset); // 44100 Hz
    }
    EXPECT_EQ(SNDRV_SFNT_WR_REPLACE, voices[0].header.write_mode);
    EXPECT_EQ(SNDRV_SFNT_WR_APPEND, voices[1].header.write_mode);
    // Samples before voices, all inside the font.
    std::size_t lastData = 0, firstInfo = calls.size();
    for (std::size_t i = 0; i < calls.size(); ++i)
    {
        if (calls[i].request != SNDRV_EMUX_IOCTL_LOAD_PATCH)
            continue;
        if (calls[i].PatchType() == SNDRV_SFNT_LOAD_DATA)
            lastData = i;
        if (calls[i].PatchType() == SNDRV_SFNT_LOAD_INFO)
            firstInfo = std::min(firstInfo, i);
    }
    EXPECT_LT(lastData, firstInfo);
    EXPECT_EQ("Piano", PresetName(3, 17));
    EXPECT_EQ("(empty)", PresetName(3, 18));
    // The state survives the library: a new one on the same home knows the slot.
    FakeCard again;
    std::uint32_t other = 0;
    fake.card.Call(handle, kAweClose, 0, 0);
    ASSERT_EQ(0, again.card.Call(0, kAweOpen, Address(other), 0));
    PresetAddress address;
    address.bank = 3;
    address.preset = 17;
    char text[kNameBufferSize] = {};
    NameBuffer name{kNameBufferSize, text, 0, 0};
    EXPECT_EQ(0, again.card.Call(other, kAweGetPresetName, Address(address), Address(name)));
    EXPECT_STREQ("Piano", text);
    again.card.Call(other, kAweClose, 0, 0);
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
}

TEST_F(EmuxCardTest, ABankFillsItsSlotsAndLeavesSinglePresetsInPlace)
{
    const std::string path = WriteBank(files, 1, "bank.sbk");
    ASSERT_EQ(0, LoadPreset(2, 5, WriteBank(files, 2, "other.sf2"), 0));
    Log().calls.clear();
    ASSERT_EQ(0, LoadBank(2, path));
    const auto voices = Log().Voices();
    ASSERT_FALSE(voices.empty());
    for (const auto& voice : voices)
    {
        EXPECT_EQ(2, voice.header.bank);
        EXPECT_EQ(0, voice.header.instr) << "slot 5 keeps the preset loaded on its own";
    }
    EXPECT_EQ("Test Bank", BankName(2));
    EXPECT_EQ("Piano", PresetName(2, 0));
    EXPECT_EQ("Piano", PresetName(2, 5));
    EXPECT_EQ("(empty)", BankName(4));

    std::uint32_t total = 0, free = 0;
    ASSERT_EQ(0, Call(kAweGetMemory, Address(total), Address(free)));
    EXPECT_EQ(std::uint32_t(fake.state->freeBytes / 2), free);
    EXPECT_GT(total, free) << "what was loaded counts as used";
}

TEST_F(EmuxCardTest, ClearingRemovesVoicesAndFreesMemoryWhenNothingIsLeft)
{
    const std::string path = WriteBank(files, 2);
    ASSERT_EQ(0, LoadBank(1, path));
    ASSERT_EQ(0, LoadPreset(9, 4, path, 5));
    Log().calls.clear();
    ASSERT_EQ(0, Call(kAweClearPreset, 1, 5));
    auto removed = Log().Patches(SNDRV_SFNT_REMOVE_INFO);
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ((1 << 8) | 5, removed[0].Optarg());
    EXPECT_EQ("(empty)", PresetName(1, 5));
    EXPECT_EQ("Piano", PresetName(1, 0));

    Log().calls.clear();
    ASSERT_EQ(0, Call(kAweClearBank, 1));
    EXPECT_EQ(2u, Log().Patches(SNDRV_SFNT_REMOVE_INFO).size());
    EXPECT_EQ(0u, Log().Count(SNDRV_EMUX_IOCTL_RESET_SAMPLES)) << "bank 9 still holds a preset";

    Log().calls.clear();
    ASSERT_EQ(0, Call(kAweClearBank, 9));
    EXPECT_EQ(1u, Log().Count(SNDRV_EMUX_IOCTL_RESET_SAMPLES));
    // Clearing what is empty sends nothing.
    Log().calls.clear();
    ASSERT_EQ(0, Call(kAweClearBank, 9));
    ASSERT_EQ(0, Call(kAweClearPreset, 9, 4));
    EXPECT_EQ(0u, Log().Patches(SNDRV_SFNT_REMOVE_INFO).size());
    EXPECT_EQ(0u, Log().Count(SNDRV_EMUX_IOCTL_RESET_SAMPLES));
}

TEST_F(EmuxCardTest, ALoadTheCardRefusesIsUndoneWhole)
{
    const std::string path = WriteBank(files, 2);
    // Too little memory for the samples: refused before anything is sent.
    fake.state->freeBytes = 100;
    EXPECT_EQ(static_cast<int>(CardResult::NoMemory), LoadPreset(1, 0, path, 0));
    EXPECT_TRUE(Log().Patches(SNDRV_SFNT_OPEN_PATCH).empty());
    EXPECT_FALSE(fake.card.StatusText().empty());

    // The driver refuses the third record part way: its voices and samples go again.
    fake.state->freeBytes = 8 << 20;
    fake.state->refuseLoad = fake.state->loads + 3;
    EXPECT_EQ(static_cast<int>(CardResult::NoMemory), LoadPreset(1, 0, path, 0));
    EXPECT_EQ(1u, Log().Count(SNDRV_EMUX_IOCTL_REMOVE_LAST_SAMPLES));
    const auto removed = Log().Patches(SNDRV_SFNT_REMOVE_INFO);
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ((1 << 8) | 0, removed[0].Optarg());
    EXPECT_EQ(1u, Log().Patches(SNDRV_SFNT_CLOSE_PATCH).size());
    EXPECT_EQ("(empty)", PresetName(1, 0));

    // And the next load goes through as if nothing had happened.
    EXPECT_EQ(0, LoadPreset(1, 0, path, 0));
    EXPECT_EQ("Piano", PresetName(1, 0));
    EXPECT_TRUE(fake.card.StatusText().empty());
}

TEST_F(EmuxCardTest, ADeviceThatGoesIsAnAnswerAndAStatusNotACrash)
{
    const std::string path = WriteBank(files, 2);
    fake.state->gone = true;
    EXPECT_EQ(static_cast<int>(CardResult::Unavailable), LoadPreset(1, 0, path, 0));
    EXPECT_NE(std::string::npos, fake.card.StatusText().find("hw:1,2"));
    std::uint32_t total = 0, free = 0;
    EXPECT_EQ(static_cast<int>(CardResult::Unavailable), Call(kAweGetMemory, Address(total), Address(free)));
    EXPECT_EQ("(empty)", PresetName(1, 0));
    // Opening again fails as long as the device is gone.
    fake.card.Call(handle, kAweClose, 0, 0);
    EXPECT_EQ(static_cast<int>(CardResult::Unavailable), fake.card.Call(0, kAweOpen, Address(handle), 0));
    fake.state->gone = false;
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
}

TEST_F(EmuxCardTest, ADeviceAnotherProgramHoldsIsRefusedAtOnce)
{
    FakeCard busy;
    busy.state->openResult = -EBUSY;
    std::uint32_t other = 0;
    // Our own lock is free (the fixture's card holds emux.lock, so use another home).
    ScopedCardHome elsewhere;
    EXPECT_EQ(static_cast<int>(CardResult::Unavailable), busy.card.Call(0, kAweOpen, Address(other), 0));
    EXPECT_NE(std::string::npos, busy.card.StatusText().find("in use"));
    // Without any device there is nothing to open, and the status says why.
    FakeCard none("");
    EXPECT_EQ(static_cast<int>(CardResult::Unavailable), none.card.Call(0, kAweOpen, Address(other), 0));
    EXPECT_TRUE(none.state->log.opened.empty());
    EXPECT_FALSE(none.card.StatusText().empty());
}

TEST_F(EmuxCardTest, MemoryChangedByAnotherProgramShowsInTheStatus)
{
    ASSERT_EQ(0, LoadPreset(1, 0, WriteBank(files, 2), 0));
    fake.card.Call(handle, kAweClose, 0, 0);
    fake.state->freeBytes -= 4096; // asfxload, say, loaded something meanwhile
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
    EXPECT_NE(std::string::npos, fake.card.StatusText().find("memory changed"));
}

TEST_F(EmuxCardTest, WhatCannotBeLoadedSendsNothing)
{
    const std::string path = WriteBank(files, 2);
    SoundFontBuilder compressed;
    compressed.Version(3).SampleData(1000).SampleType(0, 0x10);
    compressed.AddPreset("Ogg", 0, 0, {compressed.AddInstrument("Ogg", {compressed.AddSample(0, 100)})});
    const std::string sf3 = files.Write("bank.sf3", compressed.Build());
    const std::string notThere = files.File("missing.sf2");
    EXPECT_EQ(static_cast<int>(CardResult::BadFile), LoadPreset(1, 0, notThere, 0));
    EXPECT_EQ(static_cast<int>(CardResult::BadFile), LoadBank(1, sf3));
    EXPECT_EQ(static_cast<int>(CardResult::NoSuchPreset), LoadPreset(1, 0, path, 77));
    EXPECT_EQ(static_cast<int>(CardResult::OutOfRange), LoadBank(0, path));
    EXPECT_EQ(static_cast<int>(CardResult::OutOfRange), LoadPreset(128, 0, path, 0));
    FileReference lying{3, path.c_str(), 0, 0};
    EXPECT_EQ(static_cast<int>(CardResult::BadRecord), Call(kAweLoadBank, 1, Address(lying)));
    EXPECT_TRUE(Log().Patches(SNDRV_SFNT_OPEN_PATCH).empty());
}

TEST_F(EmuxCardTest, SynthModeAndEffectsAreKept)
{
    const std::string path = WriteBank(files, 2);
    ASSERT_EQ(0, LoadPreset(0, 10, path, 0));
    ASSERT_EQ(0, LoadPreset(1, 0, path, 5));
    EXPECT_EQ("Piano", PresetName(0, 10));
    EXPECT_EQ("Vibraphone", PresetName(0, 11)) << "the other synth bank slots name the card's own sounds";
    ASSERT_EQ(0, Call(kAweSelectSynthBank, 2));
    // The preset over the synth bank slot goes with the old mode.
    const auto removed = Log().Patches(SNDRV_SFNT_REMOVE_INFO);
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ(10, removed[0].Optarg());
    EXPECT_EQ("Elec Org 2", PresetName(0, 9)) << "the MT-32's own names now";
    EXPECT_EQ("Strings", PresetName(1, 0));
    char text[kNameBufferSize] = {};
    NameBuffer name{kNameBufferSize, text, 0, 0};
    ASSERT_EQ(0, Call(kAweGetSynthBank, Address(name)));
    std::uint16_t mode = 0;
    std::memcpy(&mode, reinterpret_cast<const char*>(&name) + offsetof(NameBuffer, synthBank), sizeof mode);
    EXPECT_EQ(2, mode);
    EXPECT_EQ(static_cast<int>(CardResult::OutOfRange), Call(kAweSelectSynthBank, 3));

    EffectsRecord effects;
    effects.reverb = 6;
    effects.chorus = 1;
    ASSERT_EQ(0, Call(kAweSetEffects, Address(effects)));
    EffectsRecord read;
    ASSERT_EQ(0, Call(kAweGetEffects, Address(read)));
    EXPECT_EQ(6, read.reverb);
    EXPECT_EQ(1, read.chorus);
    effects.reverb = 8;
    EXPECT_EQ(static_cast<int>(CardResult::OutOfRange), Call(kAweSetEffects, Address(effects)));
}

// A synth set: a capital tone, a GS variation of it and a drum kit.
std::string WriteSynthSet(const TempDir& folder, const std::string& name)
{
    SoundFontBuilder set;
    set.Version(2).Info("INAM", name).SampleData(3000);
    const int a = set.AddSample(0, 500);
    const int b = set.AddSample(600, 1000);
    set.AddPreset("Grand", 0, 0, {set.AddInstrument("Grand", {a})});
    set.AddPreset("Variation", 0, 8, {set.AddInstrument("Var", {b})});
    set.AddPreset("Kit", 0, 128, {set.AddInstrument("Kit", {b})});
    return folder.Write(name + ".sf2", set.Build());
}

std::set<std::pair<int, int>> VoiceSlots(const HwdepLog& log)
{
    std::set<std::pair<int, int>> slots;
    for (const auto& voice : log.Voices())
        slots.insert({voice.header.bank, voice.header.instr});
    return slots;
}

TEST_F(EmuxCardTest, TheSynthBankIsTheChosenSetsTonesAndKitsBelowTheUsersSounds)
{
    const std::string user = WriteBank(files, 2);
    ASSERT_EQ(0, LoadPreset(1, 0, user, 0));
    ASSERT_TRUE(ChooseSynthBank(home.Path(), WriteSynthSet(files, "gm"), "GM"));
    ASSERT_TRUE(ChooseSynthBank(home.Path(), WriteSynthSet(files, "gs"), "GS"));
    fake.card.Call(handle, kAweClose, 0, 0);
    Log().calls.clear();
    // The next open takes the choice up: samples reset, the set, then what the card held.
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
    EXPECT_EQ(1u, Log().Count(SNDRV_EMUX_IOCTL_RESET_SAMPLES));
    const std::set<std::pair<int, int>> expected{{0, 0}, {128, 0}, {1, 0}};
    EXPECT_EQ(expected, VoiceSlots(Log())) << "a variation bank would take user bank 8";
    EXPECT_EQ("gm", Log().Patches(SNDRV_SFNT_OPEN_PATCH).at(0).Text()) << "the set goes first";
    EXPECT_EQ("", fake.card.StatusText());
    // Unchanged, it is not sent again.
    fake.card.Call(handle, kAweClose, 0, 0);
    Log().calls.clear();
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
    EXPECT_TRUE(Log().Patches(SNDRV_SFNT_OPEN_PATCH).empty());

    // Another mode with another set: reset, the GS set, the user's preset again.
    ASSERT_EQ(0, Call(kAweSelectSynthBank, 1));
    EXPECT_EQ(1u, Log().Count(SNDRV_EMUX_IOCTL_RESET_SAMPLES));
    EXPECT_EQ(expected, VoiceSlots(Log()));
    EXPECT_EQ("gs", Log().Patches(SNDRV_SFNT_OPEN_PATCH).at(0).Text());
    // Clearing the last of the user's sounds resets the samples: the set comes back.
    Log().calls.clear();
    ASSERT_EQ(0, Call(kAweClearPreset, 1, 0));
    EXPECT_EQ(1u, Log().Count(SNDRV_EMUX_IOCTL_RESET_SAMPLES));
    EXPECT_EQ((std::set<std::pair<int, int>>{{0, 0}, {128, 0}}), VoiceSlots(Log()));

    // A set larger than the card is refused with a status, once.
    fake.state->freeBytes = 100;
    ASSERT_EQ(0, Call(kAweSelectSynthBank, 0));
    EXPECT_NE(std::string::npos, fake.card.StatusText().find("gm.sf2")) << fake.card.StatusText();
}

TEST_F(EmuxCardTest, RomSamplesAndEffectsGoWhereTheCardHasThem)
{
    constexpr std::uint16_t kRomMono = 0x8001;
    SoundFontBuilder bank;
    bank.Version(2).SampleData(1000).SampleType(1, kRomMono);
    const int ram = bank.AddSample(0, 300);
    const int rom = bank.AddSample(50000, 60000); // an address in the card's ROM, not in the file
    bank.AddPreset("Both", 0, 0, {bank.AddInstrument("Both", {ram, rom})});
    const std::string path = files.Write("rom.sf2", bank.Build());

    ASSERT_EQ(0, LoadPreset(1, 0, path, 0));
    EXPECT_EQ(1u, Log().Voices().size()) << "without ROM the ROM zone has nothing to play";

    fake.card.Call(handle, kAweClose, 0, 0);
    fake.state->rom = true;
    ASSERT_EQ(0, fake.card.Call(0, kAweOpen, Address(handle), 0));
    Log().calls.clear();
    ASSERT_EQ(0, LoadPreset(1, 1, path, 0));
    const auto voices = Log().Voices();
    ASSERT_EQ(2u, voices.size());
    EXPECT_NE(0, voices[1].info.mode & SNDRV_SFNT_MODE_ROMSOUND);
    EXPECT_EQ(0, voices[0].info.mode & SNDRV_SFNT_MODE_ROMSOUND);
    const auto samples = Log().Samples();
    ASSERT_EQ(2u, samples.size());
    EXPECT_EQ(0, samples.at(rom).info.size) << "size 0: the points are in ROM";
    EXPECT_TRUE(samples.at(rom).data.empty());
    EXPECT_EQ(50000, samples.at(rom).info.start);

    EffectsRecord effects;
    effects.reverb = 6;
    effects.chorus = 1;
    ASSERT_EQ(0, Call(kAweSetEffects, Address(effects)));
    EXPECT_EQ(6, fake.state->mixer["Reverb Mode"]);
    EXPECT_EQ(1, fake.state->mixer["Chorus Mode"]);
    // A card without the controls keeps the types in the state only.
    fake.state->mixerControls = false;
    effects.reverb = 2;
    ASSERT_EQ(0, Call(kAweSetEffects, Address(effects)));
    EffectsRecord read;
    ASSERT_EQ(0, Call(kAweGetEffects, Address(read)));
    EXPECT_EQ(2, read.reverb);
}
} // namespace
