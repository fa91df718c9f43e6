#include "ui/sheets/SettingsDialog.h"

#include "platform/StringTable.h"
#include "synth/MidiPortChoice.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
QPushButton* Button(unsigned textId, QWidget* parent)
{
    return new QPushButton(UiText(textId), parent);
}

constexpr int kBufferSizes[] = {64, 128, 256, 512, 1024, 2048, 4096};
constexpr int kLargestCardKB = 28672;
// The card's own 32 voices up to what a present-day machine renders without strain.
constexpr int kMinVoices = 32;
constexpr int kMaxVoices = 256;

QString DriverLabel(const std::string& name)
{
    static const std::pair<const char*, const char*> labels[] = {
        {"pulseaudio", "PulseAudio"}, {"pipewire", "PipeWire"}, {"alsa", "ALSA"}, {"jack", "JACK"}};
    for (const auto& [driver, label] : labels)
        if (name == driver)
            return QString::fromLatin1(label);
    return QString::fromStdString(name);
}

QString MemoryLabel(int kb)
{
    const QString size =
        kb % 1024 == 0 ? UiText(IDS_SETTINGS_MB).arg(kb / 1024) : UiText(IDS_SETTINGS_KB).arg(kb);
    return kb > kLargestCardKB ? UiText(IDS_SETTINGS_BEYOND_CARD).arg(size) : size;
}

// Selects the item whose data is value; an item for it is added first when
// there is none (a value edited into the profile, a port that is away).
void SelectData(QComboBox* box, const QVariant& value, const QString& labelIfMissing)
{
    int index = box->findData(value);
    if (index < 0)
    {
        box->addItem(labelIfMissing, value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

QPushButton* RestoreButton(QWidget* page, QVBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    QPushButton* restore = Button(IDS_SETTINGS_RESTORE, page);
    row->addWidget(restore);
    layout->addStretch();
    layout->addLayout(row);
    return restore;
}

std::string RowText(const QTableWidget* table, int row)
{
    const auto text = [&](int column)
    {
        const QTableWidgetItem* item = table->item(row, column);
        return item ? item->text().trimmed().toStdString() : std::string();
    };
    return text(0) + "=" + text(1);
}
} // namespace

CSettingsDialog::CSettingsDialog(const PathResolverSettings& settings, std::function<QString()> folder,
                                 QWidget* parent)
    : CSettingsDialog(
          [&]
          {
              ProgramSettings all;
              all.soundFiles = settings;
              return all;
          }(),
          {}, std::move(folder), parent)
{
}

CSettingsDialog::CSettingsDialog(const ProgramSettings& settings, SettingsChoices offered,
                                 std::function<QString()> folder, QWidget* parent)
    : QDialog(parent), choices(std::move(offered)), chooseFolder(std::move(folder))
{
    setWindowTitle(UiText(IDS_SETTINGS_TITLE));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(MakeSoundFilesPage(settings.soundFiles), UiText(IDS_SETTINGS_SOUND_FILES_PAGE));
    tabs->addTab(MakeSoundPage(), UiText(IDS_SETTINGS_SOUND_PAGE));
    tabs->addTab(MakeMidiPage(), UiText(IDS_SETTINGS_MIDI_PAGE));
    tabs->addTab(MakeCardPage(), UiText(IDS_SETTINGS_CARD_PAGE));
    tabs->addTab(MakePreviewPage(), UiText(IDS_SETTINGS_PREVIEW_PAGE));
    ShowSound(settings.sound);
    ShowMidi(settings.midiInput, settings.midiOutput);
    ShowCard(settings);
    preview->setChecked(settings.preview);

    problem = new QLabel(this);
    problem->setWordWrap(true);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    applyButton = buttons->button(QDialogButtonBox::Apply);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, &CSettingsDialog::Apply);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(tabs);
    outer->addWidget(problem);
    outer->addWidget(buttons);
}

QWidget* CSettingsDialog::MakeSoundFilesPage(const PathResolverSettings& settings)
{
    auto* page = new QWidget(this);
    driveMap = new QTableWidget(0, 2, page);
    driveMap->setHorizontalHeaderLabels(
        {UiText(IDS_SETTINGS_COLUMN_DRIVE), UiText(IDS_SETTINGS_COLUMN_FOLDER)});
    driveMap->horizontalHeader()->setStretchLastSection(true);
    driveMap->verticalHeader()->hide();
    for (const auto& [key, target] : settings.driveMap)
    {
        const int row = driveMap->rowCount();
        driveMap->insertRow(row);
        driveMap->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(key)));
        driveMap->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(target)));
    }
    searchFolders = new QListWidget(page);
    for (const std::string& path : settings.searchFolders)
        searchFolders->addItem(QString::fromStdString(path));

    QPushButton* addDrive = Button(IDS_SETTINGS_ADD, page);
    QPushButton* removeDrive = Button(IDS_SETTINGS_REMOVE, page);
    QPushButton* addFolder = Button(IDS_SETTINGS_ADD, page);
    QPushButton* removeFolder = Button(IDS_SETTINGS_REMOVE, page);
    connect(addDrive, &QPushButton::clicked, this, &CSettingsDialog::AddDrive);
    connect(addFolder, &QPushButton::clicked, this, &CSettingsDialog::AddSearchFolder);
    connect(removeDrive, &QPushButton::clicked, this,
            [this]
            {
                if (driveMap->currentRow() >= 0)
                    driveMap->removeRow(driveMap->currentRow());
            });
    connect(removeFolder, &QPushButton::clicked, this, [this] { delete searchFolders->currentItem(); });

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(UiText(IDS_SETTINGS_DRIVE_MAP), page));
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(driveMap);
    auto* driveButtons = new QVBoxLayout;
    driveButtons->addWidget(addDrive);
    driveButtons->addWidget(removeDrive);
    driveButtons->addStretch();
    driveRow->addLayout(driveButtons);
    layout->addLayout(driveRow);
    layout->addWidget(new QLabel(UiText(IDS_SETTINGS_SEARCH_FOLDERS), page));
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(searchFolders);
    auto* folderButtons = new QVBoxLayout;
    folderButtons->addWidget(addFolder);
    folderButtons->addWidget(removeFolder);
    folderButtons->addStretch();
    folderRow->addLayout(folderButtons);
    layout->addLayout(folderRow);

    return page;
}

