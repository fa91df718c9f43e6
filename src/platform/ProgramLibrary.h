#pragma once
// Finding the libraries that belong to the programs themselves (the emulated
// card, the sound engine): they are looked up here rather than left to the
// executable's rpath, because a dlopen that the sanitizers intercept searches
// the rpath of their runtime instead.

#include <filesystem>
#include <string>

// The running program's executable (/proc/self/exe); empty when unknown.
std::filesystem::path RunningExecutable();

// Where the build tree puts the library (beside the executable) and where an
// installation does (the program's own folder under lib/, next to bin/), the
// first that holds a file of that name; else the bare name, for the dynamic
// linker's own search.
std::string ProgramLibraryPath(const std::filesystem::path& executable, const std::string& name);
