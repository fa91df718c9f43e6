#include "engine/ChannelRouter.h"

#include "engine/CardEffects.h"
#include "engine/CardSoundMap.h"

namespace
{
// Effect sends a channel starts with, as GS has them.
constexpr int kDefaultReverbSend = 40;
constexpr int kDefaultChorusSend = 0;
constexpr int kAllNotesOff = 123;
} // namespace

CChannelRouter::CChannelRouter(fluid_synth_t* fluidSynth, const CCardFonts& cardFonts, bool drop)
    : synth(fluidSynth), fonts(cardFonts), dropVoices(drop)
{
}

bool CChannelRouter::IsVoiceMessage(MidiStatus kind)
{
    switch (kind)
    {
    case MidiStatus::NoteOff:
    case MidiStatus::NoteOn:
    case MidiStatus::KeyPressure:
    case MidiStatus::ChannelPressure:
    case MidiStatus::PitchBend:
        return true;
    default:
        return false;
    }
}

void CChannelRouter::Select(int channel, bool cutOff)
{
    Channel& state = channels[static_cast<std::size_t>(channel)];
    FontTarget target = fonts.TargetFor(state.bank, state.program, channel == CCardSoundMap::kDrumChannel);
    if (target.font >= 0 &&
        fluid_synth_program_select(synth, channel, target.font, target.bank, target.program) != FLUID_OK)
        target = {};
    if (target.font < 0)
        fluid_synth_unset_program(synth, channel);
    if (cutOff && !(target == state.target))
        fluid_synth_all_sounds_off(synth, channel);
    state.target = target;
}

void CChannelRouter::ApplyEffects()
{
    const auto [reverbType, chorusType] = fonts.EffectTypes();
    if (reverbType != appliedReverb)
    {
        const ReverbSettings reverb = CCardEffects::Reverb(reverbType);
        fluid_synth_set_reverb_group_roomsize(synth, -1, reverb.roomSize);
        fluid_synth_set_reverb_group_damp(synth, -1, reverb.damping);
        fluid_synth_set_reverb_group_width(synth, -1, reverb.width);
        fluid_synth_set_reverb_group_level(synth, -1, reverb.level);
        appliedReverb = reverbType;
    }
    if (chorusType != appliedChorus)
    {
        const ChorusSettings chorus = CCardEffects::Chorus(chorusType);
        fluid_synth_set_chorus_group_nr(synth, -1, chorus.voices);
        fluid_synth_set_chorus_group_level(synth, -1, chorus.level);
        fluid_synth_set_chorus_group_speed(synth, -1, chorus.speed);
        fluid_synth_set_chorus_group_depth(synth, -1, chorus.depthMs);
        fluid_synth_set_chorus_group_type(
            synth, -1, chorus.triangle ? FLUID_CHORUS_MOD_TRIANGLE : FLUID_CHORUS_MOD_SINE);
        appliedChorus = chorusType;
    }
}

void CChannelRouter::Follow()
{
    const std::lock_guard guard(mutex);
    ApplyEffects();
    for (int channel = 0; channel < kMidiChannels; ++channel)
        Select(channel, true);
}

void CChannelRouter::Reset()
{
    const std::lock_guard guard(mutex);
    // Also empties the effects' delay lines.
    fluid_synth_system_reset(synth);
    appliedReverb = appliedChorus = -1;
    ApplyEffects();
    for (int channel = 0; channel < kMidiChannels; ++channel)
    {
        ClearHeld(channel);
        channels[static_cast<std::size_t>(channel)].bank = 0;
        channels[static_cast<std::size_t>(channel)].program = 0;
        fluid_synth_cc(synth, channel, static_cast<int>(MidiController::ReverbSend), kDefaultReverbSend);
        fluid_synth_cc(synth, channel, static_cast<int>(MidiController::ChorusSend), kDefaultChorusSend);
        Select(channel, false);
    }
}

