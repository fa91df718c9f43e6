#include "ui/panes/PatchListModel.h"

#include "bank/PatchItemList.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/UiText.h"
#include "ui/panes/SortState.h"

CPatchListModel::CPatchListModel(QObject* parent)
    : CListPaneModel(parent), heading(UiText(IDS_PATCH_VIEW_PATCHES))
{
}

CPatchListModel::~CPatchListModel() = default;

int CPatchListModel::ComparePatches(const CPatchItem* a, const CPatchItem* b, int parameter)
{
    if (!a || !b)
        return 0;
    int result = 0;
    switch (parameter & 0xFFFF)
    {
    case ColumnName:
        result = CSortState::Compare(a->GetName().compare(b->GetName()), 0);
        break;
    case ColumnNumber:
        result = CSortState::Compare(a->GetSourcePatch(), b->GetSourcePatch());
        break;
    case ColumnSamples:
        result = CSortState::Compare(a->GetSampleCount(), b->GetSampleCount());
        break;
    case ColumnSize:
        result = CSortState::Compare(a->GetSampleBytes(), b->GetSampleBytes());
        break;
    default:
        break;
    }
    return CSortState::Directed(result, parameter);
}

void CPatchListModel::Clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
}

void CPatchListModel::TakeOver(CPatchItemList& list)
{
    if (list.IsEmpty())
        return;
    const int first = rowCount();
    beginInsertRows({}, first, first + list.GetSize() - 1);
    rows.reserve(rows.size() + static_cast<std::size_t>(list.GetSize()));
    for (CPatchItem* item : list)
        rows.emplace_back(item);
    list.RemoveAll();
    endInsertRows();
}

void CPatchListModel::SetHeading(const QString& text)
{
    heading = text;
    Q_EMIT headerDataChanged(Qt::Horizontal, ColumnName, ColumnName);
}

void CPatchListModel::Sort(int parameter)
{
    SortRows(
        rowCount(),
        [&](int a, int b)
        {
            return ComparePatches(rows[static_cast<std::size_t>(a)].get(),
                                  rows[static_cast<std::size_t>(b)].get(), parameter);
        },
        [&](const std::vector<int>& order)
        {
            std::vector<std::unique_ptr<CPatchItem>> sorted;
            sorted.reserve(rows.size());
            for (int row : order)
                sorted.push_back(std::move(rows[static_cast<std::size_t>(row)]));
            rows = std::move(sorted);
        });
}

CPatchItem* CPatchListModel::GetPatch(int row) const
{
    return row >= 0 && row < rowCount() ? rows[static_cast<std::size_t>(row)].get() : nullptr;
}

int CPatchListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int CPatchListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CPatchListModel::data(const QModelIndex& index, int role) const
{
    const CPatchItem* patch = GetPatch(index.row());
    if (!patch)
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() == ColumnName ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column())
    {
    case ColumnName:
        return QString::fromStdString(StoredTextToDisplay(patch->GetName()));
    case ColumnNumber:
        return QString::fromStdString(SourcePatchText(*patch));
    case ColumnSamples:
        return QString::number(patch->GetSampleCount());
    case ColumnSize:
        return QString::number(patch->GetSampleBytes());
    default:
        return {};
    }
}

QVariant CPatchListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return section == ColumnName ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (section)
    {
    case ColumnName:
        return heading;
    case ColumnNumber:
        return UiText(IDS_PATCH_VIEW_NUMBER);
    case ColumnSamples:
        return UiText(IDS_PATCH_VIEW_SAMPLES);
    case ColumnSize:
        return UiText(IDS_PATCH_VIEW_SIZE);
    default:
        return {};
    }
}

Qt::ItemFlags CPatchListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}
