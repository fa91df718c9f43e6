#include "synth/PianoLayout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace
{
using Events = std::vector<PianoKeyEvent>;

// One octave from middle C, 70 by 60 pixels: white keys 10 pixels wide,
// black keys end at row 40, white keys at row 59 (exclusive).
CPianoLayout OneOctave()
{
    CPianoLayout piano;
    piano.SetOctaveCount(1);
    piano.SetFirstOctave(5);
    piano.SetSize(70, 60);
    return piano;
}

// How many key parts hold a pixel.
int Owners(const CPianoLayout& piano, int x, int y)
{
    int owners = 0;
    for (int note = piano.GetFirstNote(); note <= piano.GetLastNote(); ++note)
    {
        if (CPianoLayout::IsBlackKey(note))
            owners += piano.KeyRect(note).Contains(x, y);
        else
            owners += piano.UpperPart(note).Contains(x, y) + piano.LowerPart(note).Contains(x, y);
    }
    return owners;
}
} // namespace

TEST(PianoLayout, KeysFollowTheIntegerGeometry)
{
    const CPianoLayout piano = OneOctave();
    EXPECT_EQ(piano.KeyRect(60), (PianoRect{0, 0, 10, 59}));  // C
    EXPECT_EQ(piano.KeyRect(71), (PianoRect{60, 0, 70, 59})); // B
    EXPECT_EQ(piano.KeyRect(61), (PianoRect{7, 0, 12, 40}));  // C#: 3*70/28 = 7, 5*70/28 = 12
    EXPECT_EQ(piano.KeyRect(70), (PianoRect{57, 0, 62, 40})); // A#: 23*70/28, 25*70/28
    // White upper parts end where the neighbouring black keys begin.
    EXPECT_EQ(piano.UpperPart(60), (PianoRect{0, 0, 7, 40}));
    EXPECT_EQ(piano.UpperPart(62), (PianoRect{12, 0, 17, 40})); // D between C# and D#
    EXPECT_EQ(piano.UpperPart(64), (PianoRect{22, 0, 30, 40})); // E after D#
    EXPECT_EQ(piano.LowerPart(62), (PianoRect{10, 40, 20, 59}));
    EXPECT_TRUE(piano.UpperPart(61).IsEmpty());
    EXPECT_TRUE(piano.KeyRect(59).IsEmpty());
    EXPECT_TRUE(piano.KeyRect(72).IsEmpty());
}

TEST(PianoLayout, HitsAtKeyBorders)
{
    const CPianoLayout piano = OneOctave();
    EXPECT_EQ(piano.HitTest(0, 0), 60);
    EXPECT_EQ(piano.HitTest(6, 0), 60);
    EXPECT_EQ(piano.HitTest(7, 0), 61); // black key's left edge is inside
    EXPECT_EQ(piano.HitTest(11, 39), 61);
    EXPECT_EQ(piano.HitTest(12, 0), 62);  // its right edge is not
    EXPECT_EQ(piano.HitTest(7, 40), 60);  // nor its bottom edge
    EXPECT_EQ(piano.HitTest(10, 40), 62); // the lower parts meet without a gap
    EXPECT_EQ(piano.HitTest(69, 58), 71);
    // The last pixel row, right of the last key and left of the first belong to no key.
    EXPECT_EQ(piano.HitTest(5, 59), -1);
    EXPECT_EQ(piano.HitTest(70, 10), -1);
    EXPECT_EQ(piano.HitTest(-1, 10), -1);
    EXPECT_EQ(piano.HitTest(5, -1), -1);
}

TEST(PianoLayout, EveryPixelAboveTheLastRowBelongsToExactlyOneKey)
{
    for (const auto& [width, height, octaves] :
         {std::tuple{70, 60, 1}, std::tuple{331, 47, 6}, std::tuple{97, 33, 8}, std::tuple{1000, 90, 3}})
    {
        CPianoLayout piano;
        piano.SetOctaveCount(octaves);
        piano.SetSize(width, height);
        const int rows[] = {0, piano.BlackKeyBottom() - 1, piano.BlackKeyBottom(), height - 2};
        for (int y : rows)
            for (int x = 0; x < width; ++x)
            {
                ASSERT_EQ(Owners(piano, x, y), 1) << width << "x" << height << " at " << x << "," << y;
                ASSERT_NE(piano.HitTest(x, y), -1);
            }
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(piano.HitTest(x, height - 1), -1) << x;
        EXPECT_EQ(piano.HitTest(width - 1, 0), piano.GetLastNote());
    }
}

