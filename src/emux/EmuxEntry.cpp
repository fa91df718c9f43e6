// The symbols the Emux card's library exports, with C linkage: the manager
// entry point, and the card's status line for the program's status bar.
// Everything else is hidden.

#include "emux/EmuxCard.h"
#include "emux/HwdepDevice.h"
#include "synth/AweManager.h"

#include <algorithm>
#include <cstring>

#define AWEMAN_EXPORT __attribute__((visibility("default")))

extern "C" AWEMAN_EXPORT std::int32_t AWEManager(std::uint32_t handle, std::uint32_t code,
                                                 std::uintptr_t param1, std::uintptr_t param2)
{
    return CEmuxCard::Instance().Call(handle, code, param1, param2);
}

namespace
{
// Copies text into buffer, cut to size and ended by a NUL; returns its full length.
std::uint32_t CopyOut(const std::string& text, char* buffer, std::uint32_t size)
{
    if (buffer && size > 0)
    {
        const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
    }
    return static_cast<std::uint32_t>(text.size());
}
} // namespace

// The status line, empty when all is well.
extern "C" AWEMAN_EXPORT std::uint32_t TamberlyCardStatus(char* buffer, std::uint32_t size)
{
    return CopyOut(CEmuxCard::Instance().StatusText(), buffer, size);
}

// The machine's Emux devices, for the program's card choice: one a line,
// "name<TAB>label\n"; empty where there are none. Asks ALSA only, never
// the card: listing works while another program holds a device.
extern "C" AWEMAN_EXPORT std::uint32_t TamberlyEmuxDevices(char* buffer, std::uint32_t size)
{
    std::string text;
    for (const EmuxDeviceInfo& device : ListEmuxDevices())
        text.append(device.name).append(1, '\t').append(device.label).append(1, '\n');
    return CopyOut(text, buffer, size);
}
