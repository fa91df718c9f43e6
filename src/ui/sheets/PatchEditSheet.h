#pragma once
// The "Patch Properties" sheet with its one page.

#include "ui/sheets/PropertySheet.h"

class CPatchEditPage1;

class CPatchEditSheet : public CPropertySheet
{
    Q_OBJECT

public:
    explicit CPatchEditSheet(QWidget* parent = nullptr);
    CPatchEditPage1& GetPage1() const { return *page1; }

private:
    CPatchEditPage1* page1;
};
