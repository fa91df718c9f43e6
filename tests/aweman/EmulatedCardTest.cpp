#include "aweman/CardFixture.h"
#include "cardstate/CardModel.h"
#include "soundfont/SoundFontReader.h"
#include "synth/CardListen.h"

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <set>
#include <system_error>

namespace
{
constexpr int kFullKB = 28672;

// A 64 KB bank: strings on slots 0 and 5; a second record numbered 5 (in the
// drum bank) comes later and does not take the slot.
std::vector<BankPreset> StringPresets()
{
    return {{"Violin", 0, 0, 1024}, {"Cello", 5, 0, 8192}, {"Late Five", 5, 128, 512}, {"High", 200, 0, 16}};
}
} // namespace

TEST_F(CardTest, AFreshCardWorksAndInstallsItsDriverEntries)
{
    const auto card = Session();
    ASSERT_TRUE(card->IsAvailable());
    // Loading the library installed the entries the session reads right after.
    const std::string settings = card->GetSettingsKey();
    ASSERT_FALSE(settings.empty());
    EXPECT_EQ(card->GetMemoryKB(false), kFullKB);
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB);
    EXPECT_EQ(card->GetSynthBank(), 0);
    EXPECT_EQ(card->GetBankName(0), "General MIDI");
    EXPECT_EQ(card->GetReverb(), 4);
    EXPECT_EQ(card->GetChorus(), 2);
    EXPECT_EQ(card->GetBankName(1), "");
    EXPECT_EQ(card->GetPresetName(0, 0), "Acoustic Grand Piano");
    EXPECT_EQ(card->GetPresetName(0, 127), "Gunshot");
    EXPECT_EQ(card->GetPresetName(1, 0), "");

    const auto tree = Registry();
    const auto driver = tree.EnumKey(kMidiDriversKey, 0);
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver->rfind(kAweDriverPrefix, 0), 0u) << *driver;
    const auto softwareKey = tree.GetValue(std::string(kMidiDriversKey) + "\\" + *driver, kSoftwareKeyValue);
    ASSERT_TRUE(softwareKey);
    EXPECT_EQ(settings, *softwareKey + "\\Settings");
    EXPECT_EQ(tree.GetValue(settings, "Synthesizer"), "0");
    EXPECT_EQ(tree.GetValue(settings, "MemoryKB"), "28672");
    EXPECT_TRUE(tree.KeyExists(settings + "\\UserBank"));
    for (const char* mode : {"GM", "GS", "MT"})
    {
        const auto file = tree.GetValue(settings, mode);
        ASSERT_TRUE(file) << mode;
        CSoundFontReader reader;
        EXPECT_TRUE(reader.Open(*file)) << *file;
        EXPECT_EQ(reader.GetPresetCount(), 128) << mode;
    }
    EXPECT_EQ(card->GetBankFile(0), tree.GetValue(settings, "GM"));
    // Only reading: nothing to write yet.
    EXPECT_FALSE(std::filesystem::exists(home.File("card.state")));
}

TEST_F(CardTest, DriverEntriesFollowAnExistingDriverKeyAndIgnoreOtherCase)
{
    const std::string drivers = kMidiDriversKey;
    ASSERT_TRUE(CRegistryStore(home.Path())
                    .Update(
                        [&](CRegistryStore::Tree& tree)
                        {
                            tree.SetValue(drivers + "\\SBAWE32.DRV<9>", kSoftwareKeyValue, "Software\\Wrong");
                            tree.SetValue(drivers + "\\sbawe32.drv.old", kSoftwareKeyValue,
                                          "Software\\Vendor\\Card");
                            tree.SetValue("Software\\Vendor\\Card\\Settings\\UserBank", "B009", "/stale.sbk");
                            tree.SetValue("Software\\Vendor\\Card\\Settings", "MemoryKB", "8192");
                        }));
    const auto card = Session();
    EXPECT_EQ(card->GetSettingsKey(), "Software\\Vendor\\Card\\Settings");
    EXPECT_EQ(card->GetMemoryKB(false), 8192);
    // The card's state decides what the user banks hold.
    EXPECT_EQ(card->GetBankFile(9), "");
    EXPECT_FALSE(Registry().KeyExists("Software\\Wrong"));
    EXPECT_EQ(Registry().Subkeys(kMidiDriversKey).size(), 2u);
}

