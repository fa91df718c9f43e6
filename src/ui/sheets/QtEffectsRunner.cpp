#include "ui/sheets/QtEffectsRunner.h"

#include "ui/sheets/FxEditPage1.h"
#include "ui/sheets/FxEditSheet.h"

bool CQtEffectsRunner::RunEffects(CAweSession& card, int reverb, int chorus)
{
    CFxEditSheet sheet(parent);
    sheet.GetPage1().SetReverb(reverb);
    sheet.GetPage1().SetChorus(chorus);
    sheet.GetPage1().SetSynth(&card);
    return CPropertySheet::Run(sheet, driver);
}
