#include "app/UserPrompts.h"

#include "ui/FileFilter.h"

#include "platform/StringTable.h"
#include "ui/UiText.h"
#include "ui/sheets/MissingFilesDialog.h"

#include <QFileDialog>
#include <QMessageBox>

namespace
{
QString Caption()
{
    return QString::fromStdString(LoadString(IDS_PROFILE_APPLICATION));
}
} // namespace

void CDialogPrompts::ShowError(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, Caption(), text, QMessageBox::Ok);
}

IUserPrompts::Answer CDialogPrompts::AskYesNoCancel(QWidget* parent, const QString& text)
{
    switch (QMessageBox::question(parent, Caption(), text,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes))
    {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString CDialogPrompts::ChooseOpenFile(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter, nullptr, QFileDialog::ReadOnly);
}

QString CDialogPrompts::ChooseSaveFile(QWidget* parent, const QString& title, const QString& filter,
                                       const QString& proposed)
{
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
}

void CDialogPrompts::ShowMissingFiles(QWidget* parent, CTamberlyDoc& document)
{
    CMissingFilesDialog dialog(
        document, [&] { return QFileDialog::getExistingDirectory(parent, UiText(IDS_CHOOSE_FOLDER)); },
        [&](const QString& stored)
        {
            return QFileDialog::getOpenFileName(parent, stored, QString(),
                                                FileFilter::FromStringTable(IDS_FILTER_BANK_FILES));
        },
        parent);
    dialog.exec();
}
