// The one symbol the emulated card's library exports: the manager entry
// point, with C linkage. Everything else in the library is hidden.
//
// Loading the library installs the card's driver entries: the program reads
// them right after loading it, before its first command.

#include "aweman/EmulatedCard.h"
#include "synth/AweManager.h"

#define AWEMAN_EXPORT __attribute__((visibility("default")))

extern "C" AWEMAN_EXPORT std::int32_t AWEManager(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1,
                                                 std::uintptr_t param2)
{
    return CEmulatedCard::Instance().Call(handle, code, param1, param2);
}

namespace
{
[[gnu::constructor]] void InstallCard()
{
    CEmulatedCard::Instance().Install();
}
} // namespace
