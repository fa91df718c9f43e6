// Import of a Soundshelf Manager bank file into the open document.

#include "bank/TamberlyDocEdit.h"

#include "bank/ShbFile.h"
#include "platform/StringTable.h"
#include "synth/AweSession.h"
#include "synth/CardLimits.h"

#include <memory>

CTamberlyDoc::ShbImport CTamberlyDoc::ImportShbFile(const std::string& path)
{
    const CEditScope edit(*this, PartAll, LoadString(IDS_EDIT_IMPORT));
    ShbImport result;
    CShbFile file;
    result.readable = file.Load(path);
    result.skipped = file.skipped;

    // Types the card does not have are not sent; it keeps its own then.
    if (CardLimits::IsEffect(file.reverb))
        card->SetReverb(file.reverb);
    if (CardLimits::IsEffect(file.chorus))
        card->SetChorus(file.chorus);

    // Paths in the file are its own: relative ones start at its folder.
    CPathResolver& paths = Resolver(path);
    for (const ShbUserBank& entry : file.userBanks)
    {
        ++result.bankFiles;
        if (LoadBankEntry(paths, entry.bank, entry.path, false))
            ++result.bankFilesLoaded;
    }

    for (const ShbInstrument& entry : file.instruments)
    {
        auto item = std::make_unique<CPatchItem>(true);
        item->SetTargetBank(entry.targetBank);
        item->SetTargetPatch(entry.targetPatch);
        item->SetSourceFile(entry.sourceFile);
        item->SetSourcePatch(entry.sourcePatch);
        item->SetName(entry.name);
        // An imported instrument takes the place of the document patch on
        // its slot; an unassigned one has no slot to take.
        int at = -1;
        if (entry.targetBank >= 0 && entry.targetPatch >= 0)
            patches.FindAt(entry.targetBank, entry.targetPatch, &at);
        CPatchItemList one;
        one.Add(item.get());
        ResolvePatchFiles(paths, one);
        one.RemoveAll();
        CPatchItem* added = item.release();
        if (at >= 0)
        {
            CPatchItem* old = patches.GetItem(at);
            old->UnloadFromCard(*card);
            Retire(patches.SetAt(at, added));
        }
        else
        {
            patches.Add(added);
        }
        ++result.instruments;
        if (added->LoadIntoCard(*card) == 1)
            ++result.instrumentsLoaded;
        if (added->IsLoaded())
            added->SetFileMissing(false);
    }

    UpdateViews(nullptr, HintBankContent);
    SetModifiedFlag();
    return result;
}
