#pragma once
// Where the card's persistent files live (the driver's registry entries and
// the emulated card's state): $TAMBERLY_CARD_HOME when it is set and not
// empty, else tamberly/card in the user's state folder as the XDG base
// directories name it ($XDG_STATE_HOME when it is an absolute path, else
// ~/.local/state). Nothing is created here.

#include <string>

std::string CardHomePath();

// Creates a folder and its missing parents (mode 0700 for new ones); true
// when the folder exists afterwards.
bool MakeFolders(const std::string& path);