TEST_F(CardTest, BankFilesTakeTheirSampleDataAndNames)
{
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings Bank  ");
    const std::string drums = WriteBank("my drums.sbk", {{"Kit", 0}, {"Room", 8}}, 32 * 1024);
    const auto card = Session();

    ASSERT_TRUE(card->LoadBank(3, strings));
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 64);
    EXPECT_EQ(card->GetBankName(3), "Strings Bank");
    EXPECT_EQ(card->GetBankFile(3), strings);
    EXPECT_EQ(card->GetPresetName(3, 0), "Violin");
    EXPECT_EQ(card->GetPresetName(3, 5), "Cello");
    EXPECT_EQ(card->GetPresetName(3, 1), "");

    // Loading over a filled bank replaces its file, names and memory.
    ASSERT_TRUE(card->LoadBank(3, drums));
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 32);
    EXPECT_EQ(card->GetBankName(3), "my drums");
    EXPECT_EQ(card->GetBankFile(3), drums);
    EXPECT_EQ(card->GetPresetName(3, 5), "");
    EXPECT_EQ(card->GetPresetName(3, 8), "Room");

    ASSERT_TRUE(card->LoadBank(127, strings));
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 96);
    ASSERT_TRUE(card->ClearBank(3));
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 64);
    EXPECT_EQ(card->GetBankName(3), "");
    EXPECT_EQ(card->GetPresetName(3, 8), "");
    EXPECT_EQ(card->GetBankFile(3), "");
    EXPECT_FALSE(Registry().GetValue(card->GetSettingsKey() + "\\UserBank", "B003"));
    EXPECT_EQ(Registry().GetValue(card->GetSettingsKey() + "\\UserBank", "B127"), strings);
    // Emptying an empty bank is no failure: clearing every bank goes through.
    EXPECT_TRUE(card->ClearAllBanks());
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB);
}

TEST_F(CardTest, PresetsTakeTheirSampleBytesAndFindTheFirstRecordOfTheirNumber)
{
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    const std::string kits =
        WriteBank("kits.sbk", {{"Drum Kit", 3, 128, 2048}, {"Piano", 3, 0, 512}, {"", 4, 0, 512}}, 16 * 1024);
    const auto card = Session();

    int used = -1;
    ASSERT_TRUE(card->LoadPreset(2, 7, strings, 5, &used));
    EXPECT_EQ(used, 16);
    EXPECT_EQ(card->GetPresetName(2, 7), "Cello");
    EXPECT_EQ(card->GetBankName(2), "") << "single presets give a bank no name";
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 16);

    // A preset number is found whatever the record's bank: the first one wins.
    ASSERT_TRUE(card->LoadPreset(2, 7, kits, 3, &used));
    EXPECT_EQ(used, 4);
    EXPECT_EQ(card->GetPresetName(2, 7), "Drum Kit");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 4);
    // Bank 0 takes presets too, and a nameless preset is named by its number.
    ASSERT_TRUE(card->LoadPreset(0, 4, kits, 4, &used));
    EXPECT_EQ(card->GetPresetName(0, 4), "Preset 004");

    ASSERT_TRUE(card->ClearPreset(2, 7));
    EXPECT_EQ(card->GetPresetName(2, 7), "");
    ASSERT_TRUE(card->ClearPreset(0, 4));
    EXPECT_EQ(card->GetPresetName(0, 4), "Electric Piano 1");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB);
}

