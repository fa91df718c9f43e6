#include "engine/CardEngine.h"

#include "engine/CardEffects.h"
#include "engine/CardMidiPort.h"
#include "engine/CardSoundMap.h"
#include "engine/CardStateWatcher.h"
#include "engine/MemoryFontLoader.h"
#include "platform/AtomicFile.h"
#include "platform/ByteStream.h"
#include "platform/CardHome.h"
#include "platform/StringTable.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontReader.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <utility>

namespace
{
constexpr int kChannels = 16;
constexpr std::size_t kMaxLogged = 100;
constexpr float kSilence = 1e-4f; // -80 dB
// Draining the effects: quiet means below -100 dB for 50 ms; 20 s is beyond any reverb's tail.
constexpr float kDrained = 1e-5f;
constexpr std::size_t kDrainBlock = CCardEngine::kSampleRate / 100;
constexpr int kDrainedBlocks = 5;
constexpr std::size_t kMaxDrainBlocks = 2000;
constexpr double kGain = 0.5;
// Effect sends a channel starts with, as GS has them (reverb 40, chorus 0).
constexpr int kReverbSend = 91;
constexpr int kChorusSend = 93;
constexpr int kDefaultReverbSend = 40;
constexpr int kDefaultChorusSend = 0;

// ---- FluidSynth's log, kept instead of printed ----

struct Log
{
    std::mutex mutex;
    std::deque<std::string> messages;
};

Log& FluidLog()
{
    static Log log;
    return log;
}

void KeepMessage(int level, const char* message, void*)
{
    static const char* const names[] = {"panic", "error", "warning"};
    Log& log = FluidLog();
    const std::lock_guard guard(log.mutex);
    log.messages.push_back(std::string(names[std::clamp(level, 0, 2)]) + ": " + (message ? message : ""));
    if (log.messages.size() > kMaxLogged)
        log.messages.pop_front();
}

// Installed by every engine made: whoever installed another log function
// since then (a test's probe) loses it to the newest engine.
void InstallLog()
{
    for (const int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN})
        fluid_set_log_function(level, KeepMessage, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

// The ALSA library reports a machine without sound cards on the terminal
// before FluidSynth can say anything; while drivers are tried, it keeps quiet.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

bool DriverBuilt(fluid_settings_t* settings, const std::string& name)
{
    struct Search
    {
        const std::string* name;
        bool found;
    } search{&name, false};
    fluid_settings_foreach_option(settings, "audio.driver", &search, [](void* data, const char*, const char* option) {
        auto* s = static_cast<Search*>(data);
        if (option && *s->name == option)
            s->found = true;
    });
    return search.found;
}

std::string FileStamp(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return "missing";
    return std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' + std::to_string(st.st_size) + ':' +
           std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
}

std::string LastFluidError()
{
    Log& log = FluidLog();
    const std::lock_guard guard(log.mutex);
    return log.messages.empty() ? std::string() : log.messages.back();
}

// A font FluidSynth holds for a part of the card, or why there is none.
struct LoadedFont
{
    std::string key; // what it was made from; the same key is the same font
    int id = -1;     // -1: no font (problem says why)
    std::string problem;
    std::map<int, int> bankOf; // bank file: preset number -> bank of its first record
    int bank = 0;              // preset: where the one preset of the font is
    int program = 0;
};

// What a channel plays: a preset of a font, or nothing.
struct Target
{
    int font = -1;
    int bank = 0;
    int program = 0;
    bool operator==(const Target&) const = default;
};

struct Channel
{
    int bank = 0;
    int program = 0;
    Target target;
};
} // namespace

struct CCardEngine::Impl
{
    CardEngineOptions options;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    std::string driverName;
    bool silent = false; // an audio device was wanted and none answered
    std::unique_ptr<CCardMidiPort> port;

    std::mutex refreshMutex; // one Refresh at a time; guards watcher
    CCardStateWatcher watcher;

