#include "cli/CliCommand.h"
#include "media/SampleDecoder.h"

#include <algorithm>
#include <iostream>

namespace
{
std::vector<CliCommand>& Registry()
{
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintHelp(std::ostream& out)
{
    out << "Usage: tamberly-cli COMMAND [ARGUMENTS]\n"
           "Inspect SoundFont, wave and virtual bank files, convert waves, and drive the card.\n\n"
           "Commands:\n";
    auto commands = CliCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& command : commands)
    {
        out << "  " << command.name;
        if (!command.usage.empty())
            out << ' ' << command.usage;
        out << "\n      " << command.summary << '\n';
    }
    out << "\nOptions:\n  --help     show this text\n  --version  show the version\n"
           "\n\"tamberly-cli COMMAND --help\" shows a command's usage.\n";
}
} // namespace

bool RegisterCliCommand(CliCommand command)
{
    if (command.usage.empty())
        command.usage = CliGroupUsage(command.subcommands);
    Registry().push_back(std::move(command));
    return true;
}

const std::vector<CliCommand>& CliCommands()
{
    return Registry();
}

int CliBadInput(CliContext& context, const std::string& what, const std::string& why)
{
    context.err << "tamberly-cli: " << what << ": " << why << '\n';
    return kExitBadInput;
}

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    CliContext context{std::cout, std::cerr};
    // SoundFont 3 sizes are those of the decoded samples.
    InstallSampleDecoder();
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help")
    {
        PrintHelp(args.empty() ? std::cerr : std::cout);
        return args.empty() ? kExitBadInput : kExitOk;
    }
    if (args[0] == "--version")
    {
        // FluidSynth as the sound plug-in was built with: loading it to ask
        // would cost more than the answer. The command line uses no Qt.
        std::cout << "tamberly-cli " << TAMBERLY_VERSION << "\nFluidSynth " << TAMBERLY_FLUIDSYNTH_VERSION
                  << '\n';
        return kExitOk;
    }
    for (const auto& command : CliCommands())
    {
        if (command.name == args[0])
        {
            args.erase(args.begin());
            if (const auto status = CliCommandHelp(command, args, context))
                return *status;
            return command.run(args, context);
        }
    }
    return CliBadInput(context, args[0], "unknown command (see tamberly-cli --help)");
}
