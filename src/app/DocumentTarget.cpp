#include "app/DocumentTarget.h"

#include "app/UserPrompts.h"
#include "bank/CommandIds.h"
#include "bank/DocumentCommands.h"
#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/FileFilter.h"
#include "ui/Profile.h"
#include "ui/UiText.h"
#include "ui/WaitCursor.h"
#include "ui/keyboard/MidiKeyboardDlg.h"
#include "ui/sheets/Dialogs.h"

#include <QFile>

namespace
{

std::string FilePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
} // namespace

CDocumentTarget::CDocumentTarget(CTamberlyDoc& doc, IUserPrompts& userPrompts)
    : document(doc), prompts(userPrompts), freeMemoryText(UiText(IDS_PANE_FREE_MEMORY))
{
}

bool CDocumentTarget::OnUpdateCommand(CCmdUI& ui)
{
    const bool keyboardVisible = keyboard && keyboard->isVisible();
    const std::optional<CommandState> state = GetDocumentCommandState(document, ui.GetId(), keyboardVisible);
    if (!state)
        return false;
    ui.Enable(state->enabled);
    switch (ui.GetId())
    {
    case ID_SYNTH_GM:
    case ID_SYNTH_GS:
    case ID_SYNTH_MT32:
    case ID_VIEW_KEYBOARD:
        ui.SetCheck(state->checked);
        break;
    case ID_EDIT_UNDO:
        ui.SetText(document.CanUndo()
                       ? UiText(IDS_ITEM_UNDO).arg(QString::fromStdString(document.GetUndoName()))
                       : UiText(IDS_ITEM_CANT_UNDO));
        break;
    case ID_EDIT_REDO:
        ui.SetText(document.CanRedo()
                       ? UiText(IDS_ITEM_REDO).arg(QString::fromStdString(document.GetRedoName()))
                       : UiText(IDS_ITEM_CANT_REDO));
        break;
    case ID_INDICATOR_PATCH:
        ui.SetText(QString::fromStdString(StoredTextToDisplay(document.GetCurrentPatchPaneText())));
        break;
    case ID_INDICATOR_CARD_STATUS:
        ui.SetText(QString::fromStdString(document.GetCardStatusText()));
        break;
    case ID_INDICATOR_FREE_MEMORY:
        freeMemoryText = QString::fromStdString(document.GetFreeMemoryPaneText(freeMemoryText.toStdString()));
        ui.SetText(freeMemoryText);
        break;
    default:
        break;
    }
    return true;
}

bool CDocumentTarget::OnCommand(int id)
{
    switch (id)
    {
    case ID_SYNTH_GM:
    case ID_SYNTH_GS:
    case ID_SYNTH_MT32:
    {
        const CWaitCursor wait;
        document.SelectSynthMode(id == ID_SYNTH_GM ? 0 : id == ID_SYNTH_GS ? 1 : 2);
        return true;
    }
    case ID_SELECT_FX:
        RunEffectsSheet(parent, document);
        return true;
    case ID_LOAD_FILE_IN_BANK:
        LoadFileInCurrentBank();
        return true;
    case ID_CLEAR_CURRENT_BANK:
    {
        const CWaitCursor wait;
        document.ClearCurrentBank();
        return true;
    }
    case ID_CLEAR_ALL_BANKS:
    {
        const CWaitCursor wait;
        document.ClearAllBanks();
        return true;
    }
    case ID_VIEW_KEYBOARD:
        if (keyboard)
            keyboard->ToggleVisible();
        return true;
    case ID_EDIT_UNDO:
    {
        const CWaitCursor wait;
        document.Undo();
        return true;
    }
    case ID_EDIT_REDO:
    {
        const CWaitCursor wait;
        document.Redo();
        return true;
    }
    case ID_VIEW_REFRESH_TREE:
        document.RefreshFolderTree();
        return true;
    case ID_FILE_IMPORT_SHB:
        ImportShb();
        return true;
    case ID_FILE_INFO:
        RunInfoSheet(parent, document);
        return true;
    default:
        return false;
    }
}

void CDocumentTarget::LoadFileInCurrentBank()
{
    const QString path = prompts.ChooseOpenFile(parent, UiText(IDS_OPEN_FILE_TITLE),
                                                FileFilter::FromStringTable(IDS_FILTER_BANK_FILES));
    if (path.isEmpty())
        return;
    const CWaitCursor wait;
    document.OnLoadFileInCurrentBank(FilePath(path));
}

void CDocumentTarget::ImportShb()
{
    const QString path = prompts.ChooseOpenFile(parent, UiText(IDS_OPEN_FILE_TITLE),
                                                FileFilter::FromStringTable(IDS_FILTER_SHB_FILES));
    if (path.isEmpty())
        return;
    {
        const CWaitCursor wait;
        document.SetResolverSettings(Profile::GetResolverSettings(true));
        document.ImportShbFile(FilePath(path));
    }
    if (!document.GetMissingFiles().empty())
        prompts.ShowMissingFiles(parent, document);
}
