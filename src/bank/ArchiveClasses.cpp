#include "bank/ArchiveClasses.h"

#include "bank/PatchItem.h"
#include "bank/PatchItemList.h"

std::span<const CRuntimeClass* const> ProgramArchiveClasses()
{
    static const CRuntimeClass* const classes[] = {&CPatchItem::runtimeClass, &CPatchItemList::runtimeClass};
    return classes;
}
