#pragma once
// The virtual bank document: the patches placed on the card's banks, the
// card-wide settings a bank fixes (bank files of user banks, synth mode,
// reverb and chorus), a free information text, and the selections the panes
// share (folder, file, bank, patch). Every change of the card goes through
// the document, and every change is announced to the observers (the panes)
// with a hint word (DocumentObserver.h).
//
// Ownership:
// - The document owns its patches. Patches it lets go of (replaced or
//   removed) and the stand-alone slot descriptions GetPatch makes stay alive
//   until ReleaseTemporaryPatches, which the application's idle pass calls;
//   no pointer the document hands out is reused before then, so a caller's
//   stale list never names another patch. Nobody else deletes them.
// - Lists given to AddPatches and PlacePatches hold patches of the caller's;
//   the patches the document takes are removed from them, the rest stay the
//   caller's. Lists given to RemovePatches, and the lists observers receive,
//   own nothing.
// - The card (CAweSession) is the document's; the keyboard link and the
//   observers are the front end's and must outlive their registration.
//
// Failing card operations are quiet: the operation stops where it must and
// patches that did not load stay in the document unloaded.
// One thread only.

#include "bank/DocumentObserver.h"
#include "bank/PatchItemList.h"
#include "bank/PathResolver.h"
#include "bank/SoundFontExport.h"
#include "bank/UndoStack.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class CArchiveReader;
class CArchiveWriter;
class CAweSession;
class IEffectsRunner;
class IInfoRunner;
class IKeyboardLink;
class IPatchPropertiesRunner;

class CTamberlyDoc
{
public:
    // The card of the library the environment names (CAweSession()).
    CTamberlyDoc();
    // A given card (tests, tools); null makes the default one.
    explicit CTamberlyDoc(std::unique_ptr<CAweSession> card);
    // Deletes the patches and both pools. The card is left as it is: closing
    // the document (OnCloseDocument) is what empties it.
    ~CTamberlyDoc();
    CTamberlyDoc(const CTamberlyDoc&) = delete;
    CTamberlyDoc& operator=(const CTamberlyDoc&) = delete;

    CAweSession& GetCard() { return *card; }

    // Observers -------------------------------------------------------------
    void AddObserver(IDocumentObserver* observer);
    void RemoveObserver(IDocumentObserver* observer);
    // Tells every observer (in registration order), then makes the current
    // patch follow the change: SetCurrentPatch(GetPatch(currentPatch,
    // currentBank)).
    void UpdateViews(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches = nullptr);

    // Keyboard --------------------------------------------------------------
    // The MIDI keyboard the current patch is sent to; null sends nothing.
    void SetKeyboard(IKeyboardLink* link) { keyboard = link; }
    IKeyboardLink* GetKeyboard() const { return keyboard; }
    // Opens or closes the keyboard's MIDI devices (application activation).
    void EnableMidi(bool on);

    // Selection -------------------------------------------------------------
    // -1 the document's own list ("Virtual Bank"), 0 the synth bank, 1..127 user banks.
    int GetCurrentBank() const { return currentBank; }
    // The list index (current bank -1) or the program slot of the selected patch; -1 none.
    int GetCurrentPatch() const { return currentPatch; }
    // A new bank (-1..127) clears the current patch and sends HintBankList;
    // the bank already current changes nothing. False for a bank outside -1..127.
    bool SetCurrentBank(IDocumentObserver* sender, int bank);
    // Selects item (null: none) and sends it to the keyboard; no update.
    bool SetCurrentPatch(IDocumentObserver* sender, const CPatchItem* item);
    void SetCurrentFolder(IDocumentObserver* sender, const std::string& path);
    void SetCurrentFile(IDocumentObserver* sender, const std::string& path);
    const std::string& GetCurrentFolder() const { return currentFolder; }
    const std::string& GetCurrentFile() const { return currentFile; }

    // Slots -----------------------------------------------------------------
    // The number of patches for bank -1, 128 for the card's banks, 0 else.
    int GetSlotCount(int bank) const;
    // The patch to show for slot patch of bank: bank -1, the document patch
    // at that list index; a card bank, the first loaded document patch on
    // the slot, else a stand-alone description of what the card holds there
    // (documentPatch false; valid until ReleaseTemporaryPatches). Null for a
    // slot outside 0..GetSlotCount(bank)-1. Never delete what it returns.
    CPatchItem* GetPatch(int patch, int bank);
    // The idle pass: deletes the slot descriptions and the patches the
    // document let go of since the last call.
    void ReleaseTemporaryPatches();