    mutable std::mutex stateMutex; // guards everything below
    CCardModel model;
    int gmFont = -1;
    std::string gmProblem;
    std::set<int> gmKits;
    std::map<int, LoadedFont> bankFonts;
    std::map<CCardModel::Slot, LoadedFont> presetFonts;
    std::array<Channel, kChannels> channels{};
    int appliedReverb = -1;
    int appliedChorus = -1;

    std::mutex renderMutex; // one RenderNotes at a time

    std::thread follower;
    std::mutex followMutex;
    std::condition_variable followWake;
    bool stopFollowing = false;

    explicit Impl(CardEngineOptions engineOptions)
        : options(std::move(engineOptions)),
          watcher(options.cardHome.empty() ? CardHomePath() : options.cardHome)
    {
    }

    ~Impl()
    {
        port.reset();
        if (driver)
            delete_fluid_audio_driver(driver);
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }

    void Start();
    void StartAudio();
    void LoadGeneralMidi();

    int LoadImage(std::vector<std::uint8_t> image);
    LoadedFont LoadBankFile(int bank, const CCardModel::BankFile& bankFile, std::string key);
    LoadedFont LoadPreset(int bank, int slot, const CCardModel::Preset& preset, std::string key);

    Target TargetOf(const SoundChoice& choice) const;
    SoundChoice ChoiceFor(int channel) const;
    void Select(int channel, bool cutOff);
    void ApplyEffects();
    // Every channel back to bank 0, program 0 and the starting controllers; sounds stop.
    void ResetChannels();
    void Handle(ShortMessage message);
};

void CCardEngine::Impl::Start()
{
    InstallLog();
    settings = new_fluid_settings();
    if (!settings)
        throw std::runtime_error("FluidSynth cannot make its settings");
    fluid_settings_setnum(settings, "synth.sample-rate", kSampleRate);
    fluid_settings_setint(settings, "synth.polyphony", std::clamp(options.voices, kCardVoices, kMaxVoices));
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    fluid_settings_setint(settings, "synth.dynamic-sample-loading", 0);
    fluid_settings_setnum(settings, "synth.gain", kGain);
    fluid_settings_setint(settings, "audio.period-size", kPeriodFrames);
    fluid_settings_setint(settings, "audio.periods", kPeriods);
    synth = new_fluid_synth(settings);
    if (!synth)
        throw std::runtime_error("FluidSynth cannot make a synthesizer");
    if (fluid_sfloader_t* loader = CMemoryFontLoader::NewLoader(settings))
        fluid_synth_add_sfloader(synth, loader);
    LoadGeneralMidi();
    if (options.audioDevice)
        StartAudio();
}

void CCardEngine::Impl::StartAudio()
{
    snd_lib_error_set_handler(QuietAlsa);
    for (const std::string& name : options.audioDrivers)
    {
        if (!DriverBuilt(settings, name) || fluid_settings_setstr(settings, "audio.driver", name.c_str()) != FLUID_OK)
            continue;
        driver = new_fluid_audio_driver(settings, synth);
        if (driver)
        {
            driverName = name;
            break;
        }
    }
    snd_lib_error_set_handler(nullptr);
    silent = driver == nullptr;
    if (driver && options.sequencerPort)
    {
        auto midiPort = std::make_unique<CCardMidiPort>([this](ShortMessage message) { Handle(message); });
        if (midiPort->IsOpen())
            port = std::move(midiPort);
    }
}

void CCardEngine::Impl::LoadGeneralMidi()
{
    const std::string path = options.generalMidiFont.empty() ? DefaultGeneralMidiFont() : options.generalMidiFont;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    {
        gmProblem = FormatString(IDS_CARD_SOUND_NO_GM, path.c_str());
        return;
    }
    const int id = fluid_synth_sfload(synth, path.c_str(), 0);
    if (id == FLUID_FAILED)
    {
        gmProblem = FormatString(IDS_CARD_SOUND_NO_GM, path.c_str());
        return;
    }
    gmFont = id;
    if (fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth, id))
        for (int kit = 0; kit < 128; ++kit)
            if (fluid_sfont_get_preset(font, CCardSoundMap::kDrumBank, kit))
                gmKits.insert(kit);
}

