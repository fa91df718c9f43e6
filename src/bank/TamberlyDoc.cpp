#include "bank/TamberlyDocEdit.h"

#include "bank/ArchiveException.h"
#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"
#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "platform/AtomicFile.h"
#include "platform/FileException.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "synth/AweSession.h"
#include "synth/CardLimits.h"
#include "synth/KeyboardLink.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <unordered_set>

namespace
{

bool IsBankNumber(int bank)
{
    return bank >= -1 && bank <= CardLimits::kLastBank;
}

// A file error's own message with the file's name for %1, or the general one.
std::string FileErrorMessage(const CFileException& error, const std::string& path, unsigned general)
{
    unsigned id = general;
    switch (error.GetCause())
    {
    case CFileException::Cause::FileNotFound:
        id = IDS_FILE_NOT_FOUND;
        break;
    case CFileException::Cause::AccessDenied:
        id = IDS_ACCESS_DENIED;
        break;
    case CFileException::Cause::SharingViolation:
        id = IDS_SHARING_VIOLATION;
        break;
    case CFileException::Cause::DiskFull:
        id = IDS_DISK_FULL;
        break;
    case CFileException::Cause::Generic:
        break;
    }
    std::string text = LoadString(id);
    const std::string name = StoredTextToDisplay(error.GetFileName().empty() ? path : error.GetFileName());
    if (const auto at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}
} // namespace

CTamberlyDoc::CTamberlyDoc() : CTamberlyDoc(nullptr) {}

CTamberlyDoc::CTamberlyDoc(std::unique_ptr<CAweSession> session) : card(std::move(session))
{
    if (!card)
        card = std::make_unique<CAweSession>();
}

CTamberlyDoc::~CTamberlyDoc()
{
    patches.DeleteAll();
    temporaryPatches.DeleteAll();
    retiredPatches.DeleteAll();
}

// Observers -----------------------------------------------------------------

void CTamberlyDoc::AddObserver(IDocumentObserver* observer)
{
    if (observer && std::find(observers.begin(), observers.end(), observer) == observers.end())
        observers.push_back(observer);
}

void CTamberlyDoc::RemoveObserver(IDocumentObserver* observer)
{
    observers.erase(std::remove(observers.begin(), observers.end(), observer), observers.end());
}

void CTamberlyDoc::UpdateViews(IDocumentObserver* sender, unsigned hint, const CPatchItemList* list)
{
    // An observer may unregister others (or itself) while it is told; those
    // are not called any more.
    const std::vector<IDocumentObserver*> told = observers;
    for (IDocumentObserver* observer : told)
        if (std::find(observers.begin(), observers.end(), observer) != observers.end())
            observer->OnUpdate(sender, hint, list);
    SetCurrentPatch(nullptr, GetPatch(currentPatch, currentBank));
}

void CTamberlyDoc::RefreshFolderTree()
{
    UpdateViews(nullptr, HintFolderTree);
}

void CTamberlyDoc::EnableMidi(bool on)
{
    if (keyboard)
        keyboard->EnableMidi(on);
}

// Selection -----------------------------------------------------------------

bool CTamberlyDoc::SetCurrentBank(IDocumentObserver* sender, int bank)
{
    if (!IsBankNumber(bank))
        return false;
    if (bank != currentBank)
    {
        currentBank = bank;
        currentPatch = -1;
        UpdateViews(sender, HintBankList);
    }
    return true;
}

bool CTamberlyDoc::SetCurrentPatch(IDocumentObserver*, const CPatchItem* item)
{
    if (!item)
    {
        currentPatch = -1;
        return true;
    }
    const int index = patches.IndexOf(item);
    currentPatch = (index >= 0 && currentBank == -1) ? index : item->GetTargetPatch();
    if (keyboard)
        keyboard->SetPatch(item->GetName(), item->GetTargetBank(), item->GetTargetPatch());
    return true;
}

void CTamberlyDoc::SetCurrentFolder(IDocumentObserver* sender, const std::string& path)
{
    if (path == currentFolder)
        return;
    currentFolder = path;
    UpdateViews(sender, HintFolder);
}

void CTamberlyDoc::SetCurrentFile(IDocumentObserver* sender, const std::string& path)
{
    if (path == currentFile)
        return;
    currentFile = path;
    UpdateViews(sender, HintFile);
}

// Slots ---------------------------------------------------------------------

int CTamberlyDoc::GetSlotCount(int bank) const
{
    if (bank == -1)
        return patches.GetSize();
    return IsBankNumber(bank) ? CardLimits::kSlotsPerBank : 0;
}

CPatchItem* CTamberlyDoc::GetPatch(int patch, int bank)
{
    if (patch < 0 || patch >= GetSlotCount(bank))
        return nullptr;
    if (bank == -1)
        return patches.GetItem(patch);

    // The patch the card plays there. An unloaded document patch on the slot
    // (one the card refused) must not hide a loaded one behind it.
    for (CPatchItem* item : patches)
        if (item->GetTargetBank() == bank && item->GetTargetPatch() == patch && item->IsLoaded())
            return item;

    auto description = std::make_unique<CPatchItem>(false);
    description->SetTargetPatch(patch);
    description->SetTargetBank(bank);
    description->SetName(card->GetPresetName(bank, patch));
    description->SetSourceFile(card->GetBankFile(bank));
    description->SetSourcePatch(patch);
    temporaryPatches.Add(description.get());
    return description.release();
}

void CTamberlyDoc::ReleaseTemporaryPatches()
{
    temporaryPatches.DeleteAll();
    retiredPatches.DeleteAll();
}

bool CTamberlyDoc::IsPooled(const CPatchItem* item) const
{
    return temporaryPatches.IndexOf(item) >= 0 || retiredPatches.IndexOf(item) >= 0;
}

void CTamberlyDoc::Retire(CPatchItem* item)
{
    if (item && retiredPatches.IndexOf(item) < 0)
        retiredPatches.Add(item);
}

// Lifecycle -----------------------------------------------------------------

void CTamberlyDoc::DeleteContents()
{
    // An emptied document has no edits to take back: their patches are gone.
    const CEditScope lifecycle(*this, 0);
    const CAweBatch batch(*card);
    undo.Clear();
    currentBank = -1;
    patches.DeleteAll();
    // The text belongs to the document it came with; a new document after
    // an open must not carry it on.
    infoText.clear();
    bankLinks.clear();
    missingResults.clear();
    card->ClearAllBanks();
    card->SelectSynthBank(-1);
    UpdateViews(nullptr, HintEverything);
}

bool CTamberlyDoc::Fail(std::string message)
{
    errorMessage = std::move(message);
    return false;
}

bool CTamberlyDoc::OnNewDocument()
{
    DeleteContents();
    pathName.clear();
    modified = false;
    if (!card->IsAvailable())
        return Fail(LoadString(IDS_AWE_NOT_AVAILABLE));
    return true;
}

bool CTamberlyDoc::OnOpenDocument(const std::string& path)
{
    CFileSource source;
    try
    {
        OpenForReading(source, path);
    }
    catch (const CFileException& e)
    {
        return Fail(FileErrorMessage(e, path, IDS_FAILED_TO_OPEN_DOC));
    }

    // The open is no edit; whatever it calls records nothing.
    const CEditScope lifecycle(*this, 0);
    // The card is emptied and every patch loaded in one session of the card.
    const CAweBatch batch(*card);
    DeleteContents();
    modified = true;
    std::string failure;
    try
    {
        if (source.Size() != 0)
        {
            CArchiveReader archive(source);
            openingPath = path;
            Serialize(archive);
        }
    }
    catch (const CArchiveException&)
    {
        failure = LoadString(IDS_UNEXPECTED_FORMAT);
    }
    catch (const CFileException& e)
    {
        failure = FileErrorMessage(e, path, IDS_FAILED_TO_OPEN_DOC);
    }
    catch (const std::bad_alloc&)
    {
        failure = LoadString(IDS_FAILED_TO_OPEN_DOC);
    }
    openingPath.clear();
    undo.Clear();
    if (!failure.empty())
    {
        DeleteContents();
        pathName.clear();
        modified = false;
        return Fail(std::move(failure));
    }
    modified = false;
    pathName = path;
    UpdateViews(nullptr, HintEverything);
    return true;
}

bool CTamberlyDoc::OnSaveDocument(const std::string& path)
{
    CAtomicFile file(path);
    if (!file.Open())
        return Fail(FileErrorMessage(CFileException::FromErrno(errno, path), path, IDS_FAILED_TO_SAVE_DOC));
    try
    {
        CArchiveWriter archive(file.Sink());
        Serialize(archive);
        archive.Flush();
    }
    catch (const CFileException& e)
    {
        return Fail(FileErrorMessage(e, path, IDS_FAILED_TO_SAVE_DOC));
    }
    catch (const CException&)
    {
        return Fail(LoadString(IDS_FAILED_TO_SAVE_DOC));
    }
    catch (const std::bad_alloc&)
    {
        return Fail(LoadString(IDS_FAILED_TO_SAVE_DOC));
    }
    if (!file.Commit())
        return Fail(FileErrorMessage(CFileException::FromErrno(errno, path), path, IDS_FAILED_TO_SAVE_DOC));
    modified = false;
    undo.SetClean();
    pathName = path;
    return true;
}

void CTamberlyDoc::OnCloseDocument()
{
    DeleteContents();
    pathName.clear();
    modified = false;
}

void CTamberlyDoc::Serialize(CArchiveWriter& archive)
{
    CDocumentFile::Header header;
    header.currentBank = currentBank;
    header.synthBank = card->GetSynthBank();
    header.reverb = card->GetReverb();
    header.chorus = card->GetChorus();
    for (int bank = 1; bank <= CardLimits::kLastBank; ++bank)
        if (std::string file = StoredBankFile(bank); !file.empty())
            header.bankFiles.push_back({bank, std::move(file)});
    CDocumentFile::WriteHeader(archive, header);
    patches.Serialize(archive);
    archive.WriteString(infoText);
}

void CTamberlyDoc::Serialize(CArchiveReader& archive)
{
    // Everything is decoded before the card hears of it, so that a damaged
    // file leaves no half-loaded bank behind.
    const CDocumentFile::Header header = CDocumentFile::ReadHeader(archive);
    CPatchItemList read;
    CPatchItemListGuard guard(read);
    read.Serialize(archive);
    std::string text = archive.ReadString();

    currentBank = header.currentBank;
    CPathResolver& paths = Resolver(openingPath);
    for (const CDocumentFile::BankFile& entry : header.bankFiles)
        LoadBankEntry(paths, entry.bank, entry.path, true);
    // Values the card cannot hold are not sent; it keeps its own then.
    if (CardLimits::IsSynthMode(header.synthBank))
        card->SelectSynthBank(header.synthBank);
    if (CardLimits::IsEffect(header.reverb))
        card->SetReverb(header.reverb);
    if (CardLimits::IsEffect(header.chorus))
        card->SetChorus(header.chorus);

    patches.DeleteAll();
    for (CPatchItem* item : read)
        patches.Add(item);
    read.RemoveAll();
    guard.Release();
    infoText = std::move(text);
    ResolvePatchFiles(paths, patches);
    ReloadBankPatches(-1);
    SettleMissingFiles(patches);
}

// Checks --------------------------------------------------------------------

std::string CTamberlyDoc::CheckConsistency() const
{
    std::unordered_set<const CPatchItem*> seen;
    int index = 0;
    for (const CPatchItem* item : patches)
    {
        const std::string at = "patch " + std::to_string(index++);
        if (!item)
            return at + " is null";
        if (!seen.insert(item).second)
            return at + " is held twice";
        if (!item->IsDocumentPatch())
            return at + " is not marked a document patch";
        if (temporaryPatches.IndexOf(item) >= 0)
            return at + " is also a slot description";
        if (retiredPatches.IndexOf(item) >= 0)
            return at + " was let go of and is still held";
    }
    for (const CPatchItem* item : temporaryPatches)
        if (!item || item->IsDocumentPatch())
            return "a slot description is null or marked a document patch";
    if (!IsBankNumber(currentBank))
        return "current bank " + std::to_string(currentBank) + " is no bank";
    if (currentPatch < -1 || currentPatch >= GetSlotCount(currentBank))
        return "current patch " + std::to_string(currentPatch) + " is outside bank " +
               std::to_string(currentBank);
    return {};
}
