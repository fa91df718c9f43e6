#include "bank/SoundFontExport.h"

#include "bank/FileHelpers.h"
#include "bank/PatchItemList.h"
#include "platform/AtomicFile.h"
#include "soundfont/CompressedSampleEncoder.h"
#include "soundfont/SoundFont2Assembler.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace
{
// A byte source over bytes it owns: converted images live as long as the assembler reads them.
class COwnedSource final : public IByteSource
{
public:
    explicit COwnedSource(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t size) override
    {
        const std::size_t n =
            position < bytes.size() ? std::min<std::size_t>(size, bytes.size() - position) : 0;
        if (n > 0)
            std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        return n;
    }
    bool Seek(std::uint64_t to) override
    {
        if (to > bytes.size())
            return false;
        position = static_cast<std::size_t>(to);
        return true;
    }
    std::uint64_t Tell() const override { return position; }
    std::uint64_t Size() const override { return bytes.size(); }

private:
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

std::string Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = "";
    if (localtime_r(&now, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

// One source file, opened once however many patches name it.
struct OpenedFile
{
    // For lookups and version-1 conversions. The converted sources the
    // assembler reads take their sample data from its file, so it lives as
    // long as the run, which ends only after the assembler wrote.
    std::unique_ptr<CSoundFontReader> reader;
    int assembled = -1;  // a version-2 file as a source of the assembler
    std::string problem; // why it cannot be exported

    // A version-1 file converted whole, once, for its bank slots and its
    // patches alike: converted as it is read, so only the samples placed are
    // read, each once.
    bool convertTried = false;
    int converted = -1;                              // its source, -1 when it did not convert whole
    const CSoundFontReader* convertedRead = nullptr; // that source, as the assembler reads it
    std::string convertError;
};

class CExportRun
{
public:
    CExportRun(CSoundFont2Assembler& assembler, SoundFontExportResult& result)
        : assembler(assembler), result(result)
    {
    }

    OpenedFile& Open(const std::string& path)
    {
        auto [at, added] = files.try_emplace(path);
        OpenedFile& file = at->second;
        if (!added)
            return file;
        file.reader = std::make_unique<CSoundFontReader>();
        if (!file.reader->Open(path))
        {
            file.problem = file.reader->GetOpenProblemText();
            return file;
        }
        const int version = file.reader->GetMajorVersion();
        if (version == 3)
            file.problem = "SoundFont 3 sources cannot be exported yet (compressed samples)";
        else if (version == 2)
        {
            auto own = std::make_unique<CSoundFontReader>();
            std::string error;
            file.assembled = own->Open(path) ? assembler.AddSource(std::move(own), &error) : -1;
            if (file.assembled < 0)
                file.problem = error.empty() ? "cannot be read" : error;
        }
        return file;
    }

    // A version-2 file made here (converted), as a source of its own.
    int AddImage(std::unique_ptr<IByteSource> image, std::string& error,
                 const CSoundFontReader** read = nullptr)
    {
        auto reader = std::make_unique<CSoundFontReader>();
        if (!reader->Open(std::move(image)))
        {
            error = reader->GetOpenProblemText();
            return -1;
        }
        if (read)
            *read = reader.get();
        return assembler.AddSource(std::move(reader), &error);
    }
    int AddImage(std::vector<std::uint8_t> image, std::string& error)
    {
        return AddImage(std::make_unique<COwnedSource>(std::move(image)), error);
    }

    void Skip(const std::string& path, const std::string& why)
    {
        const std::string line = path + ": " + why;
        if (std::find(result.skipped.begin(), result.skipped.end(), line) == result.skipped.end())
            result.skipped.push_back(line);
    }

    // A version-1 file's source of its own (see OpenedFile); -1 with its reason once it fails.
    int ConvertedSource(OpenedFile& file)
    {
        if (!file.convertTried)
        {
            file.convertTried = true;
            std::unique_ptr<IByteSource> converted =
                CSoundFont2Converter().ConvertedBank(*file.reader, &file.convertError);
            file.converted =
                converted ? AddImage(std::move(converted), file.convertError, &file.convertedRead) : -1;
        }
        return file.converted;
    }

    // The assembler's source of a whole file, its presets keeping their
    // record numbers; -1 once skipped.
    int WholeSource(const std::string& path, OpenedFile& file)
    {
        if (!file.problem.empty())
        {
            Skip(path, file.problem);
            return -1;
        }
        if (file.reader->GetMajorVersion() != 1)
            return file.assembled;
        const int source = ConvertedSource(file);
        if (source < 0)
            Skip(path, file.convertError);
        return source;
    }

    // A version-1 patch from its file's whole conversion, or, where the file
    // does not convert whole (too large for one file, a corrupt preset) or
    // the preset came out empty (its samples in the card's ROM), converted
    // alone: it then gets the converter's or the assembler's own reason.
    void AddVersion1Patch(const std::string& path, OpenedFile& file, const CPatchItem& item)
    {
        const int bank = item.GetTargetBank(), program = item.GetTargetPatch();
        int preset = file.reader->FindPreset(item.GetSourcePatch());
        if (preset < 0)
            return Skip(path, "no preset numbered " + std::to_string(item.GetSourcePatch()));
        std::string error;
        int source = ConvertedSource(file);
        if (source < 0 || file.convertedRead->GetPresetSampleBytes(preset) <= 0)
        {
            std::unique_ptr<IByteSource> alone = CSoundFont2Converter().ConvertedPresets(
                *file.reader, {{item.GetSourcePatch(), bank, program}}, &error);
            if (!alone || (source = AddImage(std::move(alone), error)) < 0)
                return Skip(path, error);
            preset = 0;
        }
        if (!assembler.AddPreset(source, preset, bank, program, &error))
            Skip(path, error);
    }

    void AddBankFile(const std::string& path, int bank)
    {
        OpenedFile& file = Open(path);
        const int source = WholeSource(path, file);
        if (source < 0)
            return;
        for (int program = 0; program < 128; ++program)
        {
            const int preset = file.reader->FindSlotPreset(program);
            std::string error;
            if (preset >= 0 && !assembler.AddPreset(source, preset, bank, program, &error))
                Skip(path, error);
        }
    }

    // The General MIDI set as the card plays it: melodic presets of bank 0
    // and drum kits of bank 128, each on its own number.
    void AddSynthBank(const std::string& path)
    {
        OpenedFile& file = Open(path);
        const int source = WholeSource(path, file);
        if (source < 0)
            return;
        for (int preset = 0; preset < file.reader->GetPresetCount(); ++preset)
        {
            const PresetHeader header = file.reader->GetPresetHeader(preset);
            std::string error;
            if ((header.bank == 0 || header.bank == 128) && header.presetNumber <= 127 &&
                !assembler.AddPreset(source, preset, header.bank, header.presetNumber, &error))
                Skip(path, error);
        }
    }

    void AddPatch(const std::string& path, const CPatchItem& item)
    {
        const int bank = item.GetTargetBank(), program = item.GetTargetPatch();
        std::string error;
        if (item.GetSourceFileType() == FileTypeWave)
        {
            // As the card loads it: a one-preset version-1 bank first, then converted.
            CWaveFile wave;
            CMemorySink sbk;
            std::vector<std::uint8_t> image;
            if (!wave.Open(path) || !wave.IsOptionOffered(item.GetSourcePatch()))
                return Skip(path,
                            "not a sample file offering option " + std::to_string(item.GetSourcePatch()));
            if (!wave.WriteSoundFont(sbk, item.GetSourcePatch()))
                return Skip(path, "cannot be converted");
            CMemorySource in(sbk.Bytes());
            int source = -1;
            if (!CSoundFont2Converter().ConvertPreset(in, 0, image, &error, bank, program) ||
                (source = AddImage(std::move(image), error)) < 0 ||
                !assembler.AddPreset(source, 0, bank, program, &error))
                Skip(path, error);
            return;
        }
        OpenedFile& file = Open(path);
        if (!file.problem.empty())
            return Skip(path, file.problem);
        if (file.reader->GetMajorVersion() == 1)
            return AddVersion1Patch(path, file, item);
        const int preset = file.reader->FindSourcePreset(static_cast<std::uint32_t>(item.GetSourcePatch()));
        if (preset < 0)
            return Skip(path, "no preset " + std::to_string(item.GetSourcePatch()));
        if (!assembler.AddPreset(file.assembled, preset, bank, program, &error))
            Skip(path, error);
    }

private:
    CSoundFont2Assembler& assembler;
    SoundFontExportResult& result;
    std::map<std::string, OpenedFile> files;
};
} // namespace

CSoundFontExport::CSoundFontExport(std::string documentFolder, PathResolverSettings settings,
                                   SoundFontExportOptions options)
    : documentFolder(std::move(documentFolder)), settings(std::move(settings)), options(std::move(options))
{
}

SoundFontExportResult CSoundFontExport::Export(const CDocumentFile::Header& header,
                                               const CPatchItemList& patches, const std::string& title,
                                               const std::string& infoText, const std::string& outputPath,
                                               const Progress& progress)
{
    SoundFontExportResult result;
    CSoundFont2Assembler assembler;
    if (options.compressed)
    {
        const ICompressedSampleEncoder* encoder = GetDefaultSampleEncoder();
        if (!encoder)
        {
            result.error = "this program has no Ogg Vorbis encoder for SoundFont 3";
            return result;
        }
        assembler.SetCompression(encoder, options.quality);
    }
    CExportRun run(assembler, result);
    CPathResolver resolver(documentFolder, settings);
    const auto find = [&](const std::string& stored) -> std::string
    {
        const CPathResolver::Result& found = resolver.Resolve(stored);
        if (!found.found &&
            std::find(result.missing.begin(), result.missing.end(), stored) == result.missing.end())
            result.missing.push_back(stored);
        return found.found ? found.path : std::string();
    };

    // Reading and converting the sources is most of the work, unless every
    // sample is compressed while written.
    const double reading = options.compressed ? 0.2 : 0.8;
    const double steps =
        static_cast<double>(header.bankFiles.size() + static_cast<std::size_t>(patches.GetSize()) + 2);
    double done = 0;
    const auto step = [&] { return !progress || progress(reading * ++done / steps); };
    const auto cancelled = [&]
    {
        result.error = "cancelled";
        return result;
    };
    // First, so that the user's presets on bank 0 take the set's places.
    if (!options.synthBank.empty())
    {
        if (std::error_code error; std::filesystem::is_regular_file(options.synthBank, error))
            run.AddSynthBank(options.synthBank);
        else
            result.missing.push_back(options.synthBank);
    }
    if (!step())
        return cancelled();
    for (const CDocumentFile::BankFile& entry : header.bankFiles)
    {
        if (const std::string path = find(entry.path); !path.empty() && entry.bank >= 1 && entry.bank <= 127)
            run.AddBankFile(path, entry.bank);
        if (!step())
            return cancelled();
    }
    for (const CPatchItem* item : patches)
    {
        const bool placed = item->IsValid() && item->GetTargetBank() >= 0 && item->GetTargetBank() <= 127 &&
                            item->GetTargetPatch() >= 0 && item->GetTargetPatch() <= 127;
        if (placed)
        {
            if (const std::string path = find(item->GetSourceFile()); !path.empty())
                run.AddPatch(path, *item);
        }
        if (!step())
            return cancelled();
    }
    result.presets = assembler.PresetCount();

    CSoundFont2Assembler::Info info;
    info.name = title;
    info.comment = infoText;
    info.software = "Tamberly 96";
    info.date = Today();
    CAtomicFile file(outputPath);
    if (!file.Open())
    {
        result.error = std::string("cannot write (") + std::strerror(errno) + ")";
        return result;
    }
    const auto writing = [&](double share) { return !progress || progress(reading + (1 - reading) * share); };
    if (!assembler.Write(file.Sink(), info, &result.error, writing))
    {
        file.Discard();
        return result;
    }
    if (!file.Commit())
    {
        result.error = "cannot write";
        return result;
    }
    result.written = true;
    return result;
}
