#pragma once
// Patches appended to a list (which owns them), as the archive, clipboard,
// document and pane tests build their lists.

#include "bank/PatchItem.h"
#include "bank/PatchItemList.h"

#include <string>

// Preset sourcePatch of file, aimed at bank:slot.
inline CPatchItem* AddFilePatch(CPatchItemList& list, const std::string& name, const std::string& file,
                                int sourcePatch, int bank, int slot)
{
    CPatchItem* item = list.AddNew();
    item->SetName(name);
    item->SetSourceFile(file);
    item->SetSourcePatch(sourcePatch);
    item->SetTargetPatch(slot);
    item->SetTargetBank(bank);
    return item;
}

// A patch from C:\BANKS\A.SBK.
inline CPatchItem* AddPatch(CPatchItemList& list, const char* name, int sourcePatch, int slot, int bank)
{
    return AddFilePatch(list, name, "C:\\BANKS\\A.SBK", sourcePatch, bank, slot);
}