TEST_F(CardTest, SlotsOfABankFileCanBeCoveredEmptiedAndReverted)
{
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    const std::string other = WriteBank("other.sbk", {{"Flute", 1, 0, 1024}}, 4096);
    const auto card = Session();
    ASSERT_TRUE(card->LoadBank(4, strings));

    int used = -1;
    ASSERT_TRUE(card->LoadPreset(4, 0, other, 1, &used));
    EXPECT_EQ(used, 2);
    EXPECT_EQ(card->GetPresetName(4, 0), "Flute");
    // Clearing empties the slot: the single preset goes, and the bank file's
    // preset stays hidden (its samples stay with the bank).
    ASSERT_TRUE(card->ClearPreset(4, 0));
    EXPECT_EQ(card->GetPresetName(4, 0), "");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 64);
    EXPECT_EQ(card->GetBankName(4), "Strings");
    EXPECT_EQ(card->GetPresetName(4, 5), "Cello");

    // Reverting loads the slot's own preset from the bank's file: it is back
    // without taking memory twice.
    ASSERT_TRUE(card->LoadPreset(4, 0, other, 1, &used));
    ASSERT_TRUE(card->RevertPreset(4, 0));
    EXPECT_EQ(card->GetPresetName(4, 0), "Violin");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 64);
    // The same preset put on another slot is a copy that takes its own memory.
    ASSERT_TRUE(card->LoadPreset(4, 1, strings, 5, &used));
    EXPECT_EQ(used, 16);
    // A slot the bank file leaves empty has no preset of its own to revert
    // to: the load fails, after the session's clearing emptied the slot.
    EXPECT_FALSE(card->RevertPreset(4, 1));
    EXPECT_EQ(card->GetPresetName(4, 1), "");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 64);
}

TEST_F(CardTest, SynthModesNameTheirBankAndFollowTheRegistry)
{
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    const auto card = Session();
    const std::string settings = card->GetSettingsKey();
    struct Mode
    {
        int number;
        const char* name;
        const char* value;
        const char* slot0;
        const char* slot56;
    };
    for (const Mode& mode : {Mode{1, "Roland GS", "GS", "Acoustic Grand Piano", "Trumpet"},
                             Mode{2, "MT-32", "MT", "Acou Piano 1", "Contrabass"},
                             Mode{0, "General MIDI", "GM", "Acoustic Grand Piano", "Trumpet"}})
    {
        ASSERT_TRUE(card->SelectSynthBank(mode.number)) << mode.name;
        EXPECT_EQ(card->GetSynthBank(), mode.number);
        EXPECT_EQ(card->GetBankName(0), mode.name);
        EXPECT_EQ(card->GetPresetName(0, 0), mode.slot0);
        EXPECT_EQ(card->GetPresetName(0, 56), mode.slot56);
        EXPECT_EQ(Registry().GetValue(settings, "Synthesizer"), std::to_string(mode.number));
        EXPECT_EQ(card->GetBankFile(0), Registry().GetValue(settings, mode.value));
    }
    EXPECT_FALSE(card->SelectSynthBank(3));
    EXPECT_EQ(card->GetSynthBank(), 0);

    // Selecting the synth bank, even the current one, replaces its presets.
    int used = -1;
    ASSERT_TRUE(card->LoadPreset(0, 9, strings, 5, &used));
    EXPECT_EQ(card->GetPresetName(0, 9), "Cello");
    ASSERT_TRUE(card->SelectSynthBank(-1));
    EXPECT_EQ(card->GetPresetName(0, 9), "Glockenspiel");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB);
}

TEST_F(CardTest, ASynthBankSlotRevertsFromTheModesFile)
{
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    const auto card = Session();
    ASSERT_TRUE(card->SelectSynthBank(2));
    int used = -1;
    ASSERT_TRUE(card->LoadPreset(0, 10, strings, 5, &used));
    EXPECT_EQ(used, 16);
    EXPECT_EQ(card->GetPresetName(0, 10), "Cello");

    ASSERT_TRUE(card->RevertPreset(0, 10));
    EXPECT_EQ(card->GetPresetName(0, 10), "Elec Org 3");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB);

    // The mode's file is a real bank: one of its presets on another slot is a
    // load like any other, named as the file names it.
    ASSERT_TRUE(card->LoadPreset(5, 0, card->GetBankFile(0), 10, &used));
    EXPECT_EQ(card->GetPresetName(5, 0), "Elec Org 3");
    EXPECT_EQ(card->GetMemoryKB(true), kFullKB - 1);

    CSoundFontReader reader;
    ASSERT_TRUE(reader.Open(card->GetBankFile(0)));
    EXPECT_EQ(reader.name, "MT-32");
    ASSERT_EQ(reader.GetPresetCount(), 128);
    for (int slot = 0; slot < 128; ++slot)
    {
        const PresetHeader header = reader.GetPresetHeader(slot);
        EXPECT_EQ(header.presetNumber, slot);
        EXPECT_GT(reader.GetPresetSampleBytes(slot), 0) << slot;
    }
    EXPECT_EQ(CSoundFontReader::GetDisplayName(reader.GetPresetHeader(127)), "Jungle Tune");
}

