#include "ui/sheets/AboutDialog.h"

#include "ui/UiText.h"
#include "ui/sheets/Artwork.h"
#include "ui/sheets/MachineStatus.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

CAboutDialog::CAboutDialog(QWidget* parent, const std::string& folder)
    : QDialog(parent), memoryField(new QLabel(this)), diskField(new QLabel(this)), licenseField(nullptr)
{
    setWindowTitle(UiText(IDS_ABOUT_CAPTION));
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(DrawAboutImage());
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* version = new QLabel(UiText(IDS_ABOUT_VERSION), this);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto* credit = new QLabel(UiText(IDS_ABOUT_CREDIT), this);
    auto* copyright = new QLabel(UiText(IDS_ABOUT_COPYRIGHT), this);
    // The licence's notice, as the GPL asks an interactive program to show it.
    licenseField = new QLabel(UiText(IDS_ABOUT_LICENSE), this);
    licenseField->setTextFormat(Qt::PlainText);
    licenseField->setWordWrap(true);
    licenseField->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Wrapped to the width of about 60 characters rather than to the whole text.
    licenseField->setFixedWidth(DialogUnitsX(*this, 4 * 60));

    std::string where = folder;
    if (where.empty())
    {
        std::error_code error;
        where = std::filesystem::current_path(error).string();
    }
    const auto memory = PhysicalMemoryBytes();
    memoryField->setText(memory ? QString::fromStdString(PhysicalMemoryText(*memory))
                                : UiText(IDS_ABOUT_DISK_UNAVAILABLE));
    diskField->setText(
        QString::fromStdString(DiskSpaceText(where.empty() ? std::nullopt : QueryDiskSpace(where))));
    for (QLabel* field : {memoryField, diskField})
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* values = new QGridLayout;
    values->setHorizontalSpacing(DialogUnitsX(*this, 8));
    values->addWidget(new QLabel(UiText(IDS_ABOUT_MEMORY_LABEL), this), 0, 0);
    values->addWidget(memoryField, 0, 1);
    values->addWidget(new QLabel(UiText(IDS_ABOUT_DISK_LABEL), this), 1, 0);
    values->addWidget(diskField, 1, 1);
    values->setColumnStretch(1, 1);

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(credit);
    texts->addWidget(copyright);
    texts->addSpacing(DialogUnitsY(*this, 6));
    texts->addLayout(values);
    texts->addSpacing(DialogUnitsY(*this, 6));
    texts->addWidget(licenseField);
    texts->addStretch(1);

    auto* body = new QHBoxLayout;
    body->addWidget(picture, 0, Qt::AlignTop);
    body->addSpacing(DialogUnitsX(*this, 8));
    body->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
