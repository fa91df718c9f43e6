#pragma once
// The sort rule the file list and the preset list share: which column sorts
// and in which direction, and how a header click or a refill changes that.

class CSortState
{
public:
    // Sorts by column (-1 counts as 0). For the column already sorted, a
    // direction of -1 flips the direction and 0 or 1 sets it; another
    // column sorts ascending. Returns the sort parameter:
    // (ascending x 65536) + column.
    int Apply(int column, int direction)
    {
        if (column == -1)
            column = 0;
        if (column == sortColumn)
            sortAscending = direction == -1 ? !sortAscending : direction != 0;
        else
            sortAscending = true;
        sortColumn = column;
        return Parameter();
    }

    int Parameter() const { return (sortAscending ? 0x10000 : 0) + (sortColumn & 0xFFFF); }
    int GetColumn() const { return sortColumn; }
    bool IsAscending() const { return sortAscending; }

    // The parts of a sort parameter.
    static int ColumnOf(int parameter) { return parameter & 0xFFFF; }
    static bool AscendingOf(int parameter) { return (parameter >> 16 & 0xFFFF) != 0; }

    // -1, 0 or 1: a before, with or after b in ascending order.
    template <typename T> static int Compare(const T& a, const T& b) { return (a > b) - (a < b); }
    // An ascending comparison's result in the parameter's direction.
    static int Directed(int result, int parameter) { return AscendingOf(parameter) ? result : -result; }

private:
    int sortColumn = -1;
    bool sortAscending = true;
};
