#include "ui/sheets/Artwork.h"

#include "ui/UiText.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;

// A wave of a few partials, as a sampled instrument's first cycles look.
double Wave(double x)
{
    return std::sin(x) * 0.6 + std::sin(2 * x + 0.7) * 0.25 + std::sin(5 * x) * 0.12;
}

void DrawKeys(QPainter& painter, const QRect& area, int whiteKeys)
{
    const double width = static_cast<double>(area.width()) / whiteKeys;
    painter.setPen(QPen(QColor(40, 40, 60), 1));
    for (int k = 0; k < whiteKeys; ++k)
    {
        const QRectF key(area.left() + k * width, area.top(), width, area.height());
        QLinearGradient shade(key.topLeft(), key.bottomLeft());
        shade.setColorAt(0, QColor(235, 235, 240));
        shade.setColorAt(1, Qt::white);
        painter.setBrush(shade);
        painter.drawRect(key);
    }
    // Black keys after C, D, F, G and A of each octave.
    static const bool kHasBlack[7] = {true, true, false, true, true, true, false};
    painter.setPen(Qt::NoPen);
    for (int k = 0; k + 1 < whiteKeys; ++k)
    {
        if (!kHasBlack[k % 7])
            continue;
        const QRectF key(area.left() + (k + 1) * width - width * 0.3, area.top(), width * 0.6,
                         area.height() * 0.62);
        QLinearGradient shade(key.topLeft(), key.bottomLeft());
        shade.setColorAt(0, QColor(20, 20, 30));
        shade.setColorAt(1, QColor(70, 70, 90));
        painter.setBrush(shade);
        painter.drawRoundedRect(key, 1.5, 1.5);
    }
}
} // namespace

