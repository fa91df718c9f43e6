#include "emux/HwdepDevice.h"

#include <alsa/asoundlib.h>
#include <cerrno>
#include <string>

namespace
{
// The control device ("hw:0") of the card a hwdep name ("hw:0,2") is on.
std::string ControlOf(const std::string& name)
{
    const auto comma = name.find(',');
    return comma == std::string::npos ? name : name.substr(0, comma);
}

class CAlsaHwdep final : public IHwdepDevice
{
public:
    ~CAlsaHwdep() override { Close(); }

    int Open(const std::string& name) override
    {
        Close();
        // Non-blocking: a device another program holds is refused at once
        // instead of hanging the caller.
        control = ControlOf(name);
        return snd_hwdep_open(&device, name.c_str(), SND_HWDEP_OPEN_DUPLEX | SND_HWDEP_OPEN_NONBLOCK);
    }

    bool HasRomSounds() override
    {
        // ALSA names the AWE32 and AWE64 drivers so; their EMU8000 is the
        // only chip of the line with sample ROM.
        snd_ctl_t* ctl = nullptr;
        if (!device || snd_ctl_open(&ctl, control.c_str(), SND_CTL_NONBLOCK) < 0)
            return false;
        bool rom = false;
        snd_ctl_card_info_t* info = nullptr;
        if (snd_ctl_card_info_malloc(&info) == 0)
        {
            if (snd_ctl_card_info(ctl, info) == 0)
                rom = std::string(snd_ctl_card_info_get_driver(info)).find("AWE") != std::string::npos;
            snd_ctl_card_info_free(info);
        }
        snd_ctl_close(ctl);
        return rom;
    }

    int SetMixerControl(const std::string& name, int value) override
    {
        snd_ctl_t* ctl = nullptr;
        if (!device)
            return -ENODEV;
        if (const int opened = snd_ctl_open(&ctl, control.c_str(), SND_CTL_NONBLOCK); opened < 0)
            return opened;
        snd_ctl_elem_value_t* element = nullptr;
        int result = snd_ctl_elem_value_malloc(&element);
        if (result == 0)
        {
            snd_ctl_elem_value_set_interface(element, SND_CTL_ELEM_IFACE_MIXER);
            snd_ctl_elem_value_set_name(element, name.c_str());
            result = snd_ctl_elem_read(ctl, element);
            if (result == 0)
            {
                snd_ctl_elem_value_set_integer(element, 0, value);
                result = snd_ctl_elem_write(ctl, element);
            }
            snd_ctl_elem_value_free(element);
        }
        snd_ctl_close(ctl);
        return result < 0 ? result : 0;
    }

    int Ioctl(unsigned int request, void* argument) override
    {
        if (!device)
            return -ENODEV;
        return snd_hwdep_ioctl(device, request, argument);
    }

    void Close() override
    {
        if (device)
            snd_hwdep_close(device);
        device = nullptr;
    }

private:
    snd_hwdep_t* device = nullptr;
    std::string control;
};
} // namespace

std::unique_ptr<IHwdepDevice> MakeAlsaHwdep()
{
    return std::make_unique<CAlsaHwdep>();
}

std::vector<EmuxDeviceInfo> ListEmuxDevices()
{
    std::vector<EmuxDeviceInfo> devices;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0)
    {
        const std::string control = "hw:" + std::to_string(card);
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, control.c_str(), SND_CTL_NONBLOCK) < 0)
            continue;
        snd_hwdep_info_t* info = nullptr;
        if (snd_hwdep_info_malloc(&info) == 0)
        {
            int device = -1;
            while (snd_ctl_hwdep_next_device(ctl, &device) == 0 && device >= 0)
            {
                snd_hwdep_info_set_device(info, static_cast<unsigned int>(device));
                if (snd_ctl_hwdep_info(ctl, info) < 0 ||
                    snd_hwdep_info_get_iface(info) != SND_HWDEP_IFACE_EMUX_WAVETABLE)
                    continue;
                char* cardName = nullptr;
                std::string label = snd_card_get_name(card, &cardName) == 0 && cardName ? cardName : control;
                std::free(cardName);
                label.append(" - ").append(snd_hwdep_info_get_name(info));
                devices.push_back({control + ',' + std::to_string(device), label});
            }
            snd_hwdep_info_free(info);
        }
        snd_ctl_close(ctl);
    }
    return devices;
}