QWidget* CSettingsDialog::MakeSoundPage()
{
    auto* page = new QWidget(this);
    driver = new QComboBox(page);
    driver->addItem(UiText(IDS_SETTINGS_DRIVER_AUTOMATIC), QString());
    for (const std::string& name : choices.audioDrivers)
        driver->addItem(DriverLabel(name), QString::fromStdString(name));
    device = new QLineEdit(page);
    device->setPlaceholderText(UiText(IDS_SETTINGS_DEVICE_HINT));
    buffer = new QComboBox(page);
    for (int frames : kBufferSizes)
        buffer->addItem(QString::fromStdString(FormatString(IDS_SETTINGS_FRAMES, frames)), frames);
    latency = new QLabel(page);
    voices = new QSpinBox(page);
    voices->setRange(kMinVoices, kMaxVoices);
    connect(driver, &QComboBox::currentIndexChanged, this, &CSettingsDialog::UpdateDeviceAndLatency);
    connect(buffer, &QComboBox::currentIndexChanged, this, &CSettingsDialog::UpdateDeviceAndLatency);

    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    form->addRow(UiText(IDS_SETTINGS_DRIVER), driver);
    form->addRow(UiText(IDS_SETTINGS_DEVICE), device);
    form->addRow(UiText(IDS_SETTINGS_BUFFER), buffer);
    form->addRow(QString(), latency);
    form->addRow(UiText(IDS_SETTINGS_VOICES), voices);
    layout->addLayout(form);
    connect(RestoreButton(page, layout), &QPushButton::clicked, this, [this] { ShowSound(SoundSettings()); });
    return page;
}

QWidget* CSettingsDialog::MakeMidiPage()
{
    auto* page = new QWidget(this);
    midiInput = new QComboBox(page);
    midiOutput = new QComboBox(page);
    auto* note = new QLabel(UiText(IDS_SETTINGS_MIDI_NOTE), page);
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    form->addRow(UiText(IDS_SETTINGS_MIDI_INPUT), midiInput);
    form->addRow(UiText(IDS_SETTINGS_MIDI_OUTPUT), midiOutput);
    layout->addLayout(form);
    layout->addWidget(note);
    connect(RestoreButton(page, layout), &QPushButton::clicked, this, [this] { ShowMidi({}, {}); });
    return page;
}

