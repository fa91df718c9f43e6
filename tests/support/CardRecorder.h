#pragma once
// The test side of the recording card manager library (tests/synth/recorder):
// scripts its answers and reads back the calls it logged. The library is
// shared with the CAweSession under test, as the dynamic linker hands out one
// instance per file.

#include "platform/RegistryStore.h"
#include "synth/AweManager.h"

#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

class CardRecorder
{
public:
    using Lines = std::vector<std::string>;

    explicit CardRecorder(const std::string& libraryPath)
    {
        handle = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            throw std::runtime_error(::dlerror());
        reset = Symbol<void (*)()>("Recorder_Reset");
        script = Symbol<ScriptFn>("Recorder_Script");
        setDefault = Symbol<ScriptFn>("Recorder_Default");
        log = Symbol<const char* (*)()>("Recorder_Log");
        setStatus = Symbol<void (*)(const char*)>("Recorder_Status");
        reset();
    }
    ~CardRecorder() { ::dlclose(handle); }
    CardRecorder(const CardRecorder&) = delete;
    CardRecorder& operator=(const CardRecorder&) = delete;

    // Queues the answer to the next call of code.
    void Script(std::uint32_t code, std::int32_t result, const char* name = "", std::uint32_t v1 = 0,
                std::uint32_t v2 = 0)
    {
        script(code, result, name, v1, v2);
    }
    // The answer to calls of code when nothing is queued.
    void Default(std::uint32_t code, std::int32_t result, const char* name = "", std::uint32_t v1 = 0,
                 std::uint32_t v2 = 0)
    {
        setDefault(code, result, name, v1, v2);
    }
    // The calls logged since the last Take (or reset), one per line; resets
    // the library's answers too.
    Lines Take()
    {
        Lines lines;
        std::istringstream in(log());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        reset();
        return lines;
    }
    // The logged commands other than the open and close around each one.
    Lines TakeCommands()
    {
        Lines commands;
        for (const std::string& line : Take())
            if (line.rfind("901 ", 0) != 0 && line.rfind("902 ", 0) != 0)
                commands.push_back(line);
        return commands;
    }

private:
    using ScriptFn = void (*)(std::uint32_t, std::int32_t, const char*, std::uint32_t, std::uint32_t);
    template <typename F> F Symbol(const char* name)
    {
        auto f = reinterpret_cast<F>(::dlsym(handle, name));
        if (!f)
            throw std::runtime_error(name);
        return f;
    }
    void* handle = nullptr;
    void (*reset)() = nullptr;
    ScriptFn script = nullptr;
    ScriptFn setDefault = nullptr;
    const char* (*log)() = nullptr;
    void (*setStatus)(const char*) = nullptr;

public:
    // The status line the library reports from now on.
    void Status(const char* text) { setStatus(text); }
};

// Registers a card driver in the registry store of folder the way the card's
// driver does, with the given synth bank files and user bank files
// (value name "B%03d" to path).
inline void RegisterCardDriver(const std::string& folder,
                               const std::vector<std::pair<int, std::string>>& userBanks = {})
{
    CRegistryStore(folder).Update(
        [&](CRegistryStore::Tree& tree)
        {
            const std::string settings = "Software\\Card\\Settings";
            tree.SetValue(std::string(kMidiDriversKey) + "\\sbawe32.drv<0000>", "SOFTWAREKEY",
                          "Software\\Card");
            tree.SetValue(settings, "Synthesizer", "0");
            tree.SetValue(settings, "GM", "/banks/gm.sbk");
            tree.SetValue(settings, "GS", "/banks/gs.sbk");
            tree.SetValue(settings, "MT", "/banks/mt.sbk");
            for (const auto& [bank, path] : userBanks)
            {
                char name[8];
                std::snprintf(name, sizeof name, "B%03d", bank);
                tree.SetValue(settings + "\\UserBank", name, path);
            }
        });
}