int CCardEngine::Impl::LoadImage(std::vector<std::uint8_t> image)
{
    const std::string name = CMemoryFontLoader::Publish(std::move(image));
    const int id = fluid_synth_sfload(synth, name.c_str(), 0);
    CMemoryFontLoader::Withdraw(name);
    return id == FLUID_FAILED ? -1 : id;
}

LoadedFont CCardEngine::Impl::LoadBankFile(int bank, const CCardModel::BankFile& bankFile, std::string key)
{
    LoadedFont font;
    font.key = std::move(key);
    const auto fail = [&](const std::string& why) {
        font.problem = FormatString(IDS_CARD_SOUND_BANK_PROBLEM, bank, bankFile.name.c_str(), why.c_str());
        return font;
    };
    CFileSource in;
    if (!in.Open(bankFile.file))
        return fail(bankFile.file + ": cannot be read");
    std::vector<std::uint8_t> image;
    std::string error;
    if (!CSoundFont2Converter().ConvertBank(in, image, &error))
        return fail(bankFile.file + ": " + error);
    // The card gives a slot the first record of its number, whatever that
    // record's bank; the converted font keeps the records' banks.
    CSoundFontReader reader;
    if (!reader.Open(bankFile.file))
        return fail(bankFile.file + ": cannot be read");
    for (const auto& [slot, name] : bankFile.presets)
        if (const int index = reader.FindPreset(slot); index >= 0)
            font.bankOf[slot] = reader.GetPresetHeader(index).bank;
    font.id = LoadImage(std::move(image));
    if (font.id < 0)
        return fail(LastFluidError());
    return font;
}

LoadedFont CCardEngine::Impl::LoadPreset(int bank, int slot, const CCardModel::Preset& preset, std::string key)
{
    LoadedFont font;
    font.key = std::move(key);
    const auto fail = [&](const std::string& why) {
        font.problem = FormatString(IDS_CARD_SOUND_PRESET_PROBLEM, bank, slot, preset.name.c_str(), why.c_str());
        return font;
    };
    if (preset.memory.empty())
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY));
    std::string bytes;
    if (!ReadWholeFile(watcher.Home() + '/' + CCardModel::MemoryFileName(preset.memory), bytes))
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY));
    font.id = LoadImage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    if (font.id < 0)
        return fail(LastFluidError());
    fluid_sfont_t* loaded = fluid_synth_get_sfont_by_id(synth, font.id);
    fluid_preset_t* first = nullptr;
    if (loaded)
    {
        fluid_sfont_iteration_start(loaded);
        first = fluid_sfont_iteration_next(loaded);
    }
    if (!first)
    {
        fluid_synth_sfunload(synth, font.id, 0);
        font.id = -1;
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY));
    }
    font.bank = fluid_preset_get_banknum(first);
    font.program = fluid_preset_get_num(first);
    return font;
}

Target CCardEngine::Impl::TargetOf(const SoundChoice& choice) const
{
    switch (choice.source)
    {
    case SoundChoice::Source::GeneralMidi:
        if (gmFont >= 0)
            return {gmFont, choice.bank, choice.program};
        break;
    case SoundChoice::Source::BankFile:
        if (const auto font = bankFonts.find(choice.cardBank); font != bankFonts.end() && font->second.id >= 0)
            if (const auto bank = font->second.bankOf.find(choice.program); bank != font->second.bankOf.end())
                return {font->second.id, bank->second, choice.program};
        break;
    case SoundChoice::Source::Preset:
        if (const auto font = presetFonts.find({choice.cardBank, choice.slot});
            font != presetFonts.end() && font->second.id >= 0)
            return {font->second.id, font->second.bank, font->second.program};
        break;
    case SoundChoice::Source::None: break;
    }
    return {};
}

