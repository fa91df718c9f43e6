#include "ui/frame/Images.h"

#include "bank/CommandIds.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygonF>

#include <cmath>

namespace
{
const QColor kPaper(255, 255, 255);
const QColor kFolder(232, 190, 72);
const QColor kFolderDark(170, 124, 26);
const QColor kBoard(34, 120, 64);
const QColor kBoardLight(96, 178, 112);
const QColor kBlue(40, 90, 180);
const QColor kRed(200, 40, 40);

// Lines that stand on the bars' own background: dark on a light palette,
// light on a dark one, where dark grey would vanish.
bool DarkBars()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

QColor Outline()
{
    return DarkBars() ? QColor(200, 200, 200) : QColor(64, 64, 64);
}

// A line drawn straight on the bar in colour: lighter where the bar is dark.
QColor OnBar(const QColor& colour)
{
    return DarkBars() ? colour.lighter(170) : colour;
}

// ratio: device pixels per pixel; the painter draws in pixels either way.
QPixmap Canvas(int width, int height, int ratio = 1)
{
    QPixmap pixmap(width * ratio, height * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// Pictures are drawn for the ordinary screen and for one at twice its
// density (a 2x desktop scale), so that neither is an enlargement.
constexpr int kRatios[] = {1, 2};

void Page(QPainter& p, QRectF r)
{
    // A sheet with its top right corner folded.
    const qreal fold = 3.5;
    QPolygonF sheet;
    sheet << r.topLeft() << QPointF(r.right() - fold, r.top()) << QPointF(r.right(), r.top() + fold)
          << r.bottomRight() << r.bottomLeft();
    p.setPen(QPen(Outline(), 1));
    p.setBrush(kPaper);
    p.drawPolygon(sheet);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

// A small card: the picture of a patch or a bank, with its contacts below.
void Board(QPainter& p, QRectF r, const QColor& fill)
{
    p.setPen(QPen(fill.darker(160), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(QPen(QColor(230, 200, 60), 1));
    for (qreal x = r.left() + 2; x < r.right() - 1; x += 2)
        p.drawLine(QPointF(x, r.bottom() + 0.5), QPointF(x, r.bottom() + 1.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(r.left() + 2.5, r.top() + 2, r.width() / 2 - 1, r.height() - 4));
}

void Letters(QPainter& p, QRectF r, const QString& text, const QColor& fill)
{
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 2, 2);
    QFont font;
    font.setPixelSize(8);
    font.setBold(true);
    font.setStretch(QFont::SemiCondensed);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
}

void Arrow(QPainter& p, QPointF tip, bool down, const QColor& color)
{
    QPolygonF head;
    const qreal d = down ? -1 : 1;
    head << tip << QPointF(tip.x() - 3, tip.y() + 3 * d) << QPointF(tip.x() + 3, tip.y() + 3 * d);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(head);
    p.setPen(QPen(color, 2));
    p.drawLine(QPointF(tip.x(), tip.y() + 3 * d), QPointF(tip.x(), tip.y() + 6 * d));
}

void Cross(QPainter& p, QRectF r)
{
    p.setPen(QPen(OnBar(kRed), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void QuestionMark(QPainter& p, QRectF r, const QColor& color)
{
    QFont font;
    font.setPixelSize(static_cast<int>(r.height()) + 1);
    font.setBold(true);
    p.setFont(font);
    p.setPen(color);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("?"));
}

void DrawCommand(QPainter& p, int id)
{
    switch (id)
    {
    case ID_FILE_NEW:
        Page(p, QRectF(3.5, 1.5, 9, 12));
        break;
    case ID_FILE_OPEN:
    {
        p.setPen(QPen(kFolderDark, 1));
        p.setBrush(kFolder.darker(115));
        p.drawRect(QRectF(1.5, 3.5, 11, 9));
        p.drawRect(QRectF(1.5, 2.5, 4, 1));
        QPolygonF front;
        front << QPointF(3.5, 6.5) << QPointF(15.5, 6.5) << QPointF(12.5, 12.5) << QPointF(1.5, 12.5);
        p.setBrush(kFolder);
        p.drawPolygon(front);
        break;
    }
    case ID_FILE_SAVE:
        p.setPen(QPen(kBlue.darker(140), 1));
        p.setBrush(kBlue);
        p.drawRect(QRectF(1.5, 1.5, 12, 12));
        p.setBrush(kPaper);
        p.drawRect(QRectF(3.5, 1.5, 8, 5));
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(QRectF(4.5, 9.5, 6, 4));
        break;
    case ID_EDIT_CUT:
        p.setPen(QPen(Outline(), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2, 9, 4, 4));
        p.drawEllipse(QRectF(9, 9, 4, 4));
        p.drawLine(QPointF(5.5, 9.5), QPointF(10.5, 1.5));
        p.drawLine(QPointF(9.5, 9.5), QPointF(4.5, 1.5));
        break;
    case ID_EDIT_COPY:
        Page(p, QRectF(1.5, 1.5, 8, 9));
        Page(p, QRectF(6.5, 4.5, 8, 9));
        break;
    case ID_EDIT_PASTE:
        p.setPen(QPen(QColor(110, 70, 30), 1));
        p.setBrush(QColor(176, 124, 64));
        p.drawRoundedRect(QRectF(1.5, 2.5, 10, 11), 1, 1);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 1.5, 4, 2));
        Page(p, QRectF(7.5, 5.5, 7, 8));
        break;
    case ID_EDIT_NEW:
        Board(p, QRectF(1.5, 4.5, 10, 7), kBoard);
        p.setPen(QPen(QColor(240, 190, 0), 2));
        p.drawLine(QPointF(12.5, 1), QPointF(12.5, 7));
        p.drawLine(QPointF(9.5, 4), QPointF(15.5, 4));
        break;
    case ID_EDIT_DELETE:
        Cross(p, QRectF(3, 2.5, 9, 9));
        break;
    case ID_EDIT_PROPERTIES:
        p.setPen(QPen(Outline(), 1));
        p.setBrush(kPaper);
        p.drawRect(QRectF(1.5, 1.5, 12, 12));
        p.setBrush(kBlue);
        p.drawRect(QRectF(1.5, 1.5, 12, 2.5));
        p.setPen(QPen(kBlue, 1));
        p.drawLine(QPointF(3.5, 6.5), QPointF(5.5, 6.5));
        p.drawLine(QPointF(3.5, 9.5), QPointF(5.5, 9.5));
        p.setPen(QPen(QColor(140, 140, 140), 1));
        p.drawLine(QPointF(7, 6.5), QPointF(11.5, 6.5));
        p.drawLine(QPointF(7, 9.5), QPointF(11.5, 9.5));
        break;
    case ID_FILE_PRINT:
        Page(p, QRectF(4.5, 1.5, 7, 6));
        p.setPen(QPen(Outline(), 1));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(1.5, 6.5, 13, 5));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 10.5, 7, 3));
        break;
    case ID_APP_ABOUT:
        p.setPen(QPen(kBlue.darker(130), 1));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(1.5, 1, 12, 12));
        QuestionMark(p, QRectF(1.5, 1.5, 12, 11), Qt::white);
        break;
    case ID_CONTEXT_HELP:
    {
        QPolygonF pointer;
        pointer << QPointF(1.5, 1.5) << QPointF(1.5, 11.5) << QPointF(4, 9) << QPointF(6, 13.5)
                << QPointF(7.5, 12.8) << QPointF(5.6, 8.5) << QPointF(9, 8.5);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(kPaper);
        p.drawPolygon(pointer);
        QuestionMark(p, QRectF(8, 1, 8, 10), kBlue);
        break;
    }
    case ID_SYNTH_GM:
        Letters(p, QRectF(0.5, 2.5, 15, 10), QStringLiteral("GM"), QColor(40, 140, 70));
        break;
    case ID_SYNTH_GS:
        Letters(p, QRectF(0.5, 2.5, 15, 10), QStringLiteral("GS"), kBlue);
        break;
    case ID_SYNTH_MT32:
        Letters(p, QRectF(0.5, 2.5, 15, 10), QStringLiteral("MT"), QColor(200, 110, 20));
        break;
    case ID_LOAD_FILE_IN_BANK:
        Board(p, QRectF(1.5, 7.5, 13, 5), kBoard);
        Arrow(p, QPointF(11.5, 7), true, kBlue);
        break;
    case ID_CLEAR_CURRENT_BANK:
        Board(p, QRectF(1.5, 7.5, 13, 5), kBoard);
        Cross(p, QRectF(8.5, 1.5, 5.5, 5));
        break;
    case ID_SELECT_FX:
    {
        QPainterPath wave;
        wave.moveTo(1, 7.5);
        for (int x = 1; x <= 15; ++x)
            wave.lineTo(x, 7.5 - 5 * std::sin((x - 1) * 0.9) * (1.0 - (x - 1) / 18.0));
        p.setPen(QPen(OnBar(kBlue), 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
        break;
    }
    case ID_VIEW_KEYBOARD:
        p.setPen(QPen(Outline(), 1));
        p.setBrush(kPaper);
        p.drawRect(QRectF(0.5, 2.5, 15, 10));
        for (int x = 3; x < 15; x += 3)
            p.drawLine(QPointF(x + 0.5, 2.5), QPointF(x + 0.5, 12.5));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (int x : {2, 5, 11})
            p.drawRect(QRectF(x + 0.5, 2.5, 2, 6));
        break;
    default:
        break;
    }
}

void DrawPatch(QPainter& p, bool loaded)
{
    // A card with a note on it; the loaded one is lit.
    const QColor fill = loaded ? kBoardLight : QColor(236, 236, 236);
    const QColor edge = loaded ? kBoard : QColor(128, 128, 128);
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 1.5, 13, 11), 2, 2);
    const QColor ink = loaded ? QColor(0, 60, 20) : QColor(60, 60, 60);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QRectF(3, 7.5, 4, 3));
    p.setPen(QPen(ink, 1.2));
    p.drawLine(QPointF(6.6, 9), QPointF(6.6, 3.5));
    p.drawLine(QPointF(6.6, 3.5), QPointF(9.5, 5));
    if (loaded)
    {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(250, 220, 40));
        p.drawEllipse(QRectF(9.5, 8.5, 3, 3));
    }
}
} // namespace

namespace Images
{
QIcon CommandIcon(int commandId)
{
    QIcon icon;
    bool drawn = false;
    for (int ratio : kRatios)
    {
        QPixmap pixmap = Canvas(kButtonWidth, kButtonHeight, ratio);
        {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            DrawCommand(painter, commandId);
        }
        const QImage image = pixmap.toImage();
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) != 0;
        icon.addPixmap(pixmap);
    }
    return drawn ? icon : QIcon();
}

QPixmap PatchImage(int index)
{
    QPixmap pixmap = Canvas(kPatchImageWidth, kPatchImageHeight);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawPatch(painter, index == 1);
    return pixmap;
}

QIcon PatchIcon(int index)
{
    QIcon icon(PatchImage(index));
    QPixmap sharp = Canvas(kPatchImageWidth, kPatchImageHeight, 2);
    QPainter painter(&sharp);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawPatch(painter, index == 1);
    painter.end();
    icon.addPixmap(sharp);
    return icon;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
    {
        QPixmap pixmap = Canvas(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        Board(painter, QRectF(0.5, 3.5, 15, 9), kBoard);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(250, 220, 40));
        painter.drawEllipse(QRectF(10.5, 5, 3, 3));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
} // namespace Images
