// Wave file commands: list the conversion options of a wave file and write
// the one-preset SoundFont bank of one of them.

#include "cli/CliCommand.h"
#include "soundfont/WaveFile.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace
{
std::string OpenErrorText(const CWaveFile& wave)
{
    switch (wave.GetOpenError())
    {
    case WaveOpenError::CannotOpen:
        return "cannot be opened for reading";
    case WaveOpenError::NotWave:
        return "not a RIFF WAVE file";
    case WaveOpenError::NotDecoded:
        return wave.RefusalText();
    case WaveOpenError::NoFormat:
        return "no complete \"fmt \" chunk";
    case WaveOpenError::NotPcm:
        return wave.RefusalText() + " (only PCM and IEEE float waves can be converted)";
    case WaveOpenError::NoData:
        return "no \"data\" chunk after the \"fmt \" chunk";
    case WaveOpenError::None:
        break;
    }
    return "cannot be read as a wave file";
}

bool ParseOption(const std::string& text, int& option)
{
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    option = std::stoi(text);
    return option < CWaveFile::kOptionCount;
}

std::string OfferedList(const CWaveFile& wave)
{
    if (wave.GetOptionCount() == 0)
        return "it offers none";
    std::string list = "offered:";
    for (int k = 0; k < wave.GetOptionCount(); ++k)
        list += ' ' + std::to_string(wave.GetOption(k));
    return list;
}

// One line per offered option: index, label, samples, bytes, separated by tabs.
int RunWavOptions(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() != 1)
        return CliBadInput(context, "wav-options", "expects one argument: FILE.wav");
    CWaveFile wave;
    if (!wave.Open(args[0]))
        return CliBadInput(context, args[0], OpenErrorText(wave));
    for (int k = 0; k < wave.GetOptionCount(); ++k)
    {
        context.out << wave.GetOption(k) << '\t' << wave.GetOptionLabel(k) << '\t'
                    << wave.GetOptionChannels(k) << '\t' << wave.GetOptionSize(k) << '\n';
    }
    return kExitOk;
}

int RunWav2Sbk(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() != 3)
        return CliBadInput(context, "wav2sbk", "expects three arguments: FILE.wav OPTION OUT.sbk");
    int option = 0;
    if (!ParseOption(args[1], option))
        return CliBadInput(context, args[1], "not an option number from 0 to 11");
    CWaveFile wave;
    if (!wave.Open(args[0]))
        return CliBadInput(context, args[0], OpenErrorText(wave));
    if (!wave.IsOptionOffered(option))
        return CliBadInput(context, args[0],
                           "option " + args[1] + " is not offered (" + OfferedList(wave) + ")");
    errno = 0;
    if (!wave.WriteSoundFont(args[2], option))
    {
        const int error = errno;
        std::string why = "cannot write the SoundFont file";
        if (error != 0)
            why += std::string(": ") + std::strerror(error);
        return CliBadInput(context, args[2], why);
    }
    return kExitOk;
}

const bool registered =
    RegisterCliCommand(
        {"wav-options", "FILE.wav",
         "list the conversion options of a wave file: option, label, "
         "samples, bytes (tab-separated)",
         RunWavOptions,
         "List the ways a sample file can become a one-preset SoundFont: option number, label, "
         "samples and bytes. Wave files of 8 to 32 bits, 32- and 64-bit float waves and the other sample "
         "files (.aif, .aiff, .aifc, .flac, .ogg) are read; a rate that is not a whole multiple of an "
         "option's rate is resampled, so the sample keeps its pitch."}) &&
    RegisterCliCommand(
        {"wav2sbk", "FILE.wav OPTION OUT.sbk", "write the one-preset SoundFont bank of an offered option",
         RunWav2Sbk, "Write the one-preset SoundFont bank of an option that wav-options offers (0 to 11)."});
} // namespace
