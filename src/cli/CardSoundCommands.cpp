#include "cli/CardSoundCommands.h"

#include "engine/SoundEngineLoader.h"
#include "soundfont/WaveWriter.h"
#include "synth/MidiFile.h"
#include "synth/MidiStatus.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>
#include <unistd.h>

const char* const kCardRenderUsage =
    "OUT.wav [--bank B --program P --notes N,N,... [--velocity V]] [--midi SONG.mid] [--seconds S]";
const char* const kCardPlayMidiUsage = "SONG.mid";
const char* const kCardPlayUsage = "--bank B --program P --notes N,N,... [--seconds S] [--velocity V]";

namespace
{
constexpr double kMaxSeconds = 600;
// How long `play` lets the sound ring after the notes are released.
constexpr double kPlayRelease = 1.5;

std::optional<int> WholeNumber(const std::string& text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<double> Seconds(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || !(value > 0) || value > kMaxSeconds)
        return std::nullopt;
    return value;
}

const char* Usage(const std::string& name)
{
    return name == "card render" ? kCardRenderUsage : kCardPlayUsage;
}

// The options both subcommands share; positional arguments are left in rest.
struct SoundArguments
{
    NotePlan plan;
    std::vector<std::string> rest;
    std::string song;       // --midi
    double songSeconds = 0; // --seconds with --midi; 0: the whole song
};

std::optional<SoundArguments> Parse(const std::vector<std::string>& args, CliContext& context,
                                    const std::string& name, int& status)
{
    SoundArguments parsed;
    bool bank = false, program = false, notes = false, velocity = false, seconds = false;
    const auto bad = [&](const std::string& why)
    {
        status = CliBadInput(context, name, why + " (usage: " + name + ' ' + Usage(name) + ")");
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& word = args[i];
        if (word.size() < 2 || word.compare(0, 2, "--") != 0)
        {
            parsed.rest.push_back(word);
            continue;
        }
        if (i + 1 >= args.size())
            return bad(word + " needs a value");
        const std::string& value = args[++i];
        if (word == "--bank")
        {
            const auto number = WholeNumber(value, 0, 127);
            if (!number)
                return bad("--bank must be a number from 0 to 127, not \"" + value + "\"");
            parsed.plan.bank = *number;
            bank = true;
        }
        else if (word == "--program")
        {
            const auto number = WholeNumber(value, 0, 127);
            if (!number)
                return bad("--program must be a number from 0 to 127, not \"" + value + "\"");
            parsed.plan.program = *number;
            program = true;
        }
        else if (word == "--velocity")
        {
            const auto number = WholeNumber(value, 1, 127);
            if (!number)
                return bad("--velocity must be a number from 1 to 127, not \"" + value + "\"");
            parsed.plan.velocity = *number;
            velocity = true;
        }
        else if (word == "--midi" && name == "card render")
        {
            parsed.song = value;
        }
        else if (word == "--seconds")
        {
            const auto number = Seconds(value);
            if (!number)
                return bad("--seconds must be more than 0 and at most 600, not \"" + value + "\"");
            parsed.plan.seconds = parsed.songSeconds = *number;
            seconds = true;
        }
        else if (word == "--notes")
        {
            parsed.plan.notes.clear();
            std::size_t from = 0;
            while (from <= value.size())
            {
                const std::size_t comma = std::min(value.find(',', from), value.size());
                const auto note = WholeNumber(value.substr(from, comma - from), 0, 127);
                if (!note)
                    return bad("--notes must be key numbers from 0 to 127 separated by commas, not \"" +
                               value + "\"");
                parsed.plan.notes.push_back(*note);
                from = comma + 1;
            }
            notes = true;
        }
        else
        {
            return bad("unknown option " + word);
        }
    }
    if (!parsed.song.empty())
    {
        if (bank || program || notes || velocity)
            return bad("--midi plays a song: --bank, --program, --notes and --velocity do not go with it");
        return parsed;
    }
    if (!bank || !program || !notes)
        return bad("--bank, --program and --notes are needed");
    (void)seconds;
    return parsed;
}

// Fails when the slot is silent on the card, saying why where the engine knows.
bool CheckSound(ISoundEngine& engine, const NotePlan& plan, CliContext& context, const std::string& name)
{
    if (engine.HasSound(plan.bank, plan.program))
        return true;
    context.err << "tamberly-cli: " << name << ": bank " << plan.bank << " program " << plan.program
                << " has no sound on the card\n";
    for (const std::string& problem : engine.Problems())
        context.err << "  " << problem << '\n';
    return false;
}
// The sound engine plug-in, loaded only by the commands that sound.
std::unique_ptr<ISoundEngine> StartEngine(const CardEngineOptions& options, CliContext& context,
                                          const std::string& name)
{
    std::string error;
    auto engine = LoadSoundEngine(options, error);
    if (!engine)
        context.err << "tamberly-cli: " << name << ": " << error << '\n';
    return engine;
}

// Reads a song for the player; a file it cannot take is bad input, with the reason.
std::optional<MidiSong> ReadSong(const std::string& path, CliContext& context, const std::string& name)
{
    MidiSong song;
    std::string error;
    if (!CMidiFile::Read(path, song, error))
    {
        CliBadInput(context, name, path + ": " + error);
        return std::nullopt;
    }
    return song;
}

std::string Clock(double seconds)
{
    const auto whole = static_cast<long>(std::max(0.0, seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// A stream is a terminal only when it is the process's own standard stream on one.
bool IsTerminal(const std::ostream& stream, const std::ostream& standard, int descriptor)
{
    return &stream == &standard && ::isatty(descriptor) == 1;
}

// What a shell reports for a program ended by Ctrl+C (128 + SIGINT).
constexpr int kExitInterrupted = 130;

bool IsFlacName(const std::string& path)
{
    return path.size() >= 5 &&
           (path.compare(path.size() - 5, 5, ".flac") == 0 || path.compare(path.size() - 5, 5, ".FLAC") == 0);
}

std::atomic<bool> interrupted{false};

void OnInterrupt(int)
{
    interrupted = true;
}

int RenderSong(const SoundArguments& parsed, const std::string& output, CliContext& context,
               const std::string& name)
{
    const auto song = ReadSong(parsed.song, context, name);
    if (!song)
        return kExitBadInput;
    CardEngineOptions options;
    options.audioDevice = false;
    const auto engine = StartEngine(options, context, name);
    if (!engine)
        return kExitFailure;
    SongRenderPlan plan;
    plan.seconds = parsed.songSeconds;
    const bool terminal = IsTerminal(context.err, std::cerr, 2);
    int shown = -1;
    plan.progress = [&](double part)
    {
        const int percent = static_cast<int>(part * 100);
        if (terminal && percent != shown)
        {
            context.err << "\rrendering " << output << ": " << percent << "%" << std::flush;
            shown = percent;
        }
        return true;
    };
    double seconds = 0;
    std::string error;
    const bool rendered = engine->RenderSongToFile(*song, plan, output, seconds, error);
    if (terminal && shown >= 0)
        context.err << "\r\033[K" << std::flush;
    if (!rendered)
    {
        context.err << "tamberly-cli: " << name << ": " << output << ": " << error << '\n';
        return kExitFailure;
    }
    char length[32];
    std::snprintf(length, sizeof length, "%.2f", seconds);
    context.out << output << ": " << length << " s, 16-bit stereo, " << ISoundEngine::kSampleRate << " Hz"
                << (IsFlacName(output) ? ", FLAC" : "") << '\n';
    return kExitOk;
}
} // namespace

int RunCardPlayMidi(const std::vector<std::string>& args, CliContext& context)
{
    const std::string name = "card play-midi";
    if (args.size() != 1 || (args[0].size() >= 2 && args[0].compare(0, 2, "--") == 0))
        return CliBadInput(context, name,
                           std::string("expected one song (usage: ")
                               .append(name)
                               .append(" ")
                               .append(kCardPlayMidiUsage)
                               .append(")"));
    const auto song = ReadSong(args[0], context, name);
    if (!song)
        return kExitBadInput;
    CardEngineOptions options;
    options.sequencerPort = false;
    const auto engine = StartEngine(options, context, name);
    if (!engine)
        return kExitFailure;
    if (!engine->HasAudio())
    {
        context.err << "tamberly-cli: " << name << ": " << engine->StatusText()
                    << " (card render --midi writes the song to a file instead)\n";
        return kExitFailure;
    }
    if (!engine->LoadSong(*song))
    {
        context.err << "tamberly-cli: " << name << ": " << args[0] << ": the player refused the song\n";
        return kExitFailure;
    }
    context.out << engine->StatusText() << '\n';
    const bool terminal = IsTerminal(context.out, std::cout, 1);
    const std::string title = song->name.empty() ? args[0] : song->name;
    interrupted = false;
    struct sigaction action = {}, previous = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous);
    engine->PlaySong();
    // The card follows changes made while the song plays, as the window's does.
    engine->StartFollowing();
    for (;;)
    {
        const SongState state = engine->Song();
        if (terminal)
            context.out << "\r" << Clock(state.position) << " / " << Clock(state.length) << "  " << title
                        << "\033[K" << std::flush;
        if (interrupted || !state.playing)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    engine->StopFollowing();
    // All notes off and all sounds off on every channel; the device plays that out before it closes.
    engine->StopSong();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::sigaction(SIGINT, &previous, nullptr);
    if (terminal)
        context.out << '\n';
    return interrupted ? kExitInterrupted : kExitOk;
}

int RunCardRender(const std::vector<std::string>& args, CliContext& context)
{
    const std::string name = "card render";
    int status = kExitBadInput;
    auto parsed = Parse(args, context, name, status);
    if (!parsed)
        return status;
    if (parsed->rest.size() != 1)
        return CliBadInput(context, name,
                           "expected one output file (usage: " + name + ' ' + kCardRenderUsage + ")");
    const std::string& output = parsed->rest[0];
    if (!parsed->song.empty())
        return RenderSong(*parsed, output, context, name);

    CardEngineOptions options;
    options.audioDevice = false;
    const auto loaded = StartEngine(options, context, name);
    if (!loaded)
        return kExitFailure;
    ISoundEngine& engine = *loaded;
    if (!CheckSound(engine, parsed->plan, context, name))
        return kExitFailure;
    StereoSound sound;
    if (!engine.RenderNotes(parsed->plan, sound))
    {
        context.err << "tamberly-cli: " << name << ": the engine did not render\n";
        return kExitFailure;
    }
    if (!CWaveWriter::WriteStereo16(output, sound.left, sound.right, ISoundEngine::kSampleRate))
    {
        context.err << "tamberly-cli: " << name << ": " << output << ": cannot be written\n";
        return kExitFailure;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f",
                  static_cast<double>(sound.left.size()) / ISoundEngine::kSampleRate);
    context.out << output << ": " << seconds << " s, 16-bit stereo, " << ISoundEngine::kSampleRate << " Hz\n";
    return kExitOk;
}

int RunCardPlay(const std::vector<std::string>& args, CliContext& context)
{
    const std::string name = "card play";
    int status = kExitBadInput;
    auto parsed = Parse(args, context, name, status);
    if (!parsed)
        return status;
    if (!parsed->rest.empty())
        return CliBadInput(context, name, "unexpected argument \"" + parsed->rest[0] + "\"");

    CardEngineOptions options;
    options.sequencerPort = false;
    const auto loaded = StartEngine(options, context, name);
    if (!loaded)
        return kExitFailure;
    ISoundEngine& engine = *loaded;
    if (!engine.HasAudio())
    {
        context.err << "tamberly-cli: " << name << ": " << engine.StatusText()
                    << " (card render writes the sound to a file instead)\n";
        return kExitFailure;
    }
    if (!CheckSound(engine, parsed->plan, context, name))
        return kExitFailure;
    context.out << engine.StatusText() << '\n';
    const NotePlan& plan = parsed->plan;
    engine.SendShortMessage(MakeShortMessage(StatusByte(MidiStatus::ControlChange),
                                             static_cast<int>(MidiController::BankSelect), plan.bank));
    engine.SendShortMessage(MakeShortMessage(StatusByte(MidiStatus::ProgramChange), plan.program, 0));
    for (const int note : plan.notes)
        engine.SendShortMessage(MakeShortMessage(StatusByte(MidiStatus::NoteOn), note, plan.velocity));
    std::this_thread::sleep_for(std::chrono::duration<double>(plan.seconds));
    for (const int note : plan.notes)
        engine.SendShortMessage(MakeShortMessage(StatusByte(MidiStatus::NoteOff), note, 0));
    std::this_thread::sleep_for(std::chrono::duration<double>(kPlayRelease));
    return kExitOk;
}
