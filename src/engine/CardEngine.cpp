#include "engine/CardEngine.h"

#include "engine/AudioOutput.h"
#include "engine/CardChangeListener.h"
#include "engine/CardFonts.h"
#include "engine/CardMidiPort.h"
#include "engine/CardStateWatcher.h"
#include "engine/ChannelRouter.h"
#include "engine/FluidLog.h"
#include "engine/MemoryFontLoader.h"
#include "engine/OfflineRenderer.h"
#include "engine/PreviewChannel.h"
#include "engine/SongPlayer.h"
#include "engine/SoundFileWriter.h"
#include "platform/CardHome.h"
#include "platform/GeneralMidiFont.h"
#include "platform/StringTable.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

namespace
{
constexpr double kGain = 0.5;

// FluidSynth's settings and synth, made in this order and freed in the other.
struct FluidSynth
{
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;

    explicit FluidSynth(int voices)
    {
        CFluidLog::Install();
        settings = new_fluid_settings();
        if (!settings)
            throw std::runtime_error("FluidSynth cannot make its settings");
        fluid_settings_setnum(settings, "synth.sample-rate", ISoundEngine::kSampleRate);
        fluid_settings_setint(settings, "synth.polyphony", voices);
        fluid_settings_setint(settings, "synth.cpu-cores", 1);
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 0);
        fluid_settings_setnum(settings, "synth.gain", kGain);
        // Room for the preview's channel after the sixteen MIDI channels.
        fluid_settings_setint(settings, "synth.midi-channels", CPreviewChannel::kSynthChannels);
        CAudioOutput::Configure(settings);
        synth = new_fluid_synth(settings);
        if (!synth)
        {
            delete_fluid_settings(settings);
            throw std::runtime_error("FluidSynth cannot make a synthesizer");
        }
        if (fluid_sfloader_t* loader = CMemoryFontLoader::NewLoader(settings))
            fluid_synth_add_sfloader(synth, loader);
    }
    ~FluidSynth()
    {
        delete_fluid_synth(synth);
        delete_fluid_settings(settings);
    }
    FluidSynth(const FluidSynth&) = delete;
    FluidSynth& operator=(const FluidSynth&) = delete;
};
} // namespace

// Members are made in the order the parts need each other and destroyed in
// the other: the sequencer port (which calls the router from its thread)
// goes first, the audio device (which renders from its thread) next, the
// synth last.
struct CCardEngine::Impl
{
    CardEngineOptions options;
    FluidSynth fluid;
    CCardFonts fonts;
    CAudioOutput audio;
    std::optional<CChannelRouter> router;
    std::optional<COfflineRenderer> renderer;
    // Without a device the song's player runs on the samples rendered, so an
    // offline engine's player is made and deleted only under renderLock.
    std::mutex renderLock;
    std::optional<CSongPlayer> song;
    std::unique_ptr<CCardMidiPort> port;
    std::optional<CPreviewChannel> preview;

    std::mutex refreshMutex; // one Refresh at a time; guards watcher
    CCardStateWatcher watcher;

    std::thread follower;
    std::mutex followMutex; // guards stopFollowing and cardChanged
    std::condition_variable followWake;
    bool stopFollowing = false;
    bool cardChanged = false; // the card in this process said so since the last look
    std::unique_ptr<CCardChangeListener> listener;

    // What the output was last asked to be and opened as (or, without a
    // device anywhere, what it was made with): what a failed change returns to.
    struct AudioAsk
    {
        std::string driver; // empty: the default drivers in turn
        std::string device;
        int frames = CAudioOutput::kPeriodFrames;
        bool operator==(const AudioAsk&) const = default;
    };
    std::mutex settingsMutex; // one ApplySettings at a time; guards asked
    AudioAsk asked;

    explicit Impl(CardEngineOptions engineOptions)
        : options(std::move(engineOptions)), fluid(std::clamp(options.voices, kCardVoices, kMaxVoices)),
          fonts(fluid.synth, options.cardHome.empty() ? CardHomePath() : options.cardHome),
          watcher(fonts.Home())
    {
        fonts.LoadGeneralMidi(options.generalMidiFont.empty() ? CCardFonts::DefaultGeneralMidiFont()
                                                              : options.generalMidiFont);
        if (options.audioDevice)
            audio.Open(fluid.settings, fluid.synth, StartingChoice());
        // Without a device nobody renders: notes would queue for ever.
        router.emplace(fluid.synth, fonts, options.audioDevice && !audio.IsOpen());
        renderer.emplace(fluid.synth, *router);
        preview.emplace(fluid.synth);
        song.emplace(fluid.synth, *router, !options.audioDevice);
        OpenMidiPort();
    }

