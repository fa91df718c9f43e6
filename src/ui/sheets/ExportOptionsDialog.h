#pragma once
// What File > Export as SoundFont asks before the file name: the format
// (SoundFont 2, or SoundFont 3 with Ogg Vorbis samples at a quality), and
// whether the General MIDI set goes under the user banks.

#include "bank/SoundFontExport.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSlider;

class CExportOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    // synthBank: the General MIDI set the check box adds.
    CExportOptionsDialog(std::string synthBank, QWidget* parent = nullptr);

    SoundFontExportOptions GetOptions() const;

    QComboBox* GetFormat() const { return format; }
    QSlider* GetQuality() const { return quality; }
    QCheckBox* GetWithSynthBank() const { return withSynthBank; }

private:
    std::string synthBank;
    QComboBox* format = nullptr;
    QSlider* quality = nullptr;
    QCheckBox* withSynthBank = nullptr;
};
