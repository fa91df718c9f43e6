#pragma once

#include <string>

class IKeyboardLink { public: virtual ~IKeyboardLink() = default; virtual void SetPatch(const std::string& name, int bank, int program) = 0; virtual void EnableMidi(bool on) = 0; };
