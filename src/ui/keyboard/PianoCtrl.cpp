#include "ui/keyboard/PianoCtrl.h"

#include <QCursor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <utility>

namespace
{
constexpr int kMiddleC = 60;
constexpr int kDotAboveBottom = 10;
constexpr char kOctaveDownLetter = 'Z';
constexpr char kOctaveUpLetter = 'X';

QRect ToQRect(const PianoRect& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The character a key of the letter rows stands for, 0 for others.
char LetterOf(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<char>('A' + (key - Qt::Key_A));
    if (key == Qt::Key_Semicolon)
        return ';';
    if (key == Qt::Key_Apostrophe)
        return '\'';
    return 0;
}

bool PlainKey(const QKeyEvent& event)
{
    return !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

// The piano cursor: a small finger-like key pointing down, its hot spot at the tip.
QCursor PianoCursor()
{
    QPixmap image(16, 16);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(5, 0, 5, 11);
    const QPoint tip[] = {QPoint(3, 11), QPoint(12, 11), QPoint(7, 15), QPoint(8, 15)};
    painter.drawPolygon(tip, 4);
    painter.end();
    return QCursor(image, 7, 15);
}

void FillSpan(QPainter& painter, int left, int top, int right, int bottom, const QColor& colour)
{
    if (right > left && bottom > top)
        painter.fillRect(left, top, right - left, bottom - top, colour);
}
} // namespace

CPianoCtrl::CPianoCtrl(QWidget* parent) : QWidget(parent)
{
    setCursor(PianoCursor());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPianoCtrl::SetFirstOctave(int n)
{
    if (layout.SetFirstOctave(n))
        update();
}

void CPianoCtrl::SetOctaveCount(int n)
{
    if (layout.SetOctaveCount(n))
        update();
}

void CPianoCtrl::SetKeyVelocity(int note, int velocity)
{
    if (layout.SetKeyVelocity(note, velocity))
        RepaintKey(note);
}

int CPianoCtrl::HitTest(int x, int y)
{
    TakeSize();
    return layout.HitTest(x, y);
}

QSize CPianoCtrl::sizeHint() const
{
    return QSize(7 * 14 * layout.GetOctaveCount(), 96);
}

QSize CPianoCtrl::minimumSizeHint() const
{
    return QSize(7 * 6 * layout.GetOctaveCount(), kLeastHeight);
}

QRect CPianoCtrl::LetterRect(int note, int* pixelSize)
{
    TakeSize();
    if (!layout.NoteLetter(note))
        return {};
    const bool black = CPianoLayout::IsBlackKey(note);
    // A white key's letter stays clear of the black keys beside it and of
    // middle C's dot; a black key's keeps a pixel from its edges.
    const QRect area = black ? ToQRect(layout.KeyRect(note)).adjusted(1, 1, -1, -2)
                             : ToQRect(layout.LowerPart(note)).adjusted(1, 1, -1, -kDotAboveBottom - 2);
    QFont letterFont = font();
    int size = std::max(1, QFontInfo(font()).pixelSize() * 4 / 5);
    constexpr int kSmallestLegible = 6;
    for (; size >= kSmallestLegible; --size)
    {
        letterFont.setPixelSize(size);
        const QFontMetrics metrics(letterFont);
        const QRect glyph = metrics.boundingRect(QString(QLatin1Char(layout.NoteLetter(note))));
        if (metrics.height() <= area.height() && glyph.width() <= area.width())
        {
            if (pixelSize)
                *pixelSize = size;
            return QRect(area.left(), area.bottom() - metrics.height() + 1, area.width(), metrics.height());
        }
    }
    return {};
}

void CPianoCtrl::TakeSize()
{
    layout.SetSize(width(), height());
}

void CPianoCtrl::RepaintKey(int note)
{
    // A white key's outline runs under its neighbours' edges; a pixel of
    // margin repaints them whole.
    const QRect area = ToQRect(layout.KeyRect(note));
    if (!area.isEmpty())
        update(area.adjusted(-1, 0, 1, 1));
}

void CPianoCtrl::Announce(const std::vector<PianoKeyEvent>& events)
{
    for (const PianoKeyEvent& event : events)
    {
        RepaintKey(event.note);
        Q_EMIT PianoKey(event.note, event.velocity);
    }
}

void CPianoCtrl::paintEvent(QPaintEvent* /*event*/)
{
    TakeSize();
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QColor black(Qt::black);

    QFont letterFont = font();
    // Each letter in its own rectangle at the size that fits it, clipped
    // there: none ever runs over another key.
    auto drawLetter = [&](int note, const QColor& pen)
    {
        int size = 0;
        const QRect where = LetterRect(note, &size);
        if (where.isEmpty())
            return;
        letterFont.setPixelSize(size);
        painter.setFont(letterFont);
        painter.setPen(pen);
        painter.save();
        painter.setClipRect(where);
        painter.drawText(where, Qt::AlignHCenter | Qt::AlignBottom,
                         QString(QLatin1Char(layout.NoteLetter(note))));
        painter.restore();
    };

    for (int note = layout.GetFirstNote(); note <= layout.GetLastNote(); ++note)
    {
        if (CPianoLayout::IsBlackKey(note))
            continue;
        const int velocity = layout.GetKeyVelocity(note);
        const QColor colour = velocity == 0 ? QColor(Qt::white) : QColor((2 * velocity) & 0xFF, 0, 0);
        const PianoRect upper = layout.UpperPart(note);
        const PianoRect lower = layout.LowerPart(note);
        FillSpan(painter, upper.left, upper.top, upper.right, upper.bottom, colour);
        FillSpan(painter, lower.left, lower.top, lower.right, lower.bottom, colour);
        if (!upper.IsEmpty())
        {
            FillSpan(painter, upper.left, upper.top, upper.right, upper.top + 1, black);
            FillSpan(painter, upper.left, upper.top, upper.left + 1, upper.bottom, black);
            FillSpan(painter, upper.right - 1, upper.top, upper.right, upper.bottom, black);
        }
        if (!lower.IsEmpty())
        {
            FillSpan(painter, lower.left, lower.top, lower.left + 1, lower.bottom, black);
            FillSpan(painter, lower.right - 1, lower.top, lower.right, lower.bottom, black);
            FillSpan(painter, lower.left, lower.bottom - 1, lower.right, lower.bottom, black);
            // The border between the parts only where the lower part is wider.
            FillSpan(painter, lower.left, lower.top, std::max(lower.left, upper.left), lower.top + 1, black);
            FillSpan(painter, std::min(lower.right, upper.right), lower.top, lower.right, lower.top + 1,
                     black);
        }
        drawLetter(note, velocity == 0 ? QColor(Qt::gray) : QColor(Qt::white));
        if (note == kMiddleC)
        {
            const int x = (lower.left + lower.right) / 2;
            const int y = lower.bottom - kDotAboveBottom;
            painter.fillRect(x - 1, y - 1, 3, 3, black);
        }
    }

    for (int note = layout.GetFirstNote(); note <= layout.GetLastNote(); ++note)
    {
        if (!CPianoLayout::IsBlackKey(note))
            continue;
        const int velocity = layout.GetKeyVelocity(note);
        const QColor colour = velocity == 0 ? QColor(Qt::black) : QColor(0, 0, (2 * (velocity % 128)) & 0xFF);
        const PianoRect key = layout.KeyRect(note);
        FillSpan(painter, key.left, key.top, key.right, key.bottom, colour);
        FillSpan(painter, key.left, key.top, key.right, key.top + 1, black);
        drawLetter(note, QColor(Qt::lightGray));
    }
}

void CPianoCtrl::resizeEvent(QResizeEvent* event)
{
    TakeSize();
    QWidget::resizeEvent(event);
}

void CPianoCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    TakeSize();
    const QPoint at = event->position().toPoint();
    // While the button is down Qt sends every move to this widget, which is
    // the capture a press on a key takes.
    Announce(layout.MousePress(at.x(), at.y()));
}

void CPianoCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    Announce(layout.MouseMove(at.x(), at.y()));
}

void CPianoCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    Announce(layout.MouseRelease());
}

