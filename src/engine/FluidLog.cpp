#include "engine/FluidLog.h"

#include <fluidsynth.h>

#include <algorithm>
#include <deque>
#include <mutex>

namespace
{
struct Log
{
    std::mutex mutex;
    std::deque<std::string> messages;
};

Log& TheLog()
{
    static Log log;
    return log;
}

void KeepMessage(int level, const char* message, void*)
{
    static const char* const names[] = {"panic", "error", "warning"};
    Log& log = TheLog();
    const std::lock_guard guard(log.mutex);
    log.messages.push_back(std::string(names[std::clamp(level, 0, 2)]) + ": " + (message ? message : ""));
    if (log.messages.size() > CFluidLog::kMaxKept)
        log.messages.pop_front();
}
} // namespace

void CFluidLog::Install()
{
    for (const int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN})
        fluid_set_log_function(level, KeepMessage, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

std::vector<std::string> CFluidLog::Messages()
{
    Log& log = TheLog();
    const std::lock_guard guard(log.mutex);
    return {log.messages.begin(), log.messages.end()};
}

std::string CFluidLog::Last()
{
    Log& log = TheLog();
    const std::lock_guard guard(log.mutex);
    return log.messages.empty() ? std::string() : log.messages.back();
}

void CFluidLog::Clear()
{
    Log& log = TheLog();
    const std::lock_guard guard(log.mutex);
    log.messages.clear();
}