    // Content ---------------------------------------------------------------
    const CPatchItemList& GetPatches() const { return patches; }
    const std::string& GetInfoText() const { return infoText; }
    bool IsModified() const { return modified; }
    // Not modified: what the document holds now is what its file holds (the
    // undo stack's clean state). Modified outside an edit the stack records:
    // no undo brings back the file's state.
    void SetModifiedFlag(bool isModified = true);
    // The file the document was last opened from or saved to; empty when new.
    const std::string& GetPathName() const { return pathName; }

    // Lifecycle -------------------------------------------------------------
    // Empties the document and the card: current bank -1, patches deleted,
    // information text emptied, user banks cleared, synth bank selected
    // again; then HintEverything.
    void DeleteContents();
    // DeleteContents, no path, not modified. False without the card, with
    // GetErrorMessage() "Awe32 is not available !".
    bool OnNewDocument();
    // Opens a .tmb file: the card is emptied and set up from the document
    // (bank files, synth mode, effects, then every patch). An empty file is
    // an empty document. False with a message in GetErrorMessage() when the
    // file cannot be opened (the document is untouched) or does not decode
    // (the document is left empty and untitled, and so is the card).
    bool OnOpenDocument(const std::string& path);
    // Saves to path through a temporary file beside it, which replaces path
    // only once complete: a failed save leaves the old file as it was. False
    // with a message in GetErrorMessage().
    bool OnSaveDocument(const std::string& path);
    // Closing: DeleteContents (which empties the card) and no path.
    void OnCloseDocument();
    // The message of the last failed OnNewDocument, OnOpenDocument or OnSaveDocument.
    const std::string& GetErrorMessage() const { return errorMessage; }

    // The document layout (DocumentFile.h). Storing takes the synth mode,
    // effects and bank files from the card. Loading decodes the whole stream
    // first (throwing CArchiveException, with nothing changed), then sets the
    // card up and loads every patch; call DeleteContents before.
    void Serialize(CArchiveWriter& archive);
    void Serialize(CArchiveReader& archive);

    // Card commands (TamberlyDocCard.cpp) ------------------------------------
    // 0 General MIDI, 1 GS, 2 MT-32. The mode already active changes nothing.
    void SelectSynthMode(int mode);
    // Loads again every document patch of bank (every patch for -1).
    void ReloadBankPatches(int bank);
    // The FX command: puts the card's effects back unless OK; modified when
    // the card's effects changed.
    void EditEffects(IEffectsRunner& runner);
    // The properties of a document patch (nothing for others); applied
    // changes are undone unless the sheet ends with OK.
    void EditPatchProperties(CPatchItem* item, IPatchPropertiesRunner& runner);
    // The information command: OK stores the text and marks the document modified.
    void EditInfo(IInfoRunner& runner);
    // Loads a SoundFont bank file into the current user bank (false when the
    // current bank is no user bank or the card refuses).
    bool LoadFileIntoCurrentBank(IDocumentObserver* sender, const std::string& path);
    // The "Load file in current bank" command once a file was chosen: the
    // load, and the document marked modified whatever came of it.
    void OnLoadFileInCurrentBank(const std::string& path);
    // Empties the current user bank; the document's patches there come back.
    void ClearCurrentBank();
    // Empties every user bank; the document's patches come back, bank files do not.
    void ClearAllBanks();
    // Asks the folder tree to read its folders again.
    void RefreshFolderTree();

    // Status panes and bank captions, as display text.
    // "%dKB free", or previous when the card tells no total.
    std::string GetFreeMemoryPaneText(const std::string& previous);
    // The card library's status line; empty when all is well.
    std::string GetCardStatusText() const;
    // The current patch's name, or "None".
    std::string GetCurrentPatchPaneText();
    // "Virtual Bank" (-1), the synth bank's name (0), "[nnn] name",
    // "[nnn] TMB" or "[nnn]" (user banks); inUse (may be null) receives
    // whether the bank has content.
    std::string GetBankCaption(int bank, bool* inUse);

