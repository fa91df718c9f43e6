// Clipboard and drag-and-drop payloads: Read replaces a list with what the
// bytes hold or refuses them and leaves the list empty; what reads writes
// back to bytes that read the same, and those bytes are stable.

#include "FuzzTarget.h"

#include "bank/ArchiveException.h"
#include "bank/ClipboardStream.h"
#include "bank/PatchItemListGuard.h"

#include <set>
#include <span>

namespace
{
bool InCard(std::int32_t value)
{
    return value >= -1 && value <= 127;
}

void CheckPatches(const CPatchItemList& list)
{
    std::set<const CPatchItem*> seen;
    for (const CPatchItem* patch : list)
    {
        FUZZ_CHECK(patch != nullptr);
        FUZZ_CHECK(seen.insert(patch).second); // each patch owned once
        FUZZ_CHECK(patch->IsDocumentPatch() && !patch->IsLoaded());
        FUZZ_CHECK(InCard(patch->GetTargetBank()) && InCard(patch->GetTargetPatch()));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    list.AddNew(); // an element the read must delete (the leak checker sees it otherwise)
    try
    {
        CClipboardStream::Read(std::span(data, size), list);
    }
    catch (const CArchiveException&)
    {
        FUZZ_CHECK(list.IsEmpty());
        return 0;
    }
    FUZZ_CHECK(size >= 2); // at least the count
    CheckPatches(list);

    const std::vector<std::uint8_t> bytes = CClipboardStream::Write(list);
    CPatchItemList pasted;
    CPatchItemListGuard pastedGuard(pasted);
    CClipboardStream::Read(bytes, pasted); // must not throw: these are our own bytes
    FUZZ_CHECK(pasted.GetSize() == list.GetSize());
    for (int i = 0; i < list.GetSize(); ++i)
        FUZZ_CHECK(*pasted.GetItem(i) == *list.GetItem(i));
    FUZZ_CHECK(CClipboardStream::Write(pasted) == bytes);
    return 0;
}
