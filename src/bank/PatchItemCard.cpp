// Loading a patch into the card and taking it out again.

#include "bank/PatchItem.h"

#include "soundfont/WaveFile.h"
#include "synth/AweSession.h"

#include <algorithm>
#include <cstdio>

namespace
{
// A temporary file that is removed however the scope ends.
class CTempFile
{
public:
    CTempFile() : path(MakeTempFileName()) {}
    ~CTempFile()
    {
        if (!path.empty())
            std::remove(path.c_str());
    }
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    const std::string& Path() const { return path; }

private:
    std::string path;
};
} // namespace

int CPatchItem::LoadIntoCard(CAweSession& card)
{
    loadedKB = -1;
    if (!IsValid())
        return -1;

    int usedKB = 0;
    bool loaded = false;
    switch (GetSourceFileType())
    {
    case FileTypeSoundFont:
        loaded = card.LoadPreset(targetBank, targetPatch, GetLoadPath(), sourcePatch, &usedKB);
        break;
    case FileTypeWave:
    {
        CWaveFile wave;
        // An option the file does not offer would write a bank of another
        // rate or channel mode than the one the patch names.
        if (!wave.Open(GetLoadPath()) || !wave.IsOptionOffered(sourcePatch))
            break;
        const CTempFile bank;
        if (bank.Path().empty() || !wave.WriteSoundFont(bank.Path(), sourcePatch))
            break;
        loaded = card.LoadPreset(targetBank, targetPatch, bank.Path(), 0, &usedKB);
        break;
    }
    default:
        break;
    }
    // The size is the difference of two free-memory readings; one that came
    // out negative must not read as the "not loaded" mark -1.
    if (loaded)
        loadedKB = std::max(usedKB, 0);
    return loadedKB != -1 ? 1 : 0;
}

bool CPatchItem::UnloadFromCard(CAweSession& card)
{
    if (card.RevertPreset(targetBank, targetPatch))
        loadedKB = -1;
    return !IsLoaded();
}