    // Patch operations (TamberlyDocCard.cpp) ---------------------------------
    // Takes every patch of list (last first) into the document and loads it;
    // a valid patch aimed at a slot a document patch holds joins unassigned.
    // False (nothing done) for an empty list.
    bool AddPatches(IDocumentObserver* sender, CPatchItemList& list);
    // newList[i] goes to the slot of oldList[i] for the common length (last
    // first): it replaces oldList[i] when that is a document patch, else the
    // document patch holding that slot, else it is added. Invalid new
    // patches stay in newList. False when either list is empty.
    bool PlacePatches(IDocumentObserver* sender, const CPatchItemList& oldList, CPatchItemList& newList);
    // Gives the document patch item the values of newValues (which stays the
    // caller's): unloaded from its old slot, loaded at the new one. A target
    // that is unassigned in part, or held by another document patch, makes
    // both targets -1 (in newValues too). False when item is no document patch.
    bool ReplacePatch(CPatchItem* item, CPatchItem* newValues);
    // Unloads and removes the document patches of list; other pointers are
    // ignored without being read.
    void RemovePatches(IDocumentObserver* sender, const CPatchItemList& list);
    // Gives the document patch item the name (stored as given; empty is a
    // name), marks the document modified and sends HintPatchNames with it.
    // The name it has already changes nothing. False when item is no
    // document patch.
    bool RenamePatch(IDocumentObserver* sender, CPatchItem* item, const std::string& name);

    // Import of a Soundshelf Manager bank file (TamberlyDocImport.cpp) ---------
    struct ShbImport
    {
        bool readable = false;   // the file could be read at all
        int bankFiles = 0;       // user bank entries handed to the card
        int bankFilesLoaded = 0; // of which the card took
        int instruments = 0;     // patches added or put in place of others
        int instrumentsLoaded = 0;
        int skipped = 0; // entries that could not be read
    };
    // Sets the effects, loads the bank files into their user banks and puts
    // one patch per instrument into the document (in place of a document
    // patch on the same slot); HintBankContent, modified.
    ShbImport ImportShbFile(const std::string& path);

    // Files of old documents (TamberlyDocFiles.cpp) ------------------------------
    // Opening and importing load each patch and bank file from the file its
    // stored path resolves to (PathResolver.h); the stored path stays as it
    // was, and saving writes it back, found or not.
    // The drive map and search folders the next open or import uses.
    void SetResolverSettings(PathResolverSettings settings) { resolverSettings = std::move(settings); }
    const PathResolverSettings& GetResolverSettings() const { return resolverSettings; }

    // The virtual bank as one SoundFont 2 file (File > Export as SoundFont):
    // the bank files and patches as the document would store them, its files
    // looked for as opening it looks for them.
    SoundFontExportResult ExportSoundFont(const std::string& path, const CSoundFontExport::Progress& progress,
                                          const SoundFontExportOptions& options = {});

    // One stored path that was not found, and what needs it.
    struct MissingFile
    {
        std::string stored;
        std::vector<CPatchItem*> patches; // document patches; valid until the next change
        std::vector<int> banks;           // user banks whose bank file it is
        std::vector<CPathResolver::Attempt> tried;
        std::string problem;
    };
    // In the order the paths first appear (bank files, then patches).
    std::vector<MissingFile> GetMissingFiles() const;
    // Gives every patch and bank file that misses stored the file path
    // instead (the new stored path), loads them onto the card and marks the
    // document modified. The number of patches and bank files relinked.
    int RelinkFile(const std::string& stored, const std::string& path);
    // Relinks every missing file found by name below folder. The number of
    // stored paths relinked.
    int RelinkFromFolder(const std::string& folder);

    // What the last open or import left off the card.
    struct LoadReport
    {
        int patchesMissing = 0;   // their file was not found
        int patchesRefused = 0;   // the card refused them (its memory, a bad file)
        int bankFilesMissing = 0; // entries whose file was not found
        int bankFilesRefused = 0; // entries the card refused
    };
    LoadReport GetLoadReport() const;