QWidget* CSettingsDialog::MakeCardPage()
{
    auto* page = new QWidget(this);
    generalMidi = new QLineEdit(page);
    QPushButton* browse = Button(IDS_SETTINGS_BROWSE, page);
    connect(browse, &QPushButton::clicked, this,
            [this]
            {
                if (const QString file = choices.chooseGeneralMidi ? choices.chooseGeneralMidi() : QString();
                    !file.isEmpty())
                    generalMidi->setText(file);
            });
    auto* gmNote = new QLabel(page);
    gmNote->setWordWrap(true);
    if (!choices.environmentGeneralMidi.empty())
    {
        // Editing a choice that does not play would only mislead.
        gmNote->setText(
            UiText(IDS_SETTINGS_GM_ENVIRONMENT).arg(QString::fromStdString(choices.environmentGeneralMidi)));
        generalMidi->setEnabled(false);
        browse->setEnabled(false);
    }
    else
        gmNote->setText(
            UiText(IDS_SETTINGS_GM_DEFAULT).arg(QString::fromStdString(choices.systemGeneralMidi)));
    generalMidi->setPlaceholderText(QString::fromStdString(choices.systemGeneralMidi));

    memory = new QComboBox(page);
    for (int kb : MemorySizesKB())
        memory->addItem(MemoryLabel(kb), kb);

    card = new QComboBox(page);
    card->addItem(UiText(IDS_SETTINGS_EMULATED_CARD), QString());
    for (const auto& [name, label] : choices.emuxDevices)
        card->addItem(
            UiText(IDS_SETTINGS_EMUX_DEVICE).arg(QString::fromStdString(label), QString::fromStdString(name)),
            QString::fromStdString(name));
    auto* cardNote = new QLabel(page);
    cardNote->setWordWrap(true);
    if (choices.emuxDevices.empty())
    {
        // The choice is there, greyed, so that a card owner learns why it cannot be had.
        card->addItem(UiText(IDS_SETTINGS_EMUX_NONE), QStringLiteral("-"));
        if (auto* items = qobject_cast<QStandardItemModel*>(card->model()))
            items->item(card->count() - 1)->setEnabled(false);
        card->setItemData(card->count() - 1, choices.emuxProblem, Qt::ToolTipRole);
        cardNote->setText(choices.emuxProblem + QLatin1Char(' ') + UiText(IDS_SETTINGS_CARD_RESTART));
    }
    else
        cardNote->setText(UiText(IDS_SETTINGS_CARD_RESTART));

    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    auto* gmRow = new QHBoxLayout;
    gmRow->addWidget(generalMidi);
    gmRow->addWidget(browse);
    // A row of two widgets gives its label no buddy: the mnemonic goes to the file name.
    auto* gmLabel = new QLabel(UiText(IDS_SETTINGS_GM), page);
    gmLabel->setBuddy(generalMidi);
    form->addRow(gmLabel, gmRow);
    form->addRow(QString(), gmNote);
    form->addRow(UiText(IDS_SETTINGS_MEMORY), memory);
    form->addRow(UiText(IDS_SETTINGS_CARD_LIBRARY), card);
    form->addRow(QString(), cardNote);
    layout->addLayout(form);
    connect(RestoreButton(page, layout), &QPushButton::clicked, this,
            [this] { ShowCard(ProgramSettings()); });
    return page;
}

QWidget* CSettingsDialog::MakePreviewPage()
{
    auto* page = new QWidget(this);
    preview = new QCheckBox(UiText(IDS_SETTINGS_PREVIEW), page);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(preview);
    connect(RestoreButton(page, layout), &QPushButton::clicked, this,
            [this] { preview->setChecked(ProgramSettings().preview); });
    return page;
}

void CSettingsDialog::ShowSound(const SoundSettings& sound)
{
    SelectData(driver, QString::fromStdString(sound.audioDriver), DriverLabel(sound.audioDriver));
    device->setText(QString::fromStdString(sound.audioDevice));
    SelectData(buffer, sound.bufferFrames,
               QString::fromStdString(FormatString(IDS_SETTINGS_FRAMES, sound.bufferFrames)));
    voices->setValue(sound.voices);
    UpdateDeviceAndLatency();
}

void CSettingsDialog::ShowMidi(const std::string& input, const std::string& output)
{
    const auto fill = [](QComboBox* box, const QString& first, const std::vector<std::string>& ports,
                         const std::string& chosen)
    {
        box->clear();
        box->addItem(first, QString());
        for (const std::string& port : ports)
            box->addItem(QString::fromStdString(port), QString::fromStdString(PortNameToRemember(port)));
        const QString name = QString::fromStdString(chosen);
        SelectData(box, name, UiText(IDS_SETTINGS_MIDI_ABSENT).arg(name));
    };
    fill(midiInput, UiText(IDS_SETTINGS_MIDI_FIRST_PORT), choices.midiInputs, input);
    fill(midiOutput, UiText(IDS_SETTINGS_MIDI_CARD_PORT), choices.midiOutputs, output);
}

