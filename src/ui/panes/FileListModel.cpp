#include "ui/panes/FileListModel.h"

#include "platform/StringTable.h"
#include "synth/MidiFile.h"
#include "ui/UiText.h"
#include "ui/panes/SortState.h"

#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace
{

// The size column's text. The table's format takes an int; a file of 2 TB or
// more (a sparse one, say) has its digits put where the format's number goes
// instead of wrapping round to a wrong or negative number.
std::string SizeText(std::int64_t kb)
{
    if (kb <= std::numeric_limits<int>::max())
        return FormatString(IDS_FILE_VIEW_SIZE_FORMAT, static_cast<int>(kb));
    std::string text = LoadString(IDS_FILE_VIEW_SIZE_FORMAT);
    const std::size_t number = text.find("%d");
    if (number == std::string::npos)
        return std::to_string(kb);
    return text.replace(number, 2, std::to_string(kb));
}

// A song's column shows how long it plays; one the player would refuse shows its size.
std::string SongLengthText(const std::string& path, std::int64_t kb)
{
    MidiSong song;
    std::string error;
    if (!CMidiFile::Read(path, song, error))
        return SizeText(kb);
    const auto seconds = static_cast<int>(song.Seconds());
    return FormatString(IDS_SONG_LENGTH_FORMAT, seconds / 60, seconds % 60);
}
} // namespace

CFileListModel::CFileListModel(QObject* parent) : CListPaneModel(parent), heading(UiText(IDS_FILE_VIEW_FILES))
{
}

std::vector<FileEntry> CFileListModel::ListFolder(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<FileEntry> found;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
    {
        std::string name = it->path().filename().string();
        const FileType type = GetFileType(name);
        if (type == FileTypeNone)
            continue;
        // A folder named like a bank is nothing the program can open.
        std::error_code entryError;
        if (!it->is_regular_file(entryError))
            continue;
        const std::uintmax_t bytes = it->file_size(entryError);
        if (entryError)
            continue; // vanished since the listing saw it
        FileEntry entry;
        entry.sizeKB = static_cast<std::int64_t>(bytes / 1024);
        entry.sizeText =
            type == FileTypeMidi ? SongLengthText(it->path().string(), entry.sizeKB) : SizeText(entry.sizeKB);
        entry.displayName = name;
        entry.fileName = std::move(name);
        entry.folder = folder;
        entry.type = type;
        found.push_back(std::move(entry));
    }
    return found;
}

int CFileListModel::CompareFiles(const FileEntry& a, const FileEntry& b, int parameter)
{
    int result = 0;
    if ((parameter & 0xFFFF) == ColumnName)
        result = CSortState::Compare(a.displayName.compare(b.displayName), 0);
    else
        result = CSortState::Compare(a.sizeKB, b.sizeKB);
    return CSortState::Directed(result, parameter);
}

void CFileListModel::SetEntries(std::vector<FileEntry> newEntries)
{
    beginResetModel();
    entries = std::move(newEntries);
    endResetModel();
}

void CFileListModel::SetHeading(const QString& text)
{
    heading = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, ColumnName, ColumnName);
}

