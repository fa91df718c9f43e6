#pragma once
// The emulated card's second exported function, beside the manager entry
// point: a program that has the card's library loaded registers a function
// to be called, on the thread of the card command, right after each command
// that changed the card's state (the state file is written by then).
//
//   token = TamberlyCardListen(changed, context, 0);  // add; 0 when refused
//   TamberlyCardListen(nullptr, nullptr, token);      // remove; 1 when removed
//
// The function must return quickly and never call the card. Other card
// manager libraries need not have it; without it, a program looks at the
// state file now and then instead.

#include <cstdint>

constexpr const char* kCardListenEntryName = "TamberlyCardListen";
using CardListenProc = std::uint64_t (*)(void (*changed)(void* context), void* context,
                                         std::uint64_t removeToken);
