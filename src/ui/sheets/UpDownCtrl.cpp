#include "ui/sheets/UpDownCtrl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

CUpDownCtrl::CUpDownCtrl(QLineEdit* buddyEdit, QWidget* parent)
    : QWidget(parent), buddy(buddyEdit), up(new QToolButton(this)), down(new QToolButton(this))
{
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const int height = std::max(buddy->sizeHint().height() / 2, 8);
    for (QToolButton* button : {up, down})
    {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(height * 3 / 2, height);
        layout->addWidget(button);
    }
    connect(up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
    buddy->installEventFilter(this);
}

void CUpDownCtrl::SetRange(int lowest, int highest)
{
    low = std::min(lowest, highest);
    high = std::max(lowest, highest);
}

void CUpDownCtrl::SetPos(int position)
{
    pos = std::clamp(position, low, high);
    buddy->setText(QString::number(pos));
}

int CUpDownCtrl::GetPos() const
{
    bool ok = false;
    const int typed = buddy->text().trimmed().toInt(&ok);
    return ok && typed >= low && typed <= high ? typed : pos;
}

void CUpDownCtrl::Step(int delta)
{
    const int position = GetPos();
    const int next = std::clamp(position + delta, low, high);
    if (next == position)
        return;
    Q_EMIT AboutToChange(position, next - position);
    SetPos(next);
}

bool CUpDownCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == buddy && event->type() == QEvent::KeyPress)
    {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
        {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