void CSettingsDialog::ShowCard(const ProgramSettings& settings)
{
    generalMidi->setText(QString::fromStdString(settings.sound.generalMidiFont));
    SelectData(memory, settings.cardMemoryKB, MemoryLabel(settings.cardMemoryKB));
    const QString chosen = QString::fromStdString(settings.emuxDevice);
    // A device that is gone is not offered again: the emulated card stands in.
    const int index = card->findData(chosen);
    card->setCurrentIndex(
        index >= 0 && card->model()->flags(card->model()->index(index, 0)) & Qt::ItemIsEnabled ? index : 0);
}

void CSettingsDialog::UpdateDeviceAndLatency()
{
    // Only these drivers take a device name; the others connect to their server.
    const QString name = driver->currentData().toString();
    device->setEnabled(name == QLatin1String("alsa") || name == QLatin1String("pulseaudio"));
    latency->setText(LatencyText(buffer->currentData().toInt()));
}

QString CSettingsDialog::LatencyText(int bufferFrames)
{
    const double ms = OutputLatencyMs(bufferFrames, ISoundEngine::kSampleRate);
    return UiText(IDS_SETTINGS_LATENCY)
        .arg(QString::number(ms, 'f', 1))
        .arg(bufferFrames)
        .arg(ISoundEngine::kSampleRate);
}

std::vector<int> CSettingsDialog::MemorySizesKB()
{
    return {512, 1024, 2048, 4096, 8192, 12288, kLargestCardKB, 65536, 131072, 262144, 524288, 1048576};
}

ProgramSettings CSettingsDialog::GetProgramSettings() const
{
    ProgramSettings settings;
    settings.soundFiles = GetSettings();
    settings.sound.audioDriver = driver->currentData().toString().toStdString();
    settings.sound.audioDevice = device->isEnabled() ? device->text().trimmed().toStdString() : std::string();
    settings.sound.bufferFrames = buffer->currentData().toInt();
    settings.sound.voices = voices->value();
    settings.sound.generalMidiFont = generalMidi->text().trimmed().toStdString();
    settings.midiInput = midiInput->currentData().toString().toStdString();
    settings.midiOutput = midiOutput->currentData().toString().toStdString();
    settings.cardMemoryKB = memory->currentData().toInt();
    settings.emuxDevice = card->currentData().toString().toStdString();
    settings.preview = preview->isChecked();
    return settings;
}

bool CSettingsDialog::Apply()
{
    QString why = CheckSettings();
    if (why.isEmpty() && choices.apply)
    {
        ProgramSettings settings = GetProgramSettings();
        why = choices.apply(settings);
        if (!why.isEmpty())
        {
            // What did not take shows what holds instead.
            ShowSound(settings.sound);
            ShowCard(settings);
        }
    }
    problem->setText(why);
    return why.isEmpty();
}

PathResolverSettings CSettingsDialog::GetSettings() const
{
    PathResolverSettings settings;
    for (int row = 0; row < driveMap->rowCount(); ++row)
        settings.AddMapping(RowText(driveMap, row), nullptr);
    for (int i = 0; i < searchFolders->count(); ++i)
        if (const QString path = searchFolders->item(i)->text().trimmed(); !path.isEmpty())
            settings.searchFolders.push_back(path.toStdString());
    return settings;
}

QString CSettingsDialog::CheckSettings() const
{
    PathResolverSettings scratch;
    for (int row = 0; row < driveMap->rowCount(); ++row)
    {
        std::string error;
        if (!scratch.AddMapping(RowText(driveMap, row), &error))
            return QString::fromStdString(FormatString(IDS_SETTINGS_BAD_MAPPING, row + 1, error.c_str()));
    }
    return {};
}

void CSettingsDialog::AddDrive()
{
    const QString folder = chooseFolder ? chooseFolder() : QString();
    if (folder.isEmpty())
        return;
    // The first letter the map does not hold yet, from C: on; the user edits it.
    char letter = 'C';
    const PathResolverSettings current = GetSettings();
    for (; letter < 'Z'; ++letter)
    {
        const std::string key = std::string(1, letter) + ":";
        if (std::none_of(current.driveMap.begin(), current.driveMap.end(),
                         [&](const auto& entry) { return entry.first == key; }))
            break;
    }
    const int row = driveMap->rowCount();
    driveMap->insertRow(row);
    driveMap->setItem(row, 0, new QTableWidgetItem(QStringLiteral("%1:").arg(QChar::fromLatin1(letter))));
    driveMap->setItem(row, 1, new QTableWidgetItem(folder));
    driveMap->setCurrentCell(row, 0);
}

void CSettingsDialog::AddSearchFolder()
{
    const QString folder = chooseFolder ? chooseFolder() : QString();
    if (!folder.isEmpty())
        searchFolders->addItem(folder);
}

void CSettingsDialog::accept()
{
    if (Apply())
        QDialog::accept();
}
