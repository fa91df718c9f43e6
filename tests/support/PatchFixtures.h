#pragma once
// A patch from C:\BANKS\A.SBK appended to a list (which owns it), as the
// archive, clipboard and document tests build their lists.

#include "bank/PatchItem.h"
#include "bank/PatchItemList.h"

inline CPatchItem* AddPatch(CPatchItemList& list, const char* name, int sourcePatch, int slot, int bank)
{
    CPatchItem* item = list.AddNew();
    item->SetName(name);
    item->SetSourceFile("C:\\BANKS\\A.SBK");
    item->SetSourcePatch(sourcePatch);
    item->SetTargetPatch(slot);
    item->SetTargetBank(bank);
    return item;
}