TEST_F(CardTest, RefusalsChangeNothing)
{
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    SoundFontBuilder broken;
    broken.SampleData(64).Drop("pdta");
    const std::string noPresetData = files.Write("broken.sbk", broken.Build());
    const std::string notABank = files.Write("text.sbk", Bytes{'h', 'e', 'l', 'l', 'o'});
    const auto card = Session();
    ASSERT_TRUE(card->LoadBank(3, strings));
    int used = -1;
    ASSERT_TRUE(card->LoadPreset(3, 9, strings, 0, &used));
    const Snapshot before = Take();
    const std::string missing = files.File("missing.sbk");

    EXPECT_FALSE(card->LoadBank(3, missing));
    EXPECT_FALSE(card->LoadBank(3, notABank));
    EXPECT_FALSE(card->LoadBank(3, noPresetData));
    EXPECT_FALSE(card->LoadBank(3, files.Path()));
    EXPECT_FALSE(card->LoadBank(0, strings));
    EXPECT_FALSE(card->LoadBank(5, ""));
    EXPECT_FALSE(card->ClearBank(0));
    EXPECT_EQ(Take(), before);

    // A failed load leaves the slot empty: the session clears it first.
    EXPECT_FALSE(card->LoadPreset(3, 9, strings, 7, &used)) << "no preset numbered 7";
    EXPECT_EQ(used, 0);
    EXPECT_EQ(card->GetPresetName(3, 9), "");
    const Snapshot cleared = Take();
    EXPECT_FALSE(card->LoadPreset(3, 9, strings, 7, &used));
    EXPECT_FALSE(card->LoadPreset(3, 9, notABank, 0, &used));
    EXPECT_FALSE(card->LoadPreset(3, 9, missing, 0, &used));
    EXPECT_EQ(Take(), cleared);

    CDirectManager manager;
    const std::uint32_t handle = manager.Open();
    ASSERT_NE(handle, 0u);
    PresetAddress address;
    address.bank = 128;
    FileReference file;
    file.path = strings.c_str();
    file.length = static_cast<std::uint32_t>(strings.size());
    EXPECT_NE(manager(handle, kAweLoadPreset, &address, &file), 0);
    address.bank = 3;
    address.preset = 128;
    EXPECT_NE(manager(handle, kAweLoadPreset, &address, &file), 0);
    address.preset = 1;
    file.sourcePreset = 0x10000; // past every 16-bit preset number
    EXPECT_NE(manager(handle, kAweLoadPreset, &address, &file), 0);
    file.sourcePreset = 5;
    file.length = 3; // a length that is not the path's
    EXPECT_NE(manager(handle, kAweLoadPreset, &address, &file), 0);
    EXPECT_NE(manager(handle, kAweLoadBank, 128, reinterpret_cast<std::uintptr_t>(&file)), 0);
    file.length = static_cast<std::uint32_t>(strings.size());
    EXPECT_NE(manager(handle, kAweLoadPreset, &address, nullptr), 0);
    EXPECT_NE(manager(handle, kAweLoadPreset, nullptr, &file), 0);
    EXPECT_NE(manager(handle, kAweLoadBank, 128, reinterpret_cast<std::uintptr_t>(&file)), 0);
    EXPECT_NE(manager(handle, kAweClearPreset, 128, 0), 0);
    EXPECT_NE(manager(handle, kAweClearPreset, 3, 128), 0);
    EXPECT_NE(manager(handle, kAweClearPreset, 0, 1), 0);
    EXPECT_NE(manager(handle, kAweSelectSynthBank, 3), 0);
    EXPECT_NE(manager(handle, kAweGetMemory, nullptr, nullptr), 0);
    EffectsRecord effects;
    effects.reverb = 8;
    EXPECT_NE(manager(handle, kAweSetEffects, &effects), 0);
    effects.reverb = 1;
    effects.selector = 1;
    EXPECT_NE(manager(handle, kAweSetEffects, &effects), 0);
    EXPECT_NE(manager(handle, 4711, std::uintptr_t{0}, std::uintptr_t{0}), 0);
    // The same load with a wrong handle, then with the right one.
    file.sourcePreset = 5;
    EXPECT_NE(manager(handle + 1, kAweLoadPreset, &address, &file), 0);
    EXPECT_NE(manager(0, kAweLoadPreset, &address, &file), 0);
    EXPECT_EQ(Take(), cleared);
    EXPECT_EQ(manager(handle, kAweLoadPreset, &address, &file), 0);
    EXPECT_EQ(manager(handle, kAweClose), 0);
    // A closed handle is refused like an unknown one.
    EXPECT_NE(manager(handle, kAweClearPreset, 3, 1), 0);
    EXPECT_NE(manager(handle, kAweClose), 0);
    EXPECT_EQ(card->GetPresetName(3, 1), "Cello");
}

