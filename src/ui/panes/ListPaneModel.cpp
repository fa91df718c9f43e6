#include "ui/panes/ListPaneModel.h"

#include <algorithm>
#include <numeric>

void CListPaneModel::SortRows(int count, const std::function<int(int, int)>& compare,
                              const std::function<void(const std::vector<int>& order)>& permute)
{
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (std::size_t row = 0; row < order.size(); ++row)
        newRowOf[static_cast<std::size_t>(order[row])] = static_cast<int>(row);
    permute(order);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before)
    {
        const bool inRange = old.row() >= 0 && old.row() < count;
        after.append(inRange ? index(newRowOf[static_cast<std::size_t>(old.row())], old.column())
                             : QModelIndex());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
