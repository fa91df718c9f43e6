// "tamberly-cli tmb ...": virtual bank documents from the shell. show dumps a
// .tmb (or .shb) file; check says where the files a document names are on
// this machine; load sets the card up from one exactly as opening it in the
// program does (and leaves the card so); relink writes the found paths into
// a document; import-shb makes a new document from a Soundshelf Manager bank
// file; presets lists what a source file offers; export writes the virtual
// bank as one SoundFont 2 (or 3) file.
// Dumps are tab-separated, one record a line, stable for scripts and tests.

#include "bank/ArchiveException.h"
#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "bank/ShbFile.h"
#include "bank/SoundFontExport.h"
#include "bank/TamberlyDoc.h"
#include "cli/CliCommand.h"
#include "cli/CliText.h"
#include "platform/AtomicFile.h"
#include "platform/FileException.h"
#include "platform/GeneralMidiFont.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"
#include "synth/AweSession.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace
{
// The subcommands in the manual page's order, with its texts.
const std::vector<CliSubcommand>& Subcommands()
{
    static const std::vector<CliSubcommand> subcommands = {
        {"show", "FILE.tmb|FILE.shb",
         "Print a virtual bank document: current bank, synth mode, effects, the bank files of the user "
         "banks, "
         "every patch (name, source file, preset, bank:slot) and the information text. A Soundshelf Manager "
         "bank file prints its effects, bank files and instruments the same way."},
        {"check", "FILE.tmb|FILE.shb [--search DIR]... [--map X:=DIR]...",
         "Print one line for each file path the document names: found as stored, resolved to a file of this "
         "machine (and how), or missing (and where it was looked for). Exit status 1 when some are missing."},
        {"load", "FILE.tmb [--search DIR]... [--map X:=DIR]...",
         "Set the card up from a document exactly as opening it in the program does, print each patch with "
         "the "
         "memory it took, and leave the card so. The file is checked before the card is touched. Files not "
         "found are reported apart from what the card refused."},
        {"relink", "FILE.tmb [--search DIR]... [--map X:=DIR]... [-o OUT.tmb]",
         "Write the document with every path that was found replaced by the file it resolved to, in place "
         "or "
         "to OUT.tmb, and print each change. Exit status 1 when some files are missing."},
        {"import-shb", "FILE.shb OUT.tmb",
         "Make a virtual bank document from a Soundshelf Manager bank file and save it. Paths inside .shb "
         "files "
         "must be Windows-style (C:\\BANKS\\A.SBK) or relative."},
        {"export",
         "FILE.tmb OUT.sf2 [--with-synth-bank] [--sf3 [--quality Q]] [--search DIR]... [--map X:=DIR]...",
         "Write the virtual bank as one SoundFont 2 file: the presets of every user bank's bank file and "
         "every patch on their own bank and program, wave patches converted as the card converts them, "
         "samples used by several presets stored once. --with-synth-bank puts the General MIDI set's "
         "presets on bank 0 and its drum kits on bank 128 underneath, so that the file is a whole General "
         "MIDI bank. --sf3 writes SoundFont 3 instead, every sample compressed as Ogg Vorbis at quality Q "
         "(-0.1 smallest to 1.0 best, 0.5 unless given). Files not found are listed (and the rest "
         "exported); exit status 1 then. A bank too large for SoundFont 2 is refused with the limit it "
         "passes. The file is written whole or not at all."},
        {"presets", "FILE",
         "List what a .sbk, .sf2, .sf3, .wav (or other sample file) or .tmb file offers as patches (name, "
         "number, samples, size), as the "
         "program's "
         "preset list shows it."},
    };
    return subcommands;
}

// Stored bytes as display text, with what would break a line escaped.
std::string Escape(const std::string& bytes)
{
    return EscapeField(StoredTextToDisplay(bytes), true);
}

std::string Number3(int n)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
}

std::string Place(const CPatchItem& item)
{
    if (item.GetTargetBank() < 0 || item.GetTargetPatch() < 0)
        return LoadString(IDS_NONE);
    return Number3(item.GetTargetBank()) + ':' + Number3(item.GetTargetPatch());
}

std::string ModeName(int mode)
{
    static const StringId names[] = {IDS_MODE_GM_VALUE, IDS_MODE_GS_VALUE, IDS_MODE_MT_VALUE};
    return mode >= 0 && mode <= 2 ? std::to_string(mode) + ' ' + LoadString(names[mode])
                                  : std::to_string(mode);
}