TEST_F(CardTest, NotEnoughSoundMemoryLoadsNothing)
{
    const std::string big = WriteBank("big.sbk", {{"Big", 0, 0, 1024}}, 65 * 1024, "Big");
    const std::string full = WriteBank("full.sbk", {{"Full", 0, 0, 1024}}, 64 * 1024, "Full");
    const std::string half = WriteBank("half.sbk", {{"Half", 1, 0, 1024}}, 32 * 1024, "Half");
    const std::string preset = WriteBank("preset.sbk", {{"Small", 2, 0, 512}}, 2048);
    Session(); // installs the settings
    SetSetting("MemoryKB", "64");
    const auto card = Session();
    ASSERT_EQ(card->GetMemoryKB(false), 64);

    const Snapshot empty = Take();
    EXPECT_FALSE(card->LoadBank(1, big));
    EXPECT_EQ(Take(), empty);
    EXPECT_EQ(card->GetBankName(1), "");
    ASSERT_TRUE(card->LoadBank(1, full));
    EXPECT_EQ(card->GetMemoryKB(true), 0);

    const Snapshot filled = Take();
    int used = -1;
    EXPECT_FALSE(card->LoadPreset(2, 0, preset, 2, &used));
    EXPECT_EQ(used, 0);
    EXPECT_FALSE(card->LoadBank(2, half));
    EXPECT_EQ(Take(), filled);
    // What a replaced bank frees counts for its replacement.
    ASSERT_TRUE(card->LoadBank(1, half));
    EXPECT_EQ(card->GetMemoryKB(true), 32);
    EXPECT_TRUE(card->LoadPreset(2, 0, preset, 2, &used));
    EXPECT_EQ(used, 1);

    // A setting that is no size in KB gives the full card.
    for (const char* value : {"lots", "0", "-5", "4194304", "64k", ""})
    {
        SetSetting("MemoryKB", value);
        EXPECT_EQ(Session()->GetMemoryKB(false), kFullKB) << value;
    }
}

