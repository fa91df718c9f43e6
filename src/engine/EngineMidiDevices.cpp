#include "engine/EngineMidiDevices.h"

#include "engine/CardEngine.h"

#include <utility>

namespace
{
constexpr int kAllSoundsOff = 120;
}

CEngineMidiDevices::CEngineMidiDevices(std::shared_ptr<CCardEngine> cardEngine, std::unique_ptr<IMidiDevices> inputDevices)
    : engine(std::move(cardEngine)), input(std::move(inputDevices))
{
}

CEngineMidiDevices::~CEngineMidiDevices()
{
    CloseInput();
    CloseOutput();
}

bool CEngineMidiDevices::OpenOutput()
{
    outputOpen = engine != nullptr;
    return outputOpen;
}

void CEngineMidiDevices::CloseOutput()
{
    if (!outputOpen)
        return;
    // The keyboard plays on the first channel only; other programs may be
    // playing the engine on the others.
    engine->SendShortMessage(MakeShortMessage(0xB0, kAllSoundsOff, 0));
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
    if (outputOpen)
        engine->SendShortMessage(message);
}
