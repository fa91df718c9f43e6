#pragma once
// The piano keyboard without a window: which notes it shows, where each key
// lies for a given size, which key a point hits, the velocity each note is
// lit with, what a mouse press, drag and release play, and which letters of
// a computer keyboard play which notes. The widget only paints this.
//
// All rectangles include their left and top edges and exclude their right and
// bottom edges, in painting and in hit testing alike.

#include <array>
#include <vector>

struct PianoRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const PianoRect&) const = default;
};

// A key pressed (velocity 127) or released (velocity 0).
struct PianoKeyEvent
{
    int note = -1;
    int velocity = 0;
    bool operator==(const PianoKeyEvent&) const = default;
};

class CPianoLayout
{
public:
    static constexpr int kNoteCount = 128;
    static constexpr int kMaxOctaves = 8;
    static constexpr int kPressVelocity = 127;

    int GetFirstOctave() const { return firstOctave; }
    int GetOctaveCount() const { return octaveCount; }
    // Both return true when the shown notes changed (the whole piano needs
    // painting). The first octave is kept so that the piano ends by octave 8
    // and never starts below note 0.
    bool SetFirstOctave(int n);
    // A count that would run past octave 8 with the first octave shows all 8
    // octaves from note 0; a count below 1 shows one octave.
    bool SetOctaveCount(int n);

    // The size of the piano's area in pixels, taken before geometry and hit tests.
    void SetSize(int width, int height);
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }

    int GetFirstNote() const { return 12 * firstOctave; }
    int GetLastNote() const { return 12 * (firstOctave + octaveCount) - 1; }
    bool IsShown(int note) const { return note >= GetFirstNote() && note <= GetLastNote(); }
    static bool IsBlackKey(int note);

    // A key's whole rectangle (for a white key both parts and the area under
    // the neighbouring black keys); empty for notes not shown.
    PianoRect KeyRect(int note) const;
    // The parts of a white key the user sees: the upper part between the
    // neighbouring black keys and the lower part below them. Empty for black
    // keys and notes not shown.
    PianoRect UpperPart(int note) const;
    PianoRect LowerPart(int note) const;
    // Where the black keys end and the white keys' lower parts begin.
    int BlackKeyBottom() const { return height * 2 / 3; }

    // The note whose key holds the point, -1 for none.
    int HitTest(int x, int y) const;

    int GetKeyVelocity(int note) const;
    // True when the velocity changed (that key needs painting); notes outside
    // 0..127 are ignored.
    bool SetKeyVelocity(int note, int velocity);

    // The mouse: a press on a key captures the mouse and plays the key; a drag
    // while captured releases the key left before pressing the key reached; a
    // release ends the capture and releases the key held. Each returns the key
    // events in the order they happen, with the velocities already set.
    std::vector<PianoKeyEvent> MousePress(int x, int y);
    std::vector<PianoKeyEvent> MouseMove(int x, int y);
    std::vector<PianoKeyEvent> MouseRelease();
    bool HasCapture() const { return capture; }
    int GetCurrentNote() const { return currentNote; }

    // The computer keyboard: the letter row A S D F G H J K L ; ' plays white
    // keys and the row above (W E T Y U O P) the black keys between them,
    // starting with C of the letter octave. -1 for another character or a
    // note not shown.
    int LetterNote(char letter) const;
    // The letter that plays a note, 0 for none.
    char NoteLetter(int note) const;
    int GetLetterOctave() const { return letterOctave; }
    // Moves the letters an octave down (-1) or up (+1) within the shown
    // octaves; true when they moved.
    bool ShiftLetterOctave(int delta);

private:
    PianoRect WhiteRect(int note) const;
    PianoRect BlackRect(int note) const;
    void KeepLetterOctaveShown();
    std::vector<PianoKeyEvent> Play(int note, int velocity);

    int octaveCount = 4;
    int firstOctave = 2;
    int width = 0;
    int height = 0;
    int currentNote = -1;
    bool capture = false;
    int letterOctave = 5; // middle C
    std::array<int, kNoteCount> velocities{};
};
