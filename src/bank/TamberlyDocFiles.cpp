// Finding the files an opened or imported document names, and relinking the
// ones that were not found.

#include "bank/TamberlyDocEdit.h"

#include "synth/AweSession.h"
#include "synth/CardLimits.h"

#include <algorithm>

CPathResolver& CTamberlyDoc::Resolver(const std::string& namingFile)
{
    resolver = std::make_unique<CPathResolver>(CPathResolver::FolderOf(namingFile), resolverSettings);
    return *resolver;
}

void CTamberlyDoc::RememberMissing(const std::string& stored, const CPathResolver::Result& result)
{
    missingResults.try_emplace(stored, result);
}

void CTamberlyDoc::ResolvePatchFiles(CPathResolver& paths, const CPatchItemList& list)
{
    for (CPatchItem* item : list)
    {
        if (!item->IsValid())
            continue;
        const CPathResolver::Result& result = paths.Resolve(item->GetSourceFile());
        if (result.found)
        {
            if (result.path != item->GetSourceFile())
                item->SetLoadPath(result.path);
            continue;
        }
        item->SetFileMissing(true);
        RememberMissing(item->GetSourceFile(), result);
    }
}

void CTamberlyDoc::SettleMissingFiles(const CPatchItemList& list)
{
    // The card took the stored path as it stands: nothing is missing.
    for (CPatchItem* item : list)
        if (item->IsFileMissing() && item->IsLoaded())
            item->SetFileMissing(false);
}

bool CTamberlyDoc::LoadBankEntry(CPathResolver& paths, int bank, const std::string& stored, bool keepStored)
{
    ForgetBankLink(bank);
    BankFileLink link;
    link.bank = bank;
    link.stored = stored;
    const CPathResolver::Result& result = paths.Resolve(stored);
    // A path not found here is still offered as it stands: another card
    // manager may know where it lies.
    const bool loaded = card->LoadBank(bank, result.found ? result.path : stored);
    if (loaded)
    {
        link.loaded = true;
        link.onCard = card->GetBankFile(bank);
    }
    else if (!result.found)
    {
        link.missing = true;
        RememberMissing(stored, result);
    }
    // Out of the card's range the entry means nothing to keep.
    if (CardLimits::IsUserBank(bank) && (keepStored || link.missing))
        bankLinks.push_back(std::move(link));
    return loaded;
}

void CTamberlyDoc::ForgetBankLink(int bank)
{
    std::erase_if(bankLinks, [bank](const BankFileLink& link) { return link.bank == bank; });
}

std::string CTamberlyDoc::StoredBankFile(int bank)
{
    std::string onCard = card->GetBankFile(bank);
    const auto link = std::find_if(bankLinks.begin(), bankLinks.end(),
                                   [bank](const BankFileLink& l) { return l.bank == bank; });
    // The card holds what the entry resolved to, or nothing since a file
    // was not found or refused: the document's words are kept.
    if (link != bankLinks.end() && (onCard.empty() || onCard == link->onCard))
        return link->stored;
    return onCard;
}

std::vector<CTamberlyDoc::MissingFile> CTamberlyDoc::GetMissingFiles() const
{
    std::vector<MissingFile> missing;
    const auto entryFor = [&](const std::string& stored) -> MissingFile&
    {
        const auto at = std::find_if(missing.begin(), missing.end(),
                                     [&](const MissingFile& m) { return m.stored == stored; });
        if (at != missing.end())
            return *at;
        MissingFile& added = missing.emplace_back();
        added.stored = stored;
        if (const auto why = missingResults.find(stored); why != missingResults.end())
        {
            added.tried = why->second.tried;
            added.problem = why->second.problem;
        }
        return added;
    };
    for (const BankFileLink& link : bankLinks)
        if (link.missing)
            entryFor(link.stored).banks.push_back(link.bank);
    for (CPatchItem* item : patches)
        if (item->IsFileMissing())
            entryFor(item->GetSourceFile()).patches.push_back(item);
    return missing;
}

int CTamberlyDoc::RelinkFile(const std::string& stored, const std::string& path)
{
    if (path.empty())
        return 0;
    const CEditScope edit(*this, PartAll, LoadString(IDS_EDIT_RELINK));
    int relinked = 0;
    CPatchItemList changed;
    for (CPatchItem* item : patches)
    {
        if (!item->IsFileMissing() || item->GetSourceFile() != stored)
            continue;
        item->SetSourceFile(path);
        changed.Add(item);
        ++relinked;
    }
    for (auto link = bankLinks.begin(); link != bankLinks.end();)
    {
        if (!link->missing || link->stored != stored)
        {
            ++link;
            continue;
        }
        // The found file is the document's word from now on, kept even when
        // the card refuses it.
        link->stored = path;
        link->missing = false;
        link->loaded = card->LoadBank(link->bank, path);
        link->onCard = link->loaded ? card->GetBankFile(link->bank) : std::string();
        ++link;
        ++relinked;
    }
    if (relinked == 0)
        return 0;
    missingResults.erase(stored);
    // Patches go on after the bank files, as opening a document loads them.
    for (CPatchItem* item : changed)
        item->LoadIntoCard(*card);
    SetModifiedFlag();
    UpdateViews(nullptr, HintBankContent);
    if (changed.GetSize() > 0)
        UpdateViews(nullptr, HintPatches, &changed);
    return relinked;
}

int CTamberlyDoc::RelinkFromFolder(const std::string& folder)
{
    const CEditScope edit(*this, PartAll, LoadString(IDS_EDIT_RELINK));
    CPathResolver search(CPathResolver::FolderOf(pathName), resolverSettings);
    int relinked = 0;
    for (const MissingFile& file : GetMissingFiles())
        if (const std::string found = search.FindBelow(file.stored, folder); !found.empty())
            relinked += RelinkFile(file.stored, found) > 0 ? 1 : 0;
    return relinked;
}

CTamberlyDoc::LoadReport CTamberlyDoc::GetLoadReport() const
{
    LoadReport report;
    for (const CPatchItem* item : patches)
    {
        if (item->IsFileMissing())
            ++report.patchesMissing;
        else if (item->IsValid() && item->GetTargetBank() >= 0 && item->GetTargetPatch() >= 0 &&
                 !item->IsLoaded())
            ++report.patchesRefused;
    }
    for (const BankFileLink& link : bankLinks)
    {
        if (link.missing)
            ++report.bankFilesMissing;
        else if (!link.loaded)
            ++report.bankFilesRefused;
    }
    return report;
}
