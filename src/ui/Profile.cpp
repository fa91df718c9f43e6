#include "ui/Profile.h"

#include "platform/StringTable.h"
#include "ui/UiText.h"

#include <QHeaderView>
#include <QSettings>

namespace
{

QString Key(unsigned sectionId, const QString& value)
{
    return UiText(sectionId) + QLatin1Char('/') + value;
}

QString SideName(unsigned nameId, unsigned sideId)
{
    return UiText(nameId) + QLatin1Char('.') + UiText(sideId);
}

QString ColumnName(unsigned nameId, int column)
{
    return UiText(nameId) + QLatin1Char('.') + UiText(IDS_PROFILE_COLUMN_WIDTH) + QString::number(column);
}
} // namespace

namespace Profile
{
QSettings& Settings()
{
    static QSettings settings(QSettings::NativeFormat, QSettings::UserScope, UiText(IDS_PROFILE_COMPANY),
                              UiText(IDS_PROFILE_APPLICATION));
    return settings;
}

QString GetProfileString(unsigned sectionId, const QString& value, const QString& fallback)
{
    return Settings().value(Key(sectionId, value), fallback).toString();
}

void WriteProfileString(unsigned sectionId, const QString& value, const QString& text)
{
    Settings().setValue(Key(sectionId, value), text);
}

int GetProfileNumber(unsigned sectionId, const QString& value, int fallback)
{
    bool ok = false;
    const int number = Settings().value(Key(sectionId, value)).toInt(&ok);
    return ok ? number : fallback;
}

int GetProfileNumber(unsigned sectionId, unsigned valueId, int fallback)
{
    return GetProfileNumber(sectionId, UiText(valueId), fallback);
}

void WriteProfileNumber(unsigned sectionId, const QString& value, int number)
{
    Settings().setValue(Key(sectionId, value), number);
}

void WriteProfileNumber(unsigned sectionId, unsigned valueId, int number)
{
    WriteProfileNumber(sectionId, UiText(valueId), number);
}

QByteArray GetProfileBinary(unsigned sectionId, unsigned valueId)
{
    return Settings().value(Key(sectionId, UiText(valueId))).toByteArray();
}

void WriteProfileBinary(unsigned sectionId, unsigned valueId, const QByteArray& bytes)
{
    Settings().setValue(Key(sectionId, UiText(valueId)), bytes);
}

void SaveWindowRect(unsigned sectionId, unsigned nameId, const QRect& rect)
{
    // Right and bottom are exclusive edges, as the rectangle of a window is stored.
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_LEFT), rect.left());
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_TOP), rect.top());
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_RIGHT), rect.left() + rect.width());
    WriteProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_BOTTOM), rect.top() + rect.height());
}

bool LoadWindowRect(unsigned sectionId, unsigned nameId, QRect& rect)
{
    constexpr int kMissing = INT_MIN;
    const int left = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_LEFT), kMissing);
    const int top = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_TOP), kMissing);
    const int right = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_RIGHT), kMissing);
    const int bottom = GetProfileNumber(sectionId, SideName(nameId, IDS_PROFILE_BOTTOM), kMissing);
    int x1 = rect.left();
    int y1 = rect.top();
    int x2 = rect.left() + rect.width();
    int y2 = rect.top() + rect.height();
    if (left != kMissing)
        x1 = left;
    if (top != kMissing)
        y1 = top;
    if (right != kMissing)
        x2 = right;
    if (bottom != kMissing)
        y2 = bottom;
    rect = QRect(x1, y1, x2 - x1, y2 - y1);
    return left != kMissing || top != kMissing || right != kMissing || bottom != kMissing;
}

void SaveColumnWidths(unsigned sectionId, unsigned nameId, const QHeaderView* header, int count)
{
    for (int column = 0; column < count && column < header->count(); ++column)
        WriteProfileNumber(sectionId, ColumnName(nameId, column), header->sectionSize(column));
}

void LoadColumnWidths(unsigned sectionId, unsigned nameId, QHeaderView* header, int count)
{
    for (int column = 0; column < count && column < header->count(); ++column)
    {
        const int width =
            GetProfileNumber(sectionId, ColumnName(nameId, column), header->sectionSize(column));
        if (width >= 0)
            header->resizeSection(column, width);
    }
}

