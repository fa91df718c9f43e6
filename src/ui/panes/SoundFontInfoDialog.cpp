#include "ui/panes/SoundFontInfoDialog.h"

#include "bank/FileHelpers.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "soundfont/SoundFontReader.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

QString Display(const std::string& bytes)
{
    return QString::fromStdString(StoredTextToDisplay(bytes));
}

QLineEdit* ReadOnlyField(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}
} // namespace

CSoundFontInfoDialog::CSoundFontInfoDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(UiText(IDS_INFO_CAPTION));

    tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    form = new QFormLayout(page);
    nameEdit = ReadOnlyField(page);
    productEdit = ReadOnlyField(page);
    dateEdit = ReadOnlyField(page);
    engineerEdit = ReadOnlyField(page);
    copyrightEdit = ReadOnlyField(page);
    commentEdit = new QPlainTextEdit(page);
    commentEdit->setReadOnly(true);
    // About two lines high, as the field of the old dialog; longer comments scroll.
    commentEdit->setFixedHeight(commentEdit->fontMetrics().lineSpacing() * 3 + 8);
    form->addRow(UiText(IDS_INFO_NAME), nameEdit);
    form->addRow(UiText(IDS_INFO_PRODUCT), productEdit);
    form->addRow(UiText(IDS_INFO_DATE), dateEdit);
    form->addRow(UiText(IDS_INFO_ENGINEER), engineerEdit);
    form->addRow(UiText(IDS_INFO_COPYRIGHT), copyrightEdit);
    form->addRow(UiText(IDS_INFO_COMMENT), commentEdit);
    versionEdit = ReadOnlyField(page);
    engineEdit = ReadOnlyField(page);
    romEdit = ReadOnlyField(page);
    softwareEdit = ReadOnlyField(page);
    form->addRow(UiText(IDS_INFO_VERSION), versionEdit);
    form->addRow(UiText(IDS_INFO_ENGINE), engineEdit);
    form->addRow(UiText(IDS_INFO_ROM), romEdit);
    form->addRow(UiText(IDS_INFO_SOFTWARE), softwareEdit);
    tabs->addTab(page, UiText(IDS_INFO_TAB));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(UiText(IDS_OK), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    // 195 dialog units of MS Sans Serif 8 are about 300 pixels.
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);
}

void CSoundFontInfoDialog::SetTexts(const CSoundFontReader& reader)
{
    name = reader.name;
    product = reader.product;
    creationDate = reader.creationDate;
    engineer = reader.engineer;
    copyright = reader.copyright;
    comment = reader.comment;
    if (reader.GetMajorVersion() >= 2)
    {
        version = reader.GetVersionText();
        soundEngine = reader.soundEngine;
        rom = reader.romName;
        if (!reader.romVersion.empty())
            rom.append(rom.empty() ? "" : " ").append(reader.romVersion);
        software = reader.software;
    }
}

void CSoundFontInfoDialog::InitDialog()
{
    nameEdit->setText(Display(name));
    productEdit->setText(Display(product));
    dateEdit->setText(Display(creationDate));
    engineerEdit->setText(Display(engineer));
    copyrightEdit->setText(Display(copyright));
    // Banks written on DOS and Windows break their lines with CR LF.
    QString commentText = Display(comment);
    commentText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    commentText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    commentEdit->setPlainText(commentText);
    versionEdit->setText(Display(version));
    engineEdit->setText(Display(soundEngine));
    romEdit->setText(Display(rom));
    softwareEdit->setText(Display(software));
    for (QWidget* field : {static_cast<QWidget*>(versionEdit), static_cast<QWidget*>(engineEdit),
                           static_cast<QWidget*>(romEdit), static_cast<QWidget*>(softwareEdit)})
        form->setRowVisible(field, !version.empty());

    const std::string title = StoredTextToDisplay(GetPathPart(path, PathFileName));
    setWindowTitle(QString::fromStdString(FormatString(IDS_INFO_CAPTION, title.c_str())));
    initialized = true;
}

void CSoundFontInfoDialog::showEvent(QShowEvent* event)
{
    if (!initialized)
        InitDialog();
    QDialog::showEvent(event);
}
