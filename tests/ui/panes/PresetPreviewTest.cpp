// Hearing presets from the preset list: real clicks and keys on the list,
// an engine that records what reaches its preview channel.

#include "ui/panes/PaneFixture.h"

#include "soundfont/PresetImage.h"
#include "ui/FakeMidiDevices.h"
#include "ui/RecordingEngine.h"
#include "ui/keyboard/MidiKeyboardDlg.h"
#include "ui/keyboard/PianoCtrl.h"
#include "ui/panes/PatchListModel.h"
#include "ui/panes/PatchView.h"
#include "ui/panes/PresetPreview.h"

#include <QApplication>
#include <QTest>

#include <future>

namespace
{
using Lines = std::vector<std::string>;
// The list names drum kits as the card does.
const std::string kKitRow = "Drum Patch 1";

class PresetPreviewTest : public PaneTest
{
protected:
    PresetPreviewTest() : engine(std::make_shared<CRecordingEngine>())
    {
        SoundFontBuilder bank;
        bank.Version(2).SampleData(4096);
        const int sample = bank.AddSample(0, 100);
        const int instrument = bank.AddInstrument("Instrument", {sample});
        bank.AddPreset("Pad", 3, 0, {instrument});
        bank.AddPreset("Kit", 0, 128, {instrument});
        path = Write("GM.SF2", bank.Build());

        view.GetPreview().SetEngineSource([this] { return engine; });
        view.GetPreview().SetShortestNote(std::chrono::milliseconds(40));
        view.resize(500, 300);
        view.show();
        document->SetCurrentFile(nullptr, path);
    }

    int Row(const std::string& name) const
    {
        for (int row = 0; row < view.GetModel()->rowCount(); ++row)
            if (view.GetModel()->GetPatch(row)->GetName() == name)
                return row;
        ADD_FAILURE() << name << " is not listed";
        return 0;
    }
    QPoint RowCentre(const std::string& name) const
    {
        return view.visualRect(view.GetModel()->index(Row(name), 0)).center();
    }
    std::vector<std::uint8_t> Image(int sourcePreset) const
    {
        PresetImage image;
        EXPECT_TRUE(MakePresetImage(path, sourcePreset, image));
        return image.bytes;
    }
    // Waits until the engine heard `notes` (the image is built on another thread).
    bool Heard(const Lines& notes)
    {
        return QTest::qWaitFor([&] { return engine->Notes() == notes; }, 3000);
    }

    std::shared_ptr<CRecordingEngine> engine;
    std::string path;
    CPatchView view{*document};
};
} // namespace

TEST_F(PresetPreviewTest, AClickSpaceOrAHeldButtonPlaysThePresetsKey)
{
    constexpr int kKit = 128 << 16;

    // A click: middle C of the preset's own image, ended by the shortest note's end.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre("Pad"));
    ASSERT_TRUE(Heard({"on 60", "off 60"})) << testing::PrintToString(engine->Notes());
    EXPECT_EQ(engine->Images(), std::vector<std::vector<std::uint8_t>>{Image(3)});

    // Held past the shortest note, the drum kit's snare lasts until the release.
    engine->ClearNotes();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, RowCentre(kKitRow));
    ASSERT_TRUE(Heard({"on 38"}));
    QTest::qWait(150);
    EXPECT_EQ(engine->Notes(), Lines{"on 38"});
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, RowCentre(kKitRow));
    EXPECT_EQ(engine->Notes(), (Lines{"on 38", "off 38"}));
    ASSERT_EQ(engine->Images().size(), 2u);
    EXPECT_EQ(engine->Images().back(), Image(kKit));

    // Space on the current row; the same preset again needs no new image.
    engine->ClearNotes();
    view.setCurrentIndex(view.GetModel()->index(Row("Pad"), 0));
    QTest::keyClick(&view, Qt::Key_Space);
    ASSERT_TRUE(Heard({"on 60", "off 60"}));
    QTest::keyClick(&view, Qt::Key_Space);
    ASSERT_TRUE(Heard({"on 60", "off 60", "on 60", "off 60"}));
    EXPECT_EQ(engine->Images().size(), 3u);
    EXPECT_EQ(engine->Images().back(), Image(3));

    // Shift and Ctrl clicks only choose rows.
    engine->ClearNotes();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, RowCentre(kKitRow));
    QTest::qWait(100);
    EXPECT_TRUE(engine->Notes().empty());
}

