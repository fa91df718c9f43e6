#include "support/CliRunner.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
// A descriptor closed when it goes out of scope.
class Fd
{
public:
    Fd() = default;
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int& Get() { return fd; }
    int Value() const { return fd; }
    void Close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

private:
    int fd = -1;
};

std::vector<std::string> ChildEnvironment(const std::vector<std::pair<std::string, std::string>>& changes)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry)
    {
        const std::string text = *entry;
        bool changed = false;
        for (const auto& change : changes)
            changed = changed || text.rfind(change.first + '=', 0) == 0;
        if (!changed)
            env.push_back(text);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty())
            env.push_back(name + '=' + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Feeds stdinText to the child and collects what it writes until it closes
// both outputs; all three at once, so that neither side waits on a full pipe.
void Exchange(Fd& in, Fd& out, Fd& err, const std::string& stdinText, CliRun& run)
{
    std::size_t written = 0;
    if (stdinText.empty())
        in.Close();
    while (out.Value() >= 0 || err.Value() >= 0)
    {
        pollfd fds[3] = {{in.Value(), POLLOUT, 0}, {out.Value(), POLLIN, 0}, {err.Value(), POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }
        if (in.Value() >= 0 && fds[0].revents != 0)
        {
            // A child that stops reading early ends the input; it must not raise SIGPIPE here.
            const ssize_t sent = ::send(in.Value(), stdinText.data() + written, stdinText.size() - written,
                                        MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0)
                written += static_cast<std::size_t>(sent);
            if ((sent < 0 && errno != EAGAIN && errno != EINTR) || written == stdinText.size())
                in.Close();
        }
        for (int i = 1; i < 3; ++i)
        {
            Fd& from = i == 1 ? out : err;
            if (from.Value() < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::read(from.Value(), buffer, sizeof buffer);
            if (got > 0)
                (i == 1 ? run.out : run.err).append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR)
                from.Close();
        }
    }
}
} // namespace

CliRun RunCli(const std::vector<std::string>& args, const CliOptions& options)
{
    const std::string program = options.program.empty() ? TAMBERLY_BIN_DIR "/tamberly-cli" : options.program;
    std::vector<std::string> argvTexts{program};
    argvTexts.insert(argvTexts.end(), args.begin(), args.end());
    std::vector<std::string> envTexts = ChildEnvironment(options.env);
    // Everything the child needs is made before the fork: after it, only
    // async-signal-safe calls are allowed in a threaded process.
    const std::vector<char*> argv = Pointers(argvTexts);
    const std::vector<char*> envp = Pointers(envTexts);

    CliRun run;
    Fd in[2], out[2], err[2];
    int inPair[2], outPair[2], errPair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inPair) != 0)
        return run;
    in[0].Get() = inPair[0];
    in[1].Get() = inPair[1];
    if (::pipe2(outPair, O_CLOEXEC) != 0)
        return run;
    out[0].Get() = outPair[0];
    out[1].Get() = outPair[1];
    if (::pipe2(errPair, O_CLOEXEC) != 0)
        return run;
    err[0].Get() = errPair[0];
    err[1].Get() = errPair[1];

    const pid_t child = ::fork();
    if (child < 0)
        return run;
    if (child == 0)
    {
        // dup2 leaves the copies open across exec; the originals close there.
        if (::dup2(in[0].Value(), 0) < 0 || ::dup2(out[1].Value(), 1) < 0 || ::dup2(err[1].Value(), 2) < 0)
            ::_exit(127);
        if (!options.workDir.empty() && ::chdir(options.workDir.c_str()) != 0)
            ::_exit(127);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    in[0].Close();
    out[1].Close();
    err[1].Close();
    Exchange(in[1], out[0], err[0], options.stdinText, run);
    in[1].Close();

    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
