#pragma once
// The panes learn of every change of the document through this interface.
// Each update carries the pane whose action caused it (or null), a hint word
// saying what changed, and for patch changes the patches concerned.

class CPatchItemList;

// Hint bits; a pane redraws what its bits ask for.
enum DocumentHint : unsigned
{
    HintEverything = 0x00, // new, opened or emptied document
    HintFolder = 0x01,     // current folder
    HintFile = 0x02,       // current file
    HintBankTabs = 0x04,   // names and content of all banks
    HintBankList = 0x08,   // the current bank's slots
    HintPatchTabs = 0x10,  // the banks of the patches concerned (all banks without patches)
    HintPatchRows = 0x20,  // the slots of the patches concerned
    HintFolderTree = 0x40, // the folder tree is to be read again
    HintPatchNames = 0x80, // the names of the patches concerned; nothing moved
    HintBankContent = HintBankTabs | HintBankList,  // a bank file loaded, banks cleared, an import
    HintBankCleared = HintBankList | HintPatchTabs, // current bank cleared, synth mode of bank 0 changed
    HintPatches = HintPatchTabs | HintPatchRows,    // patches added, removed, replaced or modified
};

class IDocumentObserver
{
public:
    virtual ~IDocumentObserver() = default;
    // patches is null unless the hint has HintPatchRows; it and the patches
    // in it are valid only during the call (removed patches are deleted
    // afterwards), so an observer copies what it keeps.
    virtual void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) = 0;
};
