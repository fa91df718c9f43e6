#pragma once
// The bank information sheet for the document's information command.

#include "bank/InfoRunner.h"
#include "ui/sheets/PropertySheet.h"

class QWidget;

class CQtInfoRunner : public IInfoRunner
{
public:
    // parent (may be null) centres and owns the sheet while it runs.
    explicit CQtInfoRunner(QWidget* parent) : parent(parent) {}

    // Tests: the sheet is shown without a modal loop and handed to driver (PropertySheet.h).
    void SetDriver(CPropertySheet::Driver sheetDriver) { driver = std::move(sheetDriver); }

    bool RunInfo(std::string& text) override;

private:
    QWidget* parent;
    CPropertySheet::Driver driver;
};
