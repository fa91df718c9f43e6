#include "ui/keyboard/PianoCtrl.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace
{
// One octave from middle C at 70 by 60 pixels: white keys 10 wide, C# from
// 7 to 11, black keys down to row 39, white keys to row 58.
class PianoCtrlTest : public ::testing::Test
{
protected:
    PianoCtrlTest()
    {
        piano.SetOctaveCount(1);
        piano.SetFirstOctave(5);
        piano.resize(70, 60);
    }
    QImage Render()
    {
        QImage image(piano.size(), QImage::Format_RGB32);
        image.fill(Qt::green);
        piano.render(&image);
        return image;
    }

    CPianoCtrl piano;
};
} // namespace

TEST_F(PianoCtrlTest, PaintsVelocityColoursAndTheMiddleCDot)
{
    piano.SetKeyVelocity(62, 127); // D
    piano.SetKeyVelocity(61, 64);  // C#
    const QImage image = Render();

    EXPECT_EQ(image.pixelColor(14, 50), QColor(254, 0, 0)); // lit white key: red of 2 * velocity
    EXPECT_EQ(image.pixelColor(14, 5), QColor(254, 0, 0));  // its upper part too
    EXPECT_EQ(image.pixelColor(9, 20), QColor(0, 0, 128));  // lit black key: blue
    EXPECT_EQ(image.pixelColor(9, 0), QColor(Qt::black));   // under its top line
    EXPECT_EQ(image.pixelColor(34, 5), QColor(Qt::white));  // F, unlit
    EXPECT_EQ(image.pixelColor(30, 30), QColor(Qt::black)); // F's left outline
    EXPECT_EQ(image.pixelColor(40, 30), QColor(Qt::black)); // F# (black key), unlit

    // Middle C: a 3 by 3 dot centred in the key, 10 pixels above its bottom.
    for (int x = 4; x <= 6; ++x)
        for (int y = 48; y <= 50; ++y)
            EXPECT_EQ(image.pixelColor(x, y), QColor(Qt::black)) << x << "," << y;
    EXPECT_EQ(image.pixelColor(3, 49), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(5, 52), QColor(Qt::white));

    // The last row is no key: the piano's background shows.
    EXPECT_NE(image.pixelColor(14, 59), QColor(254, 0, 0));
    EXPECT_NE(image.pixelColor(34, 59), QColor(Qt::white));
}

TEST_F(PianoCtrlTest, MouseCaptureFollowsTheLayout)
{
    QSignalSpy keys(&piano, &CPianoCtrl::PianoKey);
    QTest::mousePress(&piano, Qt::LeftButton, Qt::NoModifier, QPoint(75, 10)); // right of the last key
    EXPECT_EQ(keys.count(), 0);
    QTest::mouseRelease(&piano, Qt::LeftButton, Qt::NoModifier, QPoint(75, 10));

    QTest::mousePress(&piano, Qt::LeftButton, Qt::NoModifier, QPoint(65, 10));
    QTest::mouseRelease(&piano, Qt::LeftButton, Qt::NoModifier, QPoint(65, 10));
    ASSERT_EQ(keys.count(), 2);
    EXPECT_EQ(keys.at(0), (QList<QVariant>{71, 127}));
    EXPECT_EQ(keys.at(1), (QList<QVariant>{71, 0}));
    EXPECT_EQ(piano.HitTest(65, 10), 71);
    EXPECT_EQ(piano.HitTest(65, 59), -1);
}

TEST_F(PianoCtrlTest, HeldLettersAreReleasedWhenThePianoIsHidden)
{
    QSignalSpy keys(&piano, &CPianoCtrl::PianoKey);
    piano.show();
    QTest::keyPress(&piano, Qt::Key_S);                      // D
    QTest::keyPress(&piano, Qt::Key_S, Qt::NoModifier, -1);  // a second press without release plays nothing
    QTest::keyPress(&piano, Qt::Key_C);                      // no letter of the rows, no note
    QTest::keyPress(&piano, Qt::Key_A, Qt::ControlModifier); // a shortcut, no note
    ASSERT_EQ(keys.count(), 1);
    EXPECT_EQ(piano.Layout().GetKeyVelocity(62), 127);
    piano.hide();
    ASSERT_EQ(keys.count(), 2);
    EXPECT_EQ(keys.at(1), (QList<QVariant>{62, 0}));
    EXPECT_EQ(piano.Layout().GetKeyVelocity(62), 0);
    QTest::keyRelease(&piano, Qt::Key_S); // the release that follows plays nothing
    EXPECT_EQ(keys.count(), 2);
}