SoundChoice CCardEngine::Impl::ChoiceFor(int channel) const
{
    const Channel& state = channels[static_cast<std::size_t>(channel)];
    return CCardSoundMap::Choose(model, state.bank, state.program, channel == CCardSoundMap::kDrumChannel,
                                 [this](int kit) { return gmKits.contains(kit); });
}

void CCardEngine::Impl::Select(int channel, bool cutOff)
{
    Channel& state = channels[static_cast<std::size_t>(channel)];
    Target target = TargetOf(ChoiceFor(channel));
    if (target.font >= 0 &&
        fluid_synth_program_select(synth, channel, target.font, target.bank, target.program) != FLUID_OK)
        target = {};
    if (target.font < 0)
        fluid_synth_unset_program(synth, channel);
    if (cutOff && !(target == state.target))
        fluid_synth_all_sounds_off(synth, channel);
    state.target = target;
}

void CCardEngine::Impl::ApplyEffects()
{
    if (model.reverb != appliedReverb)
    {
        const ReverbSettings reverb = CCardEffects::Reverb(model.reverb);
        fluid_synth_set_reverb_group_roomsize(synth, -1, reverb.roomSize);
        fluid_synth_set_reverb_group_damp(synth, -1, reverb.damping);
        fluid_synth_set_reverb_group_width(synth, -1, reverb.width);
        fluid_synth_set_reverb_group_level(synth, -1, reverb.level);
        appliedReverb = model.reverb;
    }
    if (model.chorus != appliedChorus)
    {
        const ChorusSettings chorus = CCardEffects::Chorus(model.chorus);
        fluid_synth_set_chorus_group_nr(synth, -1, chorus.voices);
        fluid_synth_set_chorus_group_level(synth, -1, chorus.level);
        fluid_synth_set_chorus_group_speed(synth, -1, chorus.speed);
        fluid_synth_set_chorus_group_depth(synth, -1, chorus.depthMs);
        fluid_synth_set_chorus_group_type(synth, -1, chorus.triangle ? FLUID_CHORUS_MOD_TRIANGLE : FLUID_CHORUS_MOD_SINE);
        appliedChorus = model.chorus;
    }
}

void CCardEngine::Impl::ResetChannels()
{
    // Also empties the effects' delay lines: nothing of what played before rings on.
    fluid_synth_system_reset(synth);
    appliedReverb = appliedChorus = -1;
    ApplyEffects();
    for (int channel = 0; channel < kChannels; ++channel)
    {
        channels[static_cast<std::size_t>(channel)].bank = 0;
        channels[static_cast<std::size_t>(channel)].program = 0;
        fluid_synth_cc(synth, channel, kReverbSend, kDefaultReverbSend);
        fluid_synth_cc(synth, channel, kChorusSend, kDefaultChorusSend);
        Select(channel, false);
    }
}

void CCardEngine::Impl::Handle(ShortMessage message)
{
    const int status = MessageStatus(message);
    const int data1 = MessageData1(message) & 0x7F;
    const int data2 = MessageData2(message) & 0x7F;
    if (status < 0x80)
        return;
    if (status == 0xFF)
    {
        const std::lock_guard guard(stateMutex);
        ResetChannels();
        return;
    }
    if (status >= 0xF0)
        return; // no other system message changes the sound
    const int channel = status & 0x0F;
    // Without a device nobody renders: FluidSynth would queue voice events
    // for ever (and complain of each), so notes go nowhere; banks, programs
    // and controllers are still followed.
    const bool voiceMessage = (status & 0xF0) == 0x80 || (status & 0xF0) == 0x90 || (status & 0xF0) == 0xA0 ||
                              (status & 0xF0) == 0xD0 || (status & 0xF0) == 0xE0;
    if (silent && voiceMessage)
        return;
    switch (status & 0xF0)
    {
    case 0x80: fluid_synth_noteoff(synth, channel, data1); break;
    case 0x90: fluid_synth_noteon(synth, channel, data1, data2); break;
    case 0xA0: fluid_synth_key_pressure(synth, channel, data1, data2); break;
    case 0xB0:
        if (data1 == 0)
        {
            const std::lock_guard guard(stateMutex);
            channels[static_cast<std::size_t>(channel)].bank = data2;
        }
        else if (data1 != 32)
        {
            fluid_synth_cc(synth, channel, data1, data2);
        }
        break;
    case 0xC0:
    {
        const std::lock_guard guard(stateMutex);
        channels[static_cast<std::size_t>(channel)].program = data1;
        Select(channel, false);
        break;
    }
    case 0xD0: fluid_synth_channel_pressure(synth, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7)); break;
    default: break;
    }
}