bool CChannelRouter::IsResetMessage(const std::uint8_t* data, std::size_t size)
{
    if (size > 0 && data[0] == static_cast<std::uint8_t>(MidiStatus::SysExStart))
        ++data, --size;
    if (size > 0 && data[size - 1] == static_cast<std::uint8_t>(MidiStatus::SysExEnd))
        --size;
    // Any device number: a song is written for whatever card plays it.
    // General MIDI 1 and 2 System On: 7E dd 09 01|03.
    if (size == 4 && data[0] == 0x7E && data[2] == 0x09 && (data[3] == 0x01 || data[3] == 0x03))
        return true;
    // GS Reset: 41 dd 42 12 40 00 7F 00 41.
    static constexpr std::uint8_t kGsReset[] = {0x41, 0x00, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41};
    if (size != sizeof kGsReset)
        return false;
    for (std::size_t i = 0; i < size; ++i)
        if (i != 1 && data[i] != kGsReset[i])
            return false;
    return true;
}

void CChannelRouter::HandleSysEx(const std::uint8_t* data, std::size_t size)
{
    if (data && IsResetMessage(data, size))
        Reset();
}

HeldKeys CChannelRouter::KeysHeld(int channel) const
{
    HeldKeys keys;
    if (channel < 0 || channel >= kMidiChannels)
        return keys;
    keys.low = held[static_cast<std::size_t>(2 * channel)].load(std::memory_order_relaxed);
    keys.high = held[static_cast<std::size_t>(2 * channel + 1)].load(std::memory_order_relaxed);
    return keys;
}

void CChannelRouter::SetHeld(int channel, int key, bool down)
{
    auto& word = held[static_cast<std::size_t>(2 * channel + key / 64)];
    const std::uint64_t bit = std::uint64_t{1} << (key % 64);
    if (down)
        word.fetch_or(bit, std::memory_order_relaxed);
    else
        word.fetch_and(~bit, std::memory_order_relaxed);
}

void CChannelRouter::ClearHeld(int channel)
{
    held[static_cast<std::size_t>(2 * channel)].store(0, std::memory_order_relaxed);
    held[static_cast<std::size_t>(2 * channel + 1)].store(0, std::memory_order_relaxed);
}

void CChannelRouter::Handle(ShortMessage message)
{
    const int status = MessageStatus(message);
    const int data1 = MessageData1(message) & 0x7F;
    const int data2 = MessageData2(message) & 0x7F;
    if (!IsStatusByte(status))
        return;
    const MidiStatus kind = StatusKind(status);
    if (kind == MidiStatus::SystemReset)
    {
        Reset();
        return;
    }
    if (!IsChannelStatus(status))
        return; // no other system message changes the sound
    const int channel = StatusChannel(status);
    if (kind == MidiStatus::NoteOn || kind == MidiStatus::NoteOff)
        SetHeld(channel, data1, kind == MidiStatus::NoteOn && data2 > 0);
    else if (kind == MidiStatus::ControlChange &&
             (data1 == kAllNotesOff || data1 == static_cast<int>(MidiController::AllSoundsOff)))
        ClearHeld(channel);
    if (dropVoices && IsVoiceMessage(kind))
        return;
    switch (kind)
    {
    case MidiStatus::NoteOff:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case MidiStatus::NoteOn:
        fluid_synth_noteon(synth, channel, data1, data2);
        break;
    case MidiStatus::KeyPressure:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case MidiStatus::ControlChange:
        if (data1 == static_cast<int>(MidiController::BankSelect))
        {
            const std::lock_guard guard(mutex);
            channels[static_cast<std::size_t>(channel)].bank = data2;
        }
        else if (data1 != static_cast<int>(MidiController::BankSelectLsb))
        {
            fluid_synth_cc(synth, channel, data1, data2);
        }
        break;
    case MidiStatus::ProgramChange:
    {
        const std::lock_guard guard(mutex);
        channels[static_cast<std::size_t>(channel)].program = data1;
        Select(channel, false);
        break;
    }
    case MidiStatus::ChannelPressure:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case MidiStatus::PitchBend:
        fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
        break;
    default:
        break;
    }
}
