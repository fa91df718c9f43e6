#pragma once
// The one QApplication of the benchmark program, on the offscreen platform,
// with the profile in folder configHome so that views never write their
// column widths into the user's settings. Made by the first caller and kept
// until the process ends: Qt allows one application object per process, and
// destroying it during static destruction would outlive the widgets' libraries.

#include <string>

void EnsureBenchApplication(const std::string& configHome);
