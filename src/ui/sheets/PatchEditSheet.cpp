#include "ui/sheets/PatchEditSheet.h"

#include "ui/UiText.h"
#include "ui/sheets/PatchEditPage1.h"

CPatchEditSheet::CPatchEditSheet(QWidget* parent)
    : CPropertySheet(UiText(IDS_PATCH_SHEET_CAPTION), parent), page1(new CPatchEditPage1(this))
{
    AddPage(page1);
}
