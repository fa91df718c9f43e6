#include "app/DialogHooks.h"

// The sheets and dialogs are not part of this program yet: each function
// returns without showing anything, so its command leaves the document and
// the card exactly as they were.

namespace DialogHooks
{
void EditEffects(CTamberlyDoc&, QWidget*) {}

void EditInfo(CTamberlyDoc&, QWidget*) {}

void EditPatchProperties(CTamberlyDoc&, CPatchItem*, QWidget*) {}

void ShowAbout(QWidget*) {}

void ShowTipOfTheDay(QWidget*) {}

void ShowTipAtStartup(QWidget*) {}

void ShowSplash(QWidget*) {}
} // namespace DialogHooks
