#include "ui/sheets/TmbInfoSheet.h"

#include "ui/sheets/TmbInfoPage.h"
#include "ui/UiText.h"

CTmbInfoSheet::CTmbInfoSheet(QWidget* parent)
    : CPropertySheet(UiText(IDS_INFO_SHEET_CAPTION), parent), page(new CTmbInfoPage(this))
{
    AddPage(page);
}