TEST_F(CardTest, NamesAreCutToTheBufferAndEndWithinIt)
{
    const std::string strings =
        WriteBank("strings.sbk", StringPresets(), 64 * 1024, "A Rather Long Bank Name");
    ASSERT_TRUE(Session()->LoadBank(3, strings));
    CDirectManager manager;
    const std::uint32_t handle = manager.Open();
    ASSERT_NE(handle, 0u);

    char text[16];
    std::memset(text, '#', sizeof text);
    NameBuffer name;
    name.buffer = text;
    name.size = 5;
    EXPECT_EQ(manager(handle, kAweGetBankName, 3, reinterpret_cast<std::uintptr_t>(&name)), 0);
    EXPECT_STREQ(text, "A Ra");
    EXPECT_EQ(text[5], '#');
    name.size = 1;
    EXPECT_EQ(manager(handle, kAweGetSynthBank, &name), 0);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], ' ');
    name.size = 0;
    EXPECT_NE(manager(handle, kAweGetSynthBank, &name), 0);
    name.size = 16;
    name.buffer = nullptr;
    EXPECT_NE(manager(handle, kAweGetSynthBank, &name), 0);
    EXPECT_NE(manager(handle, kAweGetBankName, 4, reinterpret_cast<std::uintptr_t>(&name)), 0);

    // Number only: the name and the number of the synth bank.
    char wide[kNumberBufferSize];
    name.buffer = wide;
    name.size = kNumberBufferSize;
    name.synthBank = 9;
    EXPECT_EQ(manager(handle, kAweGetSynthBank, &name), 0);
    EXPECT_EQ(name.synthBank, 0);
    EXPECT_STREQ(wide, "General MIDI");
    // An empty slot has no name.
    PresetAddress address;
    address.bank = 3;
    address.preset = 1;
    EXPECT_NE(manager(handle, kAweGetPresetName, &address, &name), 0);
    EXPECT_EQ(manager(handle, kAweClose), 0);
}

TEST_F(CardTest, HandlesAreNonzeroAndEachClosesOnce)
{
    CDirectManager manager;
    EXPECT_NE(manager(0, kAweOpen, nullptr), 0);
    const std::uint32_t first = manager.Open();
    const std::uint32_t second = manager.Open();
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(manager(first, kAweClose), 0);
    std::uint32_t total = 0, free = 0;
    EXPECT_NE(manager(first, kAweGetMemory, &total, &free), 0);
    EXPECT_EQ(manager(second, kAweGetMemory, &total, &free), 0);
    EXPECT_EQ(total, static_cast<std::uint32_t>(kFullKB) * 512);
    EXPECT_EQ(manager(second, kAweClose), 0);
    EXPECT_NE(manager(second, kAweClose), 0);
}

