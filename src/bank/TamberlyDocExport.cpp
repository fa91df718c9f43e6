// The document written as one SoundFont 2 file.
#include "bank/FileHelpers.h"
#include "bank/TamberlyDoc.h"
#include "synth/CardLimits.h"

SoundFontExportResult CTamberlyDoc::ExportSoundFont(const std::string& path,
                                                    const CSoundFontExport::Progress& progress,
                                                    const SoundFontExportOptions& options)
{
    CDocumentFile::Header header;
    for (int bank = 1; bank <= CardLimits::kLastBank; ++bank)
        if (std::string file = StoredBankFile(bank); !file.empty())
            header.bankFiles.push_back({bank, std::move(file)});
    const std::string title =
        pathName.empty() ? std::string("Untitled") : GetPathPart(pathName, PathFileName);
    return CSoundFontExport(CPathResolver::FolderOf(pathName), resolverSettings, options)
        .Export(header, patches, title, infoText, path, progress);
}
