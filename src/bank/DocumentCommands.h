#pragma once
// The enable and check rules of the commands the document handles, for the
// front end's update handlers. The commands themselves are calls on the
// document (after a file chooser or a sheet where the command needs one):
//
//   32786, 32787, 32784  synth mode GM, GS, MT-32   SelectSynthMode(0, 1, 2)
//   32799                select FX                  EditEffects(runner)
//   32797                load file in current bank  chooser, OnLoadFileInCurrentBank(path)
//   32785                clear current bank         ClearCurrentBank()
//   32800                clear all banks            ClearAllBanks()
//   32803                keyboard                   the front end shows or hides its window
//   32807                refresh folder tree        RefreshFolderTree()
//   32809                import SHB                 chooser, ImportShbFile(path)
//   32810                info                       EditInfo(runner)
//   57643, 33080         undo, redo                 Undo(), Redo() (texts: GetUndoName, GetRedoName)
//   512, 37              status panes               GetFreeMemoryPaneText, GetCurrentPatchPaneText
//
// (The numbers are those of the front end's command table.)

#include <optional>

class CTamberlyDoc;

struct CommandState
{
    bool enabled = true;
    bool checked = false;
    bool operator==(const CommandState&) const = default;
};

// The state of one of the commands above; nothing for other numbers. The
// keyboard command's check mark is the keyboard window's visibility, which
// only the front end knows. The synth mode check marks ask the card.
std::optional<CommandState> GetDocumentCommandState(CTamberlyDoc& document, int commandId,
                                                    bool keyboardVisible = false);
