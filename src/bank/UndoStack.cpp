#include "bank/UndoStack.h"

#include <algorithm>

CUndoStack::CUndoStack(std::size_t maxEntries) : limit(std::max<std::size_t>(maxEntries, 1)) {}

void CUndoStack::Push(std::unique_ptr<IUndoEntry> entry)
{
    if (!entry)
        return;
    if (clean != kNoClean && clean > index)
        clean = kNoClean;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index), entries.end());
    entries.push_back(std::move(entry));
    ++index;
    if (entries.size() > limit)
    {
        entries.erase(entries.begin());
        --index;
        // The position before the dropped entry cannot be reached again.
        clean = clean == 0 || clean == kNoClean ? kNoClean : clean - 1;
    }
}

std::string CUndoStack::GetUndoName() const
{
    return CanUndo() ? entries[index - 1]->GetName() : std::string();
}

std::string CUndoStack::GetRedoName() const
{
    return CanRedo() ? entries[index]->GetName() : std::string();
}

bool CUndoStack::Undo()
{
    if (!CanUndo())
        return false;
    // The position moves first: an entry that records nothing of its own
    // still finds the stack where its edit is undone.
    --index;
    entries[index]->Undo();
    return true;
}

bool CUndoStack::Redo()
{
    if (!CanRedo())
        return false;
    ++index;
    entries[index - 1]->Redo();
    return true;
}

void CUndoStack::SetClean()
{
    clean = index;
}

void CUndoStack::Clear()
{
    entries.clear();
    index = 0;
    clean = 0;
}
