#pragma once
// Which General MIDI set plays on bank 0 (and its drum kits on 128) when the
// user has chosen none. Here, without the sound engine, so that the export
// of a virtual bank puts the same set under the user's banks as the card
// plays.

#include <string>

// TAMBERLY_GM_SOUNDFONT when set, else the first of Debian's General MIDI
// SoundFonts that is installed (the first of them when none is).
std::string DefaultGeneralMidiSet();
