#pragma once
// Hears at once of the changes the card makes in this process: when the
// emulated card's library is loaded here (the window and tamberly-cli load
// it to drive the card), its TamberlyCardListen function (synth/CardListen.h)
// is found among the loaded libraries and a function registered that calls
// `changed`. Nothing is found when no such library is loaded (another card,
// or a program that only plays); then only the engine's periodic look at
// the state file sees changes, as it does for changes made by other processes.
//
// Lock rules: `changed` runs on the thread of the card command that changed
// the state, under the card's listener lock: it must return quickly (wake a
// thread) and never call the card. Construction and destruction run on the
// thread that starts and stops following; once the destructor returns,
// `changed` is never called again.

#include <cstdint>
#include <functional>

class CCardChangeListener
{
public:
    explicit CCardChangeListener(std::function<void()> changed);
    ~CCardChangeListener();
    CCardChangeListener(const CCardChangeListener&) = delete;
    CCardChangeListener& operator=(const CCardChangeListener&) = delete;

    // True when a card library in this process took the registration.
    bool IsListening() const { return token != 0; }

private:
    static void Changed(void* context);

    std::function<void()> changed;
    void* library = nullptr; // holds the card's library loaded while registered
    std::uint64_t (*listen)(void (*)(void*), void*, std::uint64_t) = nullptr;
    std::uint64_t token = 0;
};
