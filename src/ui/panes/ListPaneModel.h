#pragma once
// Base of the table models behind the file list and the preset list: rows
// that the pane sorts itself (by its own comparison rules, not Qt's), with
// the selection and the current row following their rows through a sort.

#include <QAbstractTableModel>

#include <functional>
#include <vector>

class CListPaneModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    // Sorts the rows 0..count-1 stably by compare (negative: first row goes
    // first); permute then rearranges the data so that new row i holds old
    // row order[i]. Views keep their selection on the same rows.
    void SortRows(int count, const std::function<int(int, int)>& compare,
                  const std::function<void(const std::vector<int>& order)>& permute);
};
