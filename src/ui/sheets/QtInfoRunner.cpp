#include "ui/sheets/QtInfoRunner.h"

#include "ui/sheets/TmbInfoPage.h"
#include "ui/sheets/TmbInfoSheet.h"

bool CQtInfoRunner::RunInfo(std::string& text)
{
    CTmbInfoSheet sheet(parent);
    sheet.GetPage().SetText(text);
    if (!CPropertySheet::Run(sheet, driver))
        return false;
    text = sheet.GetPage().GetText();
    return true;
}
