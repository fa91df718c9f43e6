// tamberly-cli info FILE.sbk|.sf2|.sf3: the INFO texts and the presets of a SoundFont
// bank, in a stable tab-separated text that scripts and tests can compare.

#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "cli/CliText.h"
#include "soundfont/SoundFontReader.h"

#include <string>

namespace
{
// Texts from the file are 8-bit bytes of unknown code page: printable ASCII
// passes, everything else is escaped so that one field stays on one line.
std::string Escape(std::string_view text)
{
    return EscapeField(text, false);
}

std::string WhyNotOpened(const CSoundFontReader& reader, const std::string& path)
{
    if (reader.GetOpenProblem() == CSoundFontReader::OpenProblem::CannotOpen)
        return WhyCannotOpen(path, 0);
    return reader.GetOpenProblemText();
}

int RunInfo(const std::vector<std::string>& args, CliContext& context)
{
    if (args.size() != 1)
        return CliBadInput(context, "info", "expects one file (info FILE.sbk|FILE.sf2|FILE.sf3)");
    const std::string& path = args[0];

    CSoundFontReader reader;
    if (!reader.Open(path))
        return CliBadInput(context, path, WhyNotOpened(reader, path));
    // A version 3 bank's sizes decode its streams from the open file.
    if (reader.GetMajorVersion() < 3)
        reader.Close();

    std::ostream& out = context.out;
    out << "Name:\t" << Escape(reader.name) << '\n'
        << "Engineer:\t" << Escape(reader.engineer) << '\n'
        << "Created:\t" << Escape(reader.creationDate) << '\n'
        << "Copyright:\t" << Escape(reader.copyright) << '\n'
        << "Comment:\t" << Escape(reader.comment) << '\n'
        << "Product:\t" << Escape(reader.product) << '\n'
        << "Version:\t" << reader.GetVersionText() << '\n';
    if (reader.GetMajorVersion() >= 2)
        out << "Engine:\t" << Escape(reader.soundEngine) << '\n'
            << "ROM:\t" << Escape(reader.romName) << (reader.romVersion.empty() ? "" : " ")
            << reader.romVersion << '\n'
            << "Software:\t" << Escape(reader.software) << '\n';
    out << "Index\tPreset\tBank\tName\tSamples\tBytes\n";
    const int count = reader.GetPresetCount();
    for (int i = 0; i < count; ++i)
    {
        const PresetHeader header = reader.GetPresetHeader(i);
        out << i << '\t' << header.presetNumber << '\t' << header.bank << '\t'
            << Escape(CSoundFontReader::GetDisplayName(header)) << '\t' << reader.GetSampleCount(i, -1)
            << '\t' << reader.GetPresetSampleBytes(i) << '\n';
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

const bool registered =
    RegisterCliCommand({"info", "FILE.sbk",
                        "print the INFO texts and the presets (number, bank, name, "
                        "samples, bytes) of a SoundFont bank",
                        RunInfo,
                        "Print the INFO texts of a SoundFont bank of version 1, 2 or 3 (name, "
                        "engineer, creation date, copyright, comment, product), its version, for "
                        "versions 2 and 3 the sound engine, ROM and software, and a table of its "
                        "presets: index, preset number, bank, name, samples and sample bytes (as the "
                        "card holds them: 16-bit points, decoded for version 3)."});
} // namespace