TEST_F(PresetPreviewTest, TurnedOffAClickOnlySelects)
{
    Profile::WritePreviewEnabled(false);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre(kKitRow));
    QTest::keyClick(&view, Qt::Key_Space);
    QTest::qWait(100);
    EXPECT_TRUE(engine->Notes().empty());
    EXPECT_TRUE(engine->Images().empty());
    EXPECT_EQ(view.currentIndex().row(), Row(kKitRow));

    // Read at the click: turned on again, the next click plays.
    Profile::WritePreviewEnabled(true);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre(kKitRow));
    EXPECT_TRUE(Heard({"on 38", "off 38"}));
}

TEST_F(PresetPreviewTest, AnImageOvertakenByAnotherClickOrFileIsNeverHeard)
{
    // The first image waits for the engine until the second click was made.
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    view.GetPreview().SetEngineSource(
        [this, opened]
        {
            opened.wait();
            return engine;
        });
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre("Pad"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre(kKitRow));
    gate.set_value();
    ASSERT_TRUE(Heard({"on 38", "off 38"}));
    EXPECT_EQ(engine->Images().size(), 1u) << "the stale image was not loaded";

    // Another file chosen while a preset of the first is built: nothing plays.
    std::promise<void> gate2;
    std::shared_future<void> opened2 = gate2.get_future().share();
    view.GetPreview().SetEngineSource(
        [this, opened2]
        {
            opened2.wait();
            return engine;
        });
    engine->ClearNotes();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre("Pad"));
    document->SetCurrentFile(nullptr, Write("B.SBK", BankBytes({{"Other", 0}})));
    gate2.set_value();
    QTest::qWait(200);
    EXPECT_TRUE(engine->Notes().empty());
}

TEST_F(PresetPreviewTest, TheKeyboardPlaysThePreviewUntilEscapeOrASlotIsChosen)
{
    auto log = std::make_shared<MidiLog>();
    CMidiKeyboardDlg keyboard(std::make_unique<CFakeMidiDevices>(log));
    keyboard.FollowPreview(&view.GetPreview());
    ASSERT_TRUE(keyboard.OpenMidi());
    keyboard.SetPatch("Strings", 2, 5);
    log->sent.clear();

    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre("Pad"));
    ASSERT_TRUE(Heard({"on 60", "off 60"}));
    EXPECT_TRUE(keyboard.IsPreviewing());
    EXPECT_EQ(keyboard.windowTitle(), QStringLiteral("Preview: Pad - Esc plays the card again"));

    // The piano and the MIDI input reach the preview, not the card; a key
    // still held when Escape ends the preview is let go there.
    engine->ClearNotes();
    QTest::keyPress(keyboard.GetPiano(), Qt::Key_A);
    QTest::keyRelease(keyboard.GetPiano(), Qt::Key_A);
    ASSERT_TRUE(log->handler);
    log->handler(MakeShortMessage(0x93, 67, 90)); // on channel 4, as a hardware keyboard may send
    QApplication::processEvents();
    QTest::keyClick(&keyboard, Qt::Key_Escape);
    EXPECT_EQ(engine->Notes(), (Lines{"on 60", "off 60", "on 67", "off 67"}));
    EXPECT_TRUE(log->sent.empty());
    EXPECT_FALSE(keyboard.IsPreviewing());
    EXPECT_EQ(keyboard.windowTitle(), QStringLiteral("Midi Keyboard: Strings [002:005]"));

    // Back on the card; the next preview is left by choosing a slot.
    QTest::keyClick(keyboard.GetPiano(), Qt::Key_A);
    EXPECT_EQ(Hex(log->sent), (Lines{"90 3C 7F", "90 3C 00"}));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowCentre(kKitRow));
    ASSERT_TRUE(QTest::qWaitFor([&] { return keyboard.IsPreviewing(); }, 3000));
    keyboard.SetPatch("Organ", 1, 19);
    EXPECT_FALSE(keyboard.IsPreviewing());
}
