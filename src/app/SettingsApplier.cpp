#include "app/SettingsApplier.h"

#include "platform/GeneralMidiFont.h"
#include "platform/ProgramLibrary.h"
#include "platform/StringTable.h"
#include "synth/AweManager.h"
#include "synth/AweSession.h"
#include "ui/UiText.h"
#include "ui/keyboard/RtMidiDevices.h"

#include <QStringList>

#include <cstdlib>
#include <dlfcn.h>

namespace
{
SoundSettings ForEngine(SoundSettings sound)
{
    sound.generalMidiFont = EffectiveGeneralMidiFont(sound.generalMidiFont);
    return sound;
}

bool IsSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && *value;
}
} // namespace

ProgramSettings CSettingsApplier::Current() const
{
    ProgramSettings settings = Profile::GetProgramSettings();
    if (parts.card && parts.card->IsEmulatedCard())
        if (const int kb = parts.card->GetMemoryKB(false); kb > 0)
            settings.cardMemoryKB = kb;
    return settings;
}

QString CSettingsApplier::Apply(ProgramSettings& settings) const
{
    const ProgramSettings before = Current();
    QStringList problems;
    if (std::shared_ptr<ISoundEngine> engine = parts.engine ? parts.engine() : nullptr)
    {
        std::string error;
        if (!engine->ApplySettings(ForEngine(settings.sound), error))
        {
            problems << QString::fromStdString(error);
            settings.sound.audioDriver = before.sound.audioDriver;
            settings.sound.audioDevice = before.sound.audioDevice;
            settings.sound.bufferFrames = before.sound.bufferFrames;
        }
    }
    if (parts.card && parts.card->IsEmulatedCard() && settings.cardMemoryKB != before.cardMemoryKB &&
        !parts.card->WriteMemoryKB(settings.cardMemoryKB))
    {
        problems
            << UiText(IDS_SETTINGS_MEMORY_FAILED).arg(QString::fromStdString(CRegistryStore().FilePath()));
        settings.cardMemoryKB = before.cardMemoryKB;
    }
    if (settings.sound.generalMidiFont != before.sound.generalMidiFont)
        WriteEmuxSynthSet(settings.sound.generalMidiFont);
    Profile::WriteProgramSettings(settings);
    if (parts.soundFilesChanged)
        parts.soundFilesChanged(settings.soundFiles);
    // After the profile has them: the keyboard's devices read their ports from it.
    if ((settings.midiInput != before.midiInput || settings.midiOutput != before.midiOutput) &&
        parts.reconnectMidi)
        parts.reconnectMidi();
    return problems.join(QLatin1Char('\n'));
}

SettingsChoices CSettingsApplier::Choices(const std::shared_ptr<ISoundEngine>& engine)
{
    SettingsChoices choices;
    choices.audioDrivers =
        engine ? engine->AudioDrivers() : std::vector<std::string>{"pulseaudio", "pipewire", "alsa", "jack"};
    choices.midiInputs = CRtMidiDevices::InputPorts();
    choices.midiOutputs = CRtMidiDevices::OutputPorts();
    choices.emuxDevices =
        EmuxDevices(ProgramLibraryPath(RunningExecutable(), kEmuxManagerLibraryName), choices.emuxProblem);
    choices.systemGeneralMidi = InstalledGeneralMidiFont();
    choices.environmentGeneralMidi = GeneralMidiFontFromEnvironment();
    return choices;
}

std::vector<std::pair<std::string, std::string>> CSettingsApplier::EmuxDevices(const std::string& libraryPath,
                                                                               QString& why)
{
    std::vector<std::pair<std::string, std::string>> devices;
    why.clear();
    void* library = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    const auto list =
        library ? reinterpret_cast<EmuxDevicesProc>(::dlsym(library, kEmuxDevicesEntryName)) : nullptr;
    if (!list)
    {
        if (library)
            ::dlclose(library);
        why = UiText(IDS_SETTINGS_EMUX_NO_LIBRARY).arg(QString::fromStdString(libraryPath));
        return devices;
    }
    // Asked twice when the first buffer was too small (a machine with many cards).
    std::string text(1024, '\0');
    std::uint32_t length = list(text.data(), static_cast<std::uint32_t>(text.size()));
    if (length >= text.size())
    {
        text.assign(length + 1, '\0');
        length = list(text.data(), static_cast<std::uint32_t>(text.size()));
    }
    ::dlclose(library);
    text.resize(std::min<std::size_t>(length, text.size() - 1));
    devices = ParseEmuxDevices(text);
    if (devices.empty())
        why = UiText(IDS_EMUX_NO_DEVICE);
    return devices;
}

CardEngineOptions CSettingsApplier::StartingEngineOptions()
{
    const SoundSettings sound = ForEngine(Profile::GetProgramSettings().sound);
    CardEngineOptions options;
    // The chosen driver first; the others after it, so that a driver gone
    // since (JACK not running today) still leaves the card heard.
    if (!sound.audioDriver.empty())
    {
        std::erase(options.audioDrivers, sound.audioDriver);
        options.audioDrivers.insert(options.audioDrivers.begin(), sound.audioDriver);
    }
    options.audioDeviceName = sound.audioDevice;
    options.bufferFrames = sound.bufferFrames;
    options.voices = sound.voices;
    options.generalMidiFont = sound.generalMidiFont;
    return options;
}

void CSettingsApplier::ChooseCardLibrary()
{
    const ProgramSettings settings = Profile::GetProgramSettings();
    const std::string& device = settings.emuxDevice;
    if (device.empty() || IsSet(kAweManagerEnvironment))
        return;
    // The real card plays the same set on bank 0 as the emulated one would.
    WriteEmuxSynthSet(settings.sound.generalMidiFont);
    ::setenv(kAweManagerEnvironment, ProgramLibraryPath(RunningExecutable(), kEmuxManagerLibraryName).c_str(),
             1);
    ::setenv(kEmuxDeviceEnvironment, device.c_str(), 0);
}

bool CSettingsApplier::WriteEmuxSynthSet(const std::string& chosen)
{
    return CRegistryStore().Update(
        [&](CRegistryStore::Tree& tree)
        {
            if (chosen.empty())
                tree.DeleteValue(kEmuxSettingsKey, kEmuxGeneralMidiValue);
            else
                tree.SetValue(kEmuxSettingsKey, kEmuxGeneralMidiValue, chosen);
        });
}

void CSettingsApplier::ApplyCardMemory(CAweSession& card)
{
    const int kb = Profile::GetProfileNumber(IDS_PROFILE_CARD, IDS_PROFILE_CARD_MEMORY, 0);
    if (kb > 0 && card.IsEmulatedCard() && card.GetMemoryKB(false) != kb)
        card.WriteMemoryKB(kb);
}
