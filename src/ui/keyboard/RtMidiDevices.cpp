#include "ui/keyboard/RtMidiDevices.h"

#include <QSettings>
#include <QString>

#include <RtMidi.h>

#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
constexpr const char* kSequencerDevice = "/dev/snd/seq";
constexpr unsigned kInputQueueLimit = 100;

// Once installed, RtMidi reports through this instead of printing or
// throwing; a failure shows as the flag, which lives as long as the device.
void ReportError(RtMidiError::Type type, const std::string& /*text*/, void* flag)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<std::atomic<bool>*>(flag) = true;
}

template <typename Device> std::vector<std::string> PortNames(Device& device)
{
    std::vector<std::string> names;
    const unsigned count = device.getPortCount();
    for (unsigned i = 0; i < count; ++i)
        names.push_back(device.getPortName(i));
    return names;
}

// A new client on the sequencer, or nothing when there is none.
template <typename Device, typename... Args> std::unique_ptr<Device> Connect(Args... args)
{
    if (!CRtMidiDevices::SequencerPresent())
        return nullptr;
    try
    {
        return std::make_unique<Device>(RtMidi::LINUX_ALSA, kKeyboardClientName, args...);
    }
    catch (const RtMidiError&)
    {
        return nullptr;
    }
}
} // namespace

CRtMidiDevices::CRtMidiDevices(MidiPortPreference portPreference) : preference(std::move(portPreference)) {}

CRtMidiDevices::~CRtMidiDevices()
{
    CloseInput();
    CloseOutput();
}

MidiPortPreference CRtMidiDevices::ProfilePreference(bool emulatedCard)
{
    QSettings settings(QStringLiteral("Ravell Software"), QStringLiteral("Tamberly"));
    settings.beginGroup(QStringLiteral("Midi"));
    MidiPortPreference result;
    result.output = settings.value(QStringLiteral("Output")).toString().toStdString();
    result.input = settings.value(QStringLiteral("Input")).toString().toStdString();
    result.emulatedCard = emulatedCard;
    return result;
}

bool CRtMidiDevices::SequencerPresent()
{
    // Checked first because the ALSA library prints its own complaint about a
    // missing sequencer device before RtMidi can be told to keep quiet.
    return ::access(kSequencerDevice, R_OK | W_OK) == 0;
}

namespace
{
template <typename Device> std::vector<std::string> OthersPorts()
{
    std::vector<std::string> names;
    if (auto device = Connect<Device>())
    {
        std::atomic<bool> failed{false};
        device->setErrorCallback(&ReportError, &failed);
        for (std::string& name : PortNames(*device))
            if (name.rfind(kKeyboardClientName, 0) != 0)
                names.push_back(std::move(name));
    }
    return names;
}
} // namespace

std::vector<std::string> CRtMidiDevices::InputPorts()
{
    return OthersPorts<RtMidiIn>();
}

std::vector<std::string> CRtMidiDevices::OutputPorts()
{
    return OthersPorts<RtMidiOut>();
}

bool CRtMidiDevices::OpenOutput()
{
    if (output)
        return true;
    auto device = Connect<RtMidiOut>();
    if (!device)
        return false;
    outputFailed = false;
    device->setErrorCallback(&ReportError, &outputFailed);
    const std::vector<std::string> ports = PortNames(*device);
    const int chosen = ChooseMidiOutput(ports, preference);
    if (chosen < 0 || outputFailed)
        return false;
    device->openPort(static_cast<unsigned>(chosen), "MIDI Out");
    if (outputFailed || !device->isPortOpen())
        return false;
    outputPort = ports[static_cast<std::size_t>(chosen)];
    output = std::move(device);
    return true;
}

void CRtMidiDevices::CloseOutput()
{
    output.reset();
    outputPort.clear();
}

bool CRtMidiDevices::OpenInput(InputHandler newHandler)
{
    if (input)
        return true;
    auto device = Connect<RtMidiIn>(kInputQueueLimit);
    if (!device)
        return false;
    inputFailed = false;
    device->setErrorCallback(&ReportError, &inputFailed);
    // Clock and active sensing pass through like every other short message;
    // SysEx is no short message.
    device->ignoreTypes(true, false, false);
    handler = std::move(newHandler);
    device->setCallback(&CRtMidiDevices::OnInput, this);
    const std::vector<std::string> ports = PortNames(*device);
    const int chosen = ChooseMidiInput(ports, preference, outputPort);
    if (chosen >= 0)
        device->openPort(static_cast<unsigned>(chosen), "MIDI In");
    else
        device->openVirtualPort("MIDI In");
    if (inputFailed)
    {
        device.reset(); // its thread is gone before the handler goes
        handler = nullptr;
        return false;
    }
    inputPort = chosen >= 0 ? ports[static_cast<std::size_t>(chosen)] : std::string();
    input = std::move(device);
    return true;
}

void CRtMidiDevices::StartInput()
{
    if (input)
        inputRunning = true;
}

void CRtMidiDevices::CloseInput()
{
    inputRunning = false;
    // Destroying the RtMidi input joins its thread, so no handler call is
    // under way or to come once this returns.
    input.reset();
    handler = nullptr;
    inputPort.clear();
}

void CRtMidiDevices::SendShortMessage(ShortMessage message)
{
    if (!output)
        return;
    const ShortMessageBytes wire = ToWireBytes(message);
    if (wire.length == 0)
        return;
    output->sendMessage(wire.bytes.data(), wire.length);
}

void CRtMidiDevices::OnInput(double /*timeStamp*/, std::vector<unsigned char>* message, void* self)
{
    auto* devices = static_cast<CRtMidiDevices*>(self);
    if (!message || !devices->inputRunning)
        return;
    if (const auto packed = FromWireBytes(message->data(), message->size()))
        devices->handler(*packed);
}
