#pragma once
// The edits of a document that can be taken back and done again, newest
// last. An entry knows how to undo and redo itself; the stack only keeps
// their order, the position between done and undone edits, and which
// position matches the file on disk (the clean state), so that the
// document's modified flag can follow it. One thread only.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class IUndoEntry
{
public:
    virtual ~IUndoEntry() = default;
    // What the edit did, for "Undo <name>" ("Place 3 Patches").
    virtual const std::string& GetName() const = 0;
    virtual void Undo() = 0;
    virtual void Redo() = 0;
};

class CUndoStack
{
public:
    // limit: the oldest entries are dropped beyond it (at least 1).
    explicit CUndoStack(std::size_t limit = 100);

    // Adds a done edit: the edits undone before it can no longer be redone.
    // A clean state among them, or dropped at the limit, is gone for good.
    void Push(std::unique_ptr<IUndoEntry> entry);
    bool CanUndo() const { return index > 0; }
    bool CanRedo() const { return index < entries.size(); }
    // The name of the edit Undo or Redo would take; empty when there is none.
    std::string GetUndoName() const;
    std::string GetRedoName() const;
    // False (nothing done) when there is nothing to undo or redo.
    bool Undo();
    bool Redo();

    // The current position is what the file holds (a save, an open).
    void SetClean();
    // No position is what the file holds (a change that was not recorded).
    void ForgetClean() { clean = kNoClean; }
    bool IsClean() const { return clean == index; }
    // Drops every entry; the empty stack is clean.
    void Clear();

    std::size_t GetCount() const { return entries.size(); }
    std::size_t GetIndex() const { return index; }

private:
    static constexpr std::size_t kNoClean = static_cast<std::size_t>(-1);

    std::vector<std::unique_ptr<IUndoEntry>> entries;
    std::size_t limit;
    std::size_t index = 0; // entries before it are done, from it on undone
    std::size_t clean = 0;
};
