#pragma once
// Where the patches of a drop over the bank view land. The rows are either
// the document's own list (the "Virtual Bank" report, in the order it is
// shown) or the 128 slots of a card bank (row = slot). The same plan draws
// the highlight while a drag is over the rows and makes the drop, so what the
// user sees highlighted is what is placed.

#include <vector>

class CPatchItemList;

class CDropPlan
{
public:
    enum class Kind
    {
        Refuse, // nothing to drop, or no slot of a card bank under the pointer
        Add,    // below the rows of the document's list: every patch is added
        Place,  // each target row receives its patch
    };
    struct Target
    {
        int row;   // the row that receives...
        int patch; // ...the dropped patch at this index of the dropped list
        bool operator==(const Target&) const = default;
    };

    // dropped: the patches of the drag, in the order the drag source listed
    // them. pointerRow: the row under the pointer, -1 for none. byNumbers:
    // the user asked for the drop by preset numbers (right button, Shift);
    // it holds only over a card bank's slots. By position, the patches fill
    // the rows from pointerRow on, as far as there are rows. By numbers, each
    // patch goes to the slot of its own preset number, wherever the pointer
    // is; a number outside the rows, or seen before, places nothing.
    CDropPlan(const CPatchItemList& dropped, int pointerRow, int rowCount, bool documentList, bool byNumbers);

    Kind GetKind() const { return kind; }
    // Place only: in the order the document is to fill them (row order by
    // position, the dropped list's order by numbers).
    const std::vector<Target>& GetTargets() const { return targets; }
    // The rows to highlight, ascending.
    std::vector<int> GetRows() const;

private:
    Kind kind = Kind::Refuse;
    std::vector<Target> targets;
};
