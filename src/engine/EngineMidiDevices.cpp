#include "engine/EngineMidiDevices.h"

#include "engine/SoundEngine.h"
#include "synth/MidiStatus.h"

#include <utility>

CEngineMidiDevices::CEngineMidiDevices(std::shared_ptr<ISoundEngine> soundEngine,
                                       std::unique_ptr<IMidiDevices> inputDevices)
    : engine(std::move(soundEngine)), input(std::move(inputDevices))
{
}

CEngineMidiDevices::CEngineMidiDevices(SoundEngineSource engineSource,
                                       std::unique_ptr<IMidiDevices> inputDevices)
    : source(std::move(engineSource)), input(std::move(inputDevices))
{
}

std::shared_ptr<ISoundEngine> CEngineMidiDevices::Engine()
{
    if (!engine && source)
    {
        engine = source();
        source = nullptr; // asked once: a source that failed does not load again for every key
    }
    return engine;
}

CEngineMidiDevices::~CEngineMidiDevices()
{
    CloseInput();
    CloseOutput();
}

bool CEngineMidiDevices::OpenOutput()
{
    outputOpen = engine != nullptr || source != nullptr;
    return outputOpen;
}

void CEngineMidiDevices::CloseOutput()
{
    if (!outputOpen)
        return;
    // The keyboard plays on the first channel only; other programs may be
    // playing the engine on the others.
    // An engine never asked for has played nothing: it is not loaded for this.
    if (engine)
        engine->SendShortMessage(MakeShortMessage(StatusByte(MidiStatus::ControlChange),
                                                  static_cast<int>(MidiController::AllSoundsOff), 0));
    outputOpen = false;
}

bool CEngineMidiDevices::OpenInput(InputHandler handler)
{
    if (!inputOpen && input)
        inputOpen = input->OpenInput(std::move(handler));
    return true;
}

void CEngineMidiDevices::StartInput()
{
    if (inputOpen)
        input->StartInput();
}

void CEngineMidiDevices::CloseInput()
{
    if (!inputOpen)
        return;
    input->CloseInput();
    inputOpen = false;
}

void CEngineMidiDevices::SendShortMessage(ShortMessage message)
{
    if (!outputOpen)
        return;
    if (const auto target = Engine())
        target->SendShortMessage(message);
}
