#include "ui/sheets/ExportOptionsDialog.h"

#include "ui/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace
{
// The slider counts tenths of libvorbis's quality, -0.1 to 1.0.
constexpr int kQualityMin = -1, kQualityMax = 10, kQualityDefault = 5;
} // namespace

CExportOptionsDialog::CExportOptionsDialog(std::string synthBank, QWidget* parent)
    : QDialog(parent), synthBank(std::move(synthBank))
{
    setWindowTitle(UiText(IDS_EXPORT_TITLE));
    format = new QComboBox(this);
    format->addItem(UiText(IDS_EXPORT_FORMAT_SF2));
    format->addItem(UiText(IDS_EXPORT_FORMAT_SF3));
    quality = new QSlider(Qt::Horizontal, this);
    quality->setRange(kQualityMin, kQualityMax);
    quality->setValue(kQualityDefault);
    quality->setTickPosition(QSlider::TicksBelow);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(new QLabel(UiText(IDS_EXPORT_QUALITY_SMALL), this));
    qualityRow->addWidget(quality, 1);
    qualityRow->addWidget(new QLabel(UiText(IDS_EXPORT_QUALITY_BEST), this));
    withSynthBank = new QCheckBox(UiText(IDS_EXPORT_WITH_SYNTH_BANK), this);
    withSynthBank->setToolTip(QString::fromStdString(this->synthBank));

    auto* form = new QFormLayout;
    form->addRow(UiText(IDS_EXPORT_FORMAT), format);
    form->addRow(UiText(IDS_EXPORT_QUALITY), qualityRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(withSynthBank);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The quality means something for SoundFont 3 only.
    const auto follow = [this] { quality->setEnabled(format->currentIndex() == 1); };
    connect(format, &QComboBox::currentIndexChanged, this, follow);
    follow();
}

SoundFontExportOptions CExportOptionsDialog::GetOptions() const
{
    SoundFontExportOptions options;
    options.compressed = format->currentIndex() == 1;
    options.quality = quality->value() / 10.0;
    if (withSynthBank->isChecked())
        options.synthBank = synthBank;
    return options;
}
