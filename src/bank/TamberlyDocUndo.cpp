// Undo and redo of the document's edits: each entry keeps what the edit could
// change, as it stood before and after, and putting a state back goes through
// the same card commands as the edits themselves.

#include "bank/TamberlyDocEdit.h"

#include "platform/StringTable.h"
#include "synth/AweSession.h"
#include "synth/CardLimits.h"

#include <map>
#include <tuple>

struct CTamberlyDoc::DocState
{
    unsigned parts = 0;
    std::vector<std::unique_ptr<CPatchItem>> patches; // copies, in list order
    std::string infoText;
    int synthBank = 0;
    int reverb = 0;
    int chorus = 0;
    std::vector<std::string> bankFiles; // by bank; 0 unused
    std::vector<BankFileLink> bankLinks;

    bool SameAs(const DocState& other) const;
};

namespace
{
// What identifies a patch between two states; the loaded size is the card's
// answer, not part of the edit.
auto PatchKey(const CPatchItem& item)
{
    return std::make_tuple(item.GetName(), item.GetSourceFile(), item.GetSourcePatch(), item.GetTargetBank(),
                           item.GetTargetPatch(), item.GetLoadPath(), item.IsFileMissing());
}
} // namespace

bool CTamberlyDoc::DocState::SameAs(const DocState& other) const
{
    if (parts != other.parts || infoText != other.infoText || synthBank != other.synthBank ||
        reverb != other.reverb || chorus != other.chorus || bankFiles != other.bankFiles ||
        patches.size() != other.patches.size() || bankLinks.size() != other.bankLinks.size())
        return false;
    for (std::size_t i = 0; i < patches.size(); ++i)
        if (PatchKey(*patches[i]) != PatchKey(*other.patches[i]))
            return false;
    for (std::size_t i = 0; i < bankLinks.size(); ++i)
    {
        const BankFileLink& a = bankLinks[i];
        const BankFileLink& b = other.bankLinks[i];
        if (a.bank != b.bank || a.stored != b.stored || a.onCard != b.onCard || a.loaded != b.loaded ||
            a.missing != b.missing)
            return false;
    }
    return true;
}

class CTamberlyDoc::CEditEntry : public IUndoEntry
{
public:
    CEditEntry(CTamberlyDoc& document, std::string editName, std::unique_ptr<DocState> beforeEdit,
               std::unique_ptr<DocState> afterEdit)
        : doc(document), name(std::move(editName)), before(std::move(beforeEdit)), after(std::move(afterEdit))
    {
    }
    const std::string& GetName() const override { return name; }
    void Undo() override { doc.RestoreState(*before); }
    void Redo() override { doc.RestoreState(*after); }

private:
    CTamberlyDoc& doc;
    std::string name;
    std::unique_ptr<DocState> before;
    std::unique_ptr<DocState> after;
};

CTamberlyDoc::CEditScope::CEditScope(CTamberlyDoc& document, unsigned parts, std::string editName,
                                     int knownSynthBank)
    : doc(document), name(std::move(editName))
{
    if (doc.editDepth++ == 0 && parts != 0)
        before = doc.CaptureState(parts, knownSynthBank);
}

CTamberlyDoc::CEditScope::~CEditScope()
{
    --doc.editDepth;
    if (!before)
        return;
    try
    {
        doc.RecordEdit(std::move(name), std::move(before));
    }
    catch (const std::bad_alloc&)
    {
        // Without memory for the entry the edit stays done and cannot be
        // undone; the file's state can no longer be reached by undoing.
        doc.undo.ForgetClean();
    }
}

std::string CountedEditName(unsigned oneId, unsigned manyId, int count)
{
    return count == 1 ? LoadString(oneId) : FormatString(manyId, count);
}

std::unique_ptr<CTamberlyDoc::DocState> CTamberlyDoc::CaptureState(unsigned parts, int knownSynthBank)
{
    auto state = std::make_unique<DocState>();
    state->parts = parts;
    if (parts & PartPatches)
    {
        state->patches.reserve(static_cast<std::size_t>(patches.GetSize()));
        for (const CPatchItem* item : patches)
            state->patches.push_back(std::make_unique<CPatchItem>(*item));
    }
    if (parts & PartInfo)
        state->infoText = infoText;
    if (parts & PartSynth)
        state->synthBank = knownSynthBank >= 0 ? knownSynthBank : card->GetSynthBank();
    if (parts & PartEffects)
    {
        state->reverb = card->GetReverb();
        state->chorus = card->GetChorus();
    }
    if (parts & PartBankFiles)
    {
        state->bankFiles.resize(CardLimits::kSlotsPerBank);
        for (int bank = CardLimits::kFirstUserBank; bank <= CardLimits::kLastBank; ++bank)
            state->bankFiles[static_cast<std::size_t>(bank)] = card->GetBankFile(bank);
        state->bankLinks = bankLinks;
    }
    return state;
}

void CTamberlyDoc::RecordEdit(std::string name, std::unique_ptr<DocState> before)
{
    std::unique_ptr<DocState> after = CaptureState(before->parts);
    if (after->SameAs(*before))
        return;
    undo.Push(std::make_unique<CEditEntry>(*this, std::move(name), std::move(before), std::move(after)));
}

