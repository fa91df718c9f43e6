// The document's card commands and the patch operations the panes call.

#include "bank/TamberlyDocEdit.h"

#include "bank/EffectsRunner.h"
#include "bank/InfoRunner.h"
#include "bank/PatchPropertiesRunner.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "synth/AweSession.h"
#include "synth/CardLimits.h"

#include <algorithm>

namespace
{

// An empty list that never owns what it points to (for the observers).
class CBorrowedList
{
public:
    CBorrowedList() = default;
    ~CBorrowedList() { list.RemoveAll(); }
    CBorrowedList(const CBorrowedList&) = delete;
    CBorrowedList& operator=(const CBorrowedList&) = delete;

    void Add(CPatchItem* item) { list.Add(item); }
    const CPatchItemList& Get() const { return list; }

private:
    CPatchItemList list;
};
} // namespace

// Card commands -------------------------------------------------------------

void CTamberlyDoc::SelectSynthMode(int mode)
{
    const int previous = card->GetSynthBank();
    if (previous == mode)
        return;
    const CEditScope edit(*this, PartSynth | PartPatches, LoadString(IDS_EDIT_SYNTH_MODE), previous);
    if (!card->SelectSynthBank(mode))
        return;
    // The new synth bank replaced the presets the document put there.
    ReloadBankPatches(0);
    SetModifiedFlag();
    UpdateViews(nullptr, currentBank == 0 ? HintBankCleared : HintBankTabs);
}

void CTamberlyDoc::ReloadBankPatches(int bank)
{
    const CAweBatch batch(*card);
    // A patch loads only when no other document patch is loaded on its slot.
    // Only a damaged file gives two patches one slot; loading the second
    // (which clears the slot first) would leave the first marked loaded on a
    // slot that no longer holds it. Counted per slot, so a large document
    // opens in one pass.
    const auto slotOf = [](const CPatchItem* item)
    {
        const int b = item->GetTargetBank();
        const int p = item->GetTargetPatch();
        return b >= 0 && b < CardLimits::kSlotsPerBank && p >= 0 && p < CardLimits::kSlotsPerBank
                   ? b * CardLimits::kSlotsPerBank + p
                   : -1;
    };
    std::vector<int> loadedOn(CardLimits::kSlotsPerBank * CardLimits::kSlotsPerBank, 0);
    for (const CPatchItem* item : patches)
        if (item->IsLoaded() && slotOf(item) >= 0)
            ++loadedOn[static_cast<std::size_t>(slotOf(item))];

    for (CPatchItem* item : patches)
    {
        if (bank != -1 && item->GetTargetBank() != bank)
            continue;
        const int slot = slotOf(item);
        if (slot < 0)
        {
            item->LoadIntoCard(*card); // refuses the invalid patch and marks it unloaded
            continue;
        }
        int& count = loadedOn[static_cast<std::size_t>(slot)];
        const bool wasLoaded = item->IsLoaded();
        if (count - (wasLoaded ? 1 : 0) > 0)
            continue; // another document patch holds the slot
        item->LoadIntoCard(*card);
        count += (item->IsLoaded() ? 1 : 0) - (wasLoaded ? 1 : 0);
    }
}

void CTamberlyDoc::EditEffects(IEffectsRunner& runner)
{
    const CEditScope edit(*this, PartEffects, LoadString(IDS_EDIT_EFFECTS));
    const int reverb = card->GetReverb();
    const int chorus = card->GetChorus();
    if (!runner.RunEffects(*card, reverb, chorus))
    {
        card->SetReverb(reverb);
        card->SetChorus(chorus);
    }
    if (card->GetReverb() != reverb || card->GetChorus() != chorus)
        SetModifiedFlag();
}

void CTamberlyDoc::EditPatchProperties(CPatchItem* item, IPatchPropertiesRunner& runner)
{
    if (!item || patches.IndexOf(item) < 0)
        return;
    // Applying calls ReplacePatch; the sheet is one edit however often it applied.
    const CEditScope edit(*this, PartPatches, LoadString(IDS_EDIT_PROPERTIES));
    CPatchItem working(*item);
    const CPatchItem saved(*item);
    const bool ok = runner.RunPatchProperties(working, *item, *this);
    // Cancel after Apply: put the patch and the card back as they were.
    if (!ok && patches.IndexOf(item) >= 0 && *item != saved)
    {
        CPatchItem restore(saved);
        ReplacePatch(item, &restore);
    }
}

void CTamberlyDoc::EditInfo(IInfoRunner& runner)
{
    std::string text = infoText;
    if (!runner.RunInfo(text))
        return;
    const CEditScope edit(*this, PartInfo, LoadString(IDS_EDIT_INFO));
    infoText = std::move(text);
    SetModifiedFlag();
}

