#pragma once
// Runs tamberly-cli (or another program) as a child process for a test: the
// arguments reach it as they are, with no shell in between and so nothing to
// quote, and what it writes to its standard output and error comes back.

#include <string>
#include <utility>
#include <vector>

struct CliRun
{
    int status = -1; // the exit status; -1 when the program did not start or did not exit by itself
    std::string out;
    std::string err;
};

struct CliOptions
{
    // Changes to the environment the child inherits; an empty value removes
    // the variable, as the program treats an empty one as unset anyway.
    std::vector<std::pair<std::string, std::string>> env{};
    std::string stdinText{}; // everything the child reads; it sees the end after it
    std::string workDir{};   // empty: the test's own
    std::string program{};   // empty: the tamberly-cli of this build
};

CliRun RunCli(const std::vector<std::string>& args, const CliOptions& options = {});
