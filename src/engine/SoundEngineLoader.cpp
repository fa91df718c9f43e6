#include "engine/SoundEngineLoader.h"

#include "platform/ProgramLibrary.h"

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <map>
#include <utility>

namespace
{
// The entry point of each plug-in loaded so far, by path; handles are kept
// open for the life of the process.
SoundModuleEntry EntryOf(const std::string& modulePath, std::string& error)
{
    static std::mutex mutex;
    static std::map<std::string, SoundModuleEntry> loaded;
    const std::lock_guard guard(mutex);
    if (const auto found = loaded.find(modulePath); found != loaded.end())
        return found->second;
    void* library = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        const char* why = ::dlerror();
        error = "the sound engine " + modulePath + " cannot be loaded: " + (why ? why : "unknown error");
        return nullptr;
    }
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    const auto entry = reinterpret_cast<SoundModuleEntry>(::dlsym(library, kSoundModuleEntryName));
    if (!entry)
    {
        ::dlclose(library);
        error = "the sound engine " + modulePath + " has no entry point " + kSoundModuleEntryName;
        return nullptr;
    }
    loaded.emplace(modulePath, entry);
    return entry;
}
} // namespace

std::string DefaultSoundModulePath()
{
    if (const char* named = std::getenv("TAMBERLY_SOUND_MODULE"); named && *named)
        return named;
    return ProgramLibraryPath(RunningExecutable(), kSoundModuleName);
}

std::unique_ptr<ISoundEngine> LoadSoundEngine(const CardEngineOptions& options, std::string& error,
                                              const std::string& modulePath)
{
    error.clear();
    const SoundModuleEntry entry = EntryOf(modulePath, error);
    if (!entry)
        return nullptr;
    std::unique_ptr<ISoundEngine> engine(entry(&options, &error));
    if (!engine && error.empty())
        error = "the sound engine did not start";
    return engine;
}

// ---- CLazySoundEngine ----

CLazySoundEngine::CLazySoundEngine(CardEngineOptions engineOptions, LoadedHandler handler, std::string path)
    : options(std::move(engineOptions)), loaded(std::move(handler)), modulePath(std::move(path))
{
}

CLazySoundEngine::~CLazySoundEngine()
{
    // Waited for outside the lock: the loading thread's handler may ask this
    // object something before it finishes.
    std::shared_future<Result> load;
    {
        const std::lock_guard guard(mutex);
        load = pending;
    }
    if (load.valid())
        load.wait();
}

CLazySoundEngine::Result CLazySoundEngine::Load() const
{
    Result result;
    result.engine = LoadSoundEngine(options, result.error, modulePath);
    if (loaded)
        loaded(result.engine, result.error);
    return result;
}

void CLazySoundEngine::StartLoading()
{
    const std::lock_guard guard(mutex);
    if (!pending.valid())
        pending = std::async(std::launch::async, [this] { return Load(); }).share();
}

std::shared_ptr<ISoundEngine> CLazySoundEngine::Get()
{
    std::shared_future<Result> load;
    {
        const std::lock_guard guard(mutex);
        if (!pending.valid())
        {
            // Loaded here and now, on the asking thread: nothing else is waiting.
            std::promise<Result> done;
            done.set_value(Load());
            pending = done.get_future().share();
        }
        load = pending;
    }
    return load.get().engine;
}

std::shared_ptr<ISoundEngine> CLazySoundEngine::IfLoaded() const
{
    const std::lock_guard guard(mutex);
    if (!pending.valid() || pending.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return nullptr;
    return pending.get().engine;
}

std::string CLazySoundEngine::Error() const
{
    const std::lock_guard guard(mutex);
    if (!pending.valid() || pending.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return {};
    return pending.get().error;
}
