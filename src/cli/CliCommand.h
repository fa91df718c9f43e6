#pragma once
// The command-line front end's commands register themselves here, one source
// file per command group, so that main() only dispatches.

#include <functional>
#include <optional>
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
constexpr int kExitFailure = 1;  // the operation ran and failed
constexpr int kExitBadInput = 2; // bad arguments or files that cannot be used

// A subcommand of a command group ("card render"): what "GROUP NAME --help"
// prints. The texts are the ones the manual page gives (tests compare them).
struct CliSubcommand
{
    std::string name;        // second word on the command line
    std::string usage;       // its arguments
    std::string description; // what it does, in sentences
};

struct CliCommand
{
    std::string name;    // first word on the command line
    std::string usage;   // arguments, for --help; a group's is made from its subcommands
    std::string summary; // one line, for --help
    std::function<int(const std::vector<std::string>& args, CliContext& context)> run;
    std::string description = {};                // what "NAME --help" says it does (not for groups)
    std::vector<CliSubcommand> subcommands = {}; // a group's, in the manual page's order
};

// Adds a command; called by the static registrars of the command files.
bool RegisterCliCommand(CliCommand command);
const std::vector<CliCommand>& CliCommands();

// "status | mode gm|gs|mt | ...": the usage of a group, one alternative per subcommand.
std::string CliGroupUsage(const std::vector<CliSubcommand>& subcommands);

// A command's own help, when the arguments ask for it: "--help" or "-h"
// anywhere after the command's name prints the usage of that command (or of
// the subcommand named right after a group's name) and gives kExitOk; a
// subcommand the group lacks gives kExitBadInput. Nothing when no help is
// asked for. args start after the command's name.
std::optional<int> CliCommandHelp(const CliCommand& command, const std::vector<std::string>& args,
                                  CliContext& context);

// Prints "tamberly-cli: <what>: <why>" on the error stream and returns kExitBadInput.
int CliBadInput(CliContext& context, const std::string& what, const std::string& why);
