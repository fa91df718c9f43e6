#pragma once
// Where the commands meet the property sheets and small dialogs, one function
// each. The sheets are built elsewhere; until a function below runs its sheet
// the command does nothing visible (and changes nothing).

class CPatchItem;
class CTamberlyDoc;
class QWidget;

namespace DialogHooks
{
// Select FX (32799): the effects sheet through CTamberlyDoc::EditEffects.
void EditEffects(CTamberlyDoc& document, QWidget* parent);
// Info (32810): the bank information sheet through CTamberlyDoc::EditInfo.
void EditInfo(CTamberlyDoc& document, QWidget* parent);
// Properties (32789) of a document patch: the patch properties sheet through
// CTamberlyDoc::EditPatchProperties. item is valid during the call only.
void EditPatchProperties(CTamberlyDoc& document, CPatchItem* item, QWidget* parent);
// About (57664): the About box.
void ShowAbout(QWidget* parent);
// Tip of the day (127): the tip dialog, modal.
void ShowTipOfTheDay(QWidget* parent);
// At start-up, after the window is shown: the tip dialog when its start-up
// option is on.
void ShowTipAtStartup(QWidget* parent);
// At start-up, before the window is shown: the splash window.
void ShowSplash(QWidget* mainWindow);
} // namespace DialogHooks
