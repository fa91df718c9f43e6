#include "engine/OfflineRenderer.h"

#include "cardstate/CardModel.h"
#include "engine/SongPlayer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr std::size_t kSampleRate = ISoundEngine::kSampleRate;
constexpr float kSilence = 1e-4f; // -80 dB
// Draining the effects: quiet means below -100 dB for 50 ms; 20 s is beyond any reverb's tail.
constexpr float kDrained = 1e-5f;
constexpr std::size_t kDrainBlock = kSampleRate / 100;
constexpr int kDrainedBlocks = 5;
constexpr std::size_t kMaxDrainBlocks = 2000;
// The release ends after 0.1 s below kSilence.
constexpr std::size_t kReleaseBlock = kSampleRate / 100;
constexpr int kQuietBlocks = 10;
constexpr std::size_t kRenderBlock = 4096;
constexpr int kChannel = 0;

float Peak(const float* left, const float* right, std::size_t frames)
{
    float peak = 0;
    for (std::size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    return peak;
}
} // namespace

COfflineRenderer::COfflineRenderer(fluid_synth_t* fluidSynth, CChannelRouter& channelRouter)
    : synth(fluidSynth), router(channelRouter)
{
}

bool COfflineRenderer::Render(float* left, float* right, std::size_t frames)
{
    for (std::size_t done = 0; done < frames;)
    {
        const std::size_t now = std::min(kRenderBlock, frames - done);
        if (fluid_synth_write_float(synth, static_cast<int>(now), left + done, 0, 1, right + done, 0, 1) !=
            FLUID_OK)
            return false;
        done += now;
    }
    return true;
}

bool COfflineRenderer::Drain()
{
    std::vector<float> left(kDrainBlock), right(kDrainBlock);
    int quiet = 0;
    for (std::size_t block = 0; block < kMaxDrainBlocks && quiet < kDrainedBlocks; ++block)
    {
        if (!Render(left.data(), right.data(), kDrainBlock))
            return false;
        quiet = Peak(left.data(), right.data(), kDrainBlock) < kDrained ? quiet + 1 : 0;
    }
    return true;
}

bool COfflineRenderer::IsPlayable(const NotePlan& plan)
{
    return CCardModel::IsBank(plan.bank) && CCardModel::IsSlot(plan.program) && plan.velocity >= 1 &&
           plan.velocity <= 127 && plan.seconds >= 0 && plan.seconds <= 3600 && plan.maxRelease >= 0 &&
           plan.maxRelease <= 3600 &&
           std::none_of(plan.notes.begin(), plan.notes.end(),
                        [](int note) { return note < 0 || note > 127; });
}

bool COfflineRenderer::RenderNotes(const NotePlan& plan, StereoSound& out)
{
    out = {};
    if (!IsPlayable(plan))
        return false;
    const std::lock_guard rendering(renderMutex);
    // Starts from silence: whatever played before is stopped, and what it
    // left in the effects rings out into a buffer that is thrown away.
    router.Reset();
    if (!Drain())
        return false;
    router.Handle(MakeShortMessage(StatusByte(MidiStatus::ControlChange, kChannel),
                                   static_cast<int>(MidiController::BankSelect), plan.bank));
    router.Handle(MakeShortMessage(StatusByte(MidiStatus::ProgramChange, kChannel), plan.program, 0));
    for (const int note : plan.notes)
        router.Handle(MakeShortMessage(StatusByte(MidiStatus::NoteOn, kChannel), note, plan.velocity));

    const auto held = static_cast<std::size_t>(std::lround(plan.seconds * kSampleRate));
    out.left.resize(held);
    out.right.resize(held);
    if (!Render(out.left.data(), out.right.data(), held))
        return false;
    for (const int note : plan.notes)
        router.Handle(MakeShortMessage(StatusByte(MidiStatus::NoteOff, kChannel), note, 0));

    const auto longest = static_cast<std::size_t>(std::lround(plan.maxRelease * kSampleRate));
    int quiet = 0;
    for (std::size_t released = 0; released < longest && quiet < kQuietBlocks;)
    {
        const std::size_t now = std::min(kReleaseBlock, longest - released);
        const std::size_t at = out.left.size();
        out.left.resize(at + now);
        out.right.resize(at + now);
        if (!Render(out.left.data() + at, out.right.data() + at, now))
            return false;
        quiet = Peak(out.left.data() + at, out.right.data() + at, now) < kSilence ? quiet + 1 : 0;
        released += now;
    }
    fluid_synth_all_sounds_off(synth, kChannel);
    return true;
}

bool COfflineRenderer::RenderSong(const MidiSong& song, const SongRenderPlan& plan, const BlockSink& sink)
{
    if (!(plan.maxRelease >= 0) || !(plan.seconds >= 0))
        return false;
    const std::lock_guard rendering(renderMutex);
    router.Reset();
    if (!Drain())
        return false;
    CSongPlayer player(synth, router, true);
    if (!player.Load(song))
        return false;
    player.Play();

    const double release = std::min(plan.maxRelease, 60.0);
    // FluidSynth's player rounds its clock to milliseconds and its ticks to
    // whole ones: a second more than the song's own length covers it.
    const double natural = std::min(song.Seconds(), CMidiFile::kMaxSeconds) + 1.0 + release;
    const double seconds = plan.seconds > 0 ? std::min(plan.seconds, natural) : natural;
    const auto bound = static_cast<std::size_t>(std::llround(seconds * kSampleRate));
    const double expected =
        plan.seconds > 0 ? std::min(plan.seconds, song.Seconds() + release) : song.Seconds() + release;

    std::vector<float> left(kRenderBlock), right(kRenderBlock);
    std::size_t done = 0;
    std::size_t releasing = 0;
    int quiet = 0;
    bool ended = false;
    const auto releaseFrames = static_cast<std::size_t>(std::llround(release * kSampleRate));
    while (done < bound)
    {
        // Once the song ended, short blocks find the moment the sound dies away.
        const std::size_t block = std::min(ended ? kReleaseBlock : kRenderBlock, bound - done);
        if (!Render(left.data(), right.data(), block) || !sink(left.data(), right.data(), block))
            return false;
        done += block;
        if (plan.progress && expected > 0 &&
            !plan.progress(std::min(1.0, static_cast<double>(done) / (expected * kSampleRate))))
            return false;
        if (!ended && player.Finished())
            ended = true;
        else if (ended)
        {
            releasing += block;
            quiet = Peak(left.data(), right.data(), block) < kSilence ? quiet + 1 : 0;
            if (quiet >= kQuietBlocks || releasing >= releaseFrames)
                break;
        }
    }
    player.Stop();
    return true;
}
