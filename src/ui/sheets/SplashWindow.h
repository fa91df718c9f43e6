#pragma once
// The start-up picture: a borderless window of 520 by 317 pixels, centred
// on the main window when that is visible, else on the screen. It goes away
// after 750 ms, or at once when the program sees a key press or a mouse
// button press anywhere; the press is still delivered where it was going.
// Going away destroys the window and repaints the main window.

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class CSplashWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 520;
    static constexpr int kHeight = 317;
    static constexpr int kShowMilliseconds = 750;

    // Creates and shows a splash window owned by frame (may be null). The
    // window deletes itself; keep the result in a QPointer to know when.
    static CSplashWindow* Show(QWidget* frame);
    ~CSplashWindow() override;

    // Closes the window now (the timer and the presses end here).
    void Dismiss();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Watches every event of the program for a key or mouse button press.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CSplashWindow(QWidget* frame);

    QPixmap image;
    QPointer<QWidget> frame;
    bool dismissed = false;
};
