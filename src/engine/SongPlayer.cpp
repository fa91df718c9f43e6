#include "engine/SongPlayer.h"

#include "synth/MidiStatus.h"

#include <algorithm>

namespace
{
// FluidSynth's event types beyond the channel messages' status kinds (its
// header keeps them private; these are the meta event numbers of the file).
constexpr int kTextEvent = 0x01;
constexpr int kSysExEvent = 0xF0;

constexpr int kAllNotesOff = 123;
} // namespace

CSongPlayer::CSongPlayer(fluid_synth_t* fluidSynth, CChannelRouter& channelRouter, bool samples)
    : synth(fluidSynth), router(channelRouter), sampleTiming(samples)
{
}

CSongPlayer::~CSongPlayer()
{
    const std::lock_guard guard(mutex);
    if (player)
        SilenceChannels();
    DeletePlayer();
}

int CSongPlayer::OnEvent(void* data, fluid_midi_event_t* event)
{
    auto& self = *static_cast<CSongPlayer*>(data);
    const int type = fluid_midi_event_get_type(event);
    const int channel = fluid_midi_event_get_channel(event) & 0x0F;
    const auto message = [&](MidiStatus kind, int data1, int data2)
    { self.router.Handle(MakeShortMessage(StatusByte(kind, channel), data1 & 0x7F, data2 & 0x7F)); };
    switch (static_cast<MidiStatus>(type))
    {
    case MidiStatus::NoteOff:
        message(MidiStatus::NoteOff, fluid_midi_event_get_key(event), fluid_midi_event_get_velocity(event));
        break;
    case MidiStatus::NoteOn:
        message(MidiStatus::NoteOn, fluid_midi_event_get_key(event), fluid_midi_event_get_velocity(event));
        break;
    case MidiStatus::KeyPressure:
        message(MidiStatus::KeyPressure, fluid_midi_event_get_key(event), fluid_midi_event_get_value(event));
        break;
    case MidiStatus::ControlChange:
        message(MidiStatus::ControlChange, fluid_midi_event_get_control(event),
                fluid_midi_event_get_value(event));
        break;
    case MidiStatus::ProgramChange:
        message(MidiStatus::ProgramChange, fluid_midi_event_get_program(event), 0);
        break;
    case MidiStatus::ChannelPressure:
        message(MidiStatus::ChannelPressure, fluid_midi_event_get_program(event), 0);
        break;
    case MidiStatus::PitchBend:
    {
        const int bend = fluid_midi_event_get_pitch(event);
        message(MidiStatus::PitchBend, bend & 0x7F, bend >> 7);
        break;
    }
    default:
        // System exclusive messages come as the text events MidiSong made of them.
        if (type == kTextEvent)
        {
            void* text = nullptr;
            int size = 0;
            if (fluid_midi_event_get_text(event, &text, &size) == FLUID_OK && text && size > 0)
            {
                const auto* bytes = static_cast<const std::uint8_t*>(text);
                auto length = static_cast<std::size_t>(size);
                // FluidSynth ends a text with a terminating zero of its own.
                if (bytes[length - 1] == 0)
                    --length;
                self.router.HandleSysEx(bytes, length);
            }
        }
        else if (type == kSysExEvent)
        {
            // Too long to have been re-encoded: nothing the card acts on is that long.
        }
        break;
    }
    return FLUID_OK;
}

bool CSongPlayer::MakePlayer()
{
    DeletePlayer();
    {
        // The player takes its timing from the synth's settings when it is
        // made; engines and renders in one process may want either.
        static std::mutex settingsMutex;
        const std::lock_guard making(settingsMutex);
        fluid_settings_t* settings = fluid_synth_get_settings(synth);
        fluid_settings_setstr(settings, "player.timing-source", sampleTiming ? "sample" : "system");
        // Between songs and passes the card keeps what the song set; a new song resets through the router.
        fluid_settings_setint(settings, "player.reset-synth", 0);
        player = new_fluid_player(synth);
    }
    if (!player)
        return false;
    fluid_player_set_playback_callback(player, &CSongPlayer::OnEvent, this);
    if (fluid_player_add_mem(player, song.playerBytes.data(), song.playerBytes.size()) != FLUID_OK)
    {
        DeletePlayer();
        return false;
    }
    started = false;
    return true;
}

void CSongPlayer::DeletePlayer()
{
    if (!player)
        return;
    fluid_player_stop(player);
    delete_fluid_player(player);
    player = nullptr;
}

