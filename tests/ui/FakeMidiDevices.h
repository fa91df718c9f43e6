#pragma once
// MIDI devices that record what the keyboard does with them, for the window
// tests. The log outlives the devices, which the window owns.

#include "synth/MidiDevices.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct MidiLog
{
    std::vector<std::string> calls; // "OpenOutput", "OpenInput", ...
    std::vector<ShortMessage> sent; // messages on the output, as sent
    bool failOutput = false;
    bool failInput = false;
    IMidiDevices::InputHandler handler; // set while the input is open
    bool inputStarted = false;
    bool destroyed = false;
};

class CFakeMidiDevices final : public IMidiDevices
{
public:
    explicit CFakeMidiDevices(std::shared_ptr<MidiLog> log) : log(std::move(log)) {}
    ~CFakeMidiDevices() override { log->destroyed = true; }

    bool OpenOutput() override
    {
        log->calls.push_back("OpenOutput");
        outputOpen = !log->failOutput;
        return outputOpen;
    }
    void CloseOutput() override
    {
        log->calls.push_back("CloseOutput");
        outputOpen = false;
    }
    bool OpenInput(InputHandler handler) override
    {
        log->calls.push_back("OpenInput");
        if (log->failInput)
            return false;
        log->handler = std::move(handler);
        return true;
    }
    void StartInput() override
    {
        log->calls.push_back("StartInput");
        log->inputStarted = true;
    }
    void CloseInput() override
    {
        log->calls.push_back("CloseInput");
        log->handler = nullptr;
        log->inputStarted = false;
    }
    void SendShortMessage(ShortMessage message) override
    {
        // A send on a closed output would be a fault of the window.
        log->calls.push_back(outputOpen ? "Send" : "SendWhileClosed");
        log->sent.push_back(message);
    }

private:
    std::shared_ptr<MidiLog> log;
    bool outputOpen = false;
};

// "90 3C 7F" for a note-on of middle C with velocity 127: status, data 1, data 2.
inline std::string Hex(ShortMessage message)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", static_cast<unsigned>(message & 0xFF),
                  static_cast<unsigned>((message >> 8) & 0xFF),
                  static_cast<unsigned>((message >> 16) & 0xFF));
    return text;
}

inline std::vector<std::string> Hex(const std::vector<ShortMessage>& messages)
{
    std::vector<std::string> out;
    for (ShortMessage message : messages)
        out.push_back(Hex(message));
    return out;
}
