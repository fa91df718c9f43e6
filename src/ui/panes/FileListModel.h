#pragma once
// The rows of the file list: the usable files (.sbk, .wav, .tmb) of one
// folder. Texts are made when a row is drawn, from the row's entry; icons
// are looked up once per file type, never per file.

#include "bank/FileHelpers.h"
#include "ui/panes/ListPaneModel.h"

#include <QFileIconProvider>
#include <QIcon>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FileEntry
{
    std::string displayName; // the name the list sorts by: the file name
    std::string fileName;    // name with extension, as the folder listing gives it
    std::string folder;      // the folder's path, ending in "/"
    std::string sizeText;    // "%d KB", the size in bytes / 1024 rounded down
    std::int64_t sizeKB = 0; // the number sizeText starts with
    FileType type = FileTypeNone;
};

class CFileListModel : public CListPaneModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnName = 0,
        ColumnSize = 1,
        ColumnCount = 2,
    };

    explicit CFileListModel(QObject* parent = nullptr);

    // The usable files of folder (which ends in "/") in the order the system
    // lists them; nothing when the folder cannot be read.
    static std::vector<FileEntry> ListFolder(const std::string& folder);
    // -1, 0 or 1 (before, same, after) by the sort parameter's column (0:
    // displayName byte by byte, else the KB values); descending negates.
    static int CompareFiles(const FileEntry& a, const FileEntry& b, int parameter);

    void SetEntries(std::vector<FileEntry> entries);
    // Brings the rows to a fresh listing of the same folder with as few row
    // changes as it takes: rows gone are removed, new files inserted where
    // the order puts them, changed ones updated in place, so that the
    // selection and the scroll position stay. A listing that changed in most
    // of its rows is taken whole (a reset). True when the rows changed.
    bool Merge(std::vector<FileEntry> fresh);
    void SetHeading(const QString& text);
    void Sort(int parameter);
    // The entry of a row, or null.
    const FileEntry* GetEntry(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QIcon IconFor(const FileEntry& entry) const;
    // "SoundFont 2 bank", "Wave file"...: the entry's kind, by its extension.
    static QString TypeText(const FileEntry& entry);

    std::vector<FileEntry> entries;
    int sortParameter = ColumnName; // of the last Sort, kept by Merge
    QString heading;
    QFileIconProvider iconProvider;
    // By upper-cased extension, filled on first use: SoundFonts of every
    // version are one FileType but each has its own icon.
    mutable std::map<std::string, QIcon> typeIcons;
};
