#include "ui/frame/BankViewModel.h"

#include "bank/PatchItemList.h"
#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"
#include "platform/TextEncoding.h"
#include "ui/ItemRoles.h"
#include "ui/UiText.h"
#include "ui/frame/Images.h"
#include "ui/panes/SortState.h"

#include <QApplication>
#include <QBrush>
#include <QStyle>

#include <algorithm>

namespace
{
struct ColumnFormat
{
    unsigned heading;
    Qt::Alignment alignment;
};
constexpr ColumnFormat kColumns[CBankViewModel::ColumnCount] = {
    {IDS_COLUMN_PATCH, Qt::AlignLeft},         {IDS_COLUMN_LOCATION, Qt::AlignLeft},
    {IDS_COLUMN_SIZE, Qt::AlignRight},         {IDS_COLUMN_SOURCE_FILE, Qt::AlignLeft},
    {IDS_COLUMN_SOURCE_PATCH, Qt::AlignRight},
};

QString DisplayText(const std::string& stored)
{
    return QString::fromStdString(StoredTextToDisplay(stored));
}

QString CellText(const CPatchItem& patch, int column)
{
    switch (column)
    {
    case CBankViewModel::ColumnPatch:
        return DisplayText(patch.GetName());
    case CBankViewModel::ColumnLocation:
        return patch.IsLoaded() ? QString::fromStdString(FormatString(IDS_LOCATION, patch.GetTargetBank(),
                                                                      patch.GetTargetPatch()))
                                : UiText(IDS_NONE);
    case CBankViewModel::ColumnSize:
        return QString::fromStdString(FormatString(IDS_SIZE_KB, patch.GetLoadedKB()));
    case CBankViewModel::ColumnSourceFile:
        return DisplayText(patch.GetSourceFile());
    case CBankViewModel::ColumnSourcePatch:
        return patch.GetSourcePatch() == -1 ? UiText(IDS_NONE) : QString::number(patch.GetSourcePatch());
    default:
        return {};
    }
}
} // namespace

CBankViewModel::CBankViewModel(CTamberlyDoc& doc, QObject* parent)
    : CListPaneModel(parent), document(doc), icons{Images::PatchIcon(0), Images::PatchIcon(1)},
      missingIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning))
{
}

void CBankViewModel::Fill(int shownBank)
{
    beginResetModel();
    bank = shownBank;
    order.clear();
    slots.clear();
    dropRows.clear();
    const int count = document.GetSlotCount(bank);
    if (bank == -1)
    {
        for (int row = 0; row < count; ++row)
            order.push_back(row);
    }
    else
    {
        slots.reserve(static_cast<std::size_t>(count));
        for (int slot = 0; slot < count; ++slot)
            slots.push_back(ReadSlot(slot));
    }
    endResetModel();
}

CBankViewModel::SlotRow CBankViewModel::ReadSlot(int slot) const
{
    SlotRow row;
    const CPatchItem* patch = document.GetPatch(slot, bank);
    if (!patch)
        return row;
    // A document patch meant for this slot whose file was not found cannot
    // be on the card; the slot says so rather than look merely empty.
    if (!patch->IsDocumentPatch())
        for (const CPatchItem* item : document.GetPatches())
            if (item->GetTargetBank() == bank && item->GetTargetPatch() == slot && item->IsFileMissing())
            {
                row.missingFile = QString::fromStdString(
                    FormatString(IDS_FILE_NOT_FOUND_TIP, StoredTextToDisplay(item->GetSourceFile()).c_str()));
                break;
            }
    const std::string name = StoredTextToDisplay(patch->GetName());
    row.text = QString::fromStdString(FormatString(IDS_SLOT_ROW, patch->GetTargetPatch(), name.c_str()));
    // A slot without a name shows its number alone.
    while (row.text.endsWith(QLatin1Char(' ')))
        row.text.chop(1);
    row.documentPatch = patch->IsDocumentPatch();
    return row;
}

void CBankViewModel::RefreshRows(const CPatchItemList& patches)
{
    if (bank == -1)
    {
        if (!order.empty())
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        return;
    }
    for (const CPatchItem* changed : patches)
    {
        const int slot = changed->GetTargetPatch();
        if (changed->GetTargetBank() != bank || slot < 0 || slot >= rowCount())
            continue;
        slots[static_cast<std::size_t>(slot)] = ReadSlot(slot);
        Q_EMIT dataChanged(index(slot, 0), index(slot, ColumnCount - 1));
    }
}

void CBankViewModel::Sort(int parameter)
{
    if (bank != -1)
        return;
    const CPatchItemList& patches = document.GetPatches();
    SortRows(
        rowCount(),
        [&](int a, int b)
        {
            return ComparePatches(patches.GetItem(order[static_cast<std::size_t>(a)]),
                                  patches.GetItem(order[static_cast<std::size_t>(b)]), parameter);
        },
        [&](const std::vector<int>& newOrder)
        {
            std::vector<int> sorted;
            sorted.reserve(order.size());
            for (int row : newOrder)
                sorted.push_back(order[static_cast<std::size_t>(row)]);
            order = std::move(sorted);
        });
}

