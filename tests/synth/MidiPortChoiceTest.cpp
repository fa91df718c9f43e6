#include "synth/MidiPortChoice.h"

#include <gtest/gtest.h>

namespace
{
const std::string kThrough = "Midi Through:Midi Through Port-0 14:0";
const std::string kSynth = "SB Live:EMU10K1 Port 0 17:0";
const std::string kCard = "Tamberly Card:Tamberly Card Synth 128:0";
const std::string kOwnIn = "Tamberly Keyboard:MIDI In 131:0";
const std::string kKeyboard = "USB Keys:USB Keys MIDI 1 24:0";

MidiPortPreference Preference(std::string output, std::string input, bool emulatedCard)
{
    return MidiPortPreference{std::move(output), std::move(input), emulatedCard};
}
} // namespace

TEST(MidiPortChoice, OutputIsTheNamedPortElseTheCardElseTheFirst)
{
    const std::vector<std::string> ports = {kOwnIn, kThrough, kSynth, kCard};
    EXPECT_EQ(ChooseMidiOutput(ports, Preference("", "", false)), 1); // our own port never
    EXPECT_EQ(ChooseMidiOutput(ports, Preference("", "", true)), 3);
    // A setting names a port exactly, or without the numbers that change between sessions.
    EXPECT_EQ(ChooseMidiOutput(ports, Preference(kSynth, "", true)), 2);
    EXPECT_EQ(ChooseMidiOutput(ports, Preference("SB Live:EMU10K1 Port 0", "", true)), 2);
    // A port that is gone does not leave the keyboard silent.
    EXPECT_EQ(ChooseMidiOutput(ports, Preference("Gone:Gone 20:0", "", true)), 3);
    EXPECT_EQ(ChooseMidiOutput(ports, Preference("Gone:Gone 20:0", "", false)), 1);
    // Without the card's port the emulated card falls back to the first port too.
    EXPECT_EQ(ChooseMidiOutput({kThrough, kSynth}, Preference("", "", true)), 0);
    EXPECT_EQ(ChooseMidiOutput({}, Preference("", "", true)), -1);
    EXPECT_EQ(ChooseMidiOutput({kOwnIn}, Preference("Tamberly", "", true)), -1);
}

TEST(MidiPortChoice, InputIsNeverThePortTheOutputGoesTo)
{
    // The through port reads back what is written to it: passing input through
    // to the output would loop.
    EXPECT_EQ(ChooseMidiInput({kThrough, kKeyboard}, Preference("", "", false), kThrough), 1);
    EXPECT_EQ(ChooseMidiInput({kThrough, kKeyboard}, Preference("", "", false), kCard), 0);
    EXPECT_EQ(ChooseMidiInput({kThrough}, Preference("", "", false), kThrough), -1);
    EXPECT_EQ(ChooseMidiInput({kThrough}, Preference("", kThrough, false), kThrough), -1);
    EXPECT_EQ(ChooseMidiInput({kOwnIn, kThrough, kKeyboard}, Preference("", "USB Keys", false), kCard), 2);
    EXPECT_EQ(ChooseMidiInput({kOwnIn, kThrough}, Preference("", "", false), std::string()), 1);
    EXPECT_EQ(ChooseMidiInput({}, Preference("", "", false), std::string()), -1);
}

TEST(MidiPortChoice, ANamedInputIsRememberedWithoutItsNumbersAndNoticedWhenItComesBack)
{
    EXPECT_EQ(PortNameToRemember(kKeyboard), "USB Keys:USB Keys MIDI 1");
    EXPECT_EQ(PortNameToRemember("Odd name 3"), "Odd name 3");
    EXPECT_EQ(PortNameToRemember("Port 1:x"), "Port 1:x");
    EXPECT_EQ(PortNameToRemember(""), "");

    CMidiPortReturn watch(PortNameToRemember(kKeyboard));
    EXPECT_FALSE(watch.Returned({kThrough, kKeyboard})) << "the first look only notes what is there";
    EXPECT_FALSE(watch.Returned({kThrough, kKeyboard}));
    EXPECT_FALSE(watch.Returned({kThrough})); // unplugged
    // Plugged in again, under new numbers.
    EXPECT_TRUE(watch.Returned({kThrough, "USB Keys:USB Keys MIDI 1 28:0"}));
    EXPECT_FALSE(watch.Returned({kThrough, "USB Keys:USB Keys MIDI 1 28:0"}));

    CMidiPortReturn none;
    EXPECT_FALSE(none.Returned({}));
    EXPECT_FALSE(none.Returned({kKeyboard})) << "no port named, nothing to come back";
}
