#pragma once
// Who in this process wants to hear at once that the card's state changed:
// the sound engine, when it runs in the program that drives the card, so
// that it follows a change without waiting for its next look at the state
// file (changes made by other processes are still only seen that way).
//
// Reached from outside the library through its second exported function,
// TamberlyCardListen (AweManEntry.cpp; see CardListen.h for the C
// signature), looked up with dlsym: the manager entry point stays as it is.
//
// Lock rules: one mutex guards the list and is held while the listeners are
// called, so that once Remove returns its listener is never called again. A
// listener must therefore return quickly and must not call the card (wake a
// thread, set a flag); Notify is called after the card's own lock is released.

#include <cstdint>
#include <mutex>
#include <vector>

using CardChangedProc = void (*)(void* context);

class CCardListeners
{
public:
    static CCardListeners& Instance();

    // A nonzero token for Remove; 0 for a null listener.
    std::uint64_t Add(CardChangedProc listener, void* context);
    // False when the token names no listener.
    bool Remove(std::uint64_t token);
    void Notify();

private:
    struct Listener
    {
        std::uint64_t token;
        CardChangedProc proc;
        void* context;
    };
    std::mutex mutex;
    std::vector<Listener> listeners;
    std::uint64_t lastToken = 0;
};
