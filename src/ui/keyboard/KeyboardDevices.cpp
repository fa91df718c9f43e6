#include "ui/keyboard/KeyboardDevices.h"

#include "ui/keyboard/RtMidiDevices.h"

#include <utility>

std::unique_ptr<IMidiDevices> MakeKeyboardDevices(const MidiPortPreference& preference,
                                                  SoundEngineSource engine)
{
    if (preference.emulatedCard && preference.output.empty() && engine)
        return std::make_unique<CEngineMidiDevices>(std::move(engine),
                                                    std::make_unique<CRtMidiDevices>(preference));
    return std::make_unique<CRtMidiDevices>(preference);
}
