// The symbols the emulated card's library exports, with C linkage: the
// manager entry point, and TamberlyCardListen for programs that play the
// card in-process (synth/CardListen.h). Everything else is hidden.
//
// Loading the library installs the card's driver entries: the program reads
// them right after loading it, before its first command.

#include "aweman/CardListeners.h"
#include "aweman/EmulatedCard.h"
#include "synth/AweManager.h"
#include "synth/CardListen.h"

#include <type_traits>

#define AWEMAN_EXPORT __attribute__((visibility("default")))

extern "C" AWEMAN_EXPORT std::int32_t AWEManager(std::uint32_t handle, std::uint32_t code,
                                                 std::uintptr_t param1, std::uintptr_t param2)
{
    return CEmulatedCard::Instance().Call(handle, code, param1, param2);
}

extern "C" AWEMAN_EXPORT std::uint64_t TamberlyCardListen(void (*changed)(void* context), void* context,
                                                          std::uint64_t removeToken)
{
    if (removeToken != 0)
        return CCardListeners::Instance().Remove(removeToken) ? 1 : 0;
    return CCardListeners::Instance().Add(changed, context);
}
static_assert(std::is_same_v<decltype(&TamberlyCardListen), CardListenProc>);

namespace
{
[[gnu::constructor]] void InstallCard()
{
    CEmulatedCard::Instance().Install();
}
} // namespace