    CAudioOutput::Choice StartingChoice()
    {
        asked = {options.audioDrivers.size() == 1 ? options.audioDrivers.front() : std::string(),
                 options.audioDeviceName, options.bufferFrames};
        return {options.audioDrivers, options.audioDeviceName, options.bufferFrames};
    }

    static CAudioOutput::Choice ChoiceFor(const AudioAsk& ask)
    {
        return {ask.driver.empty() ? CardEngineOptions().audioDrivers : std::vector<std::string>{ask.driver},
                ask.device, ask.frames};
    }

    // The sequencer port feeds a device engine once it has a device.
    void OpenMidiPort()
    {
        if (port || !audio.IsOpen() || !options.sequencerPort)
            return;
        auto midiPort =
            std::make_unique<CCardMidiPort>([this](ShortMessage message) { router->Handle(message); });
        if (midiPort->IsOpen())
            port = std::move(midiPort);
    }

    ~Impl()
    {
        port.reset();
        preview.reset();
        // No stuck notes for the device's last periods; the player's thread ends.
        song.reset();
    }

    // Held while an offline engine's player changes; a device engine's
    // player runs on a thread of its own and needs nothing.
    std::unique_lock<std::mutex> SongLock()
    {
        return options.audioDevice ? std::unique_lock<std::mutex>()
                                   : std::unique_lock<std::mutex>(renderLock);
    }
};

CCardEngine::CCardEngine(CardEngineOptions options) : impl(std::make_unique<Impl>(std::move(options)))
{
    impl->router->Reset();
    Refresh();
}

CCardEngine::~CCardEngine()
{
    StopFollowing();
}

bool CCardEngine::Refresh()
{
    const std::lock_guard refreshing(impl->refreshMutex);
    auto next = impl->watcher.ReadIfChanged();
    if (!next)
        return false;
    const std::set<int> unused = impl->fonts.Update(std::move(*next));
    impl->router->Follow();
    // No channel plays from these any more; voices still sounding from them were cut off.
    impl->fonts.Unload(unused);
    return true;
}

void CCardEngine::StartFollowing(std::chrono::milliseconds interval)
{
    StopFollowing();
    {
        const std::lock_guard guard(impl->followMutex);
        impl->stopFollowing = false;
        impl->cardChanged = false;
    }
    // A change made by the card in this process wakes the follower at once;
    // the interval is for the changes of other processes.
    impl->listener = std::make_unique<CCardChangeListener>(
        [this]
        {
            {
                const std::lock_guard guard(impl->followMutex);
                impl->cardChanged = true;
            }
            impl->followWake.notify_all();
        });
    impl->follower = std::thread(
        [this, interval]
        {
            std::unique_lock lock(impl->followMutex);
            while (!impl->stopFollowing)
            {
                impl->cardChanged = false;
                lock.unlock();
                Refresh();
                lock.lock();
                impl->followWake.wait_for(lock, interval,
                                          [this] { return impl->stopFollowing || impl->cardChanged; });
            }
        });
}

bool CCardEngine::HearsCardChanges() const
{
    return impl->listener && impl->listener->IsListening();
}

void CCardEngine::StopFollowing()
{
    // First no more notices, then the thread they would wake.
    impl->listener.reset();
    {
        const std::lock_guard guard(impl->followMutex);
        impl->stopFollowing = true;
    }
    impl->followWake.notify_all();
    if (impl->follower.joinable())
        impl->follower.join();
}

void CCardEngine::SendShortMessage(ShortMessage message)
{
    impl->router->Handle(message);
}

void CCardEngine::AllSoundsOff()
{
    for (int channel = 0; channel < kMidiChannels; ++channel)
        fluid_synth_all_sounds_off(impl->fluid.synth, channel);
}

bool CCardEngine::HasSound(int bank, int program) const
{
    return impl->fonts.HasSound(bank, program);
}

CCardModel CCardEngine::State() const
{
    return impl->fonts.State();
}

bool CCardEngine::Render(float* left, float* right, std::size_t frames)
{
    if (impl->audio.IsOpen())
        return false;
    const std::lock_guard rendering(impl->renderLock);
    return impl->renderer->Render(left, right, frames);
}

bool CCardEngine::RenderNotes(const NotePlan& plan, StereoSound& out)
{
    if (impl->audio.IsOpen())
    {
        out = {};
        return false;
    }
    const std::lock_guard rendering(impl->renderLock);
    return impl->renderer->RenderNotes(plan, out);
}

HeldKeys CCardEngine::KeysHeld(int channel) const
{
    return impl->router->KeysHeld(channel);
}

bool CCardEngine::LoadSong(const MidiSong& song)
{
    const auto lock = impl->SongLock();
    return impl->song->Load(song);
}

