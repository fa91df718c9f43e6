#include "ui/keyboard/KeyboardDevices.h"
#include "engine/CardEngine.h"
#include "engine/EngineMidiDevices.h"
#include "ui/keyboard/RtMidiDevices.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(KeyboardDevices, TheEmulatedCardsKeyboardPlaysTheEngineUnlessTheUserNamedAPort)
{
    CardEngineOptions options;
    options.audioDevice = false;
    options.cardHome = std::getenv("TAMBERLY_CARD_HOME");
    const auto engine = std::make_shared<CCardEngine>(options);

    MidiPortPreference preference;
    preference.emulatedCard = true;
    const SoundEngineSource source = [engine] { return engine; };
    auto devices = MakeKeyboardDevices(preference, source);
    auto* inProcess = dynamic_cast<CEngineMidiDevices*>(devices.get());
    ASSERT_NE(inProcess, nullptr);
    EXPECT_EQ(inProcess->Engine(), engine);
    // It opens on any machine, with a sequencer for its input or without one.
    EXPECT_TRUE(inProcess->OpenOutput());
    EXPECT_TRUE(inProcess->OpenInput([](ShortMessage) {}));
    inProcess->StartInput();
    inProcess->CloseInput();
    inProcess->CloseOutput();

    preference.output = "Some Synth";
    EXPECT_NE(dynamic_cast<CRtMidiDevices*>(MakeKeyboardDevices(preference, source).get()), nullptr)
        << "a port the user named wins";
    preference.output.clear();
    EXPECT_NE(dynamic_cast<CRtMidiDevices*>(MakeKeyboardDevices(preference, nullptr).get()), nullptr)
        << "no engine running";
    preference.emulatedCard = false;
    EXPECT_NE(dynamic_cast<CRtMidiDevices*>(MakeKeyboardDevices(preference, source).get()), nullptr)
        << "a real card is played through the sequencer";
}
