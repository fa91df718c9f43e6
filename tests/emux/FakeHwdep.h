#pragma once
// A recording Emux device for the card library's tests: every call goes to a
// log the test holds, it answers like a card with the memory the test sets,
// and refuses what the test scripts: a load for lack of memory, every call
// once the device has gone, the open of a device another program holds.

#include "HwdepLog.h"
#include "emux/EmuxCard.h"
#include "emux/HwdepDevice.h"

#include <cerrno>
#include <map>
#include <memory>
#include <string>

struct FakeCardState
{
    HwdepLog log;
    int freeBytes = 8 << 20;
    int openResult = 0;
    int refuseLoad = 0; // the N-th LOAD_DATA / LOAD_INFO from now is refused with refuseError
    int refuseError = -ENOSPC;
    bool gone = false; // every call after this fails with -ENODEV
    int loads = 0;
    int closes = 0;
    bool rom = false;          // the card has sound ROM
    bool mixerControls = true; // the card has the effect mode controls
    std::map<std::string, int> mixer;
};

class FakeHwdep final : public IHwdepDevice
{
public:
    explicit FakeHwdep(std::shared_ptr<FakeCardState> shared) : state(std::move(shared)) {}

    int Open(const std::string& name) override
    {
        state->log.opened.push_back(name);
        return state->gone ? -ENODEV : state->openResult;
    }

    int Ioctl(unsigned int request, void* argument) override
    {
        if (state->gone)
            return -ENODEV;
        HwdepCall call{request, {}};
        if (request == SNDRV_EMUX_IOCTL_LOAD_PATCH)
        {
            soundfont_patch_info header;
            std::memcpy(&header, argument, sizeof header);
            const auto* bytes = static_cast<const std::uint8_t*>(argument);
            call.bytes.assign(bytes, bytes + sizeof header + static_cast<std::size_t>(header.len));
            state->log.calls.push_back(call);
            if (header.type == SNDRV_SFNT_LOAD_DATA || header.type == SNDRV_SFNT_LOAD_INFO)
                if (++state->loads == state->refuseLoad)
                    return state->refuseError;
            return 0;
        }
        state->log.calls.push_back(call);
        if (request == SNDRV_EMUX_IOCTL_VERSION)
            *static_cast<unsigned int*>(argument) = SNDRV_EMUX_VERSION;
        else if (request == SNDRV_EMUX_IOCTL_MEM_AVAIL)
            *static_cast<int*>(argument) = state->freeBytes;
        return 0;
    }

    void Close() override { ++state->closes; }
    bool HasRomSounds() override { return state->rom; }
    int SetMixerControl(const std::string& name, int value) override
    {
        if (!state->mixerControls)
            return -ENOENT;
        state->mixer[name] = value;
        return 0;
    }

private:
    std::shared_ptr<FakeCardState> state;
};

// A card library object on a fake device of its own.
struct FakeCard
{
    std::shared_ptr<FakeCardState> state = std::make_shared<FakeCardState>();
    CEmuxCard card;

    explicit FakeCard(std::string device = "hw:1,2")
        : card([shared = state] { return std::make_unique<FakeHwdep>(shared); }, std::move(device))
    {
    }
};
