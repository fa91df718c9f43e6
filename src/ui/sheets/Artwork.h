#pragma once
// The program's pictures, painted at run time: no image files to ship or lose.

#include <QPixmap>

// The light bulb of the tip of the day, 40 by 53 pixels, on white.
QPixmap DrawBulbImage();
// The About box's picture, 48 by 48 pixels, transparent around.
QPixmap DrawAboutImage();
// The start-up picture, 520 by 317 pixels.
QPixmap DrawSplashImage();