// Why a document file cannot be used, as one line.
std::string DocumentProblem(const std::string& path, const CException& error)
{
    if (const auto* file = dynamic_cast<const CFileException*>(&error))
    {
        switch (file->GetCause())
        {
        case CFileException::Cause::FileNotFound:
            return "cannot open (no such file)";
        case CFileException::Cause::AccessDenied:
            return std::filesystem::is_directory(path) ? "cannot open (is a directory)"
                                                       : "cannot open (access denied)";
        default:
            return "cannot read";
        }
    }
    return "not a virtual bank document (" + LoadString(IDS_UNEXPECTED_FORMAT) + ")";
}

struct StoredDocument
{
    CDocumentFile::Header header;
    CPatchItemList patches;
    std::string infoText;
    bool empty = false;
};

// Reads a whole .tmb file, or reports why not and returns nothing.
std::unique_ptr<StoredDocument> ReadDocument(const std::string& path, CliContext& context, int& status)
{
    auto document = std::make_unique<StoredDocument>();
    try
    {
        CFileSource source;
        OpenForReading(source, path);
        document->empty =
            !CDocumentFile::Load(source, document->header, document->patches, document->infoText);
    }
    catch (const CException& e)
    {
        status = CliBadInput(context, path, DocumentProblem(path, e));
        return nullptr;
    }
    return document;
}

// The options of the commands that look for a document's files.
struct FindOptions
{
    std::string file;
    PathResolverSettings settings;
    std::string output; // relink -o
};

