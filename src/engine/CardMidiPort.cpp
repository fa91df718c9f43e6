#include "engine/CardMidiPort.h"

#include "synth/MidiPortChoice.h"

#include <RtMidi.h>

#include <unistd.h>
#include <utility>

namespace
{
constexpr const char* kSequencerDevice = "/dev/snd/seq";
constexpr unsigned kQueueLimit = 1024;

void ReportError(RtMidiError::Type type, const std::string& /*text*/, void* flag)
{
    if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
        *static_cast<std::atomic<bool>*>(flag) = true;
}
} // namespace

CCardMidiPort::CCardMidiPort(Handler portHandler) : handler(std::move(portHandler))
{
    // Checked first: the ALSA library complains on the terminal about a
    // missing sequencer before RtMidi can be told to keep quiet.
    if (::access(kSequencerDevice, R_OK | W_OK) != 0)
        return;
    std::unique_ptr<RtMidiIn> device;
    try
    {
        device = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kCardSynthPortName, kQueueLimit);
    }
    catch (const RtMidiError&)
    {
        return;
    }
    device->setErrorCallback(&ReportError, &failed);
    device->ignoreTypes(true, true, true);
    device->setCallback(&CCardMidiPort::OnInput, this);
    device->openVirtualPort(kCardSynthPortName);
    if (failed)
        return; // the device goes (and its thread with it) before this object is done
    input = std::move(device);
}

CCardMidiPort::~CCardMidiPort()
{
    // Destroying the RtMidi input joins its thread.
    input.reset();
}

void CCardMidiPort::OnInput(double /*timeStamp*/, std::vector<unsigned char>* message, void* self)
{
    auto* port = static_cast<CCardMidiPort*>(self);
    if (!message)
        return;
    if (const auto packed = FromWireBytes(message->data(), message->size()))
        port->handler(*packed);
}
