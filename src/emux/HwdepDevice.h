#pragma once
// The Emux driver's hwdep device behind a small interface, so that the card
// library runs against a recording fake in the tests and against libasound
// on a machine with a card. Results are 0 or a negative errno, as libasound
// returns them.

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

class IHwdepDevice
{
public:
    virtual ~IHwdepDevice() = default;
    // Opens the device of that ALSA name ("hw:0,2") for reading and writing.
    virtual int Open(const std::string& name) = 0;
    virtual int Ioctl(unsigned int request, void* argument) = 0;
    virtual void Close() = 0;
    // Whether the open device's card has sound ROM that a bank's ROM samples
    // can name. The AWE cards' EMU8000 has its General MIDI samples there;
    // the later chips of the line have none.
    virtual bool HasRomSounds() { return false; }
    // Sets an integer mixer control of the open device's card, by name: 0, or
    // -ENOENT when the card has no such control.
    virtual int SetMixerControl(const std::string& /*name*/, int /*value*/) { return -ENOENT; }
};

// libasound's snd_hwdep calls. A device opened by another program answers
// -EBUSY without waiting for it.
std::unique_ptr<IHwdepDevice> MakeAlsaHwdep();

// An Emux hwdep device of this machine: its ALSA name and what the card calls itself.
struct EmuxDeviceInfo
{
    std::string name;  // "hw:0,2"
    std::string label; // "SB AWE32 - Emux WaveTable"
};
// Every Emux wavetable hwdep device of the sound cards ALSA knows; empty
// where there are none (or no ALSA at all).
std::vector<EmuxDeviceInfo> ListEmuxDevices();