    // Undo (TamberlyDocUndo.cpp) --------------------------------------------------
    // Every edit below (patches added, placed, replaced, removed, renamed or
    // changed in their sheet, bank files loaded or cleared, the synth mode,
    // the effects, the information text, an import, a relink) is one entry;
    // an edit that changed nothing leaves none. Undoing puts the document and
    // the card back: patches unloaded, reloaded or loaded again, bank files,
    // synth mode and effects as they were; redoing does the edit again the
    // same way. The modified flag follows the stack's clean state. A new,
    // opened or closed document starts with an empty stack.
    bool CanUndo() const { return undo.CanUndo(); }
    bool CanRedo() const { return undo.CanRedo(); }
    // What Undo and Redo would take back or do again ("Place 3 Patches").
    std::string GetUndoName() const { return undo.GetUndoName(); }
    std::string GetRedoName() const { return undo.GetRedoName(); }
    // False (nothing done) when there is nothing to undo or redo.
    bool Undo();
    bool Redo();
    const CUndoStack& GetUndoStack() const { return undo; }

    // Checks -----------------------------------------------------------------
    // Empty when the document is consistent: no null patch, every patch held
    // once and marked a document patch, none of them in the pools, the
    // selection in range. Otherwise the first problem found.
    std::string CheckConsistency() const;
    // Objects waiting for ReleaseTemporaryPatches.
    int GetTemporaryPatchCount() const { return temporaryPatches.GetSize() + retiredPatches.GetSize(); }

private:
    // A bank file entry of an opened or imported document while the card's
    // own registration does not say what the document said.
    struct BankFileLink
    {
        int bank = 0;
        std::string stored;   // as the document names it
        std::string onCard;   // what the card registered after loading it
        bool loaded = false;  // the card took it
        bool missing = false; // not found
    };

    CPathResolver& Resolver(const std::string& namingFile);
    // Resolves each patch's source file, marking the missing ones.
    void ResolvePatchFiles(CPathResolver& resolver, const CPatchItemList& list);
    // Patches the card loaded although their file was not found here are not missing.
    void SettleMissingFiles(const CPatchItemList& list);
    // Resolves and loads one bank file entry; true when the card took it.
    // keepStored: the document's path is saved instead of the card's (an
    // opened document); else only a file not found is kept (an import, whose
    // paths are another file's).
    bool LoadBankEntry(CPathResolver& resolver, int bank, const std::string& stored, bool keepStored);
    void ForgetBankLink(int bank);
    // What to store for bank: the document's own path while the card holds
    // what it resolved to (or nothing, for a file not found).
    std::string StoredBankFile(int bank);
    void RememberMissing(const std::string& stored, const CPathResolver::Result& result);

    // What an edit may change, captured before and after it.
    enum StatePart : unsigned
    {
        PartPatches = 0x01,
        PartInfo = 0x02,
        PartEffects = 0x04,
        PartSynth = 0x08,
        PartBankFiles = 0x10,
        PartAll = 0x1F,
    };
    struct DocState;
    class CEditEntry;
    class CEditScope;
    std::unique_ptr<DocState> CaptureState(unsigned parts, int knownSynthBank = -1);
    void RestoreState(const DocState& state);
    void RestorePatches(const DocState& state, std::vector<bool>& reloadBanks);
    // Pushes the entry of an edit that changed something.
    void RecordEdit(std::string name, std::unique_ptr<DocState> before);

    bool Fail(std::string message);
    bool IsPooled(const CPatchItem* item) const;
    // Hands a patch the document no longer holds to the retired pool.
    void Retire(CPatchItem* item);

    int currentBank = -1;
    int currentPatch = -1;
    std::unique_ptr<CAweSession> card;
    std::string currentFile;
    std::string currentFolder;
    CPatchItemList patches;
    IKeyboardLink* keyboard = nullptr;
    std::string infoText;

    bool modified = false;
    std::string pathName;
    std::string errorMessage;
    std::vector<IDocumentObserver*> observers;
    CPatchItemList temporaryPatches; // slot descriptions handed out by GetPatch
    CPatchItemList retiredPatches;   // patches replaced or removed

    PathResolverSettings resolverSettings;
    std::unique_ptr<CPathResolver> resolver; // of the last open or import
    std::string openingPath;                 // the file OnOpenDocument is reading
    std::vector<BankFileLink> bankLinks;
    std::map<std::string, CPathResolver::Result> missingResults; // why a stored path was not found

    CUndoStack undo;
    int editDepth = 0; // edits running: only the outermost one is recorded
};
