#include "synth/PianoLayout.h"

#include <algorithm>
#include <string_view>

namespace
{
// Position of each note of an octave among the white keys (C D E F G A B), or
// among the gaps between them for black keys (C# between white 0 and 1 is 1).
constexpr std::array<int, 12> kKeyIndex = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
constexpr std::array<bool, 12> kBlack = {false, true,  false, true,  false, false,
                                         true,  false, true,  false, true,  false};

// The letters in the order of the notes they play, from C of the letter octave up.
constexpr std::string_view kLetters = "AWSEDFTGYHUJKOLP;'";
} // namespace

bool CPianoLayout::SetFirstOctave(int n)
{
    if (n == firstOctave)
        return false;
    firstOctave = std::max(n, 0);
    if (octaveCount + firstOctave > kMaxOctaves)
        firstOctave = kMaxOctaves - octaveCount;
    KeepLetterOctaveShown();
    return true;
}

bool CPianoLayout::SetOctaveCount(int n)
{
    if (n == octaveCount)
        return false;
    // No octave at all would leave nothing to divide the width by.
    octaveCount = std::max(n, 1);
    // Too many for the first octave: the whole range of 8 octaves.
    if (octaveCount + firstOctave > kMaxOctaves)
    {
        firstOctave = 0;
        octaveCount = kMaxOctaves;
    }
    KeepLetterOctaveShown();
    return true;
}

void CPianoLayout::SetSize(int newWidth, int newHeight)
{
    width = std::max(newWidth, 0);
    height = std::max(newHeight, 0);
}

bool CPianoLayout::IsBlackKey(int note)
{
    return note >= 0 && kBlack[static_cast<std::size_t>(note % 12)];
}

// Integer arithmetic with the multiplication first and the divisions left to
// right, so that neighbouring keys share their edges exactly.
PianoRect CPianoLayout::WhiteRect(int note) const
{
    const int r = note - GetFirstNote();
    const int w = kKeyIndex[static_cast<std::size_t>(r % 12)] + 7 * (r / 12);
    const int n = octaveCount;
    return {w * width / n / 7, 0, width * (w + 1) / n / 7, height - 1};
}

PianoRect CPianoLayout::BlackRect(int note) const
{
    const int r = note - GetFirstNote();
    const int k = 4 * (kKeyIndex[static_cast<std::size_t>(r % 12)] + 7 * (r / 12));
    const int n = octaveCount;
    return {(k - 1) * width / n / 28, 0, (k + 1) * width / n / 28, BlackKeyBottom()};
}

PianoRect CPianoLayout::KeyRect(int note) const
{
    if (!IsShown(note))
        return {};
    return IsBlackKey(note) ? BlackRect(note) : WhiteRect(note);
}

PianoRect CPianoLayout::UpperPart(int note) const
{
    if (!IsShown(note) || IsBlackKey(note))
        return {};
    PianoRect part = WhiteRect(note);
    part.bottom = BlackKeyBottom();
    // The upper part ends exactly where a neighbouring black key begins, so
    // every pixel column of the piano belongs to some key.
    if (IsBlackKey(note + 1))
        part.right = BlackRect(note + 1).left;
    if (IsBlackKey(note - 1))
        part.left = BlackRect(note - 1).right;
    return part;
}

PianoRect CPianoLayout::LowerPart(int note) const
{
    if (!IsShown(note) || IsBlackKey(note))
        return {};
    PianoRect part = WhiteRect(note);
    part.top = BlackKeyBottom();
    return part;
}

int CPianoLayout::HitTest(int x, int y) const
{
    for (int note = GetFirstNote(); note <= GetLastNote(); ++note)
    {
        const bool hit = IsBlackKey(note) ? BlackRect(note).Contains(x, y)
                                          : UpperPart(note).Contains(x, y) || LowerPart(note).Contains(x, y);
        if (hit)
            return note;
    }
    return -1;
}

int CPianoLayout::GetKeyVelocity(int note) const
{
    return note >= 0 && note < kNoteCount ? velocities[static_cast<std::size_t>(note)] : 0;
}

bool CPianoLayout::SetKeyVelocity(int note, int velocity)
{
    if (note < 0 || note >= kNoteCount || velocities[static_cast<std::size_t>(note)] == velocity)
        return false;
    velocities[static_cast<std::size_t>(note)] = velocity;
    return true;
}

std::vector<PianoKeyEvent> CPianoLayout::Play(int note, int velocity)
{
    SetKeyVelocity(note, velocity);
    return {PianoKeyEvent{note, velocity}};
}

std::vector<PianoKeyEvent> CPianoLayout::MousePress(int x, int y)
{
    currentNote = HitTest(x, y);
    if (currentNote < 0)
        return {};
    capture = true;
    return Play(currentNote, kPressVelocity);
}

std::vector<PianoKeyEvent> CPianoLayout::MouseMove(int x, int y)
{
    if (!capture)
        return {};
    const int note = HitTest(x, y);
    if (note == currentNote)
        return {};
    std::vector<PianoKeyEvent> events;
    if (currentNote >= 0)
        events = Play(currentNote, 0);
    currentNote = note;
    if (note >= 0)
    {
        SetKeyVelocity(note, kPressVelocity);
        events.push_back({note, kPressVelocity});
    }
    return events;
}

std::vector<PianoKeyEvent> CPianoLayout::MouseRelease()
{
    if (!capture)
        return {};
    capture = false;
    std::vector<PianoKeyEvent> events;
    if (currentNote >= 0)
        events = Play(currentNote, 0);
    currentNote = -1;
    return events;
}

int CPianoLayout::LetterNote(char letter) const
{
    const auto at = kLetters.find(letter);
    if (letter == '\0' || at == std::string_view::npos)
        return -1;
    const int note = 12 * letterOctave + static_cast<int>(at);
    return IsShown(note) ? note : -1;
}

char CPianoLayout::NoteLetter(int note) const
{
    const int offset = note - 12 * letterOctave;
    if (!IsShown(note) || offset < 0 || offset >= static_cast<int>(kLetters.size()))
        return 0;
    return kLetters[static_cast<std::size_t>(offset)];
}

bool CPianoLayout::ShiftLetterOctave(int delta)
{
    const int before = letterOctave;
    letterOctave += delta;
    KeepLetterOctaveShown();
    return letterOctave != before;
}

void CPianoLayout::KeepLetterOctaveShown()
{
    letterOctave = std::clamp(letterOctave, firstOctave, firstOctave + octaveCount - 1);
}
