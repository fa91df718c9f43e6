#pragma once
// The "Virtual Bank Information" sheet with its one page.

#include "ui/sheets/PropertySheet.h"

class CTmbInfoPage;

class CTmbInfoSheet : public CPropertySheet
{
    Q_OBJECT

public:
    explicit CTmbInfoSheet(QWidget* parent = nullptr);
    CTmbInfoPage& GetPage() const { return *page; }

private:
    CTmbInfoPage* page;
};