PathResolverSettings GetResolverSettings(bool withFolderTree)
{
    PathResolverSettings settings;
    const int drives = GetProfileNumber(IDS_PROFILE_SOUND_FILES, IDS_PROFILE_DRIVE_COUNT, 0);
    for (int i = 1; i <= drives; ++i)
    {
        const QString entry =
            GetProfileString(IDS_PROFILE_SOUND_FILES, UiText(IDS_PROFILE_DRIVE) + QString::number(i));
        // An entry edited by hand into nonsense is left out, not fatal.
        settings.AddMapping(entry.toStdString(), nullptr);
    }
    const int folders = GetProfileNumber(IDS_PROFILE_SOUND_FILES, IDS_PROFILE_FOLDER_COUNT, 0);
    for (int i = 1; i <= folders; ++i)
        if (const QString folder =
                GetProfileString(IDS_PROFILE_SOUND_FILES, UiText(IDS_PROFILE_FOLDER) + QString::number(i));
            !folder.isEmpty())
            settings.searchFolders.push_back(folder.toStdString());
    if (withFolderTree)
    {
        const int roots = GetProfileNumber(IDS_PROFILE_PATHS, IDS_PROFILE_COUNT, 0);
        for (int i = 1; i <= roots; ++i)
            if (const QString root =
                    GetProfileString(IDS_PROFILE_PATHS, UiText(IDS_PROFILE_PATH) + QString::number(i));
                !root.isEmpty())
                settings.searchFolders.push_back(root.toStdString());
    }
    return settings;
}

void WriteResolverSettings(const PathResolverSettings& settings)
{
    int i = 0;
    for (const auto& [key, folder] : settings.driveMap)
        WriteProfileString(IDS_PROFILE_SOUND_FILES, UiText(IDS_PROFILE_DRIVE) + QString::number(++i),
                           QString::fromStdString(key + "=" + folder));
    WriteProfileNumber(IDS_PROFILE_SOUND_FILES, IDS_PROFILE_DRIVE_COUNT, i);
    i = 0;
    for (const std::string& folder : settings.searchFolders)
        WriteProfileString(IDS_PROFILE_SOUND_FILES, UiText(IDS_PROFILE_FOLDER) + QString::number(++i),
                           QString::fromStdString(folder));
    WriteProfileNumber(IDS_PROFILE_SOUND_FILES, IDS_PROFILE_FOLDER_COUNT, i);
}

bool GetPreviewEnabled()
{
    return GetProfileNumber(IDS_PROFILE_PREVIEW, IDS_PROFILE_PREVIEW_ENABLED, 1) != 0;
}

void WritePreviewEnabled(bool enabled)
{
    WriteProfileNumber(IDS_PROFILE_PREVIEW, IDS_PROFILE_PREVIEW_ENABLED, enabled ? 1 : 0);
}
ProgramSettings GetProgramSettings()
{
    ProgramSettings settings;
    const auto text = [](unsigned section, unsigned value)
    { return GetProfileString(section, UiText(value)).toStdString(); };
    settings.soundFiles = GetResolverSettings(false);
    SoundSettings& sound = settings.sound;
    sound.audioDriver = text(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_DRIVER);
    sound.audioDevice = text(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_DEVICE);
    sound.bufferFrames = GetProfileNumber(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_BUFFER, sound.bufferFrames);
    sound.voices = GetProfileNumber(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_VOICES, sound.voices);
    sound.generalMidiFont = text(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_GM);
    settings.midiInput = text(IDS_PROFILE_MIDI, IDS_PROFILE_MIDI_INPUT);
    settings.midiOutput = text(IDS_PROFILE_MIDI, IDS_PROFILE_MIDI_OUTPUT);
    settings.cardMemoryKB =
        GetProfileNumber(IDS_PROFILE_CARD, IDS_PROFILE_CARD_MEMORY, settings.cardMemoryKB);
    settings.emuxDevice = text(IDS_PROFILE_CARD, IDS_PROFILE_CARD_DEVICE);
    settings.preview = GetPreviewEnabled();
    return settings;
}

void WriteProgramSettings(const ProgramSettings& settings)
{
    const auto write = [](unsigned section, unsigned value, const std::string& text)
    { WriteProfileString(section, UiText(value), QString::fromStdString(text)); };
    WriteResolverSettings(settings.soundFiles);
    const SoundSettings& sound = settings.sound;
    write(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_DRIVER, sound.audioDriver);
    write(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_DEVICE, sound.audioDevice);
    WriteProfileNumber(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_BUFFER, sound.bufferFrames);
    WriteProfileNumber(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_VOICES, sound.voices);
    write(IDS_PROFILE_SOUND, IDS_PROFILE_SOUND_GM, sound.generalMidiFont);
    write(IDS_PROFILE_MIDI, IDS_PROFILE_MIDI_INPUT, settings.midiInput);
    write(IDS_PROFILE_MIDI, IDS_PROFILE_MIDI_OUTPUT, settings.midiOutput);
    WriteProfileNumber(IDS_PROFILE_CARD, IDS_PROFILE_CARD_MEMORY, settings.cardMemoryKB);
    write(IDS_PROFILE_CARD, IDS_PROFILE_CARD_DEVICE, settings.emuxDevice);
    WritePreviewEnabled(settings.preview);
}
} // namespace Profile
