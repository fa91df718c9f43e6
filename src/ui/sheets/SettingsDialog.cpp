#include "ui/sheets/SettingsDialog.h"

#include "platform/StringTable.h"
#include "ui/UiText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    : QDialog(parent), chooseFolder(std::move(folder))
{
    setWindowTitle(UiText(IDS_SETTINGS_TITLE));
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    tabs->addTab(page, UiText(IDS_SETTINGS_SOUND_FILES_PAGE));

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

    problem = new QLabel(this);
    problem->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(tabs);
    outer->addWidget(problem);
    outer->addWidget(buttons);
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
    const QString why = CheckSettings();
    problem->setText(why);
    if (why.isEmpty())
        QDialog::accept();
}
