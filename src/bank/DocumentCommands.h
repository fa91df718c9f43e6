#pragma once
// The commands the document handles, with the rules that enable them and
// set their check marks. The front end's update handlers call
// GetDocumentCommandState; the commands themselves are calls on the document
// (after a file chooser or a sheet where the command needs one).

#include <optional>

class CTamberlyDoc;

enum DocumentCommandId : unsigned
{
    ID_AWE_MT32 = 32784,             // SelectSynthMode(2)
    ID_AWE_CLEAR_BANK = 32785,       // ClearCurrentBank()
    ID_AWE_GENERAL_MIDI = 32786,     // SelectSynthMode(0)
    ID_AWE_ROLAND_GS = 32787,        // SelectSynthMode(1)
    ID_AWE_LOAD_FILE = 32797,        // file chooser, then OnLoadFileInCurrentBank(path)
    ID_AWE_SELECT_FX = 32799,        // EditEffects(runner)
    ID_AWE_CLEAR_ALL = 32800,        // ClearAllBanks()
    ID_VIEW_KEYBOARD = 32803,        // the front end shows or hides the keyboard window
    ID_REFRESH_FOLDER_TREE = 32807,  // RefreshFolderTree()
    ID_IMPORT_SHB = 32809,           // file chooser, then ImportShbFile(path)
    ID_BANK_INFO = 32810,            // EditInfo(runner)
    ID_PANE_FREE_MEMORY = 512,       // status pane: GetFreeMemoryPaneText(previous)
    ID_PANE_CURRENT_PATCH = 37,      // status pane: GetCurrentPatchPaneText()
};

struct CommandState
{
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

// The state of one of the commands above; nothing for other ids. The
// keyboard command's check mark is the keyboard window's visibility, which
// only the front end knows. The synth mode commands ask the card.
std::optional<CommandState> GetDocumentCommandState(CTamberlyDoc& document, unsigned commandId,
                                                    bool keyboardVisible = false);