bool CFileListModel::Merge(std::vector<FileEntry> fresh)
{
    std::unordered_map<std::string, const FileEntry*> byName;
    byName.reserve(fresh.size());
    for (const FileEntry& entry : fresh)
        byName.emplace(entry.fileName, &entry);
    std::unordered_set<std::string> known;
    known.reserve(entries.size());
    for (const FileEntry& entry : entries)
        known.insert(entry.fileName);
    std::size_t gone = 0;
    for (const FileEntry& entry : entries)
        gone += byName.count(entry.fileName) == 0 ? 1 : 0;
    const std::size_t added = fresh.size() - (entries.size() - gone);
    // Row by row costs a shift of the rows below each change: past a few
    // hundred changes one reset is cheaper, and the listing a new one anyway.
    constexpr std::size_t kMostRowChanges = 256;
    if (gone + added > kMostRowChanges && gone + added > entries.size() / 2)
    {
        SetEntries(std::move(fresh));
        Sort(sortParameter);
        return true;
    }
    bool changed = false;
    // Rows gone, in runs from the bottom so that the rows above keep their numbers.
    for (int row = static_cast<int>(entries.size()) - 1; row >= 0;)
    {
        if (byName.count(entries[static_cast<std::size_t>(row)].fileName) != 0)
        {
            --row;
            continue;
        }
        int first = row;
        while (first > 0 && byName.count(entries[static_cast<std::size_t>(first - 1)].fileName) == 0)
            --first;
        beginRemoveRows({}, first, row);
        entries.erase(entries.begin() + first, entries.begin() + row + 1);
        endRemoveRows();
        changed = true;
        row = first - 1;
    }
    auto insertSorted = [this](FileEntry entry)
    {
        const auto at = std::upper_bound(entries.begin(), entries.end(), entry,
                                         [this](const FileEntry& a, const FileEntry& b)
                                         { return CompareFiles(a, b, sortParameter) < 0; });
        const int row = static_cast<int>(at - entries.begin());
        beginInsertRows({}, row, row);
        entries.insert(entries.begin() + row, std::move(entry));
        endInsertRows();
    };
    // Files that changed: in place while the order allows, else moved.
    for (int row = 0; row < static_cast<int>(entries.size()); ++row)
    {
        FileEntry& entry = entries[static_cast<std::size_t>(row)];
        const FileEntry& now = *byName.at(entry.fileName);
        if (now.sizeText == entry.sizeText && now.type == entry.type)
            continue;
        changed = true;
        entry = now;
        const bool inOrder =
            (row == 0 ||
             CompareFiles(entries[static_cast<std::size_t>(row - 1)], entry, sortParameter) <= 0) &&
            (row + 1 == static_cast<int>(entries.size()) ||
             CompareFiles(entry, entries[static_cast<std::size_t>(row + 1)], sortParameter) <= 0);
        if (inOrder)
        {
            Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
            continue;
        }
        // Moved, not removed and inserted: its selection goes with it. The
        // other rows are in order, so it belongs above or below itself.
        auto less = [this](const FileEntry& a, const FileEntry& b)
        { return CompareFiles(a, b, sortParameter) < 0; };
        const auto begin = entries.begin();
        const bool upwards = row > 0 && less(entry, entries[static_cast<std::size_t>(row - 1)]);
        const int destination =
            upwards ? static_cast<int>(std::upper_bound(begin, begin + row, entry, less) - begin)
                    : static_cast<int>(std::upper_bound(begin + row + 1, entries.end(), entry, less) - begin);
        beginMoveRows({}, row, row, {}, destination);
        FileEntry moved = std::move(entry);
        entries.erase(begin + row);
        const int to = destination > row ? destination - 1 : destination;
        entries.insert(entries.begin() + to, std::move(moved));
        endMoveRows();
        Q_EMIT dataChanged(index(to, 0), index(to, ColumnCount - 1));
        if (upwards)
            continue; // the rows between moved down by one: the next to look at is row + 1
        --row;        // the row below came up to this one
    }
    for (FileEntry& entry : fresh)
    {
        if (known.count(entry.fileName) != 0)
            continue;
        insertSorted(std::move(entry));
        changed = true;
    }
    return changed;
}

void CFileListModel::Sort(int parameter)
{
    sortParameter = parameter;
    SortRows(
        static_cast<int>(entries.size()),
        [&](int a, int b)
        {
            return CompareFiles(entries[static_cast<std::size_t>(a)], entries[static_cast<std::size_t>(b)],
                                parameter);
        },
        [&](const std::vector<int>& order)
        {
            std::vector<FileEntry> sorted;
            sorted.reserve(entries.size());
            for (int row : order)
                sorted.push_back(std::move(entries[static_cast<std::size_t>(row)]));
            entries = std::move(sorted);
        });
}

const FileEntry* CFileListModel::GetEntry(int row) const
{
    return row >= 0 && row < rowCount() ? &entries[static_cast<std::size_t>(row)] : nullptr;
}

int CFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(entries.size());
}

int CFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const
{
    const FileEntry* entry = GetEntry(index.row());
    if (!entry || index.column() < 0 || index.column() >= ColumnCount)
        return {};
    switch (role)
    {
    case Qt::DisplayRole:
        return QString::fromStdString(index.column() == ColumnName ? entry->fileName : entry->sizeText);
    case Qt::DecorationRole:
        return index.column() == ColumnName ? QVariant(IconFor(*entry)) : QVariant();
    case Qt::ToolTipRole:
        return index.column() == ColumnName ? QVariant(TypeText(*entry)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == ColumnSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
        return {};
    }
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return section == ColumnName ? heading : UiText(IDS_FILE_VIEW_SIZE);
    if (role == Qt::TextAlignmentRole && section == ColumnSize)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

namespace
{
std::string UpperExtension(const std::string& fileName)
{
    std::string extension = GetPathPart(fileName, PathExtension);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return extension;
}
} // namespace

QIcon CFileListModel::IconFor(const FileEntry& entry) const
{
    const std::string key = UpperExtension(entry.fileName);
    auto known = typeIcons.find(key);
    if (known == typeIcons.end())
        // The icon the desktop gives the first file of the type stands for all of them.
        known =
            typeIcons
                .emplace(key,
                         iconProvider.icon(QFileInfo(QString::fromStdString(entry.folder + entry.fileName))))
                .first;
    return known->second;
}

QString CFileListModel::TypeText(const FileEntry& entry)
{
    const std::string extension = UpperExtension(entry.fileName);
    if (extension == ".SF2")
        return UiText(IDS_FILE_TYPE_SF2);
    if (extension == ".SF3")
        return UiText(IDS_FILE_TYPE_SF3);
    switch (entry.type)
    {
    case FileTypeSoundFont:
        return UiText(IDS_FILE_TYPE_SBK);
    case FileTypeWave:
        return UiText(IDS_FILE_TYPE_WAV);
    case FileTypeDocument:
        return UiText(IDS_FILE_TYPE_TMB);
    case FileTypeMidi:
        return UiText(IDS_FILE_TYPE_MIDI);
    case FileTypeNone:
        break;
    }
    return {};
}
