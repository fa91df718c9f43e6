#pragma once
// What the main window calls to run the sheets and small dialogs. Each runs
// modally over parent (may be null) and returns when the user closed it.

#include "ui/sheets/SettingsDialog.h"

class CPatchItem;
class CTamberlyDoc;
class QWidget;

// Help > About (57664).
void RunAboutBox(QWidget* parent);
// Help > Tip of the day (127).
void RunTipDialog(QWidget* parent);
// Edit > Settings...: the settings dialog over settings, with the file and
// folder choosers filled in; choices.apply puts the pages in effect.
void RunSettingsDialog(QWidget* parent, const ProgramSettings& settings, SettingsChoices choices);
// Start-up: reads the next tip and shows the dialog unless the user switched
// that off. Call only when the splash window is allowed (not for an
// embedding or automation start).
void ShowTipAtStartUp(QWidget* parent);
// The start-up picture over frame, at most once per run; it goes by itself.
void ShowSplash(QWidget* frame);

// Awe32 > Select FX (32799): the FX settings sheet through the document.
void RunEffectsSheet(QWidget* parent, CTamberlyDoc& document);
// File > Info (32810): the bank information sheet through the document.
void RunInfoSheet(QWidget* parent, CTamberlyDoc& document);
// Properties (32789) of a document patch: the patch properties sheet through
// the document (nothing for a patch that is not the document's).
void RunPatchPropertiesSheet(QWidget* parent, CTamberlyDoc& document, CPatchItem* patch);