void CSongPlayer::SilenceChannels()
{
    for (int channel = 0; channel < kMidiChannels; ++channel)
    {
        router.Handle(MakeShortMessage(StatusByte(MidiStatus::ControlChange, channel), kAllNotesOff, 0));
        router.Handle(MakeShortMessage(StatusByte(MidiStatus::ControlChange, channel),
                                       static_cast<int>(MidiController::AllSoundsOff), 0));
    }
}

bool CSongPlayer::Load(const MidiSong& next)
{
    const std::lock_guard guard(mutex);
    if (player)
        SilenceChannels();
    DeletePlayer();
    loaded = playing = false;
    heldTick = 0;
    song = next;
    if (song.playerBytes.empty() || !MakePlayer())
    {
        song = {};
        return false;
    }
    loaded = true;
    // A song starts from the card's starting state, not from what the last one left.
    router.Reset();
    return true;
}

void CSongPlayer::Unload()
{
    const std::lock_guard guard(mutex);
    if (player)
        SilenceChannels();
    DeletePlayer();
    song = {};
    loaded = playing = false;
    heldTick = 0;
}

void CSongPlayer::Play()
{
    const std::lock_guard guard(mutex);
    if (!loaded)
        return;
    const bool finished = PlayedToTheEnd();
    if (playing && !finished)
        return;
    if (finished)
        heldTick = 0;
    // A player is never started twice (one that played to its end would not
    // start again): a new one plays from where it is asked to.
    if ((!player || started) && !MakePlayer())
        return;
    if (heldTick == 0)
        router.Reset();
    fluid_player_set_loop(player, loop ? -1 : 1);
    if (heldTick > 0)
        fluid_player_seek(player, static_cast<int>(heldTick));
    fluid_player_play(player);
    started = playing = true;
}

void CSongPlayer::Pause()
{
    const std::lock_guard guard(mutex);
    if (!player || !playing)
        return;
    heldTick = static_cast<std::uint64_t>(std::max(0, fluid_player_get_current_tick(player)));
    // A new player resumes: a stopped one would replay its file from the top on a seek.
    DeletePlayer();
    SilenceChannels();
    playing = false;
}

void CSongPlayer::Stop()
{
    const std::lock_guard guard(mutex);
    if (!loaded)
        return;
    DeletePlayer();
    SilenceChannels();
    playing = false;
    heldTick = 0;
}

void CSongPlayer::Seek(double seconds)
{
    const std::lock_guard guard(mutex);
    if (!loaded)
        return;
    const std::uint64_t tick = std::min(song.TickAt(seconds), song.lastTick);
    if (playing && player && fluid_player_get_status(player) == FLUID_PLAYER_PLAYING)
    {
        // Notes sounding at the old place end; FluidSynth releases them itself on a seek.
        fluid_player_seek(player, static_cast<int>(tick));
        return;
    }
    heldTick = tick;
}

void CSongPlayer::SetLoop(bool on)
{
    const std::lock_guard guard(mutex);
    loop = on;
    // The player counts passes left: the one playing is already under way.
    if (player && started)
        fluid_player_set_loop(player, loop ? -1 : 0);
}

bool CSongPlayer::PlayedToTheEnd() const
{
    if (!loaded || !started || !playing || !player)
        return false;
    if (fluid_player_get_status(player) == FLUID_PLAYER_DONE)
        return true;
    // FluidSynth's player goes on counting for a while after the last event
    // before it says it is done; the song itself ended at its last event.
    return !loop && fluid_player_get_current_tick(player) >= 0 &&
           static_cast<std::uint64_t>(fluid_player_get_current_tick(player)) >= song.lastTick;
}

bool CSongPlayer::Finished() const
{
    const std::lock_guard guard(mutex);
    return PlayedToTheEnd();
}

SongState CSongPlayer::State() const
{
    const std::lock_guard guard(mutex);
    SongState state;
    state.loaded = loaded;
    state.looping = loop;
    if (!loaded)
        return state;
    state.name = song.name;
    state.length = song.Seconds();
    const bool running =
        playing && player && fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && !PlayedToTheEnd();
    state.playing = running;
    std::uint64_t tick = heldTick;
    if (running)
        tick = static_cast<std::uint64_t>(std::max(0, fluid_player_get_current_tick(player)));
    else if (playing)
        tick = song.lastTick; // played to its end
    state.position = std::min(song.SecondsAt(std::min(tick, song.lastTick)), state.length);
    return state;
}
