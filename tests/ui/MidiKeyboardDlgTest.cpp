#include "ui/keyboard/MidiKeyboardDlg.h"
#include "ui/FakeMidiDevices.h"
#include "ui/keyboard/PianoCtrl.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace
{
using Lines = std::vector<std::string>;

// The seven controllers as the window sends them after opening, with the
// values a test changed.
Lines Controllers(int modulation = 0, int volume = 127, int sustain = 0)
{
    auto hex = [](int controller, int value) { return Hex(MakeShortMessage(0xB0, controller, value)); };
    return {hex(1, modulation), hex(7, volume), hex(10, 64), hex(11, 127),
            hex(64, sustain),   hex(91, 40),    hex(93, 10)};
}

Lines Concat(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class MidiKeyboardDlgTest : public ::testing::Test
{
protected:
    MidiKeyboardDlgTest() : log(std::make_shared<MidiLog>()), dialog(std::make_unique<CFakeMidiDevices>(log))
    {
    }
    // What was sent since the last call, as hex.
    Lines TakeSent()
    {
        Lines sent = Hex(log->sent);
        log->sent.clear();
        log->calls.clear();
        return sent;
    }
    void OpenQuietly()
    {
        ASSERT_TRUE(dialog.OpenMidi());
        TakeSent();
    }
    // A message arriving on the device layer's own thread.
    void Receive(ShortMessage message)
    {
        ASSERT_TRUE(log->handler);
        std::thread device([&] { log->handler(message); });
        device.join();
    }

    std::shared_ptr<MidiLog> log;
    CMidiKeyboardDlg dialog;
};
} // namespace

TEST_F(MidiKeyboardDlgTest, StartsHiddenAndClosedWithTheControllerTable)
{
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.IsMidiOpen());
    EXPECT_TRUE(log->calls.empty());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("MIDI Keyboard"));

    const QComboBox* list = dialog.GetControllerList();
    ASSERT_EQ(list->count(), 7);
    EXPECT_EQ(list->itemText(0), QStringLiteral("001 - Modulator Wheel"));
    EXPECT_EQ(list->itemText(4), QStringLiteral("064 - Sustain Pedal"));
    EXPECT_EQ(list->itemText(6), QStringLiteral("093 - Chorus Depth"));
    EXPECT_EQ(list->currentIndex(), 0);

    const QSlider* slider = dialog.GetSlider();
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 127);
    EXPECT_EQ(slider->tickInterval(), 8);
    EXPECT_EQ(slider->value(), 0);

    EXPECT_EQ(dialog.GetPiano()->Layout().GetFirstNote(), 24);
    EXPECT_EQ(dialog.GetPiano()->Layout().GetLastNote(), 95);
}

TEST_F(MidiKeyboardDlgTest, OpeningSendsControllersThenBankAndProgram)
{
    dialog.SetBankProgram(5, 17); // stored while closed, nothing sent
    EXPECT_TRUE(log->sent.empty());

    ASSERT_TRUE(dialog.OpenMidi());
    EXPECT_TRUE(dialog.IsMidiOpen());
    EXPECT_EQ(log->calls.front(), "OpenOutput");
    EXPECT_EQ(log->calls[1], "OpenInput");
    EXPECT_EQ(log->calls[2], "StartInput");
    EXPECT_TRUE(log->inputStarted);
    EXPECT_EQ(TakeSent(), Concat(Controllers(), {"B0 00 05", "C0 11 00"}));

    EXPECT_TRUE(dialog.OpenMidi()); // already open: nothing again
    EXPECT_TRUE(log->calls.empty());
}

TEST_F(MidiKeyboardDlgTest, ADeviceThatFailsLeavesBothClosed)
{
    log->failOutput = true;
    EXPECT_FALSE(dialog.OpenMidi());
    EXPECT_EQ(log->calls, (Lines{"OpenOutput"}));

    log->failOutput = false;
    log->failInput = true;
    log->calls.clear();
    EXPECT_FALSE(dialog.OpenMidi());
    EXPECT_EQ(log->calls, (Lines{"OpenOutput", "OpenInput", "CloseOutput"}));
    EXPECT_FALSE(dialog.IsMidiOpen());

    // Closed: every send is skipped quietly, the values are kept.
    EXPECT_FALSE(dialog.SendChannelMessage(0x90, 60, 127));
    dialog.SetPatch("Organ", 2, 19);
    EXPECT_TRUE(log->sent.empty());
    EXPECT_EQ(dialog.GetBank(), 2);
    EXPECT_EQ(dialog.GetProgram(), 19);

    log->failInput = false;
    ASSERT_TRUE(dialog.OpenMidi());
    EXPECT_EQ(TakeSent(), Concat(Controllers(), {"B0 00 02", "C0 13 00"}));
}

