#include "ui/RightButtonDrag.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>

namespace
{
bool rightDragRunning = false;
} // namespace

CRightButtonDrag::CRightButtonDrag(QAbstractItemView* view, std::function<void()> start)
    : QObject(view), viewport(view->viewport()), startDrag(std::move(start))
{
    viewport->installEventFilter(this);
}

bool CRightButtonDrag::IsRightDragRunning()
{
    return rightDragRunning;
}

bool CRightButtonDrag::eventFilter(QObject* watched, QEvent* event)
{
    if (!viewport || watched != viewport)
        return false;
    switch (event->type())
    {
    case QEvent::MouseButtonPress:
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
        {
            // The view selects the row under the pointer as it does for any press.
            pressed = true;
            dragged = false;
            pressedAt = mouse->position().toPoint();
        }
        return false;
    }
    case QEvent::ContextMenu:
        // The menu the press asked for waits for the release; the one this
        // filter sends then, and the keyboard's, go through.
        if (pressed && !menuOnRelease &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse)
            return true;
        return false;
    case QEvent::MouseMove:
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!pressed || !(mouse->buttons() & Qt::RightButton))
            return false;
        if (!dragged &&
            (mouse->position().toPoint() - pressedAt).manhattanLength() >= QApplication::startDragDistance())
        {
            dragged = true;
            rightDragRunning = true;
            startDrag();
            rightDragRunning = false;
            // The drag's loop ate the release.
            pressed = false;
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
    {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::RightButton || !pressed)
            return false;
        pressed = false;
        if (!dragged)
        {
            QContextMenuEvent menu(QContextMenuEvent::Mouse, mouse->position().toPoint(),
                                   mouse->globalPosition().toPoint(), mouse->modifiers());
            menuOnRelease = true;
            QApplication::sendEvent(viewport, &menu);
            menuOnRelease = false;
        }
        return false;
    }
    default:
        return false;
    }
}
