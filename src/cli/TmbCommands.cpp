// "tamberly-cli tmb ...": virtual bank documents from the shell. show dumps a
// .tmb file; load sets the card up from one exactly as opening it in the
// program does (and leaves the card so); import-shb makes a new document from
// a Soundshelf Manager bank file; presets lists what a source file offers.
// Dumps are tab-separated, one record a line, stable for scripts and tests.

#include "bank/ArchiveException.h"
#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "bank/ShbFile.h"
#include "bank/TamberlyDoc.h"
#include "cli/CliCommand.h"
#include "cli/CliText.h"
#include "platform/FileException.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"
#include "synth/AweSession.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace
{
// The subcommands in the manual page's order, with its texts.
const std::vector<CliSubcommand>& Subcommands()
{
    static const std::vector<CliSubcommand> subcommands = {
        {"show", "FILE.tmb",
         "Print a virtual bank document: current bank, synth mode, effects, the bank files of the user "
         "banks, "
         "every patch (name, source file, preset, bank:slot) and the information text."},
        {"load", "FILE.tmb",
         "Set the card up from a document exactly as opening it in the program does, print each patch with "
         "the "
         "memory it took, and leave the card so. The file is checked before the card is touched."},
        {"import-shb", "FILE.shb OUT.tmb",
         "Make a virtual bank document from a Soundshelf Manager bank file and save it. Paths inside .shb "
         "files "
         "must be Windows-style (C:\\BANKS\\A.SBK) or relative."},
        {"presets", "FILE",
         "List what a .sbk, .sf2, .sf3, .wav or .tmb file offers as patches (name, number, samples, size), "
         "as the "
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

int Show(const std::string& path, CliContext& context)
{
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

int Load(const std::string& path, CliContext& context)
{
    // The file is checked before the card is touched: a bad one leaves the card as it was.
    int status = kExitOk;
    const auto stored = ReadDocument(path, context, status);
    if (!stored)
        return status;
    stored->patches.DeleteAll();
    const auto document = MakeDocument(context, status);
    if (!document)
        return status;
    if (!document->OnOpenDocument(path))
        return CliBadInput(context, path, document->GetErrorMessage());

    int refused = 0;
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
            out << "no\n";
        // Patches without a place or a source never load; that is no refusal.
        if (!item->IsLoaded() && item->IsValid() && item->GetTargetBank() >= 0 && item->GetTargetPatch() >= 0)
            ++refused;
    }
    out.flush();
    if (refused > 0)
    {
        context.err << "tamberly-cli: " << path << ": the card refused " << refused << " patch(es)\n";
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
        return wave.Open(path) ? std::string() : "not a readable PCM wave file";
    }
    return {};
}

int Presets(const std::string& path, CliContext& context)
{
    if (GetFileType(path) == FileTypeNone)
        return CliBadInput(context, path, "not a source file (.sbk, .sf2, .sf3, .wav or .tmb)");
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
    if (command == "show" || command == "load" || command == "presets")
    {
        if (count != 1)
            return bad("expects one file");
        if (command == "show")
            return Show(args[1], context);
        if (command == "load")
            return Load(args[1], context);
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

const bool registered =
    RegisterCliCommand({"tmb", "",
                        "virtual bank documents: dump one, set the card up from one, "
                        "import a Soundshelf Manager bank file, list a source file's presets",
                        RunTmb, "", Subcommands()});
} // namespace