bool CTamberlyDoc::LoadFileIntoCurrentBank(IDocumentObserver* sender, const std::string& path)
{
    if (currentBank < CardLimits::kFirstUserBank)
        return false;
    const CEditScope edit(*this, PartBankFiles | PartPatches, LoadString(IDS_EDIT_LOAD_BANK));
    // The card keeps the single presets on the bank's slots over the new
    // bank file, so the document's patches there stay loaded.
    if (!card->LoadBank(currentBank, path))
        return false;
    ForgetBankLink(currentBank);
    SetModifiedFlag();
    UpdateViews(sender, HintBankContent);
    return true;
}

void CTamberlyDoc::OnLoadFileInCurrentBank(const std::string& path)
{
    const CEditScope edit(*this, PartBankFiles | PartPatches, LoadString(IDS_EDIT_LOAD_BANK));
    LoadFileIntoCurrentBank(nullptr, path);
    SetModifiedFlag();
}

void CTamberlyDoc::ClearCurrentBank()
{
    // Only user banks can be cleared; reloading "bank -1" would reload every patch.
    if (currentBank < CardLimits::kFirstUserBank)
        return;
    const CEditScope edit(*this, PartBankFiles | PartPatches, LoadString(IDS_EDIT_CLEAR_BANK));
    card->ClearBank(currentBank);
    ForgetBankLink(currentBank);
    ReloadBankPatches(currentBank);
    UpdateViews(nullptr, HintBankCleared);
    SetModifiedFlag();
}

void CTamberlyDoc::ClearAllBanks()
{
    const CAweBatch batch(*card);
    const CEditScope edit(*this, PartBankFiles | PartPatches, LoadString(IDS_EDIT_CLEAR_ALL_BANKS));
    card->ClearAllBanks();
    bankLinks.clear();
    for (int bank = CardLimits::kFirstUserBank; bank <= CardLimits::kLastBank; ++bank)
        ReloadBankPatches(bank);
    UpdateViews(nullptr, currentBank > 0 ? HintBankContent : HintBankTabs);
    SetModifiedFlag();
}

std::string CTamberlyDoc::GetFreeMemoryPaneText(const std::string& previous)
{
    const int freeKB = card->GetMemoryKB(true);
    const int totalKB = card->GetMemoryKB(false);
    if (totalKB == 0)
        return previous;
    return FormatString(IDS_KB_FREE, freeKB);
}

std::string CTamberlyDoc::GetCardStatusText() const
{
    return card->GetStatusText();
}

std::string CTamberlyDoc::GetCurrentPatchPaneText()
{
    const CPatchItem* item = currentPatch == -1 ? nullptr : GetPatch(currentPatch, currentBank);
    return item ? StoredTextToDisplay(item->GetName()) : LoadString(IDS_NONE);
}

std::string CTamberlyDoc::GetBankCaption(int bank, bool* inUse)
{
    bool used = false;
    std::string caption;
    if (bank == -1)
    {
        caption = LoadString(IDS_VIRTUAL_BANK);
        used = !patches.IsEmpty();
    }
    else if (bank == 0)
    {
        caption = StoredTextToDisplay(card->GetBankName(0));
        used = true;
    }
    else if (bank >= CardLimits::kFirstUserBank && bank <= CardLimits::kLastBank)
    {
        std::string suffix;
        if (const std::string name = card->GetBankName(bank); !name.empty())
            suffix = ' ' + StoredTextToDisplay(name);
        else if (patches.HasBankEntries(bank, true))
            suffix = ' ' + LoadString(IDS_TMB_BANK);
        used = !suffix.empty();
        caption = FormatString(IDS_BANK_CAPTION, bank, suffix.c_str());
    }
    if (inUse)
        *inUse = used;
    return caption;
}

// Patch operations ------------------------------------------------------------

bool CTamberlyDoc::AddPatches(IDocumentObserver* sender, CPatchItemList& list)
{
    if (list.IsEmpty())
        return false;
    const CAweBatch batch(*card);
    CEditScope edit(*this, PartPatches);
    CBorrowedList added;
    for (int i = list.GetSize() - 1; i >= 0; --i)
    {
        CPatchItem* item = list.GetItem(i);
        // Patches the document already holds (twice in the list, or its own)
        // or hands out itself are not the caller's to give; they leave the
        // list so that its owner does not delete them.
        if (patches.IndexOf(item) >= 0 || IsPooled(item))
        {
            list.RemoveAt(i);
            continue;
        }
        if (item->IsValid() && patches.FindAt(item->GetTargetBank(), item->GetTargetPatch()))
        {
            item->SetTargetBank(-1);
            item->SetTargetPatch(-1);
        }
        list.RemoveAt(i);
        item->SetDocumentPatch(true);
        patches.Add(item);
        item->LoadIntoCard(*card);
        added.Add(item);
    }
    edit.SetName(CountedEditName(IDS_EDIT_ADD_ONE, IDS_EDIT_ADD_MANY, added.Get().GetSize()));
    SetModifiedFlag();
    UpdateViews(sender, HintPatches, &added.Get());
    return true;
}