// args[1..]: the file, then --search DIR, --map X:=DIR (and -o OUT when
// allowed), in any order. Nothing, with a message, for anything else.
std::optional<FindOptions> ParseFindOptions(const std::vector<std::string>& args, bool allowOutput,
                                            std::string& error)
{
    FindOptions options;
    for (std::size_t i = 1; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--search" || arg == "--map" || (allowOutput && arg == "-o");
        if (takesValue)
        {
            if (i + 1 >= args.size())
            {
                error = arg + " expects a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (arg == "--search")
                options.settings.searchFolders.push_back(value);
            else if (arg == "-o")
                options.output = value;
            else if (!options.settings.AddMapping(value, &error))
            {
                error = "--map " + value + ": " + error;
                return std::nullopt;
            }
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        else if (options.file.empty())
        {
            options.file = arg;
        }
        else
        {
            error = "expects one file";
            return std::nullopt;
        }
    }
    if (options.file.empty())
    {
        error = "expects one file";
        return std::nullopt;
    }
    return options;
}

bool IsShbFile(const std::string& path)
{
    std::string extension = GetPathPart(path, PathExtension);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension == ".SHB";
}

// A Soundshelf Manager bank file, or why not.
std::optional<CShbFile> ReadShb(const std::string& path, CliContext& context, int& status)
{
    CShbFile file;
    if (!file.Load(path))
    {
        status = CliBadInput(context, path,
                             std::filesystem::exists(path) ? "cannot read" : "cannot open (no such file)");
        return std::nullopt;
    }
    if (!file.HasEntries())
    {
        status = CliBadInput(context, path,
                             "not a Soundshelf Manager bank file (no [Awe], [UserBanks] or "
                             "[Instrument-List] entries)");
        return std::nullopt;
    }
    return file;
}

int ShowShb(const std::string& path, CliContext& context)
{
    int status = kExitOk;
    const auto file = ReadShb(path, context, status);
    if (!file)
        return status;
    std::ostream& out = context.out;
    out << "Reverb:\t" << file->reverb << '\n'
        << "Chorus:\t" << file->chorus << '\n'
        << "Bank files:\t" << file->userBanks.size() << '\n';
    for (const ShbUserBank& entry : file->userBanks)
        out << Number3(entry.bank) << '\t' << Escape(entry.path) << '\n';
    out << "Patches:\t" << file->instruments.size() << '\n'
        << "Index\tName\tSource file\tPreset\tBank:Slot\n";
    int index = 0;
    for (const ShbInstrument& entry : file->instruments)
    {
        CPatchItem item(true);
        item.SetTargetBank(entry.targetBank);
        item.SetTargetPatch(entry.targetPatch);
        out << index++ << '\t' << Escape(entry.name) << '\t' << Escape(entry.sourceFile) << '\t'
            << entry.sourcePatch << '\t' << Place(item) << '\n';
    }
    out << "Skipped entries:\t" << file->skipped << '\n';
    out.flush();
    return out ? kExitOk : kExitFailure;
}

// The file paths a document or bank file names, each once, bank files first.
std::optional<std::vector<std::string>> NamedPaths(const std::string& path, CliContext& context, int& status);

// A line on the error stream for what is wrong with a stored path itself.
void ReportProblem(CliContext& context, const std::string& file, const std::string& stored,
                   const CPathResolver::Result& result)
{
    if (!result.problem.empty())
        context.err << "tamberly-cli: " << file << ": " << Escape(stored) << ": " << result.problem << '\n';
}

std::string TriedText(const CPathResolver::Result& result)
{
    std::string text;
    for (const CPathResolver::Attempt& attempt : result.tried)
    {
        if (!text.empty())
            text += "; ";
        text += CPathResolver::DescribeAttempt(attempt);
    }
    if (text.empty())
        text = result.problem;
    return text;
}

int Check(const FindOptions& options, CliContext& context)
{
    int status = kExitOk;
    const auto paths = NamedPaths(options.file, context, status);
    if (!paths)
        return status;
    CPathResolver resolver(CPathResolver::FolderOf(options.file), options.settings);
    int missing = 0;
    std::ostream& out = context.out;
    for (const std::string& stored : *paths)
    {
        const CPathResolver::Result& result = resolver.Resolve(stored);
        ReportProblem(context, options.file, stored, result);
        if (!result.found)
        {
            ++missing;
            out << "missing\t" << Escape(stored) << '\t' << Escape(TriedText(result)) << '\n';
        }
        else if (result.step == CPathResolver::StepAsStored)
        {
            out << "found\t" << Escape(stored) << '\n';
        }
        else
        {
            out << "resolved\t" << Escape(stored) << '\t' << Escape(result.path) << '\t'
                << CPathResolver::DescribeStep(result.step) << '\n';
        }
    }
    out.flush();
    if (!out)
        return kExitFailure;
    return missing > 0 ? kExitFailure : kExitOk;
}

int Relink(const FindOptions& options, CliContext& context)
{
    int status = kExitOk;
    const auto document = ReadDocument(options.file, context, status);
    if (!document)
        return status;
    CPatchItemListGuard guard(document->patches);
    CPathResolver resolver(CPathResolver::FolderOf(options.file), options.settings);
    int missing = 0;
    int changed = 0;
    const auto relink = [&](std::string& stored)
    {
        const CPathResolver::Result& result = resolver.Resolve(stored);
        ReportProblem(context, options.file, stored, result);
        if (!result.found)
        {
            ++missing;
            context.err << "tamberly-cli: " << options.file << ": not found: " << Escape(stored) << '\n';
            return false;
        }
        if (result.path == stored)
            return false;
        context.out << Escape(stored) << "\t" << Escape(result.path) << '\t'
                    << CPathResolver::DescribeStep(result.step) << '\n';
        ++changed;
        stored = result.path;
        return true;
    };
    // Each path is told once, however many patches name it.
    std::map<std::string, std::string> done;
    const auto relinkOnce = [&](const std::string& stored)
    {
        auto [at, isNew] = done.try_emplace(stored, stored);
        if (isNew)
            relink(at->second);
        return at->second;
    };
    for (CDocumentFile::BankFile& entry : document->header.bankFiles)
        entry.path = relinkOnce(entry.path);
    for (CPatchItem* item : document->patches)
        if (!item->GetSourceFile().empty())
            item->SetSourceFile(relinkOnce(item->GetSourceFile()));

    const std::string target = options.output.empty() ? options.file : options.output;
    if (changed > 0 || !options.output.empty())
    {
        CAtomicFile file(target);
        bool written = file.Open();
        try
        {
            if (written)
                CDocumentFile::Store(file.Sink(), document->header, document->patches, document->infoText);
        }
        catch (const CException&)
        {
            written = false;
        }
        if (!written || !file.Commit())
            return CliBadInput(context, target, "cannot write");
    }
    context.out << "Relinked:\t" << changed << '\n' << "Missing:\t" << missing << '\n';
    context.out.flush();
    if (!context.out)
        return kExitFailure;
    return missing > 0 ? kExitFailure : kExitOk;
}

int Show(const std::string& path, CliContext& context)
{
    if (IsShbFile(path))
        return ShowShb(path, context);
    int status = kExitOk;
    const auto document = ReadDocument(path, context, status);
    if (!document)
        return status;
    CPatchItemListGuard guard(document->patches);
    const CDocumentFile::Header& header = document->header;
    std::ostream& out = context.out;
    out << "Current bank:\t" << header.currentBank << '\n'
        << "Synth mode:\t" << ModeName(header.synthBank) << '\n'
        << "Reverb:\t" << header.reverb << '\n'
        << "Chorus:\t" << header.chorus << '\n'
        << "Bank files:\t" << header.bankFiles.size() << '\n';
    for (const CDocumentFile::BankFile& entry : header.bankFiles)
        out << Number3(entry.bank) << '\t' << Escape(entry.path) << '\n';
    out << "Patches:\t" << document->patches.GetSize() << '\n'
        << "Index\tName\tSource file\tPreset\tBank:Slot\n";
    int index = 0;
    for (const CPatchItem* item : document->patches)
        out << index++ << '\t' << Escape(item->GetName()) << '\t' << Escape(item->GetSourceFile()) << '\t'
            << item->GetSourcePatch() << '\t' << Place(*item) << '\n';
    out << "Info:\t" << Escape(document->infoText) << '\n';
    out.flush();
    return out ? kExitOk : kExitFailure;
}

std::optional<std::vector<std::string>> NamedPaths(const std::string& path, CliContext& context, int& status)
{
    std::vector<std::string> paths;
    const auto add = [&](const std::string& stored)
    {
        if (!stored.empty() && std::find(paths.begin(), paths.end(), stored) == paths.end())
            paths.push_back(stored);
    };
    if (IsShbFile(path))
    {
        const auto file = ReadShb(path, context, status);
        if (!file)
            return std::nullopt;
        for (const ShbUserBank& entry : file->userBanks)
            add(entry.path);
        for (const ShbInstrument& entry : file->instruments)
            add(entry.sourceFile);
        return paths;
    }
    const auto document = ReadDocument(path, context, status);
    if (!document)
        return std::nullopt;
    CPatchItemListGuard guard(document->patches);
    for (const CDocumentFile::BankFile& entry : document->header.bankFiles)
        add(entry.path);
    for (const CPatchItem* item : document->patches)
        add(item->GetSourceFile());
    return paths;
}

std::unique_ptr<CTamberlyDoc> MakeDocument(CliContext& context, int& status)
{
    auto document = std::make_unique<CTamberlyDoc>();
    if (!document->GetCard().IsAvailable())
    {
        status = CliBadInput(context, "tmb", LoadString(IDS_AWE_NOT_AVAILABLE));
        return nullptr;
    }
    return document;
}

std::string Counted(int count, const char* one, const char* many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

int Load(const FindOptions& options, CliContext& context)
{
    const std::string& path = options.file;
    // The file is checked before the card is touched: a bad one leaves the card as it was.
    int status = kExitOk;
    const auto stored = ReadDocument(path, context, status);
    if (!stored)
        return status;
    stored->patches.DeleteAll();
    const auto document = MakeDocument(context, status);
    if (!document)
        return status;
    document->SetResolverSettings(options.settings);
    if (!document->OnOpenDocument(path))
        return CliBadInput(context, path, document->GetErrorMessage());

    std::ostream& out = context.out;
    out << "Bank files:\t" << stored->header.bankFiles.size() << '\n'
        << "Patches:\t" << document->GetPatches().GetSize() << '\n'
        << "Bank:Slot\tName\tLoaded\n";
    for (const CPatchItem* item : document->GetPatches())
    {
        out << Place(*item) << '\t' << Escape(item->GetName()) << '\t';
        if (item->IsLoaded())
            out << item->GetLoadedKB() << " KB\n";
        else
            out << (item->IsFileMissing() ? "file not found\n" : "no\n");
    }
    out.flush();
    for (const CTamberlyDoc::MissingFile& file : document->GetMissingFiles())
        context.err << "tamberly-cli: " << path << ": not found: " << Escape(file.stored) << '\n';
    // Files not found apart from what the card refused: the first is the
    // user's to mend (--search, --map), the second the card's memory.
    // Patches without a place or a source never load; that is no refusal.
    const CTamberlyDoc::LoadReport report = document->GetLoadReport();
    std::vector<std::string> parts;
    if (report.patchesMissing > 0)
        parts.push_back(Counted(report.patchesMissing, "patch", "patches") + ": file not found");
    if (report.patchesRefused > 0)
        parts.push_back("the card refused " + Counted(report.patchesRefused, "patch", "patches") +
                        " (not enough sound memory or an unreadable preset)");
    if (report.bankFilesMissing > 0)
        parts.push_back(Counted(report.bankFilesMissing, "bank file", "bank files") + ": file not found");
    if (report.bankFilesRefused > 0)
        parts.push_back("the card refused " + Counted(report.bankFilesRefused, "bank file", "bank files"));
    if (!parts.empty())
    {
        context.err << "tamberly-cli: " << path << ": ";
        for (std::size_t i = 0; i < parts.size(); ++i)
            context.err << (i > 0 ? "; " : "") << parts[i];
        context.err << '\n';
        return kExitFailure;
    }
    return out ? kExitOk : kExitFailure;
}

int ImportShb(const std::string& shbPath, const std::string& outPath, CliContext& context)
{
    CShbFile file;
    if (!file.Load(shbPath))
        return CliBadInput(context, shbPath,
                           std::filesystem::exists(shbPath) ? "cannot read" : "cannot open (no such file)");
    if (!file.HasEntries())
        return CliBadInput(context, shbPath,
                           "not a Soundshelf Manager bank file (no [Awe], [UserBanks] or "
                           "[Instrument-List] entries)");
    int status = kExitOk;
    const auto document = MakeDocument(context, status);
    if (!document)
        return status;
    if (!document->OnNewDocument())
        return CliBadInput(context, "tmb", document->GetErrorMessage());
    const CTamberlyDoc::ShbImport result = document->ImportShbFile(shbPath);
    if (!document->OnSaveDocument(outPath))
        return CliBadInput(context, outPath, document->GetErrorMessage());
    context.out << "Instruments:\t" << result.instruments << " (" << result.instrumentsLoaded << " loaded)\n"
                << "Bank files:\t" << result.bankFiles << " (" << result.bankFilesLoaded << " loaded)\n"
                << "Skipped entries:\t" << result.skipped << '\n'
                << "Saved:\t" << outPath << '\n';
    context.out.flush();
    return context.out ? kExitOk : kExitFailure;
}

// Why a source file offered nothing, when it is not simply empty.
std::string SourceProblem(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return "cannot open (no such file)";
    if (std::filesystem::is_directory(path, error))
        return "cannot open (is a directory)";
    if (GetFileType(path) == FileTypeSoundFont)
    {
        CSoundFontReader reader;
        return reader.Open(path) ? std::string() : "not a readable SoundFont bank";
    }
    if (GetFileType(path) == FileTypeWave)
    {
        CWaveFile wave;
        if (wave.Open(path))
            return {};
        return wave.RefusalText().empty() ? std::string("not a readable sample file") : wave.RefusalText();
    }
    return {};
}

int Presets(const std::string& path, CliContext& context)
{
    if (GetFileType(path) == FileTypeNone)
        return CliBadInput(context, path,
                           "not a source file (.sbk, .sf2, .sf3, .wav or other sample file, .tmb)");
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    try
    {
        list.ReadFromFile(path);
    }
    catch (const CException& e)
    {
        return CliBadInput(context, path, DocumentProblem(path, e));
    }
    if (list.IsEmpty())
        if (const std::string problem = SourceProblem(path); !problem.empty())
            return CliBadInput(context, path, problem);

    // As the preset pane first shows them: by number, file order among equals.
    std::vector<const CPatchItem*> rows(list.begin(), list.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const CPatchItem* a, const CPatchItem* b)
                     { return a->GetSourcePatch() < b->GetSourcePatch(); });
    std::ostream& out = context.out;
    out << "Name\tNumber\tSamples\tSize\n";
    for (const CPatchItem* item : rows)
        out << Escape(item->GetName()) << '\t' << SourcePatchText(*item) << '\t' << item->GetSampleCount()
            << '\t' << item->GetSampleBytes() << '\n';
    out.flush();
    return out ? kExitOk : kExitFailure;
}

int Export(const FindOptions& options, const SoundFontExportOptions& exportOptions, const std::string& output,
           CliContext& context)
{
    int status = kExitOk;
    const auto document = ReadDocument(options.file, context, status);
    if (!document)
        return status;
    CPatchItemListGuard guard(document->patches);
    CSoundFontExport exporter(CPathResolver::FolderOf(options.file), options.settings, exportOptions);
    // A progress line only where a person watches.
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    int shown = -1;
    const auto progress = [&](double share)
    {
        const int percent = static_cast<int>(share * 100);
        if (terminal && percent != shown)
        {
            shown = percent;
            context.err << "\rExporting... " << percent << '%' << std::flush;
        }
        return true;
    };
    const SoundFontExportResult result =
        exporter.Export(document->header, document->patches, GetPathPart(options.file, PathFileName),
                        document->infoText, output, progress);
    if (terminal)
        context.err << "\r\033[K" << std::flush;
    std::ostream& out = context.out;
    for (const std::string& stored : result.missing)
        out << "missing\t" << Escape(stored) << '\n';
    for (const std::string& line : result.skipped)
        out << "skipped\t" << Escape(line) << '\n';
    if (!result.written)
    {
        out.flush();
        return CliBadInput(context, output, result.error);
    }
    out << "Presets:\t" << result.presets << '\n' << "Missing:\t" << result.missing.size() << '\n';
    out.flush();
    if (!out)
        return kExitFailure;
    return result.missing.empty() && result.skipped.empty() ? kExitOk : kExitFailure;
}

int RunTmb(const std::vector<std::string>& args, CliContext& context)
{
    const auto bad = [&](const std::string& why)
    {
        return CliBadInput(context, args.empty() ? "tmb" : "tmb " + args[0],
                           why + " (usage: tmb " + CliGroupUsage(Subcommands()) + ")");
    };
    if (args.empty())
        return bad("missing subcommand");
    const std::string& command = args[0];
    const std::size_t count = args.size() - 1;
    if (command == "check" || command == "load" || command == "relink")
    {
        std::string error;
        const auto options = ParseFindOptions(args, command == "relink", error);
        if (!options)
            return bad(error);
        if (command == "check")
            return Check(*options, context);
        if (command == "load")
            return Load(*options, context);
        return Relink(*options, context);
    }
    if (command == "export")
    {
        if (count < 2 || args[2].starts_with("-"))
            return bad("expects a .tmb file and the SoundFont file to write");
        // The export's own options first; the rest are those of finding files.
        std::vector<std::string> rest = {args[0], args[1]};
        SoundFontExportOptions exportOptions;
        bool qualityGiven = false;
        for (std::size_t i = 3; i < args.size(); ++i)
        {
            if (args[i] == "--with-synth-bank")
                exportOptions.synthBank = EffectiveGeneralMidiFont({});
            else if (args[i] == "--sf3")
                exportOptions.compressed = true;
            else if (args[i] == "--quality")
            {
                char* end = nullptr;
                const char* text = i + 1 < args.size() ? args[i + 1].c_str() : "";
                const double quality = std::strtod(text, &end);
                if (*text == '\0' || *end != '\0' || !(quality >= -0.1 && quality <= 1.0))
                    return bad("--quality expects a number from -0.1 to 1.0");
                exportOptions.quality = quality;
                qualityGiven = true;
                ++i;
            }
            else
                rest.push_back(args[i]);
        }
        if (qualityGiven && !exportOptions.compressed)
            return bad("--quality is for --sf3 only");
        std::string error;
        const auto options = ParseFindOptions(rest, false, error);
        if (!options)
            return bad(error);
        return Export(*options, exportOptions, args[2], context);
    }
    if (command == "show" || command == "presets")
    {
        if (count != 1)
            return bad("expects one file");
        if (command == "show")
            return Show(args[1], context);
        return Presets(args[1], context);
    }
    if (command == "import-shb")
    {
        if (count != 2)
            return bad("expects a .shb file and the .tmb file to write");
        return ImportShb(args[1], args[2], context);
    }
    return bad("unknown subcommand");
}

const bool registered = RegisterCliCommand(
    {"tmb", "",
     "virtual bank documents: dump one, find the files it names, set the card up from "
     "one, relink it, import a Soundshelf Manager bank file, list a source file's presets, export "
     "it as one SoundFont 2 file",
     RunTmb, "", Subcommands()});
} // namespace
