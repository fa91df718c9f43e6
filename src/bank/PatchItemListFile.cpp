// The patch list a source file offers: SoundFont presets, wave conversion
// options, or the patches of a virtual bank document.

#include "bank/PatchItemList.h"

#include "bank/DocumentFile.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>

namespace
{
std::int32_t ClampToInt32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

void AddSoundFontPresets(CPatchItemList& list, const std::string& path)
{
    CSoundFontReader reader;
    if (!reader.Open(path))
        return;
    const int count = reader.GetPresetCount();
    for (int i = 0; i < count; ++i)
    {
        const PresetHeader header = reader.GetPresetHeader(i);
        CPatchItem* item = list.AddNew();
        item->SetSourceFile(path);
        item->SetSourcePatch(static_cast<std::int32_t>(reader.GetSourcePreset(i)));
        item->SetName(CSoundFontReader::GetDisplayName(header));
        item->SetSampleCount(reader.GetSampleCount(i, -1));
        item->SetSampleBytes(ClampToInt32(reader.GetPresetSampleBytes(i)));
    }
}

} // namespace

std::string SourcePatchText(const CPatchItem& item)
{
    const auto source = static_cast<std::uint32_t>(item.GetSourcePatch());
    if (GetFileType(item.GetSourceFile()) != FileTypeSoundFont || SourcePresetBank(source) == 0)
        return std::to_string(item.GetSourcePatch());
    return std::to_string(SourcePresetBank(source)) + ':' + std::to_string(SourcePresetProgram(source));
}

namespace
{
void AddWaveOptions(CPatchItemList& list, const std::string& path)
{
    CWaveFile wave;
    if (!wave.Open(path))
        return;
    const int count = wave.GetOptionCount();
    for (int k = 0; k < count; ++k)
    {
        CPatchItem* item = list.AddNew();
        item->SetSourceFile(path);
        item->SetSourcePatch(wave.GetOption(k));
        item->SetName(wave.GetOptionLabel(k));
        item->SetSampleCount(wave.GetOptionChannels(k));
        item->SetSampleBytes(static_cast<std::int32_t>(
            std::min<std::uint64_t>(wave.GetOptionSize(k), std::numeric_limits<std::int32_t>::max())));
    }
}

// Keeps the patches whose SoundFont still holds their preset, with that
// preset's sample figures. Each source file is read once, however many
// patches name it.
void KeepResolvedPatches(CPatchItemList& list, CPathResolver& paths)
{
    std::map<std::string, std::unique_ptr<CSoundFontReader>> readers;
    for (int k = 0; k < list.GetSize();)
    {
        CPatchItem* item = list.GetItem(k);
        if (const auto& found = paths.Resolve(item->GetSourceFile()); found.found)
            item->SetSourceFile(found.path);
        auto [at, isNew] = readers.try_emplace(item->GetSourceFile());
        if (isNew)
        {
            auto reader = std::make_unique<CSoundFontReader>();
            if (reader->Open(item->GetSourceFile()))
            {
                // Only the preset data read at Open is needed, but for the
                // streams a version 3 bank decodes when its sizes are asked.
                if (reader->GetMajorVersion() < 3)
                    reader->Close();
                at->second = std::move(reader);
            }
        }
        const CSoundFontReader* reader = at->second.get();
        const int found =
            reader ? reader->FindSourcePreset(static_cast<std::uint32_t>(item->GetSourcePatch())) : -1;
        if (found < 0)
        {
            delete list.RemoveAt(k);
            continue;
        }
        item->SetSampleCount(reader->GetSampleCount(found, -1));
        item->SetSampleBytes(ClampToInt32(reader->GetPresetSampleBytes(found)));
        ++k;
    }
}
} // namespace

int CPatchItemList::ReadFromFile(const std::string& path, const PathResolverSettings& settings)
{
    switch (GetFileType(path))
    {
    case FileTypeSoundFont:
        AddSoundFontPresets(*this, path);
        break;
    case FileTypeWave:
        AddWaveOptions(*this, path);
        break;
    case FileTypeDocument:
    {
        CDocumentFile::ReadPatchList(path, *this);
        CPathResolver paths(CPathResolver::FolderOf(path), settings);
        KeepResolvedPatches(*this, paths);
        break;
    }
    case FileTypeMidi:
    case FileTypeNone:
        break;
    }
    return GetSize();
}