void CCardEngine::UnloadSong()
{
    const auto lock = impl->SongLock();
    impl->song->Unload();
}

void CCardEngine::PlaySong()
{
    const auto lock = impl->SongLock();
    impl->song->Play();
}

void CCardEngine::PauseSong()
{
    const auto lock = impl->SongLock();
    impl->song->Pause();
}

void CCardEngine::StopSong()
{
    const auto lock = impl->SongLock();
    impl->song->Stop();
}

void CCardEngine::SeekSong(double seconds)
{
    const auto lock = impl->SongLock();
    impl->song->Seek(seconds);
}

void CCardEngine::SetSongLoop(bool loop)
{
    impl->song->SetLoop(loop);
}

SongState CCardEngine::Song() const
{
    return impl->song->State();
}

bool CCardEngine::RenderSong(const MidiSong& song, const SongRenderPlan& plan, StereoSound& out)
{
    out = {};
    // A device engine drops notes when no device renders them: renders need an offline engine.
    if (impl->options.audioDevice)
        return false;
    const std::lock_guard rendering(impl->renderLock);
    return impl->renderer->RenderSong(song, plan,
                                      [&](const float* left, const float* right, std::size_t frames)
                                      {
                                          out.left.insert(out.left.end(), left, left + frames);
                                          out.right.insert(out.right.end(), right, right + frames);
                                          return true;
                                      });
}

bool CCardEngine::RenderSongToFile(const MidiSong& song, const SongRenderPlan& plan, const std::string& path,
                                   double& seconds, std::string& error)
{
    error.clear();
    seconds = 0;
    std::size_t frames = 0;
    if (impl->options.audioDevice)
    {
        error = "an engine playing on a sound device does not render to files";
        return false;
    }
    CSoundFileWriter writer;
    if (!writer.Open(path, kSampleRate, error))
        return false;
    bool written = true;
    bool rendered = false;
    {
        const std::lock_guard rendering(impl->renderLock);
        rendered = impl->renderer->RenderSong(song, plan,
                                              [&](const float* left, const float* right, std::size_t count)
                                              {
                                                  frames += count;
                                                  return written = writer.Write(left, right, count);
                                              });
    }
    if (!written)
    {
        error = "cannot be written (disk full?)";
        return false;
    }
    if (!rendered)
    {
        error = "the song was not rendered (cancelled, or refused by the player)";
        return false;
    }
    seconds = static_cast<double>(frames) / kSampleRate;
    return writer.Commit(error);
}

bool CCardEngine::HasAudio() const
{
    return impl->audio.IsOpen();
}

std::string CCardEngine::AudioDriver() const
{
    return impl->audio.DriverName();
}

double CCardEngine::LatencyMs() const
{
    return impl->audio.LatencyMs(kSampleRate);
}

bool CCardEngine::HasSequencerPort() const
{
    return impl->port != nullptr;
}

ReverbSettings CCardEngine::CurrentReverb() const
{
    ReverbSettings reverb;
    fluid_synth_t* synth = impl->fluid.synth;
    fluid_synth_get_reverb_group_roomsize(synth, 0, &reverb.roomSize);
    fluid_synth_get_reverb_group_damp(synth, 0, &reverb.damping);
    fluid_synth_get_reverb_group_width(synth, 0, &reverb.width);
    fluid_synth_get_reverb_group_level(synth, 0, &reverb.level);
    return reverb;
}

ChorusSettings CCardEngine::CurrentChorus() const
{
    ChorusSettings chorus;
    int type = FLUID_CHORUS_MOD_SINE;
    fluid_synth_t* synth = impl->fluid.synth;
    fluid_synth_get_chorus_group_nr(synth, 0, &chorus.voices);
    fluid_synth_get_chorus_group_level(synth, 0, &chorus.level);
    fluid_synth_get_chorus_group_speed(synth, 0, &chorus.speed);
    fluid_synth_get_chorus_group_depth(synth, 0, &chorus.depthMs);
    fluid_synth_get_chorus_group_type(synth, 0, &type);
    chorus.triangle = type == FLUID_CHORUS_MOD_TRIANGLE;
    return chorus;
}

int CCardEngine::Voices() const
{
    return fluid_synth_get_polyphony(impl->fluid.synth);
}

int CCardEngine::ActiveVoices() const
{
    return fluid_synth_get_active_voice_count(impl->fluid.synth);
}

