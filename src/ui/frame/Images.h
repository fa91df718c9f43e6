#pragma once
// The program's small pictures, drawn in code so that no binary resource of
// unknown origin travels with the sources: the 16x15 toolbar buttons, the two
// 15x14 patch images of the bank view's tabs and rows, and the window icon.

#include <QIcon>
#include <QPixmap>

namespace Images
{
constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;
constexpr int kPatchImageWidth = 15;
constexpr int kPatchImageHeight = 14;

// The button picture of a toolbar command; a null icon for commands without one.
QIcon CommandIcon(int commandId);
// 0: an ordinary patch; 1: a patch loaded into the card.
QPixmap PatchImage(int index);
QIcon PatchIcon(int index);
// The main window's icon.
QIcon ApplicationIcon();
} // namespace Images
