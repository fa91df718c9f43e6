#pragma once
// The piano keyboard widget. It paints a CPianoLayout and turns the mouse and
// the letter keys into key events: PianoKey(note, 127) for a press,
// PianoKey(note, 0) for a release.

#include "synth/PianoLayout.h"

#include <QWidget>

#include <map>

class CPianoCtrl : public QWidget
{
    Q_OBJECT

public:
    explicit CPianoCtrl(QWidget* parent = nullptr);

    void SetFirstOctave(int n);
    void SetOctaveCount(int n);
    // Lights a key (0 unlights it); notes outside 0..127 are ignored.
    void SetKeyVelocity(int note, int velocity);
    // The note under a point of the widget, -1 for none.
    int HitTest(int x, int y);
    const CPianoLayout& Layout() const { return layout; }

    // Where the letter of note is written, inside its key's part below the
    // black keys (a black key: inside the key), and the letter's pixel
    // size; an empty rectangle when no legible letter fits there.
    QRect LetterRect(int note, int* pixelSize = nullptr);
    // The least height at which the piano is playable and its letters show.
    static constexpr int kLeastHeight = 64;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void PianoKey(int note, int velocity);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void TakeSize();
    void Announce(const std::vector<PianoKeyEvent>& events);
    void RepaintKey(int note);
    // Releases whatever the mouse and the letter keys hold, so that no note
    // hangs when the piano stops seeing the key or button go up.
    void ReleaseAll();

    CPianoLayout layout;
    std::map<int, int> heldLetters; // Qt key -> the note it pressed
};