TEST_F(MidiKeyboardDlgTest, DeactivationClosesAndActivationReopens)
{
    OpenQuietly();
    dialog.EnableMidi(false);
    EXPECT_FALSE(dialog.IsMidiOpen());
    EXPECT_EQ(log->calls, (Lines{"CloseInput", "CloseOutput"}));
    EXPECT_FALSE(log->handler);
    dialog.EnableMidi(false);
    EXPECT_EQ(log->calls.size(), 2u);

    dialog.EnableMidi(true);
    EXPECT_TRUE(dialog.IsMidiOpen());
    EXPECT_EQ(TakeSent(), Concat(Controllers(), {"B0 00 00", "C0 00 00"}));
}

TEST_F(MidiKeyboardDlgTest, DestructionClosesOpenDevices)
{
    auto ownLog = std::make_shared<MidiLog>();
    {
        CMidiKeyboardDlg window(std::make_unique<CFakeMidiDevices>(ownLog));
        ASSERT_TRUE(window.OpenMidi());
        ownLog->calls.clear();
    }
    EXPECT_EQ(ownLog->calls, (Lines{"CloseInput", "CloseOutput"}));
    EXPECT_TRUE(ownLog->destroyed);
}

TEST_F(MidiKeyboardDlgTest, PatchesSetTitleBankAndProgram)
{
    OpenQuietly();
    dialog.SetPatch("Strings", 3, 48);
    EXPECT_EQ(TakeSent(), (Lines{"B0 00 03", "C0 30 00"}));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Midi Keyboard: Strings [003:048]"));

    // An unassigned bank or program plays bank 0, program 0 (the stored values are not used).
    dialog.SetPatch("Loose", -1, 12);
    EXPECT_EQ(TakeSent(), (Lines{"B0 00 00", "C0 00 00"}));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Midi Keyboard: Loose [000:000]"));
    dialog.SetPatch("Half", 4, -1);
    EXPECT_EQ(TakeSent(), (Lines{"B0 00 00", "C0 00 00"}));
    EXPECT_EQ(dialog.GetBank(), 0);

    // -1 in SetBankProgram keeps the stored value.
    dialog.SetBankProgram(9, -1);
    EXPECT_EQ(TakeSent(), (Lines{"B0 00 09", "C0 00 00"}));
    dialog.SetBankProgram(-1, 7);
    EXPECT_EQ(TakeSent(), (Lines{"B0 00 09", "C0 07 00"}));

    // Through the document's interface.
    IKeyboardLink& link = dialog;
    link.SetPatch("Choir", 1, 52);
    EXPECT_EQ(TakeSent(), (Lines{"B0 00 01", "C0 34 00"}));
    link.EnableMidi(false);
    EXPECT_FALSE(dialog.IsMidiOpen());
}

TEST_F(MidiKeyboardDlgTest, EverythingLeavesOnChannelOne)
{
    OpenQuietly();
    EXPECT_TRUE(dialog.SendShortMessage(MakeShortMessage(0xE5, 0x00, 0x40)));
    EXPECT_TRUE(dialog.SendChannelMessage(0xB3, 7, 100));
    EXPECT_TRUE(dialog.SendShortMessage(MakeShortMessage(0xF8, 0, 0)));
    EXPECT_TRUE(dialog.SendShortMessage(MakeShortMessage(0xFE, 0, 0)));
    dialog.SendControllers(0);
    EXPECT_EQ(TakeSent(), Concat({"E0 00 40", "B0 07 64", "F8 00 00", "FE 00 00"}, Controllers()));
}

TEST_F(MidiKeyboardDlgTest, InputIsPassedThroughOnTheWindowsThread)
{
    OpenQuietly();
    Receive(MakeShortMessage(0x99, 38, 100)); // note on, channel 10
    EXPECT_TRUE(log->sent.empty()) << "handled on the device thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(TakeSent(), (Lines{"90 26 64"}));
    EXPECT_EQ(dialog.GetPiano()->Layout().GetKeyVelocity(38), 100);

    Receive(MakeShortMessage(0x89, 38, 64)); // note off leaves the key lit
    Receive(MakeShortMessage(0xF8, 0, 0));   // clock stays a clock
    QCoreApplication::processEvents();
    EXPECT_EQ(TakeSent(), (Lines{"80 26 40", "F8 00 00"}));
    EXPECT_EQ(dialog.GetPiano()->Layout().GetKeyVelocity(38), 100);

    Receive(MakeShortMessage(0x9F, 38, 0)); // note on with velocity 0 unlights it
    QCoreApplication::processEvents();
    EXPECT_EQ(TakeSent(), (Lines{"90 26 00"}));
    EXPECT_EQ(dialog.GetPiano()->Layout().GetKeyVelocity(38), 0);
}

