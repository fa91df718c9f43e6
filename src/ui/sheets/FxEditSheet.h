#pragma once
// The "FX Settings" sheet with its one page.

#include "ui/sheets/PropertySheet.h"

class CFxEditPage1;

class CFxEditSheet : public CPropertySheet
{
    Q_OBJECT

public:
    explicit CFxEditSheet(QWidget* parent = nullptr);
    CFxEditPage1& GetPage1() const { return *page1; }

private:
    CFxEditPage1* page1;
};
