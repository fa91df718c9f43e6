#include "ui/sheets/TmbInfoSheet.h"

#include "ui/UiText.h"
#include "ui/sheets/TmbInfoPage.h"

CTmbInfoSheet::CTmbInfoSheet(QWidget* parent)
    : CPropertySheet(UiText(IDS_INFO_SHEET_CAPTION), parent), page(new CTmbInfoPage(this))
{
    AddPage(page);
}
