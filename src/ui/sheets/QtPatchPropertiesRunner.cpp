#include "ui/sheets/QtPatchPropertiesRunner.h"

#include "ui/sheets/PatchEditSheet.h"

bool CQtPatchPropertiesRunner::RunPatchProperties(CPatchItem& working, CPatchItem& original,
                                                  CTamberlyDoc& document)
{
    CPatchEditSheet sheet(parent);
    sheet.GetPage1().SetPatch(&working, &original, &document);
    if (fileChooser)
        sheet.GetPage1().SetFileChooser(fileChooser);
    return CPropertySheet::Run(sheet, driver);
}
