#pragma once
// Lays a SoundFont 2 bank out as SoundFont 1, the way a 1996 bank of the same
// sounds would be written, so that tests and benchmarks can feed real,
// large banks (Debian's FluidR3_GM) to the version-1 paths of the program.
//
// - Samples are copied one after another from point 0 (so none counts as ROM),
//   their names go to "snam", their loop points back to the version-1 places.
// - A sample's rate, original key and correction become the sample pitch
//   generator of every zone that plays it (version 1 plays all at 44100 Hz).
// - Generator amounts go back to version-1 units, approximately: the layout
//   is for size and shape, and what the version-1 converter makes of it is
//   what the card would play, not a copy of the original's sound.
// - Preset zones keep their ranges and their instrument only: version-1
//   preset values replace unset instrument values rather than adding to them.
// - Modulators and compressed or ROM samples are left out.

#include "support/RiffBuilder.h"

#include <string>

// The version-1 image of the SoundFont 2 file at path; throws std::runtime_error when it cannot be read.
Bytes LayOutAsSoundFont1(const std::string& path);