bool CTamberlyDoc::PlacePatches(IDocumentObserver* sender, const CPatchItemList& oldList,
                                CPatchItemList& newList)
{
    const int count = std::min(oldList.GetSize(), newList.GetSize());
    if (count == 0)
        return false;
    const CAweBatch batch(*card);
    CEditScope edit(*this, PartPatches);
    CBorrowedList changed;
    for (int i = count - 1; i >= 0; --i)
    {
        CPatchItem* oldItem = oldList.GetItem(i);
        CPatchItem* newItem = newList.GetItem(i);
        if (patches.IndexOf(newItem) >= 0 || IsPooled(newItem))
        {
            newList.RemoveAt(i);
            continue;
        }
        // Whether old is the document's is decided by the pointer alone; a
        // patch replaced earlier in this call is retired, not freed, so its
        // slot can still be read.
        int at = patches.IndexOf(oldItem);
        newItem->SetTargetBank(oldItem->GetTargetBank());
        newItem->SetTargetPatch(oldItem->GetTargetPatch());
        // An invalid patch stays the caller's, who deletes it with its list.
        if (!newItem->IsValid())
            continue;
        // A slot description stands for a slot that shows no loaded
        // document patch; an unloaded one there makes way, so that the slot
        // never holds a patch that cannot be seen or reached.
        if (at < 0 && newItem->GetTargetBank() >= 0 && newItem->GetTargetPatch() >= 0)
            patches.FindAt(newItem->GetTargetBank(), newItem->GetTargetPatch(), &at);
        newList.RemoveAt(i);
        newItem->SetDocumentPatch(true);
        if (at >= 0)
            Retire(patches.SetAt(at, newItem));
        else
            patches.Add(newItem);
        changed.Add(newItem);
        newItem->LoadIntoCard(*card);
    }
    edit.SetName(CountedEditName(IDS_EDIT_PLACE_ONE, IDS_EDIT_PLACE_MANY, changed.Get().GetSize()));
    SetModifiedFlag();
    UpdateViews(sender, HintPatches, &changed.Get());
    return true;
}

bool CTamberlyDoc::ReplacePatch(CPatchItem* item, CPatchItem* newValues)
{
    if (!item || !newValues || patches.IndexOf(item) < 0)
        return false;
    const CEditScope edit(*this, PartPatches, LoadString(IDS_EDIT_REPLACE));
    const int bank = newValues->GetTargetBank();
    const int slot = newValues->GetTargetPatch();
    bool unassign = bank == -1 || slot == -1;
    for (const CPatchItem* other : patches)
        if (!unassign && other != item && other->GetTargetBank() == bank && other->GetTargetPatch() == slot)
            unassign = true;
    if (unassign)
    {
        newValues->SetTargetBank(-1);
        newValues->SetTargetPatch(-1);
    }

    CPatchItem kept(*item);
    item->UnloadFromCard(*card);
    newValues->LoadIntoCard(*card);
    item->CopyFrom(*newValues);
    item->SetDocumentPatch(true);

    SetModifiedFlag();
    CBorrowedList concerned;
    concerned.Add(&kept);
    concerned.Add(newValues);
    UpdateViews(nullptr, HintPatches, &concerned.Get());
    return true;
}

void CTamberlyDoc::RemovePatches(IDocumentObserver* sender, const CPatchItemList& list)
{
    if (list.IsEmpty())
        return;
    const CAweBatch batch(*card);
    CEditScope edit(*this, PartPatches);
    CBorrowedList removed;
    for (CPatchItem* item : list)
    {
        // Only the pointer is looked at: a patch the caller still names may
        // have been replaced (and retired) by an operation before this one.
        const int at = patches.IndexOf(item);
        if (at < 0)
            continue;
        item->UnloadFromCard(*card);
        patches.RemoveAt(at);
        removed.Add(item);
    }
    edit.SetName(CountedEditName(IDS_EDIT_REMOVE_ONE, IDS_EDIT_REMOVE_MANY, removed.Get().GetSize()));
    SetModifiedFlag();
    UpdateViews(sender, HintPatches, &removed.Get());
    for (CPatchItem* item : removed.Get())
        Retire(item);
}

bool CTamberlyDoc::RenamePatch(IDocumentObserver* sender, CPatchItem* item, const std::string& name)
{
    if (patches.IndexOf(item) < 0)
        return false;
    if (item->GetName() == name)
        return true;
    const CEditScope edit(*this, PartPatches, LoadString(IDS_EDIT_RENAME));
    item->SetName(name);
    SetModifiedFlag();
    CBorrowedList renamed;
    renamed.Add(item);
    UpdateViews(sender, HintPatchNames, &renamed.Get());
    return true;
}
