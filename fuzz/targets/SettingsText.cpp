// The texts the settings read from outside: the Emux card library's list of
// devices, and sequencer port names remembered in the profile. Whatever the
// bytes: every device has a name without tab or line break, a remembered
// name is a prefix of the port's and remembering it again changes nothing,
// and a port watched for never counts as back twice in a row.

#include "FuzzTarget.h"

#include "synth/AweManager.h"
#include "synth/MidiPortChoice.h"

#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& [name, label] : ParseEmuxDevices(text))
        FUZZ_CHECK(!name.empty() && name.find_first_of("\t\n") == std::string::npos &&
                   label.find('\n') == std::string::npos);

    std::vector<std::string> ports;
    std::string_view rest = text;
    while (!rest.empty())
    {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        ports.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    for (const std::string& port : ports)
    {
        const std::string kept = PortNameToRemember(port);
        FUZZ_CHECK(port.compare(0, kept.size(), kept) == 0);
        FUZZ_CHECK(PortNameToRemember(kept).size() <= kept.size());
    }
    CMidiPortReturn watch(ports.empty() ? std::string() : PortNameToRemember(ports.front()));
    bool before = false;
    for (std::size_t look = 0; look <= ports.size(); ++look)
    {
        const std::vector<std::string> seen(ports.begin() + static_cast<std::ptrdiff_t>(look), ports.end());
        const bool back = watch.Returned(seen);
        FUZZ_CHECK(!(back && before));
        before = back;
    }
    return 0;
}