// ---- CCardEngine ----

CCardEngine::CCardEngine(CardEngineOptions options) : impl(std::make_unique<Impl>(std::move(options)))
{
    impl->Start();
    {
        const std::lock_guard guard(impl->stateMutex);
        impl->ResetChannels();
    }
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

    // Fonts are made and loaded outside the state lock: converting a large
    // bank takes a while, and the keyboard keeps playing meanwhile.
    std::map<int, LoadedFont> bankFonts;
    std::map<CCardModel::Slot, LoadedFont> presetFonts;
    std::map<int, LoadedFont> oldBanks;
    std::map<CCardModel::Slot, LoadedFont> oldPresets;
    {
        const std::lock_guard guard(impl->stateMutex);
        oldBanks = impl->bankFonts;
        oldPresets = impl->presetFonts;
    }
    for (const auto& [bank, bankFile] : next->bankFiles)
    {
        std::string key = bankFile.file + '\n' + FileStamp(bankFile.file);
        if (const auto old = oldBanks.find(bank); old != oldBanks.end() && old->second.key == key)
            bankFonts[bank] = old->second;
        else
            bankFonts[bank] = impl->LoadBankFile(bank, bankFile, std::move(key));
    }
    for (const auto& [slot, preset] : next->presets)
    {
        std::string key = preset.memory;
        if (const auto old = oldPresets.find(slot); old != oldPresets.end() && old->second.key == key && !key.empty())
            presetFonts[slot] = old->second;
        else
            presetFonts[slot] = impl->LoadPreset(slot.first, slot.second, preset, std::move(key));
    }

    std::set<int> keep;
    for (const auto& [bank, font] : bankFonts)
        keep.insert(font.id);
    for (const auto& [slot, font] : presetFonts)
        keep.insert(font.id);
    std::set<int> drop;
    {
        const std::lock_guard guard(impl->stateMutex);
        for (const auto& [bank, font] : impl->bankFonts)
            if (font.id >= 0 && !keep.contains(font.id))
                drop.insert(font.id);
        for (const auto& [slot, font] : impl->presetFonts)
            if (font.id >= 0 && !keep.contains(font.id))
                drop.insert(font.id);
        impl->model = std::move(*next);
        impl->bankFonts = std::move(bankFonts);
        impl->presetFonts = std::move(presetFonts);
        impl->ApplyEffects();
        for (int channel = 0; channel < kChannels; ++channel)
            impl->Select(channel, true);
    }
    // No channel plays from these any more; voices still sounding from them
    // were cut off above, and FluidSynth frees a font once its voices are gone.
    for (const int id : drop)
        fluid_synth_sfunload(impl->synth, id, 0);
    return true;
}

void CCardEngine::StartFollowing(std::chrono::milliseconds interval)
{
    StopFollowing();
    {
        const std::lock_guard guard(impl->followMutex);
        impl->stopFollowing = false;
    }
    impl->follower = std::thread([this, interval] {
        std::unique_lock lock(impl->followMutex);
        while (!impl->stopFollowing)
        {
            lock.unlock();
            Refresh();
            lock.lock();
            impl->followWake.wait_for(lock, interval, [this] { return impl->stopFollowing; });
        }
    });
}

void CCardEngine::StopFollowing()
{
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
    impl->Handle(message);
}

void CCardEngine::AllSoundsOff()
{
    for (int channel = 0; channel < kChannels; ++channel)
        fluid_synth_all_sounds_off(impl->synth, channel);
}

