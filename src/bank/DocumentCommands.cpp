#include "bank/DocumentCommands.h"

#include "bank/CommandIds.h"
#include "bank/TamberlyDoc.h"
#include "synth/AweSession.h"

std::optional<CommandState> GetDocumentCommandState(CTamberlyDoc& document, int commandId,
                                                    bool keyboardVisible)
{
    CommandState state;
    switch (commandId)
    {
    case ID_SYNTH_GM:
        state.checked = document.GetCard().GetSynthBank() == 0;
        break;
    case ID_SYNTH_GS:
        state.checked = document.GetCard().GetSynthBank() == 1;
        break;
    case ID_SYNTH_MT32:
        state.checked = document.GetCard().GetSynthBank() == 2;
        break;
    case ID_LOAD_FILE_IN_BANK:
        state.enabled = document.GetCurrentBank() > 0;
        break;
    case ID_CLEAR_CURRENT_BANK:
        state.enabled = document.GetCurrentBank() > 0 &&
                        !document.GetCard().GetBankName(document.GetCurrentBank()).empty();
        break;
    case ID_VIEW_KEYBOARD:
        state.checked = keyboardVisible;
        break;
    case ID_EDIT_UNDO:
        state.enabled = document.CanUndo();
        break;
    case ID_EDIT_REDO:
        state.enabled = document.CanRedo();
        break;
    case ID_SELECT_FX:
    case ID_CLEAR_ALL_BANKS:
    case ID_VIEW_REFRESH_TREE:
    case ID_FILE_IMPORT_SHB:
    case ID_FILE_INFO:
    case ID_INDICATOR_PATCH:
    case ID_INDICATOR_FREE_MEMORY:
    case ID_INDICATOR_CARD_STATUS:
        break;
    default:
        return std::nullopt;
    }
    return state;
}
