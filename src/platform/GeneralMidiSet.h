#pragma once
// Which General MIDI SoundFont a card plays on its synth bank when the user
// chose none.

#include <string>

// $TAMBERLY_GM_SOUNDFONT when set; else, in folder, Debian's default-GM.sf2
// (the alternatives system's choice), TimGM6mb.sf2 or FluidR3_GM.sf2, the
// first that exists; else TimGM6mb's path, so that the reason a load fails
// names the file people expect.
std::string DefaultGeneralMidiSet(const std::string& folder = "/usr/share/sounds/sf2");
