#pragma once
// The rows of the preset list: one patch per row, owned by the row (a
// row's patch is deleted with the row). Texts are made when a row is drawn.

#include "bank/PatchItem.h"
#include "ui/panes/ListPaneModel.h"

#include <QString>

#include <memory>
#include <vector>

class CPatchItemList;

class CPatchListModel : public CListPaneModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColumnName = 0,
        ColumnNumber = 1,
        ColumnSamples = 2,
        ColumnSize = 3,
        ColumnCount = 4,
    };

    explicit CPatchListModel(QObject* parent = nullptr);
    ~CPatchListModel() override;

    // -1, 0 or 1 by the sort parameter's column: 0 the names byte by byte,
    // 1 to 3 sourcePatch, sampleCount, sampleBytes; any other column 0.
    // Descending negates; a null patch compares 0.
    static int ComparePatches(const CPatchItem* a, const CPatchItem* b, int parameter);

    // Deletes every row and its patch.
    void Clear();
    // Takes every patch of list over as rows, in list order; list is left empty.
    void TakeOver(CPatchItemList& list);
    void SetHeading(const QString& text);
    void Sort(int parameter);
    // The patch of a row, or null. It stays the row's.
    CPatchItem* GetPatch(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<std::unique_ptr<CPatchItem>> rows;
    QString heading;
};