std::string CCardEngine::StatusText() const
{
    std::string text;
    if (impl->audio.IsOpen())
        text = FormatString(IDS_CARD_SOUND_DEVICE, impl->audio.DriverName().c_str(), Voices(),
                            static_cast<int>(std::lround(LatencyMs())));
    else if (impl->options.audioDevice)
        text = LoadString(IDS_CARD_SOUND_NO_DEVICE);
    else
        text = FormatString(IDS_CARD_SOUND_OFFLINE, Voices());
    const auto problems = Problems();
    const std::string gmProblem = impl->fonts.GeneralMidiProblem();
    if (!gmProblem.empty())
        text += "; " + gmProblem;
    const auto others = static_cast<int>(problems.size()) - (gmProblem.empty() ? 0 : 1);
    if (others > 0)
        text += "; " + FormatString(IDS_CARD_SOUND_PROBLEMS, others);
    return text;
}

std::vector<std::string> CCardEngine::Problems() const
{
    return impl->fonts.Problems();
}

std::string CCardEngine::DefaultGeneralMidiFont()
{
    return CCardFonts::DefaultGeneralMidiFont();
}

std::vector<std::string> CCardEngine::FluidMessages()
{
    return CFluidLog::Messages();
}

void CCardEngine::ClearFluidMessages()
{
    CFluidLog::Clear();
}

// Preview ---------------------------------------------------------------------

bool CCardEngine::LoadPreview(std::vector<std::uint8_t> image)
{
    return impl->preview->Load(std::move(image));
}

void CCardEngine::ClearPreview()
{
    impl->preview->Clear();
}

void CCardEngine::PreviewNote(int key, int velocity)
{
    impl->preview->Note(key, velocity);
}

bool CCardEngine::RenderPreview(const NotePlan& plan, StereoSound& out)
{
    out = {};
    if (impl->audio.IsOpen() || !impl->preview->IsLoaded() || plan.notes.empty() || plan.seconds <= 0 ||
        plan.seconds > 60 || plan.maxRelease < 0 || plan.maxRelease > 60)
        return false;
    const std::lock_guard rendering(impl->renderLock);
    const auto block = [&](double seconds)
    {
        const auto frames = static_cast<std::size_t>(std::lround(seconds * kSampleRate));
        const std::size_t at = out.left.size();
        out.left.resize(at + frames);
        out.right.resize(at + frames);
        return impl->renderer->Render(out.left.data() + at, out.right.data() + at, frames);
    };
    for (const int note : plan.notes)
        impl->preview->Note(note, plan.velocity);
    const bool held = block(plan.seconds);
    for (const int note : plan.notes)
        impl->preview->Note(note, 0);
    return held && block(plan.maxRelease);
}

// Settings --------------------------------------------------------------------

std::vector<std::string> CCardEngine::AudioDrivers() const
{
    return CAudioOutput::Built(impl->fluid.settings, {"pulseaudio", "pipewire", "alsa", "jack"});
}

bool CCardEngine::ApplySettings(const SoundSettings& settings, std::string& error)
{
    error.clear();
    const std::lock_guard guard(impl->settingsMutex);
    fluid_synth_set_polyphony(impl->fluid.synth, std::clamp(settings.voices, kCardVoices, kMaxVoices));
    {
        // Taken as Refresh takes it, so the follower never re-chooses channels halfway.
        const std::lock_guard refreshing(impl->refreshMutex);
        impl->fonts.LoadGeneralMidi(settings.generalMidiFont.empty() ? CCardFonts::DefaultGeneralMidiFont()
                                                                     : settings.generalMidiFont);
        // Channels on bank 0 move to the new set.
        impl->router->Follow();
    }
    if (!impl->options.audioDevice)
        return true;

    const Impl::AudioAsk wanted{settings.audioDriver, settings.audioDevice, settings.bufferFrames};
    if (wanted == impl->asked)
        return true;
    const std::vector<std::string> saidBefore = FluidMessages();
    const bool wasOpen = impl->audio.IsOpen();
    const bool opened = impl->audio.Open(impl->fluid.settings, impl->fluid.synth, Impl::ChoiceFor(wanted));
    if (opened)
        impl->asked = wanted;
    else
    {
        // FluidSynth's own last word on it, when it said something new.
        const std::vector<std::string> said = FluidMessages();
        const std::string reason = !said.empty() && (saidBefore.empty() || said.back() != saidBefore.back())
                                       ? said.back()
                                       : LoadString(IDS_SOUND_DRIVER_NO_REASON);
        const std::string driver =
            settings.audioDriver.empty() ? CardEngineOptions().audioDrivers.front() : settings.audioDriver;
        error = FormatString(IDS_SOUND_DRIVER_FAILED, driver.c_str(), reason.c_str());
        // What worked before works again.
        if (wasOpen)
            impl->audio.Open(impl->fluid.settings, impl->fluid.synth, Impl::ChoiceFor(impl->asked));
    }
    impl->router->SetDropVoices(!impl->audio.IsOpen());
    impl->OpenMidiPort();
    return opened;
}
