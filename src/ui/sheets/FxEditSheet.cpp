#include "ui/sheets/FxEditSheet.h"

#include "ui/UiText.h"
#include "ui/sheets/FxEditPage1.h"

CFxEditSheet::CFxEditSheet(QWidget* parent)
    : CPropertySheet(UiText(IDS_FX_SHEET_CAPTION), parent), page1(new CFxEditPage1(this))
{
    AddPage(page1);
}
