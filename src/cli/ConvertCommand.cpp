// tamberly-cli sbk2sf2 IN.sbk OUT.sf2: a SoundFont 1 bank rewritten as
// SoundFont 2, so that an old bank plays on any current synthesizer.

#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "platform/AtomicFile.h"
#include "soundfont/SoundFont2Converter.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace
{
int RunSbk2Sf2(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() != 2)
        return CliBadInput(context, "sbk2sf2", "expects two arguments: IN.sbk OUT.sf2");
    const std::string& inPath = args[0];
    const std::string& outPath = args[1];

    CFileSource in;
    errno = 0;
    if (!in.Open(inPath))
        return CliBadInput(context, inPath, WhyCannotOpen(inPath, errno));
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
    {"sbk2sf2", "IN.sbk OUT.sf2", "convert a SoundFont 1 bank to a SoundFont 2 file", RunSbk2Sf2,
     "Convert a SoundFont 1 bank to a SoundFont 2 file for current synthesizers. Samples that lived in the "
     "card's ROM are left out; a bank with no samples of its own is refused."});
} // namespace
