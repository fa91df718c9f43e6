#pragma once
// Loading the emulated card's sound engine plug-in, libtamberly-sound.so.
//
// The plug-in holds CCardEngine and everything FluidSynth maps with it; the
// programs link only this loader, so a command that reads a file starts as
// fast as a program that links nothing but the C++ runtime, and the window
// paints before any of it is loaded. The plug-in stays loaded until the
// process ends once it has been loaded (FluidSynth leaves threads and exit
// handlers behind that must not outlive its code).

#include "engine/SoundEngine.h"

#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>

constexpr const char* kSoundModuleName = "libtamberly-sound.so";
// The plug-in's one entry point, with C linkage:
//   ISoundEngine* TamberlyCreateSoundEngine(const CardEngineOptions*, std::string* error)
// returns a new engine that the caller owns, or null with *error saying why.
constexpr const char* kSoundModuleEntryName = "TamberlyCreateSoundEngine";
using SoundModuleEntry = ISoundEngine* (*)(const CardEngineOptions*, std::string*);

// $TAMBERLY_SOUND_MODULE, else the plug-in beside the running program or in
// its installation's lib/tamberly (ProgramLibraryPath).
std::string DefaultSoundModulePath();

// A new engine from the plug-in at modulePath; null with error set (naming
// the plug-in and what failed) when the plug-in cannot be loaded or its
// engine cannot start.
std::unique_ptr<ISoundEngine> LoadSoundEngine(const CardEngineOptions& options, std::string& error,
                                              const std::string& modulePath = DefaultSoundModulePath());

// One engine for a program that may never play a note: loaded the first time
// it is asked for, or ahead of that on a thread of its own (StartLoading), so
// that the first note waits at most for what is left of the load.
class CLazySoundEngine
{
public:
    using LoadedHandler =
        std::function<void(const std::shared_ptr<ISoundEngine>& engine, const std::string& error)>;

    // loaded is called once when the load ends (engine null on failure), on
    // the thread that loads: StartLoading's or the first Get's. It must not
    // call back into this object.
    explicit CLazySoundEngine(CardEngineOptions options, LoadedHandler loaded = {},
                              std::string modulePath = DefaultSoundModulePath());
    ~CLazySoundEngine(); // waits for a load under way
    CLazySoundEngine(const CLazySoundEngine&) = delete;
    CLazySoundEngine& operator=(const CLazySoundEngine&) = delete;

    // Starts loading on a thread of its own unless a load started already.
    void StartLoading();
    // The engine, loading it now or waiting for the load under way; null
    // when it cannot be loaded (Error says why). Never loads twice.
    std::shared_ptr<ISoundEngine> Get();
    // The engine if it is loaded already, else null; never waits.
    std::shared_ptr<ISoundEngine> IfLoaded() const;
    std::string Error() const;

private:
    struct Result
    {
        std::shared_ptr<ISoundEngine> engine;
        std::string error;
    };
    Result Load() const;

    const CardEngineOptions options;
    const LoadedHandler loaded;
    const std::string modulePath;
    mutable std::mutex mutex;
    std::shared_future<Result> pending; // valid once a load started
};