int CBankViewModel::ComparePatches(const CPatchItem* a, const CPatchItem* b, int parameter)
{
    if (!a || !b)
        return 0;
    int result = 0;
    switch (parameter & 0xFFFF)
    {
    case ColumnPatch:
        result = CSortState::Compare(a->GetName().compare(b->GetName()), 0);
        break;
    case ColumnLocation:
        result = a->GetTargetBank() == b->GetTargetBank()
                     ? CSortState::Compare(a->GetTargetPatch(), b->GetTargetPatch())
                     : CSortState::Compare(a->GetTargetBank(), b->GetTargetBank());
        break;
    case ColumnSize:
        result = CSortState::Compare(a->GetLoadedKB(), b->GetLoadedKB());
        break;
    case ColumnSourceFile:
        result = CSortState::Compare(a->GetSourceFile().compare(b->GetSourceFile()), 0);
        break;
    case ColumnSourcePatch:
        result = CSortState::Compare(a->GetSourcePatch(), b->GetSourcePatch());
        break;
    default:
        break;
    }
    return CSortState::Directed(result, parameter);
}

CPatchItem* CBankViewModel::GetPatch(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    if (bank == -1)
        return document.GetPatches().GetItem(order[static_cast<std::size_t>(row)]);
    return document.GetPatch(row, bank);
}

CPatchItem* CBankViewModel::GetDocumentPatch(int row) const
{
    if (row < 0 || row >= rowCount())
        return nullptr;
    // Only a slot known to hold a document patch is asked for: describing
    // any other would ask the card.
    if (bank != -1 && !slots[static_cast<std::size_t>(row)].documentPatch)
        return nullptr;
    CPatchItem* patch = GetPatch(row);
    return patch && patch->IsDocumentPatch() ? patch : nullptr;
}

void CBankViewModel::SetDropRows(std::vector<int> rows, const QColor& tint)
{
    dropTint = tint;
    // Only the rows whose highlight changes are repainted.
    std::vector<int> changed;
    std::set_symmetric_difference(dropRows.begin(), dropRows.end(), rows.begin(), rows.end(),
                                  std::back_inserter(changed));
    dropRows = std::move(rows);
    for (int row : changed)
        if (row >= 0 && row < rowCount())
            Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1),
                               {Qt::BackgroundRole, ItemRoles::DropTargetRole});
}

bool CBankViewModel::IsDropRow(int row) const
{
    return std::binary_search(dropRows.begin(), dropRows.end(), row);
}

int CBankViewModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(bank == -1 ? order.size() : slots.size());
}

int CBankViewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CBankViewModel::data(const QModelIndex& index, int role) const
{
    const int row = index.row();
    const int column = index.column();
    if (!index.isValid() || row >= rowCount() || column >= ColumnCount)
        return {};
    if (role == ItemRoles::DropTargetRole)
        return IsDropRow(row);
    if (role == Qt::BackgroundRole)
        return IsDropRow(row) ? QVariant(QBrush(dropTint)) : QVariant();

    if (bank != -1)
    {
        // The slot list shows the first column only.
        if (column != ColumnPatch)
            return {};
        const SlotRow& slot = slots[static_cast<std::size_t>(row)];
        if (role == Qt::DisplayRole)
            return slot.text;
        if (role == Qt::DecorationRole)
            return slot.missingFile.isEmpty() ? icons[slot.documentPatch ? 1 : 0] : missingIcon;
        if (role == Qt::ToolTipRole && !slot.missingFile.isEmpty())
            return slot.missingFile;
        return {};
    }

    const CPatchItem* patch = GetPatch(row);
    if (!patch)
        return {};
    switch (role)
    {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return CellText(*patch, column);
    case Qt::DecorationRole:
        if (column != ColumnPatch)
            return {};
        return patch->IsFileMissing() ? missingIcon : icons[patch->IsLoaded() ? 1 : 0];
    case Qt::ToolTipRole:
        if (!patch->IsFileMissing())
            return {};
        return QString::fromStdString(
            FormatString(IDS_FILE_NOT_FOUND_TIP, StoredTextToDisplay(patch->GetSourceFile()).c_str()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(kColumns[column].alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CBankViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return UiText(kColumns[section].heading);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(kColumns[section].alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags CBankViewModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
    if (bank == -1 && index.column() == ColumnPatch)
        result |= Qt::ItemIsEditable;
    return result;
}

bool CBankViewModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || bank != -1 || index.column() != ColumnPatch)
        return false;
    CPatchItem* patch = GetDocumentPatch(index.row());
    if (!patch)
        return false;
    const QString text = value.toString();
    // An edit that leaves the shown text as it was keeps the stored bytes (a
    // name in the old code page stays as it is).
    if (text == DisplayText(patch->GetName()))
        return true;
    return document.RenamePatch(nullptr, patch, text.toStdString());
}