void CPianoCtrl::keyPressEvent(QKeyEvent* event)
{
    const char letter = LetterOf(*event);
    if (!letter || !PlainKey(*event))
        return QWidget::keyPressEvent(event);
    event->accept();
    if (event->isAutoRepeat())
        return;
    if (letter == kOctaveDownLetter || letter == kOctaveUpLetter)
    {
        if (layout.ShiftLetterOctave(letter == kOctaveDownLetter ? -1 : 1))
            update();
        return;
    }
    const int note = layout.LetterNote(letter);
    if (note < 0 || heldLetters.count(event->key()) != 0)
        return;
    heldLetters[event->key()] = note;
    SetKeyVelocity(note, CPianoLayout::kPressVelocity);
    Q_EMIT PianoKey(note, CPianoLayout::kPressVelocity);
}

void CPianoCtrl::keyReleaseEvent(QKeyEvent* event)
{
    const auto held = heldLetters.find(event->key());
    if (held == heldLetters.end())
        return QWidget::keyReleaseEvent(event);
    event->accept();
    if (event->isAutoRepeat())
        return;
    const int note = held->second;
    heldLetters.erase(held);
    SetKeyVelocity(note, 0);
    Q_EMIT PianoKey(note, 0);
}

void CPianoCtrl::focusOutEvent(QFocusEvent* event)
{
    ReleaseAll();
    QWidget::focusOutEvent(event);
}

void CPianoCtrl::hideEvent(QHideEvent* event)
{
    ReleaseAll();
    QWidget::hideEvent(event);
}

void CPianoCtrl::ReleaseAll()
{
    Announce(layout.MouseRelease());
    const auto held = std::exchange(heldLetters, {});
    for (const auto& [key, note] : held)
    {
        SetKeyVelocity(note, 0);
        Q_EMIT PianoKey(note, 0);
    }
}
