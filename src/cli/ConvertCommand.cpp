// tamberly-cli sbk2sf2 IN.sbk OUT.sf2: a SoundFont 1 bank rewritten as
// SoundFont 2, so that an old bank plays on any current synthesizer.

#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "platform/AtomicFile.h"
#include "soundfont/SoundFont2Converter.h"

#include <cerrno>
#include <cstring>
#include <memory>
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
    // The converted file is streamed from the bank to disk: a bank of any
    // size converts without being held in memory.
    std::string why;
    const std::unique_ptr<IByteSource> converted = CSoundFont2Converter().ConvertedBank(in, &why);
    if (!converted)
        return CliBadInput(context, inPath, why);

    // A file never committed is removed, and the target stays as it was.
    CAtomicFile file(outPath);
    errno = 0;
    CopyResult copied = CopyResult::WriteFailed;
    if (!file.Open() || (copied = CopyRest(*converted, file.Sink())) != CopyResult::Done || !file.Commit())
    {
        const int error = errno;
        const bool read = copied == CopyResult::ReadFailed;
        context.err << "tamberly-cli: " << (read ? inPath : outPath)
                    << (read ? ": cannot be read to the end" : ": cannot write")
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
