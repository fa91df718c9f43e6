#include "bank/DocumentCommands.h"

#include "bank/TamberlyDoc.h"
#include "synth/AweSession.h"

std::optional<CommandState> GetDocumentCommandState(CTamberlyDoc& document, unsigned commandId,
                                                    bool keyboardVisible)
{
    CommandState state;
    switch (commandId)
    {
    case ID_AWE_GENERAL_MIDI:
        state.checked = document.GetCard().GetSynthBank() == 0;
        break;
    case ID_AWE_ROLAND_GS:
        state.checked = document.GetCard().GetSynthBank() == 1;
        break;
    case ID_AWE_MT32:
        state.checked = document.GetCard().GetSynthBank() == 2;
        break;
    case ID_AWE_LOAD_FILE:
        state.enabled = document.GetCurrentBank() > 0;
        break;
    case ID_AWE_CLEAR_BANK:
        state.enabled =
            document.GetCurrentBank() > 0 && !document.GetCard().GetBankName(document.GetCurrentBank()).empty();
        break;
    case ID_VIEW_KEYBOARD:
        state.checked = keyboardVisible;
        break;
    case ID_AWE_SELECT_FX:
    case ID_AWE_CLEAR_ALL:
    case ID_REFRESH_FOLDER_TREE:
    case ID_IMPORT_SHB:
    case ID_BANK_INFO:
    case ID_PANE_FREE_MEMORY:
    case ID_PANE_CURRENT_PATCH:
        break;
    default:
        return std::nullopt;
    }
    return state;
}
