#pragma once
// Deletes the elements of a list that owns them when the scope ends, however
// it ends, unless Release() said the elements were handed on.
//
//     CPatchItemList pasted;
//     CPatchItemListGuard guard(pasted);
//     CClipboardStream::Read(bytes, pasted);   // may throw
//     document.AddPatches(pasted);             // takes the patches over
//     pasted.RemoveAll();

#include "bank/PatchItemList.h"

class CPatchItemListGuard
{
public:
    explicit CPatchItemListGuard(CPatchItemList& guarded) : list(&guarded) {}
    ~CPatchItemListGuard()
    {
        if (list)
            list->DeleteAll();
    }
    CPatchItemListGuard(const CPatchItemListGuard&) = delete;
    CPatchItemListGuard& operator=(const CPatchItemListGuard&) = delete;

    // The list's elements are someone else's now; leave them alone.
    void Release() { list = nullptr; }

private:
    CPatchItemList* list;
};
