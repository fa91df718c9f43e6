#pragma once
// The FX settings sheet for the document's effects command.

#include "bank/EffectsRunner.h"
#include "ui/sheets/PropertySheet.h"

class QWidget;

class CQtEffectsRunner : public IEffectsRunner
{
public:
    // parent (may be null) centres and owns the sheet while it runs.
    explicit CQtEffectsRunner(QWidget* parent) : parent(parent) {}

    // Tests: the sheet is shown without a modal loop and handed to driver (PropertySheet.h).
    void SetDriver(CPropertySheet::Driver sheetDriver) { driver = std::move(sheetDriver); }

    bool RunEffects(CAweSession& card, int reverb, int chorus) override;

private:
    QWidget* parent;
    CPropertySheet::Driver driver;
};
