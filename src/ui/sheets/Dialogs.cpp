#include "ui/sheets/Dialogs.h"

#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "ui/Profile.h"
#include "ui/UiText.h"
#include "ui/sheets/AboutDialog.h"
#include "ui/sheets/QtEffectsRunner.h"
#include "ui/sheets/QtInfoRunner.h"
#include "ui/sheets/QtPatchPropertiesRunner.h"
#include "ui/sheets/SettingsDialog.h"
#include "ui/sheets/SplashWindow.h"
#include "ui/sheets/TipDialog.h"

#include <QFileDialog>

void RunAboutBox(QWidget* parent)
{
    CAboutDialog about(parent);
    about.exec();
}

void RunTipDialog(QWidget* parent)
{
    CTipDialog tip(parent);
    tip.exec();
}

void ShowTipAtStartUp(QWidget* parent)
{
    // Made either way: making it moves the tips on by one.
    CTipDialog tip(parent);
    if (tip.GetShowAtStartup())
        tip.exec();
}

void ShowSplash(QWidget* frame)
{
    static bool shown = false;
    if (shown)
        return;
    shown = true;
    CSplashWindow::Show(frame);
}

void RunEffectsSheet(QWidget* parent, CTamberlyDoc& document)
{
    CQtEffectsRunner runner(parent);
    document.EditEffects(runner);
}

void RunInfoSheet(QWidget* parent, CTamberlyDoc& document)
{
    CQtInfoRunner runner(parent);
    document.EditInfo(runner);
}

void RunPatchPropertiesSheet(QWidget* parent, CTamberlyDoc& document, CPatchItem* patch)
{
    CQtPatchPropertiesRunner runner(parent);
    document.EditPatchProperties(patch, runner);
}

void RunSettingsDialog(QWidget* parent, const ProgramSettings& settings, SettingsChoices choices)
{
    choices.chooseGeneralMidi = [parent] {
        return QFileDialog::getOpenFileName(parent, UiText(IDS_SETTINGS_GM), {},
                                            UiText(IDS_SETTINGS_GM_FILTER));
    };
    CSettingsDialog dialog(
        settings, std::move(choices),
        [parent] { return QFileDialog::getExistingDirectory(parent, UiText(IDS_CHOOSE_FOLDER)); }, parent);
    dialog.exec();
}