bool CCardEngine::HasSound(int bank, int program) const
{
    const std::lock_guard guard(impl->stateMutex);
    const Target target = impl->TargetOf(CCardSoundMap::Choose(impl->model, bank, program));
    if (target.font < 0)
        return false;
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(impl->synth, target.font);
    return font && fluid_sfont_get_preset(font, target.bank, target.program);
}

CCardModel CCardEngine::State() const
{
    const std::lock_guard guard(impl->stateMutex);
    return impl->model;
}

bool CCardEngine::Render(float* left, float* right, std::size_t frames)
{
    if (impl->driver)
        return false;
    constexpr std::size_t kBlock = 4096;
    for (std::size_t done = 0; done < frames;)
    {
        const std::size_t now = std::min(kBlock, frames - done);
        if (fluid_synth_write_float(impl->synth, static_cast<int>(now), left + done, 0, 1, right + done, 0, 1) !=
            FLUID_OK)
            return false;
        done += now;
    }
    return true;
}

bool CCardEngine::Drain()
{
    std::vector<float> left(kDrainBlock), right(kDrainBlock);
    int quiet = 0;
    for (std::size_t block = 0; block < kMaxDrainBlocks && quiet < kDrainedBlocks; ++block)
    {
        if (!Render(left.data(), right.data(), kDrainBlock))
            return false;
        float peak = 0;
        for (std::size_t i = 0; i < kDrainBlock; ++i)
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        quiet = peak < kDrained ? quiet + 1 : 0;
    }
    return true;
}

bool CCardEngine::RenderNotes(const NotePlan& plan, StereoSound& out)
{
    out = {};
    if (impl->driver || !CCardModel::IsBank(plan.bank) || !CCardModel::IsSlot(plan.program) ||
        plan.velocity < 1 || plan.velocity > 127 || !(plan.seconds >= 0) || plan.seconds > 3600 ||
        !(plan.maxRelease >= 0) || plan.maxRelease > 3600 ||
        std::any_of(plan.notes.begin(), plan.notes.end(), [](int note) { return note < 0 || note > 127; }))
        return false;
    const std::lock_guard rendering(impl->renderMutex);
    constexpr int kChannel = 0;
    // Starts from silence: whatever played before is stopped, and what it
    // left in the effects rings out into a buffer that is thrown away.
    SendShortMessage(MakeShortMessage(0xFF, 0, 0));
    if (!Drain())
        return false;
    SendShortMessage(MakeShortMessage(0xB0 | kChannel, 0, plan.bank));
    SendShortMessage(MakeShortMessage(0xC0 | kChannel, plan.program, 0));
    for (const int note : plan.notes)
        SendShortMessage(MakeShortMessage(0x90 | kChannel, note, plan.velocity));

    const auto held = static_cast<std::size_t>(std::lround(plan.seconds * kSampleRate));
    out.left.resize(held);
    out.right.resize(held);
    if (!Render(out.left.data(), out.right.data(), held))
        return false;
    for (const int note : plan.notes)
        SendShortMessage(MakeShortMessage(0x80 | kChannel, note, 0));

    constexpr std::size_t kBlock = kSampleRate / 100;
    constexpr int kQuietBlocks = 10;
    const auto longest = static_cast<std::size_t>(std::lround(plan.maxRelease * kSampleRate));
    int quiet = 0;
    for (std::size_t released = 0; released < longest && quiet < kQuietBlocks;)
    {
        const std::size_t now = std::min(kBlock, longest - released);
        const std::size_t at = out.left.size();
        out.left.resize(at + now);
        out.right.resize(at + now);
        if (!Render(out.left.data() + at, out.right.data() + at, now))
            return false;
        float peak = 0;
        for (std::size_t i = at; i < at + now; ++i)
            peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
        quiet = peak < kSilence ? quiet + 1 : 0;
        released += now;
    }
    fluid_synth_all_sounds_off(impl->synth, kChannel);
    return true;
}

bool CCardEngine::HasAudio() const
{
    return impl->driver != nullptr;
}

