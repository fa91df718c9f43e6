// tamberly-cli sbk2sf2 IN.sbk OUT.sf2: a SoundFont 1 bank rewritten as
// SoundFont 2, so that an old bank plays on any current synthesizer.

#include "cli/CliCommand.h"
#include "platform/AtomicFile.h"
#include "soundfont/SoundFont2Converter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
std::string WhyNotOpened(const std::string& path, int error)
{
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    if (!std::filesystem::exists(status))
        return "cannot open (no such file)";
    if (std::filesystem::is_directory(status))
        return "cannot open (is a directory)";
    if (!std::filesystem::is_regular_file(status))
        return "cannot open (not a regular file)";
    return std::string("cannot open (") + (error != 0 ? std::strerror(error) : "not readable") + ")";
}

int RunSbk2Sf2(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() != 2)
        return CliBadInput(context, "sbk2sf2", "expects two arguments: IN.sbk OUT.sf2");
    const std::string& inPath = args[0];
    const std::string& outPath = args[1];

    CFileSource in;
    errno = 0;
    if (!in.Open(inPath))
        return CliBadInput(context, inPath, WhyNotOpened(inPath, errno));
    std::vector<std::uint8_t> image;
    std::string why;
    if (!CSoundFont2Converter().ConvertBank(in, image, &why))
        return CliBadInput(context, inPath, why);
    in.Close();

    // A file never committed is removed, and the target stays as it was.
    CAtomicFile file(outPath);
    errno = 0;
    if (!file.Open() || !file.Sink().Write(image.data(), image.size()) || !file.Commit())
    {
        const int error = errno;
        context.err << "tamberly-cli: " << outPath << ": cannot write"
                    << (error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string()) << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

const bool registered = RegisterCliCommand(
    {"sbk2sf2", "IN.sbk OUT.sf2", "convert a SoundFont 1 bank to a SoundFont 2 file", RunSbk2Sf2});
} // namespace
