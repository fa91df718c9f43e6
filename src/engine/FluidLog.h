#pragma once
// FluidSynth's log, kept instead of printed: FluidSynth writes its warnings
// and errors to the terminal by default, which would land in the middle of
// tamberly-cli's output and of the window's terminal. Once an engine exists,
// warnings and errors are kept here (the newest 100) and the rest dropped.
//
// Lock rules: one process-wide mutex guards the kept messages; every member
// may be called from any thread, FluidSynth's own threads included (it logs
// from its audio and loader threads).

#include <string>
#include <vector>

class CFluidLog
{
public:
    static constexpr std::size_t kMaxKept = 100;

    // Routes FluidSynth's warnings and errors here and silences the rest.
    // Called by every engine made: whoever installed another log function
    // since (a test's probe) loses it to the newest engine.
    static void Install();

    // Oldest first.
    static std::vector<std::string> Messages();
    // The newest message; empty when there is none.
    static std::string Last();
    static void Clear();
};