std::string CCardEngine::AudioDriver() const
{
    return impl->driverName;
}

double CCardEngine::LatencyMs() const
{
    return impl->driver ? 1000.0 * kPeriodFrames * kPeriods / kSampleRate : 0.0;
}

bool CCardEngine::HasSequencerPort() const
{
    return impl->port != nullptr;
}

ReverbSettings CCardEngine::CurrentReverb() const
{
    ReverbSettings reverb;
    fluid_synth_get_reverb_group_roomsize(impl->synth, 0, &reverb.roomSize);
    fluid_synth_get_reverb_group_damp(impl->synth, 0, &reverb.damping);
    fluid_synth_get_reverb_group_width(impl->synth, 0, &reverb.width);
    fluid_synth_get_reverb_group_level(impl->synth, 0, &reverb.level);
    return reverb;
}

ChorusSettings CCardEngine::CurrentChorus() const
{
    ChorusSettings chorus;
    int type = FLUID_CHORUS_MOD_SINE;
    fluid_synth_get_chorus_group_nr(impl->synth, 0, &chorus.voices);
    fluid_synth_get_chorus_group_level(impl->synth, 0, &chorus.level);
    fluid_synth_get_chorus_group_speed(impl->synth, 0, &chorus.speed);
    fluid_synth_get_chorus_group_depth(impl->synth, 0, &chorus.depthMs);
    fluid_synth_get_chorus_group_type(impl->synth, 0, &type);
    chorus.triangle = type == FLUID_CHORUS_MOD_TRIANGLE;
    return chorus;
}

int CCardEngine::Voices() const
{
    return fluid_synth_get_polyphony(impl->synth);
}

int CCardEngine::ActiveVoices() const
{
    return fluid_synth_get_active_voice_count(impl->synth);
}

std::string CCardEngine::StatusText() const
{
    std::string text;
    if (impl->driver)
        text = FormatString(IDS_CARD_SOUND_DEVICE, impl->driverName.c_str(), Voices(),
                            static_cast<int>(std::lround(LatencyMs())));
    else if (impl->options.audioDevice)
        text = LoadString(IDS_CARD_SOUND_NO_DEVICE);
    else
        text = FormatString(IDS_CARD_SOUND_OFFLINE, Voices());
    const auto problems = Problems();
    if (!impl->gmProblem.empty())
        text += "; " + impl->gmProblem;
    const auto others = static_cast<int>(problems.size()) - (impl->gmProblem.empty() ? 0 : 1);
    if (others > 0)
        text += "; " + FormatString(IDS_CARD_SOUND_PROBLEMS, others);
    return text;
}

std::vector<std::string> CCardEngine::Problems() const
{
    const std::lock_guard guard(impl->stateMutex);
    std::vector<std::string> problems;
    if (!impl->gmProblem.empty())
        problems.push_back(impl->gmProblem);
    for (const auto& [bank, font] : impl->bankFonts)
        if (font.id < 0)
            problems.push_back(font.problem);
    for (const auto& [slot, font] : impl->presetFonts)
        if (font.id < 0)
            problems.push_back(font.problem);
    return problems;
}

std::string CCardEngine::DefaultGeneralMidiFont()
{
    if (const char* chosen = std::getenv("TAMBERLY_GM_SOUNDFONT"); chosen && *chosen)
        return chosen;
    static const char* const installed[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                             "/usr/share/sounds/sf2/default-GM.sf2",
                                             "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
    for (const char* path : installed)
    {
        struct stat st {};
        if (::stat(path, &st) == 0 && S_ISREG(st.st_mode))
            return path;
    }
    return installed[0];
}

std::vector<std::string> CCardEngine::FluidMessages()
{
    Log& log = FluidLog();
    const std::lock_guard guard(log.mutex);
    return {log.messages.begin(), log.messages.end()};
}

void CCardEngine::ClearFluidMessages()
{
    Log& log = FluidLog();
    const std::lock_guard guard(log.mutex);
    log.messages.clear();
}
