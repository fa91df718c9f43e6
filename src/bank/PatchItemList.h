#pragma once
// An ordered array of patch pointers: the document's patches, the presets a
// source file offers, and the payload of clipboard and drag transfers.
//
// Ownership: the list never deletes its elements by itself - not when it is
// destroyed, emptied with RemoveAll, or an element is removed or replaced.
// Only DeleteAll deletes them. Whoever fills a list owns its elements and
// either hands them on (to the document's list, then RemoveAll) or calls
// DeleteAll before the list goes away; CPatchItemListGuard does the latter
// on every way out of a scope. The document's list owns its elements; lists
// handed to views during an update own nothing and are valid only then.
//
// A list holds no null pointers and should hold each patch once.

#include "bank/ArchiveObject.h"
#include "bank/PatchItem.h"

#include "bank/PathResolver.h"
#include <cstdint>

#include <string>
#include <vector>

class CPatchItemList : public CArchiveObject
{
public:
    static const CRuntimeClass runtimeClass; // "CPatchItemList", schema 1, versionable

    CPatchItemList() = default;
    // Leaves the elements alone (see above).
    ~CPatchItemList() override = default;
    CPatchItemList(const CPatchItemList&) = delete;
    CPatchItemList& operator=(const CPatchItemList&) = delete;
    // Moving hands the pointers over; the source is left empty.
    CPatchItemList(CPatchItemList&& other) noexcept;
    CPatchItemList& operator=(CPatchItemList&& other) noexcept;

    static std::unique_ptr<CArchiveObject> CreateObject();

    int GetSize() const { return static_cast<int>(items.size()); }
    bool IsEmpty() const { return items.empty(); }
    // Appends item (not null) and returns its index.
    int Add(CPatchItem* item);
    // Puts item (not null) at index and returns the pointer it replaces,
    // which the caller owns from then on; null (nothing changed) when index
    // is out of range.
    CPatchItem* SetAt(int index, CPatchItem* item);
    // Takes the pointer at index out of the list and returns it (the caller
    // owns it from then on); null when index is out of range.
    CPatchItem* RemoveAt(int index);
    // Forgets every pointer without deleting anything.
    void RemoveAll() { items.clear(); }

    // The element at index, or null when index < 0 or index >= size.
    CPatchItem* GetItem(int index) const;
    // Creates a document patch, appends it and returns it; its index goes to
    // index when not null.
    CPatchItem* AddNew(int* index = nullptr);
    // Deletes every element, then empties the list. Returns true.
    bool DeleteAll();
    // The first element (in list order) on bank and program slot patch, or
    // null; its index (or -1) goes to index when not null.
    CPatchItem* FindAt(int bank, int patch, int* index = nullptr) const;
    // Position of that very pointer, or -1.
    int IndexOf(const CPatchItem* item) const;
    // Whether an element targets bank (and, with loadedOnly, is loaded).
    bool HasBankEntries(int bank, bool loadedOnly) const;

    // The patches a source file offers, by its type (PatchItemListFile.cpp):
    // - .sbk: one per preset record in file order, appended; nothing when the
    //   file does not open;
    // - .wav: one per conversion option the file offers, appended;
    // - .tmb: the document's patches whose SoundFont source still holds their
    //   preset, in place of the content (the old elements are deleted); each
    //   source file is looked for as opening the document does (settings:
    //   the drive map and search folders, PathResolver.h), and the patch
    //   names the file found, so that it loads wherever it is dropped;
    //   throws CFileException when the file cannot be opened and
    //   CArchiveException when it does not decode, leaving the list empty;
    // - anything else: nothing.
    // New patches are unloaded document patches, unassigned unless a
    // document placed them. Returns the size of the list afterwards.
    int ReadFromFile(const std::string& path, const PathResolverSettings& settings = {});

    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }

    const CRuntimeClass& GetRuntimeClass() const override { return runtimeClass; }
    // The element count, then each element as an object reference.
    void Serialize(CArchiveWriter& archive) const override;
    // Replaces the content (the old elements are deleted: a list that loads
    // owns what it holds) with the elements of the stream. Every element must
    // be a CPatchItem; null references are dropped, and a second reference to
    // a patch read before becomes a copy of it, so that each element is owned
    // once. On any error the list is emptied with DeleteAll before the
    // CArchiveException reaches the caller.
    void Serialize(CArchiveReader& archive) override;

private:
    void ReadElements(CArchiveReader& archive);

    std::vector<CPatchItem*> items;
};
