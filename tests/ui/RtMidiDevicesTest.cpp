#include "ui/keyboard/RtMidiDevices.h"
#include "ui/FakeMidiDevices.h"
#include "ui/keyboard/MidiKeyboardDlg.h"
#include "ui/keyboard/PianoCtrl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>

#include <RtMidi.h>

#include <gtest/gtest.h>

#include <mutex>

TEST(RtMidiDevices, PortPreferenceComesFromTheProfile)
{
    {
        QSettings settings(QStringLiteral("Ravell Software"), QStringLiteral("Tamberly"));
        settings.setValue(QStringLiteral("Midi/Output"), QStringLiteral("SB Live:EMU10K1 Port 0"));
        settings.setValue(QStringLiteral("Midi/Input"), QStringLiteral("USB Keys"));
    }
    const MidiPortPreference preference = CRtMidiDevices::ProfilePreference(true);
    EXPECT_EQ(preference.output, "SB Live:EMU10K1 Port 0");
    EXPECT_EQ(preference.input, "USB Keys");
    EXPECT_TRUE(preference.emulatedCard);

    QSettings(QStringLiteral("Ravell Software"), QStringLiteral("Tamberly")).remove(QStringLiteral("Midi"));
    const MidiPortPreference none = CRtMidiDevices::ProfilePreference(false);
    EXPECT_EQ(none.output, "");
    EXPECT_FALSE(none.emulatedCard);
}

TEST(RtMidiDevices, WithoutASequencerEverythingStaysClosed)
{
    if (CRtMidiDevices::SequencerPresent())
        GTEST_SKIP() << "this machine has an ALSA sequencer (/dev/snd/seq); the session test covers it";
    CMidiKeyboardDlg dialog(std::make_unique<CRtMidiDevices>(MidiPortPreference{"", "", true}));
    EXPECT_FALSE(dialog.OpenMidi());
    EXPECT_FALSE(dialog.IsMidiOpen());
    EXPECT_FALSE(dialog.SendChannelMessage(0x90, 60, 127));

    CRtMidiDevices devices(MidiPortPreference{});
    EXPECT_FALSE(devices.OpenOutput());
    EXPECT_FALSE(devices.OpenInput([](ShortMessage) {}));
    devices.SendShortMessage(MakeShortMessage(0x90, 60, 127)); // nothing to send to, no crash
    devices.CloseInput();
    devices.CloseOutput();
    EXPECT_EQ(devices.GetOutputPort(), "");
}

namespace
{
// What arrives at a virtual sequencer port standing in for the card's synth.
struct Received
{
    std::mutex lock;
    std::vector<ShortMessage> messages;

    static void Record(double, std::vector<unsigned char>* bytes, void* self)
    {
        auto* received = static_cast<Received*>(self);
        if (const auto message = FromWireBytes(bytes->data(), bytes->size()))
        {
            const std::lock_guard<std::mutex> guard(received->lock);
            received->messages.push_back(*message);
        }
    }
    std::size_t Count()
    {
        const std::lock_guard<std::mutex> guard(lock);
        return messages.size();
    }
};

bool WaitFor(Received& received, std::size_t count)
{
    QElapsedTimer timer;
    timer.start();
    while (received.Count() < count && timer.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return received.Count() >= count;
}
} // namespace

TEST(RtMidiDevices, KeyboardSessionAgainstVirtualSequencerPorts)
{
    if (!CRtMidiDevices::SequencerPresent())
        GTEST_SKIP() << "no ALSA sequencer on this machine (/dev/snd/seq is missing): "
                        "the session against virtual sequencer ports cannot run here";

    Received received;
    RtMidiIn card(RtMidi::LINUX_ALSA, "Tamberly Test Card");
    card.ignoreTypes(true, false, false);
    card.setCallback(&Received::Record, &received);
    card.openVirtualPort(kCardSynthPortName);
    RtMidiOut source(RtMidi::LINUX_ALSA, "Tamberly Test Source");
    source.openVirtualPort("Test Keys");

    auto devices = std::make_unique<CRtMidiDevices>(MidiPortPreference{"", "Test Keys", true});
    CRtMidiDevices* ports = devices.get();
    CMidiKeyboardDlg dialog(std::move(devices));
    ASSERT_TRUE(dialog.OpenMidi());
    EXPECT_NE(ports->GetOutputPort().find(kCardSynthPortName), std::string::npos) << ports->GetOutputPort();
    EXPECT_NE(ports->GetInputPort().find("Test Keys"), std::string::npos) << ports->GetInputPort();

    dialog.SetPatch("Strings", 3, 48);
    dialog.SendChannelMessage(0x90, 60, 127);
    dialog.SendChannelMessage(0x90, 60, 0);
    const unsigned char drum[] = {0x99, 38, 100};
    source.sendMessage(drum, sizeof drum);
    const unsigned char clock[] = {0xF8};
    source.sendMessage(clock, sizeof clock);

    ASSERT_TRUE(WaitFor(received, 15));
    const std::lock_guard<std::mutex> guard(received.lock);
    EXPECT_EQ(Hex(received.messages),
              (std::vector<std::string>{"B0 01 00", "B0 07 7F", "B0 0A 40", "B0 0B 7F", "B0 40 00",
                                        "B0 5B 28", "B0 5D 0A", "B0 00 00", "C0 00 00", "B0 00 03",
                                        "C0 30 00", "90 3C 7F", "90 3C 00", "90 26 64", "F8 00 00"}));
    EXPECT_EQ(dialog.GetPiano()->Layout().GetKeyVelocity(38), 100);
    dialog.CloseMidi();
    EXPECT_EQ(ports->GetOutputPort(), "");
}
