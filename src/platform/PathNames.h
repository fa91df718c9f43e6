#pragma once
// Names taken from POSIX paths of the files the program works on.

#include <string>

// The file name without its folder and its last extension ("/banks/PIANO.WAV"
// gives "PIANO"). A name that only starts with a dot keeps it (".bank").
std::string FileTitle(const std::string& path);
