#pragma once
// Drags with the right mouse button from an item view. The desktop opens the
// context menu as soon as the right button goes down, which leaves no moment
// for a drag to begin. Watching the view's viewport, this holds the menu back
// while the button is down: a press that moves starts the drag (whose drop
// then goes by preset numbers), a press released where it began opens the
// menu on the release. The menu key and Shift+F10 work as before.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAbstractItemView;

class CRightButtonDrag final : public QObject
{
public:
    // startDrag runs the drag (its own event loop) and returns when it ends.
    CRightButtonDrag(QAbstractItemView* view, std::function<void()> startDrag);

    // True while a drag begun with the right button runs: a drop target in
    // this program reads it where the platform's drag events do not carry
    // the button.
    static bool IsRightDragRunning();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Kept apart from the view: events still come while the view is taken down.
    QPointer<QWidget> viewport;
    std::function<void()> startDrag;
    QPoint pressedAt;
    bool pressed = false;
    bool dragged = false;
    bool menuOnRelease = false;
};
