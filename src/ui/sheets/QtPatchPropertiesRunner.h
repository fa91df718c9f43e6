#pragma once
// The patch properties sheet for the document's edit-properties operation.

#include "bank/PatchPropertiesRunner.h"
#include "ui/sheets/PatchEditPage1.h"
#include "ui/sheets/PropertySheet.h"

class QWidget;

class CQtPatchPropertiesRunner : public IPatchPropertiesRunner
{
public:
    // parent (may be null) centres and owns the sheet while it runs.
    explicit CQtPatchPropertiesRunner(QWidget* parent) : parent(parent) {}

    // Tests: the sheet is shown without a modal loop and handed to driver (PropertySheet.h).
    void SetDriver(CPropertySheet::Driver sheetDriver) { driver = std::move(sheetDriver); }
    // The chooser of the page's Browse button (default: the desktop's file dialog).
    void SetFileChooser(CPatchEditPage1::FileChooser chooser) { fileChooser = std::move(chooser); }

    bool RunPatchProperties(CPatchItem& working, CPatchItem& original, CTamberlyDoc& document) override;

private:
    QWidget* parent;
    CPropertySheet::Driver driver;
    CPatchEditPage1::FileChooser fileChooser;
};
