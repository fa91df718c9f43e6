#pragma once
// "tamberly-cli card render", "card play" and "card play-midi": the emulated card's sound
// through the same engine the window plays, from the card's state on disk.

#include "cli/CliCommand.h"

#include <string>
#include <vector>

// The arguments of "card render" and "card play", for their usage texts.
extern const char* const kCardRenderUsage;
extern const char* const kCardPlayUsage;
extern const char* const kCardPlayMidiUsage;

// args start after the subcommand's own name.
int RunCardRender(const std::vector<std::string>& args, CliContext& context);
int RunCardPlay(const std::vector<std::string>& args, CliContext& context);
// "card play-midi SONG.mid": the song on the sound device, a progress line on
// a terminal; Ctrl+C stops it cleanly (all notes off) with status 130.
int RunCardPlayMidi(const std::vector<std::string>& args, CliContext& context);
