#pragma once
// Wording shared by the commands that read files named on the command line.

#include <string>

// Why path could not be opened for reading, as one short phrase: no such
// file, a directory, not a regular file, or else the system's reason for
// error (the errno of the failed open; 0 when it is not known).
std::string WhyCannotOpen(const std::string& path, int error);
