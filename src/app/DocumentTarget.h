#pragma once
// The document's place in the command chain: the card commands, the keyboard
// and folder-tree commands, the import and information commands, and the
// two status panes the document fills (current patch, free sound memory).
// File choosers and sheets are opened here; the work is the document's.

#include "ui/CommandTarget.h"

#include <QString>

class CMidiKeyboardDlg;
class CTamberlyDoc;
class IUserPrompts;
class QWidget;

class CDocumentTarget final : public ICommandTarget
{
public:
    CDocumentTarget(CTamberlyDoc& document, IUserPrompts& prompts);

    // The window file choosers and sheets belong to.
    void SetParentWindow(QWidget* window) { parent = window; }
    // The keyboard window the keyboard command shows and hides (may be null).
    void SetKeyboard(CMidiKeyboardDlg* window) { keyboard = window; }

    bool OnCommand(int id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;

private:
    void LoadFileInCurrentBank();
    void ImportShb();

    CTamberlyDoc& document;
    IUserPrompts& prompts;
    QWidget* parent = nullptr;
    CMidiKeyboardDlg* keyboard = nullptr;
    // What the free memory pane showed last; it keeps that when the card
    // does not tell its memory.
    QString freeMemoryText;
};
