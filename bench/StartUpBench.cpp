// Whole processes as a user or a script starts them: tamberly-cli reading a
// bank against awesfx's sf2text reading the same bank, tamberly-cli
// --version, and the window's first painted frame. Each is timed from the
// spawn; what the programs print goes nowhere.

#include "BenchSupport.h"

#include "support/RiffBuilder.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
constexpr int kPresets = 128;
constexpr std::uint32_t kSampleBytes = 28u << 20;

// The environment with changes (name=value) added in front, which getenv finds first.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes)
{
    std::vector<std::string> all = changes;
    for (char** entry = environ; *entry; ++entry)
        all.emplace_back(*entry);
    return all;
}

// Starts a program with its output going nowhere; its pid, or -1.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::vector<std::string> environment = EnvironmentWith(env);
    std::vector<char*> envp;
    for (const auto& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs a program to its end; its exit status, -1 when it did not start or exit.
int Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    const pid_t pid = Spawn(args, env);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::string Program(const char* name)
{
    return TAMBERLY_BIN_DIR "/" + std::string(name);
}

// The best run of work and of its baseline, run in turns so that both meet
// the same load: a process start here varies by several times its own cost
// with what else the machine does, and only slows down, never speeds up.
AgainstBaseline BestInTurns(benchmark::State& state, auto&& work, auto&& baseline)
{
    AgainstBaseline best{1e9, 1e9};
    for (auto _ : state)
    {
        best.seconds = std::min(best.seconds, SecondsOf(work));
        best.baseline = std::min(best.baseline, SecondsOf(baseline));
    }
    return best;
}

void BM_CliInfoAgainstSf2text(benchmark::State& state)
{
    const std::string& bank = LargeBankFile(kPresets, kSampleBytes);
    const std::string sf2text = "/usr/bin/sf2text";
    if (::access(sf2text.c_str(), X_OK) != 0)
    {
        state.SkipWithError("awesfx's sf2text is not installed (scripts/bootstrap installs it)");
        return;
    }
    if (Run({Program("tamberly-cli"), "info", bank}) != 0 || Run({sf2text, bank}) != 0)
    {
        state.SkipWithError("a program does not read the generated bank");
        return;
    }
    const AgainstBaseline time = BestInTurns(
        state,
        [&] {
            Run({Program("tamberly-cli"), "info", bank});
        },
        [&] {
            Run({sf2text, bank});
        });
    ReportRatio(state, "info_per_sf2text", {"info", time.seconds}, {"sf2text", time.baseline});
}
BENCHMARK(BM_CliInfoAgainstSf2text)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_CliVersion(benchmark::State& state)
{
    const AgainstBaseline time = BestInTurns(
        state,
        [&] {
            Run({Program("tamberly-cli"), "--version"});
        },
        [&] { Run({"/bin/true"}); });
    ReportRatio(state, "version_per_true", {"version", time.seconds}, {"true", time.baseline});
}
BENCHMARK(BM_CliVersion)->Unit(benchmark::kMillisecond)->Iterations(50);

// From the spawn until the picture of the first painted frame is on disk, on
// Qt's offscreen platform, with a card and a profile of the run's own; the
// baseline is the same program answering --version (Qt's libraries mapped,
// no window).
void BM_WindowFirstFrame(benchmark::State& state)
{
    const std::string window = Program("tamberly");
    if (::access(window.c_str(), X_OK) != 0)
    {
        state.SkipWithError("this build has no window");
        return;
    }
    const TempDir scratch;
    const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                          "TAMBERLY_CARD_HOME=" + scratch.File("card"),
                                          "XDG_CONFIG_HOME=" + scratch.File("config"), "TAMBERLY_AWEMAN="};
    const std::string picture = scratch.File("window.png");
    double total = 0;
    bool painted = true;
    const double baseline = BestOf(5, [&] { Run({window, "--version"}, env); });
    for (auto _ : state)
    {
        std::filesystem::remove(picture);
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = Spawn({window, "--screenshot", picture}, env);
        std::error_code error;
        while (pid > 0 && !(std::filesystem::file_size(picture, error) > 0 && !error))
        {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid)
                break; // ended without a picture
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        painted = painted && std::filesystem::exists(picture);
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
    }
    if (!painted)
    {
        state.SkipWithError("the window wrote no picture");
        return;
    }
    ReportRatio(state, "first_frame_per_version",
                {"first_frame", total / static_cast<double>(state.iterations())}, {"version", baseline});
}
BENCHMARK(BM_WindowFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);
} // namespace
