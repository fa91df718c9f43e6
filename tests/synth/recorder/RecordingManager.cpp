// A card manager library for tests: logs every call with its decoded records
// and answers what a test scripted. Tests in the same process reach it
// through the Recorder_ functions (dlsym on the handle the session shares);
// a test that runs a program instead names a script file in
// $TAMBERLY_RECORDER_SCRIPT and reads the log from $TAMBERLY_RECORDER_LOG.
//
// Log lines: "<code> h=<handle>" and the decoded parameters, for example
// "911 h=77 bank=0 preset=5 path=/a.sbk source=5". A call whose records carry
// nonzero reserved bytes, a path length that differs from the path or a
// nonzero unused param2 gets " !reserved", " !length" or " !param2".

#include "synth/AweManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace
{
struct Answer
{
    std::int32_t result = 0;
    std::string name;
    std::uint32_t value1 = 0; // 901 handle, 308 total, 904 reverb, 906 synth bank
    std::uint32_t value2 = 0; // 308 free, 904 chorus
};

struct State
{
    std::map<std::uint32_t, std::deque<Answer>> queued;
    std::map<std::uint32_t, Answer> defaults;
    std::string log;
    std::string status;
    bool scriptRead = false;
};

State& Recorder()
{
    static State state;
    return state;
}

void SetDefaults(State& state)
{
    state.queued.clear();
    state.defaults.clear();
    state.defaults[kAweOpen].value1 = 77;
}

template <typename T> bool Dirty(const T& bytes)
{
    for (auto b : bytes)
        if (b != 0)
            return true;
    return false;
}

void PutName(const Answer& answer, NameBuffer* name)
{
    if (!name || !name->buffer)
        return;
    // Like a careless library: a name as long as the buffer gets no NUL.
    const std::size_t length = std::min<std::size_t>(answer.name.size(), name->size);
    std::memcpy(name->buffer, answer.name.data(), length);
    if (length < name->size)
        name->buffer[length] = '\0';
}

std::string DescribeFile(const FileReference* file, bool withSource)
{
    if (!file || !file->path)
        return " path=<null>";
    std::string text = " path=" + std::string(file->path);
    if (withSource)
        text += " source=" + std::to_string(file->sourcePreset);
    if (file->length != std::strlen(file->path))
        text += " !length";
    if (file->reserved != 0 || (!withSource && file->sourcePreset != 0))
        text += " !reserved";
    return text;
}

std::string DescribeAddress(const PresetAddress* address)
{
    if (!address)
        return " address=<null>";
    std::string text =
        " bank=" + std::to_string(address->bank) + " preset=" + std::to_string(address->preset);
    if (address->reserved != 0 || Dirty(address->reserved2))
        text += " !reserved";
    return text;
}

std::string DescribeName(const NameBuffer* name)
{
    if (!name)
        return " name=<null>";
    std::string text = " size=" + std::to_string(name->size);
    if (name->reserved != 0)
        text += " !reserved";
    return text;
}

void ReadScriptFile(State& state)
{
    state.scriptRead = true;
    const char* path = std::getenv("TAMBERLY_RECORDER_SCRIPT");
    if (!path || !*path)
        return;
    // Lines: "script|default CODE RESULT VALUE1 VALUE2 [NAME TO END OF LINE]".
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
    {
        std::istringstream fields(line);
        std::string kind;
        std::uint32_t code = 0;
        Answer answer;
        if (!(fields >> kind >> code >> answer.result >> answer.value1 >> answer.value2))
            continue;
        std::getline(fields >> std::ws, answer.name);
        if (kind == "script")
            state.queued[code].push_back(answer);
        else if (kind == "default")
            state.defaults[code] = answer;
    }
}

Answer NextAnswer(State& state, std::uint32_t code)
{
    auto& queue = state.queued[code];
    if (queue.empty())
        return state.defaults[code];
    Answer answer = queue.front();
    queue.pop_front();
    return answer;
}

void Log(State& state, const std::string& line)
{
    state.log += line;
    state.log += '\n';
    if (const char* path = std::getenv("TAMBERLY_RECORDER_LOG"); path && *path)
        if (std::FILE* file = std::fopen(path, "a"))
        {
            std::fprintf(file, "%s\n", line.c_str());
            std::fclose(file);
        }
}
} // namespace

extern "C" void Recorder_Reset()
{
    State& state = Recorder();
    SetDefaults(state);
    state.log.clear();
    state.status.clear();
    state.scriptRead = true; // a test in this process scripts through the functions
}

// Queues the answer to the next call of code.
extern "C" void Recorder_Script(std::uint32_t code, std::int32_t result, const char* name,
                                std::uint32_t value1, std::uint32_t value2)
{
    Recorder().queued[code].push_back(Answer{result, name ? name : "", value1, value2});
}

