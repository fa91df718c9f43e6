// The program's own pictures under a dark palette and on a screen of twice
// the density: toolbar icons that stand out from the bar, drawn sharp at 2x.

#include "DarkPalette.h"
#include "bank/CommandIds.h"
#include "ui/frame/Images.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <memory>

namespace
{
// The toolbar's commands that have a picture.
constexpr int kBarCommands[] = {ID_FILE_NEW,           ID_FILE_OPEN,    ID_FILE_SAVE,    ID_EDIT_CUT,
                                ID_EDIT_COPY,          ID_EDIT_PASTE,   ID_EDIT_NEW,     ID_EDIT_DELETE,
                                ID_FILE_PRINT,         ID_APP_ABOUT,    ID_CONTEXT_HELP, ID_SYNTH_GM,
                                ID_SYNTH_GS,           ID_SYNTH_MT32,   ID_SELECT_FX,    ID_LOAD_FILE_IN_BANK,
                                ID_CLEAR_CURRENT_BANK, ID_VIEW_KEYBOARD};

// The largest lightness difference between a visible pixel of image and background.
int Contrast(const QImage& image, const QColor& background)
{
    int most = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
        {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 128)
                most = std::max(most, std::abs(pixel.lightness() - background.lightness()));
        }
    return most;
}

} // namespace

TEST(ProgramPictures, EveryToolbarIconStandsOutFromALightOrADarkBar)
{
    for (const bool dark : {false, true})
    {
        const PaletteScope scope(dark ? DarkPalette() : QApplication::style()->standardPalette());
        const QColor bar = QApplication::palette().color(QPalette::Window);
        for (int id : kBarCommands)
        {
            const QIcon icon = Images::CommandIcon(id);
            ASSERT_FALSE(icon.isNull()) << id;
            const QImage picture =
                icon.pixmap(QSize(Images::kButtonWidth, Images::kButtonHeight), 1.0).toImage();
            // A picture that does not differ from the bar by a third of the
            // scale somewhere is a blur or nothing at all.
            EXPECT_GE(Contrast(picture, bar), 85)
                << "command " << id << (dark ? " on a dark bar" : " on a light bar");
        }
    }
}

TEST(ProgramPictures, IconsAreDrawnForTwiceTheDensityNotEnlarged)
{
    const std::pair<QIcon, QSize> pictures[] = {
        {Images::CommandIcon(ID_EDIT_CUT), QSize(Images::kButtonWidth, Images::kButtonHeight)},
        {Images::PatchIcon(1), QSize(Images::kPatchImageWidth, Images::kPatchImageHeight)},
    };
    for (const auto& [icon, size] : pictures)
    {
        const QPixmap normal = icon.pixmap(size, 1.0);
        const QPixmap dense = icon.pixmap(size, 2.0);
        EXPECT_EQ(dense.devicePixelRatio(), 2.0);
        EXPECT_EQ(dense.width(), 2 * normal.width());
        // An enlargement repeats each pixel in 2x2 blocks; a drawing does not.
        const QImage enlarged =
            normal.toImage().scaled(dense.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        EXPECT_NE(dense.toImage().convertToFormat(enlarged.format()), enlarged);
    }
}