TEST_F(CardTest, LoadedPresetsKeepTheirFilesInSoundMemoryAndThePinsGoWithThem)
{
    const auto state = [this] { return ReadState().value_or(CCardModel()); };
    const auto memoryFiles = [this]
    {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(home.File("memory"), error))
            names.insert("memory/" + entry.path().filename().string());
        return names;
    };
    // A bank the way a wave reaches the card: a temporary file, deleted once loaded.
    const std::string wave = WriteBank("TMB1234.tmp", {{"Sine", 0, 0, 4000}}, 8000);
    std::string waveBytes;
    ASSERT_TRUE(ReadWholeFile(wave, waveBytes));
    const auto card = Session();
    ASSERT_TRUE(card->LoadPreset(3, 9, wave, 0, nullptr));
    ASSERT_EQ(::unlink(wave.c_str()), 0);

    // The card keeps the file as it was loaded (the engine makes the sound of it).
    const std::string first = state().presets.at({3, 9}).memory;
    ASSERT_TRUE(CCardModel::IsMemoryName(first)) << first;
    EXPECT_EQ(memoryFiles(), std::set<std::string>{CCardModel::MemoryFileName(first)});
    EXPECT_EQ(ReadHomeFile(CCardModel::MemoryFileName(first)), waveBytes);
    EXPECT_EQ(card->GetPresetName(3, 9), "Sine");

    // Loading over the slot replaces the pin; presets of one file share one,
    // and a preset of another file has its own (even one whose only sample
    // lies in the card's ROM: what sounds of it is the engine's to find).
    SoundFontBuilder romOnly;
    romOnly.SampleData(4096);
    const int rom = romOnly.AddSample(100, 600);
    romOnly.AddSample(0, 50);
    romOnly.AddPreset("Rom Piano", 0, 0, {romOnly.AddInstrument("Rom Piano", {rom})});
    const std::string romFile = files.Write("rom.sbk", romOnly.Build());
    const std::string strings = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    ASSERT_TRUE(card->LoadPreset(3, 9, strings, 5, nullptr));
    ASSERT_TRUE(card->LoadPreset(3, 12, strings, 0, nullptr));
    ASSERT_TRUE(card->LoadPreset(3, 10, romFile, 0, nullptr));
    const CCardModel loaded = state();
    const std::string second = loaded.presets.at({3, 9}).memory;
    EXPECT_NE(second, first);
    EXPECT_EQ(loaded.presets.at({3, 12}).memory, second);
    const std::string third = loaded.presets.at({3, 10}).memory;
    EXPECT_NE(third, second);
    const std::set<std::string> pins{CCardModel::MemoryFileName(second), CCardModel::MemoryFileName(third)};
    EXPECT_EQ(memoryFiles(), pins);

    // A refused load leaves the pins as they were.
    EXPECT_FALSE(card->LoadPreset(3, 11, strings, 77, nullptr));
    EXPECT_EQ(memoryFiles(), pins);

    // Whatever a crash left in the memory folder goes when the card next reads its state.
    ASSERT_TRUE(WriteWholeFileAtomic(home.File("memory/0badc0de.sf2"), "stray"));
    ASSERT_TRUE(WriteWholeFileAtomic(home.File("card.state"), ReadHomeFile("card.state")));
    EXPECT_EQ(card->GetPresetName(3, 9), "Cello");
    EXPECT_EQ(memoryFiles(), pins);

    // A bank reached through a relative symbolic link (as Debian installs
    // its SoundFonts) is pinned as the file the link leads to.
    std::filesystem::create_directories(files.Path() + "/links");
    std::filesystem::create_symlink("../strings.sbk", files.Path() + "/links/strings.sbk");
    ASSERT_TRUE(card->LoadPreset(3, 20, files.Path() + "/links/strings.sbk", 0, nullptr));
    const std::string linked = CCardModel::MemoryFileName(state().presets.at({3, 20}).memory);
    EXPECT_FALSE(std::filesystem::is_symlink(home.File(linked)));
    EXPECT_EQ(ReadHomeFile(linked).size(), std::filesystem::file_size(strings));

    ASSERT_TRUE(card->ClearBank(3));
    EXPECT_EQ(memoryFiles(), std::set<std::string>{});
}

// The library's second export: functions registered in this process hear of
// every command that changed the card, and of nothing else; a removed one
// hears nothing more.
TEST_F(CardTest, CommandsThatChangeTheCardTellTheListenersInThisProcess)
{
    void* library = ::dlopen(TAMBERLY_AWEMAN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr);
    const auto listen = reinterpret_cast<CardListenProc>(::dlsym(library, kCardListenEntryName));
    ASSERT_NE(listen, nullptr);
    std::atomic<int> heard = 0;
    const auto count = [](void* context) { ++*static_cast<std::atomic<int>*>(context); };
    EXPECT_EQ(listen(nullptr, nullptr, 0), 0u) << "no function, no registration";
    const std::uint64_t token = listen(count, &heard, 0);
    ASSERT_NE(token, 0u);

    const std::string bank = WriteBank("strings.sbk", StringPresets(), 64 * 1024, "Strings");
    const auto card = Session();
    ASSERT_TRUE(card->ClearAllBanks());
    const int afterClear = heard.load();
    ASSERT_TRUE(card->LoadPreset(3, 9, bank, 5, nullptr));
    EXPECT_EQ(heard.load(), afterClear + 1);
    EXPECT_EQ(card->GetPresetName(3, 9), "Cello");
    EXPECT_FALSE(card->LoadPreset(3, 11, bank, 77, nullptr)) << "no such preset";
    EXPECT_EQ(heard.load(), afterClear + 1) << "reading or refusing changes nothing";

    EXPECT_EQ(listen(nullptr, nullptr, token), 1u);
    EXPECT_EQ(listen(nullptr, nullptr, token), 0u) << "a token is removed once";
    ASSERT_TRUE(card->ClearBank(3));
    EXPECT_EQ(heard.load(), afterClear + 1);
    ::dlclose(library);
}
