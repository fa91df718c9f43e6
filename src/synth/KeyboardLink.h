#pragma once
// What the document tells the MIDI keyboard window. The document holds a
// pointer to it (it never owns the window) and calls it on the UI thread.

#include <string>

class IKeyboardLink
{
public:
    virtual ~IKeyboardLink() = default;
    // The current patch changed: the keyboard plays this bank and program
    // from now on (-1 for either plays bank 0, program 0) and names the patch.
    virtual void SetPatch(const std::string& name, int bank, int program) = 0;
    // The application was activated (true) or deactivated (false): the
    // keyboard holds the MIDI devices only while the application is active.
    virtual void EnableMidi(bool on) = 0;
};
