#include "ui/sheets/SplashWindow.h"

#include "ui/sheets/Artwork.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

CSplashWindow* CSplashWindow::Show(QWidget* frame)
{
    auto* splash = new CSplashWindow(frame);
    splash->show();
    return splash;
}

CSplashWindow::CSplashWindow(QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint), image(DrawSplashImage()), frame(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::ArrowCursor);
    setFixedSize(kWidth, kHeight);
    QRect around;
    if (frame && frame->isVisible())
        around = frame->frameGeometry();
    else if (const QScreen* screen = frame ? frame->screen() : QGuiApplication::primaryScreen())
        around = screen->availableGeometry();
    if (around.isValid())
        move(around.center() - QPoint(kWidth / 2, kHeight / 2));
    qApp->installEventFilter(this);
    QTimer::singleShot(kShowMilliseconds, this, &CSplashWindow::Dismiss);
}

CSplashWindow::~CSplashWindow()
{
    qApp->removeEventFilter(this);
}

void CSplashWindow::Dismiss()
{
    if (dismissed)
        return;
    dismissed = true;
    qApp->removeEventFilter(this);
    close();
    if (frame && frame->isVisible())
        frame->repaint();
}

void CSplashWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, image);
}

bool CSplashWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type())
    {
    case QEvent::KeyPress:
        Dismiss();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
    {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton)
            Dismiss();
        break;
    }
    default:
        break;
    }
    // The press goes on to where it was sent.
    return QWidget::eventFilter(watched, event);
}
