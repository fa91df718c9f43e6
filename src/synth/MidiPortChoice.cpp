#include "synth/MidiPortChoice.h"

namespace
{
bool IsOwnPort(const std::string& port)
{
    const std::string prefix = std::string(kKeyboardClientName) + ':';
    return port.compare(0, prefix.size(), prefix) == 0;
}

// The port a setting names: its exact name first; then, since the client and
// port numbers in a sequencer port's name change between sessions, the first
// port whose name contains the setting.
int FindNamed(const std::vector<std::string>& ports, const std::string& wanted, const std::string& excluded)
{
    if (wanted.empty())
        return -1;
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i] == wanted && ports[i] != excluded && !IsOwnPort(ports[i]))
            return static_cast<int>(i);
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i].find(wanted) != std::string::npos && ports[i] != excluded && !IsOwnPort(ports[i]))
            return static_cast<int>(i);
    return -1;
}

int FindFirst(const std::vector<std::string>& ports, const std::string& excluded)
{
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i] != excluded && !IsOwnPort(ports[i]))
            return static_cast<int>(i);
    return -1;
}
} // namespace

int ChooseMidiOutput(const std::vector<std::string>& ports, const MidiPortPreference& preference)
{
    int chosen = FindNamed(ports, preference.output, std::string());
    if (chosen < 0 && preference.emulatedCard)
        chosen = FindNamed(ports, kCardSynthPortName, std::string());
    if (chosen < 0)
        chosen = FindFirst(ports, std::string());
    return chosen;
}

int ChooseMidiInput(const std::vector<std::string>& ports, const MidiPortPreference& preference,
                    const std::string& outputPort)
{
    const int chosen = FindNamed(ports, preference.input, outputPort);
    return chosen >= 0 ? chosen : FindFirst(ports, outputPort);
}

std::string PortNameToRemember(const std::string& port)
{
    // " <digits>:<digits>" at the end.
    const std::size_t space = port.rfind(' ');
    if (space == std::string::npos)
        return port;
    const std::string numbers = port.substr(space + 1);
    const std::size_t colon = numbers.find(':');
    const auto digits = [](const std::string& text)
    { return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos; };
    if (colon == std::string::npos || !digits(numbers.substr(0, colon)) || !digits(numbers.substr(colon + 1)))
        return port;
    return port.substr(0, space);
}

bool CMidiPortReturn::Returned(const std::vector<std::string>& ports)
{
    const bool now = FindNamed(ports, named, std::string()) >= 0;
    const bool returned = looked && now && !present;
    looked = true;
    present = now;
    return returned;
}
