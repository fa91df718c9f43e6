#pragma once
// Whether Caps Lock, Num Lock and Scroll Lock are on, for the status bar's
// indicators. Qt does not tell; the keyboards' LEDs do, under
// /sys/class/leds/<device>::capslock (numlock, scrolllock). A machine
// without them (a container, a remote session) reads every lock as off.

#include <string>
#include <vector>

class CLockKeys
{
public:
    enum Lock
    {
        CapsLock,
        NumLock,
        ScrollLock,
    };

    // Looks for the LEDs once, under root (the system's folder by default).
    explicit CLockKeys(const std::string& root = "/sys/class/leds");

    // On when any keyboard's LED for the lock is lit.
    bool IsOn(Lock lock) const;

private:
    std::vector<std::string> brightness[3]; // files to read, per lock
};