// The answer to calls of code when nothing is queued.
extern "C" void Recorder_Default(std::uint32_t code, std::int32_t result, const char* name,
                                 std::uint32_t value1, std::uint32_t value2)
{
    Recorder().defaults[code] = Answer{result, name ? name : "", value1, value2};
}

// The status line the card library reports, as a test set it.
extern "C" void Recorder_Status(const char* text)
{
    Recorder().status = text ? text : "";
}

extern "C" std::uint32_t TamberlyCardStatus(char* buffer, std::uint32_t size)
{
    const std::string& status = Recorder().status;
    if (buffer && size > 0)
    {
        const std::size_t length = std::min<std::size_t>(status.size(), size - 1);
        std::memcpy(buffer, status.data(), length);
        buffer[length] = '\0';
    }
    return static_cast<std::uint32_t>(status.size());
}

// The calls since the last reset, one line each; valid until the next call.
extern "C" const char* Recorder_Log()
{
    return Recorder().log.c_str();
}

extern "C" std::int32_t AWEManager(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1,
                                   std::uintptr_t param2)
{
    State& state = Recorder();
    if (!state.scriptRead)
    {
        SetDefaults(state);
        ReadScriptFile(state);
    }
    const Answer answer = NextAnswer(state, code);
    std::string line = std::to_string(code) + " h=" + std::to_string(handle);
    bool param2Unused = true;
    switch (code)
    {
    case kAweOpen:
        if (param1)
            *reinterpret_cast<std::uint32_t*>(param1) = answer.value1;
        break;
    case kAweClose:
        break;
    case kAweGetMemory:
        param2Unused = false;
        if (param1)
            *reinterpret_cast<std::uint32_t*>(param1) = answer.value1;
        if (param2)
            *reinterpret_cast<std::uint32_t*>(param2) = answer.value2;
        break;
    case kAweGetEffects:
        if (auto* effects = reinterpret_cast<EffectsRecord*>(param1))
        {
            effects->reverb = static_cast<std::uint16_t>(answer.value1);
            effects->chorus = static_cast<std::uint16_t>(answer.value2);
        }
        break;
    case kAweSetEffects:
        if (const auto* effects = reinterpret_cast<const EffectsRecord*>(param1))
        {
            line += " selector=" + std::to_string(effects->selector) +
                    " reverb=" + std::to_string(effects->reverb) +
                    " chorus=" + std::to_string(effects->chorus);
            if (Dirty(effects->reserved) || Dirty(effects->reserved2) || Dirty(effects->reserved3))
                line += " !reserved";
            if (answer.result == 0) // the card now reports what was set
            {
                Answer& current = state.defaults[kAweGetEffects];
                current.value1 = effects->reverb;
                current.value2 = effects->chorus;
            }
        }
        break;
    case kAweGetSynthBank:
        if (auto* name = reinterpret_cast<NameBuffer*>(param1))
        {
            line += DescribeName(name);
            PutName(answer, name);
            name->synthBank = static_cast<std::uint16_t>(answer.value1);
        }
        break;
    case kAweSelectSynthBank:
    case kAweClearBank:
        line += " bank=" + std::to_string(param1 & 0xFFFF);
        break;
    case kAweLoadBank:
        param2Unused = false;
        line += " bank=" + std::to_string(param1 & 0xFFFF) +
                DescribeFile(reinterpret_cast<const FileReference*>(param2), false);
        break;
    case kAweGetBankName:
        param2Unused = false;
        line += " bank=" + std::to_string(param1) + DescribeName(reinterpret_cast<NameBuffer*>(param2));
        PutName(answer, reinterpret_cast<NameBuffer*>(param2));
        break;
    case kAweLoadPreset:
        param2Unused = false;
        line += DescribeAddress(reinterpret_cast<const PresetAddress*>(param1)) +
                DescribeFile(reinterpret_cast<const FileReference*>(param2), true);
        break;
    case kAweGetPresetName:
        param2Unused = false;
        line += DescribeAddress(reinterpret_cast<const PresetAddress*>(param1)) +
                DescribeName(reinterpret_cast<NameBuffer*>(param2));
        PutName(answer, reinterpret_cast<NameBuffer*>(param2));
        break;
    case kAweClearPreset:
        param2Unused = false;
        line += " bank=" + std::to_string(param1) + " preset=" + std::to_string(param2);
        break;
    default:
        param2Unused = false;
        line += " p1=" + std::to_string(param1) + " p2=" + std::to_string(param2);
    }
    if (param2Unused && param2 != 0)
        line += " !param2";
    Log(state, line);
    return answer.result;
}