TEST(PianoLayout, OctavesAreKeptWithinEightFromNoteZero)
{
    CPianoLayout piano;
    EXPECT_EQ(piano.GetOctaveCount(), 4);
    EXPECT_EQ(piano.GetFirstOctave(), 2);
    EXPECT_FALSE(piano.SetFirstOctave(2));
    EXPECT_TRUE(piano.SetOctaveCount(6));
    EXPECT_EQ(piano.GetFirstNote(), 24);
    EXPECT_EQ(piano.GetLastNote(), 95);

    EXPECT_TRUE(piano.SetOctaveCount(7)); // 2 + 7 runs past octave 8
    EXPECT_EQ(piano.GetFirstOctave(), 0);
    EXPECT_EQ(piano.GetOctaveCount(), 8);

    EXPECT_TRUE(piano.SetOctaveCount(3));
    EXPECT_TRUE(piano.SetFirstOctave(7));
    EXPECT_EQ(piano.GetFirstOctave(), 5);
    EXPECT_TRUE(piano.SetFirstOctave(-2));
    EXPECT_EQ(piano.GetFirstOctave(), 0);

    // No octave at all would divide by zero: one octave instead.
    EXPECT_TRUE(piano.SetOctaveCount(0));
    EXPECT_EQ(piano.GetOctaveCount(), 1);
    piano.SetSize(70, 60);
    EXPECT_EQ(piano.HitTest(0, 0), 0);
}

TEST(PianoLayout, VelocitiesOnlyForRealNotes)
{
    CPianoLayout piano;
    EXPECT_TRUE(piano.SetKeyVelocity(127, 90));
    EXPECT_FALSE(piano.SetKeyVelocity(127, 90));
    EXPECT_EQ(piano.GetKeyVelocity(127), 90);
    EXPECT_FALSE(piano.SetKeyVelocity(128, 90));
    EXPECT_FALSE(piano.SetKeyVelocity(-1, 90));
    EXPECT_EQ(piano.GetKeyVelocity(128), 0);
}

TEST(PianoLayout, PressOutsideTheKeysNeitherPlaysNorCaptures)
{
    CPianoLayout piano = OneOctave();
    EXPECT_EQ(piano.MousePress(5, 59), Events{});
    EXPECT_FALSE(piano.HasCapture());
    EXPECT_EQ(piano.MouseMove(5, 10), Events{}); // no capture, no drag
    EXPECT_EQ(piano.MouseRelease(), Events{});
    EXPECT_EQ(piano.GetKeyVelocity(60), 0);
}

TEST(PianoLayout, DragReleasesEachKeyBeforePressingTheNext)
{
    CPianoLayout piano = OneOctave();
    EXPECT_EQ(piano.MousePress(2, 50), (Events{{60, 127}}));
    EXPECT_TRUE(piano.HasCapture());
    EXPECT_EQ(piano.GetKeyVelocity(60), 127);
    EXPECT_EQ(piano.MouseMove(4, 45), Events{}); // same key
    EXPECT_EQ(piano.MouseMove(8, 10), (Events{{60, 0}, {61, 127}}));
    EXPECT_EQ(piano.GetKeyVelocity(60), 0);
    EXPECT_EQ(piano.MouseMove(15, 50), (Events{{61, 0}, {62, 127}}));
    // Off the keys only releases; coming back presses again.
    EXPECT_EQ(piano.MouseMove(80, 50), (Events{{62, 0}}));
    EXPECT_EQ(piano.GetCurrentNote(), -1);
    EXPECT_EQ(piano.MouseMove(65, 50), (Events{{71, 127}}));
    EXPECT_EQ(piano.MouseRelease(), (Events{{71, 0}}));
    EXPECT_FALSE(piano.HasCapture());
    for (int note = 60; note <= 71; ++note)
        EXPECT_EQ(piano.GetKeyVelocity(note), 0) << note;
}

TEST(PianoLayout, LetterRowsPlayFromTheLetterOctave)
{
    CPianoLayout piano;
    piano.SetOctaveCount(6); // notes 24 to 95
    EXPECT_EQ(piano.LetterNote('A'), 60);
    EXPECT_EQ(piano.LetterNote('W'), 61);
    EXPECT_EQ(piano.LetterNote('J'), 71);
    EXPECT_EQ(piano.LetterNote('K'), 72);
    EXPECT_EQ(piano.LetterNote('\''), 77);
    EXPECT_EQ(piano.LetterNote('Q'), -1);
    EXPECT_EQ(piano.LetterNote('\0'), -1);
    EXPECT_EQ(piano.NoteLetter(63), 'E');
    EXPECT_EQ(piano.NoteLetter(59), 0);

    EXPECT_TRUE(piano.ShiftLetterOctave(+1));
    EXPECT_TRUE(piano.ShiftLetterOctave(+1));
    EXPECT_EQ(piano.LetterNote('A'), 84);
    EXPECT_EQ(piano.LetterNote('L'), -1); // 98 is above the last key
    EXPECT_FALSE(piano.ShiftLetterOctave(+1));
    EXPECT_EQ(piano.GetLetterOctave(), 7);

    // Fewer octaves pull the letters back onto the piano.
    piano.SetOctaveCount(2);
    EXPECT_EQ(piano.GetLetterOctave(), 3);
    EXPECT_EQ(piano.LetterNote('A'), 36);
    EXPECT_TRUE(piano.ShiftLetterOctave(-5));
    EXPECT_EQ(piano.GetLetterOctave(), 2);
}
