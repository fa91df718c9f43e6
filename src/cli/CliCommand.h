#pragma once
// The command-line front end's commands register themselves here, one source
// file per command group, so that main() only dispatches.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

struct CliContext
{
    std::ostream& out;
    std::ostream& err;
};

// Exit statuses of tamberly-cli.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1; // the operation ran and failed
constexpr int kExitBadInput = 2; // bad arguments or files that cannot be used

struct CliCommand
{
    std::string name;     // first word on the command line
    std::string usage;    // arguments, for --help
    std::string summary;  // one line, for --help
    std::function<int(const std::vector<std::string>& args, CliContext& context)> run;
};

// Adds a command; called by the static registrars of the command files.
bool RegisterCliCommand(CliCommand command);
const std::vector<CliCommand>& CliCommands();

// Prints "tamberly-cli: <what>: <why>" on the error stream and returns kExitBadInput.
int CliBadInput(CliContext& context, const std::string& what, const std::string& why);