TEST_F(MidiKeyboardDlgTest, InputQueuedBeforeClosingIsNotSent)
{
    OpenQuietly();
    Receive(MakeShortMessage(0x90, 60, 90));
    dialog.CloseMidi();
    QCoreApplication::processEvents();
    EXPECT_TRUE(log->sent.empty());
    EXPECT_EQ(dialog.GetPiano()->Layout().GetKeyVelocity(60), 0);
}

TEST_F(MidiKeyboardDlgTest, SliderSendsAllSevenControllers)
{
    OpenQuietly();
    QComboBox* list = dialog.GetControllerList();
    QSlider* slider = dialog.GetSlider();

    list->setCurrentIndex(4); // "064 - Sustain Pedal"
    EXPECT_EQ(slider->value(), 0);
    EXPECT_TRUE(log->sent.empty()) << "choosing a controller sends nothing";

    slider->setValue(100);
    EXPECT_EQ(TakeSent(), Controllers(0, 127, 100));
    EXPECT_EQ(dialog.GetControllers()[4].value, 100);

    list->setCurrentIndex(1); // "007 - Main Volume"
    EXPECT_EQ(slider->value(), 127);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(TakeSent(), Controllers(0, 126, 100));

    list->setCurrentIndex(4);
    EXPECT_EQ(slider->value(), 100);
    EXPECT_TRUE(log->sent.empty());
}

TEST_F(MidiKeyboardDlgTest, PianoKeysPlayNotes)
{
    OpenQuietly();
    CPianoCtrl* piano = dialog.GetPiano();
    piano->resize(420, 90); // 6 octaves of 70 pixels, white keys 10 wide
    const CPianoLayout& layout = piano->Layout();

    // Middle C is white key 21: pixels 210 to 219; C# begins at 217.
    QTest::mousePress(piano, Qt::LeftButton, Qt::NoModifier, QPoint(212, 80));
    EXPECT_EQ(TakeSent(), (Lines{"90 3C 7F"}));
    EXPECT_EQ(layout.GetKeyVelocity(60), 127);
    // A drag: the move arrives with the left button held.
    QMouseEvent drag(QEvent::MouseMove, QPointF(218, 10), piano->mapToGlobal(QPointF(218, 10)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(piano, &drag);
    EXPECT_EQ(TakeSent(), (Lines{"90 3C 00", "90 3D 7F"}));
    QTest::mouseRelease(piano, Qt::LeftButton, Qt::NoModifier, QPoint(218, 10));
    EXPECT_EQ(TakeSent(), (Lines{"90 3D 00"}));
    EXPECT_EQ(layout.GetKeyVelocity(61), 0);

    // The last pixel row is no key.
    QTest::mousePress(piano, Qt::LeftButton, Qt::NoModifier, QPoint(212, 89));
    QTest::mouseRelease(piano, Qt::LeftButton, Qt::NoModifier, QPoint(212, 89));
    EXPECT_TRUE(log->sent.empty());

    // The letter rows play from middle C.
    QTest::keyPress(piano, Qt::Key_A);
    EXPECT_EQ(layout.GetKeyVelocity(60), 127);
    QTest::keyRelease(piano, Qt::Key_A);
    QTest::keyClick(piano, Qt::Key_X); // an octave up
    QTest::keyClick(piano, Qt::Key_W);
    EXPECT_EQ(TakeSent(), (Lines{"90 3C 7F", "90 3C 00", "90 49 7F", "90 49 00"}));
}

TEST_F(MidiKeyboardDlgTest, KeyboardCommandTogglesTheWindow)
{
    QSignalSpy visibility(&dialog, &CMidiKeyboardDlg::VisibilityChanged);
    dialog.ToggleVisible();
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape); // hides, never destroys
    EXPECT_FALSE(dialog.isVisible());
    dialog.ToggleVisible();
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    dialog.show();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(visibility.count(), 6);
    EXPECT_TRUE(visibility.at(0).at(0).toBool());
    EXPECT_FALSE(visibility.at(5).at(0).toBool());
}