void CTamberlyDoc::RestoreState(const DocState& state)
{
    // Banks whose document patches must go on again because the card emptied
    // or refilled them.
    std::vector<bool> reloadBanks(CardLimits::kSlotsPerBank, false);
    if ((state.parts & PartSynth) && card->GetSynthBank() != state.synthBank &&
        card->SelectSynthBank(state.synthBank))
        reloadBanks[0] = true;
    if (state.parts & PartEffects)
    {
        if (card->GetReverb() != state.reverb)
            card->SetReverb(state.reverb);
        if (card->GetChorus() != state.chorus)
            card->SetChorus(state.chorus);
    }
    if (state.parts & PartBankFiles)
    {
        for (int bank = CardLimits::kFirstUserBank; bank <= CardLimits::kLastBank; ++bank)
        {
            const std::string& file = state.bankFiles[static_cast<std::size_t>(bank)];
            if (card->GetBankFile(bank) == file)
                continue;
            card->ClearBank(bank);
            if (!file.empty())
                card->LoadBank(bank, file);
            reloadBanks[static_cast<std::size_t>(bank)] = true;
        }
        bankLinks = state.bankLinks;
    }
    if (state.parts & PartInfo)
        infoText = state.infoText;
    if (state.parts & PartPatches)
        RestorePatches(state, reloadBanks);
    for (int bank = 0; bank <= CardLimits::kLastBank; ++bank)
        if (reloadBanks[static_cast<std::size_t>(bank)])
            ReloadBankPatches(bank);

    if (currentBank == -1 && currentPatch >= patches.GetSize())
        currentPatch = -1;
    UpdateViews(nullptr, HintBankContent | HintPatchTabs);
}

void CTamberlyDoc::RestorePatches(const DocState& state, std::vector<bool>& reloadBanks)
{
    // Patches that stand as the state has them stay as they are, loaded or
    // not; the others leave the card and the document, and the state's own
    // come back as new patches loaded where their slot is free.
    std::multimap<decltype(PatchKey(std::declval<CPatchItem>())), CPatchItem*> current;
    for (CPatchItem* item : patches)
        current.emplace(PatchKey(*item), item);

    std::vector<CPatchItem*> order;
    std::vector<std::unique_ptr<CPatchItem>> fresh;
    order.reserve(state.patches.size());
    for (const auto& wanted : state.patches)
    {
        const auto found = current.find(PatchKey(*wanted));
        if (found != current.end())
        {
            order.push_back(found->second);
            current.erase(found);
            continue;
        }
        auto item = std::make_unique<CPatchItem>(*wanted);
        item->SetLoadedKB(-1);
        item->SetDocumentPatch(true);
        order.push_back(item.get());
        fresh.push_back(std::move(item));
    }

    for (auto& [key, item] : current)
    {
        if (item->IsLoaded())
            item->UnloadFromCard(*card);
        Retire(item);
    }
    std::vector<CPatchItem*> added;
    added.reserve(fresh.size());
    for (auto& item : fresh)
        added.push_back(item.release()); // the document's list holds them from here on
    patches.RemoveAll();
    for (CPatchItem* item : order)
        patches.Add(item);

    // A slot holds one loaded patch; the state's patches were loaded in list
    // order when they were made, so they are here too.
    const auto slotOf = [](const CPatchItem* item)
    {
        const int b = item->GetTargetBank();
        const int p = item->GetTargetPatch();
        return b >= 0 && b <= CardLimits::kLastBank && p >= 0 && p < CardLimits::kSlotsPerBank
                   ? b * CardLimits::kSlotsPerBank + p
                   : -1;
    };
    std::vector<bool> taken(CardLimits::kSlotsPerBank * CardLimits::kSlotsPerBank, false);
    for (const CPatchItem* item : patches)
        if (item->IsLoaded() && slotOf(item) >= 0)
            taken[static_cast<std::size_t>(slotOf(item))] = true;
    for (CPatchItem* patch : added)
    {
        const int slot = slotOf(patch);
        // Unassigned, or loaded with its whole bank below.
        if (slot < 0 || reloadBanks[static_cast<std::size_t>(patch->GetTargetBank())] ||
            taken[static_cast<std::size_t>(slot)])
            continue;
        patch->LoadIntoCard(*card);
        taken[static_cast<std::size_t>(slot)] = patch->IsLoaded();
    }
}

bool CTamberlyDoc::Undo()
{
    if (editDepth > 0 || !undo.CanUndo())
        return false;
    const CAweBatch batch(*card);
    ++editDepth; // nothing the restore calls records an edit of its own
    undo.Undo();
    --editDepth;
    modified = !undo.IsClean();
    return true;
}

bool CTamberlyDoc::Redo()
{
    if (editDepth > 0 || !undo.CanRedo())
        return false;
    const CAweBatch batch(*card);
    ++editDepth;
    undo.Redo();
    --editDepth;
    modified = !undo.IsClean();
    return true;
}

void CTamberlyDoc::SetModifiedFlag(bool isModified)
{
    modified = isModified;
    if (!isModified)
        undo.SetClean();
    else if (editDepth == 0)
        undo.ForgetClean();
}
