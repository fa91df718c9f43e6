#pragma once
// A pair of arrow buttons that steps the number in a buddy edit, as the
// up-down controls of the property pages do: the step is announced first
// (AboutToChange with the position and the change), then the buddy shows
// the new position. The arrow keys in the buddy step as the buttons do.
//
// The position starts from the buddy's text when that is a number in range
// (the user may have typed one), else from the last position set; steps
// stop at either end of the range.

#include <QWidget>

class QLineEdit;
class QToolButton;

class CUpDownCtrl : public QWidget
{
    Q_OBJECT

public:
    // buddy (not owned) sits to the left of the control.
    CUpDownCtrl(QLineEdit* buddy, QWidget* parent = nullptr);

    void SetRange(int low, int high);
    int GetLow() const { return low; }
    int GetHigh() const { return high; }
    // Sets the position and shows it in the buddy (no announcement).
    void SetPos(int position);
    int GetPos() const;
    // One step of delta (+1 up, -1 down), announced, then shown; nothing at the ends.
    void Step(int delta);

    QToolButton* GetUpButton() const { return up; }
    QToolButton* GetDownButton() const { return down; }

Q_SIGNALS:
    // The position before the step and the change; the new position is
    // position + delta. Sent before the buddy shows it.
    void AboutToChange(int position, int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* buddy;
    QToolButton* up;
    QToolButton* down;
    int low = 0;
    int high = 100;
    int pos = 0;
};
