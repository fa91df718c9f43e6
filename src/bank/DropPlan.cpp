#include "bank/DropPlan.h"

#include "bank/PatchItemList.h"
#include "soundfont/SoundFontReader.h"

#include <algorithm>

CDropPlan::CDropPlan(const CPatchItemList& dropped, int pointerRow, int rowCount, bool documentList,
                     bool byNumbers)
{
    if (dropped.IsEmpty())
        return;
    if (pointerRow < 0 || pointerRow >= rowCount)
    {
        // Below the report's rows the patches join the document without a
        // place; a card bank has no place for them outside its slots.
        if (documentList)
            kind = Kind::Add;
        return;
    }
    kind = Kind::Place;
    if (byNumbers && !documentList)
    {
        // The dropped list's order is kept (a preset list sorted by name
        // lists 48 before 0); the slot decides, not the position.
        std::vector<bool> taken(static_cast<std::size_t>(rowCount));
        for (int i = 0; i < dropped.GetSize(); ++i)
        {
            // A SoundFont 2 preset of a variation bank or a drum kit carries
            // its bank in the high half of its number; its program is its slot.
            const int source = dropped.GetItem(i)->GetSourcePatch();
            const int slot = source < 0 ? -1 : SourcePresetProgram(static_cast<std::uint32_t>(source));
            if (slot < 0 || slot >= rowCount || taken[static_cast<std::size_t>(slot)])
                continue;
            taken[static_cast<std::size_t>(slot)] = true;
            targets.push_back({slot, i});
        }
        return;
    }
    const int count = std::min(dropped.GetSize(), rowCount - pointerRow);
    for (int i = 0; i < count; ++i)
        targets.push_back({pointerRow + i, i});
}

std::vector<int> CDropPlan::GetRows() const
{
    std::vector<int> rows;
    rows.reserve(targets.size());
    for (const Target& target : targets)
        rows.push_back(target.row);
    std::sort(rows.begin(), rows.end());
    return rows;
}
