#include "ui/sheets/PatchEditSheet.h"

#include "ui/sheets/PatchEditPage1.h"
#include "ui/UiText.h"

CPatchEditSheet::CPatchEditSheet(QWidget* parent)
    : CPropertySheet(UiText(IDS_PATCH_SHEET_CAPTION), parent), page1(new CPatchEditPage1(this))
{
    AddPage(page1);
}