QPixmap DrawBulbImage()
{
    QPixmap image(40, 53);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // Rays.
    painter.setPen(QPen(QColor(250, 200, 40), 1.6, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre(20, 18);
    for (int ray = 0; ray < 7; ++ray)
    {
        const double angle = kPi + ray * kPi / 6;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(centre + direction * 15.5, centre + direction * 19);
    }

    // Glass.
    QPainterPath glass;
    glass.addEllipse(centre, 12, 12);
    QPainterPath neck;
    neck.moveTo(13, 26);
    neck.cubicTo(14, 30, 15.5, 31, 15.5, 35);
    neck.lineTo(24.5, 35);
    neck.cubicTo(24.5, 31, 26, 30, 27, 26);
    neck.closeSubpath();
    QRadialGradient light(QPointF(16, 13), 16);
    light.setColorAt(0, QColor(255, 255, 230));
    light.setColorAt(0.45, QColor(255, 236, 110));
    light.setColorAt(1, QColor(235, 180, 20));
    painter.setBrush(light);
    painter.setPen(QPen(QColor(170, 120, 10), 1));
    painter.drawPath(glass.united(neck));

    // Filament.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(200, 110, 0), 1));
    QPainterPath filament;
    filament.moveTo(17, 34);
    filament.lineTo(17, 24);
    filament.cubicTo(18, 20, 22, 20, 23, 24);
    filament.lineTo(23, 34);
    painter.drawPath(filament);

    // Screw base.
    QLinearGradient metal(QPointF(14, 0), QPointF(26, 0));
    metal.setColorAt(0, QColor(120, 120, 125));
    metal.setColorAt(0.4, QColor(225, 225, 230));
    metal.setColorAt(1, QColor(110, 110, 115));
    painter.setBrush(metal);
    painter.setPen(QPen(QColor(80, 80, 85), 0.8));
    for (int ring = 0; ring < 4; ++ring)
        painter.drawRoundedRect(QRectF(15, 35.5 + ring * 3.6, 10, 3.6), 1.5, 1.5);
    painter.setBrush(QColor(60, 60, 65));
    painter.drawRoundedRect(QRectF(17.5, 50, 5, 2.5), 1, 1);
    return image;
}

QPixmap DrawAboutImage()
{
    QPixmap image(48, 48);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // A card: green board, gold contacts, a chip, and the wave it plays.
    const QRectF board(2, 6, 44, 30);
    QLinearGradient green(board.topLeft(), board.bottomLeft());
    green.setColorAt(0, QColor(40, 130, 70));
    green.setColorAt(1, QColor(20, 90, 45));
    painter.setPen(QPen(QColor(15, 60, 30), 1));
    painter.setBrush(green);
    painter.drawRoundedRect(board, 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 185, 60));
    for (int pin = 0; pin < 9; ++pin)
        painter.drawRect(QRectF(7 + pin * 4, 36, 2.4, 5));
    painter.setBrush(QColor(30, 30, 35));
    painter.drawRoundedRect(QRectF(30, 10, 12, 12), 1.5, 1.5);
    painter.setPen(QPen(QColor(200, 200, 200), 0.8));
    for (int leg = 0; leg < 4; ++leg)
    {
        painter.drawLine(QPointF(32.5 + leg * 2.5, 8.5), QPointF(32.5 + leg * 2.5, 10));
        painter.drawLine(QPointF(32.5 + leg * 2.5, 22), QPointF(32.5 + leg * 2.5, 23.5));
    }
    QPainterPath wave;
    for (int x = 0; x <= 22; ++x)
    {
        const QPointF point(6 + x, 21 - 8 * Wave(x * 2 * kPi / 22));
        if (x == 0)
            wave.moveTo(point);
        else
            wave.lineTo(point);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 240, 150), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(wave);
    return image;
}

QPixmap DrawSplashImage()
{
    constexpr int kWidth = 520;
    constexpr int kHeight = 317;
    QPixmap image(kWidth, kHeight);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, kWidth, kHeight);
    sky.setColorAt(0, QColor(18, 24, 72));
    sky.setColorAt(0.55, QColor(52, 30, 110));
    sky.setColorAt(1, QColor(110, 30, 90));
    painter.fillRect(image.rect(), sky);

    // A glow behind the title.
    QRadialGradient glow(QPointF(kWidth * 0.5, 120), 260);
    glow.setColorAt(0, QColor(120, 150, 255, 90));
    glow.setColorAt(1, QColor(120, 150, 255, 0));
    painter.fillRect(image.rect(), glow);

    // Waves of three voices across the picture.
    const QColor voices[] = {QColor(90, 220, 255, 200), QColor(255, 170, 60, 170),
                             QColor(200, 120, 255, 150)};
    for (int v = 0; v < 3; ++v)
    {
        QPainterPath wave;
        for (int x = 0; x <= kWidth; x += 2)
        {
            const double fade = std::sin(x * kPi / kWidth);
            const double y = 190 + v * 6 - 30 * fade * Wave(x * (0.035 + v * 0.012) + v);
            if (x == 0)
                wave.moveTo(x, y);
            else
                wave.lineTo(x, y);
        }
        painter.setPen(QPen(voices[v], 2.2 - v * 0.4));
        painter.drawPath(wave);
    }

    // Title, with a soft shadow.
    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(58);
    title.setBold(true);
    title.setItalic(true);
    painter.setFont(title);
    const QRect titleBox(0, 50, kWidth, 80);
    painter.setPen(QColor(0, 0, 0, 120));
    painter.drawText(titleBox.translated(3, 3), Qt::AlignCenter, UiText(IDS_SPLASH_TITLE));
    QLinearGradient gold(0, titleBox.top() + 12, 0, titleBox.bottom() - 12);
    gold.setColorAt(0, QColor(255, 250, 220));
    gold.setColorAt(1, QColor(255, 200, 90));
    painter.setPen(QPen(QBrush(gold), 1));
    painter.drawText(titleBox, Qt::AlignCenter, UiText(IDS_SPLASH_TITLE));

    QFont subtitle(QStringLiteral("Sans Serif"));
    subtitle.setPixelSize(17);
    painter.setFont(subtitle);
    painter.setPen(QColor(220, 225, 255));
    painter.drawText(QRect(0, 128, kWidth, 26), Qt::AlignCenter, UiText(IDS_SPLASH_SUBTITLE));

    // Keys along the bottom.
    DrawKeys(painter, QRect(-6, 240, kWidth + 12, 77), 36);
    QLinearGradient shadow(0, 240, 0, 252);
    shadow.setColorAt(0, QColor(0, 0, 0, 110));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, 240, kWidth, 12), shadow);

    QFont small(QStringLiteral("Sans Serif"));
    small.setPixelSize(12);
    small.setBold(true);
    painter.setFont(small);
    painter.setPen(QColor(255, 255, 255, 200));
    painter.drawText(QRect(0, 214, kWidth - 14, 20), Qt::AlignRight | Qt::AlignVCenter,
                     UiText(IDS_SPLASH_VERSION));
    painter.setPen(QColor(20, 20, 40));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}
