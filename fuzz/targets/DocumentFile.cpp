// .tmb documents: Load from memory and ReadPatchList from a path. What loads
// must be within the card's ranges, store again and load back the same, and
// the patch list read past the header must be the one Load found; what does
// not load must leave nothing behind.

#include "FuzzTarget.h"

#include "bank/ArchiveException.h"
#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"

#include <set>

namespace
{
bool InCard(std::int32_t value)
{
    return value >= -1 && value <= 127;
}

void CheckPatches(const CPatchItemList& patches)
{
    std::set<const CPatchItem*> seen;
    for (const CPatchItem* patch : patches)
    {
        FUZZ_CHECK(patch != nullptr);
        FUZZ_CHECK(seen.insert(patch).second); // each patch owned once
        FUZZ_CHECK(patch->IsDocumentPatch() && !patch->IsLoaded());
        FUZZ_CHECK(InCard(patch->GetTargetBank()) && InCard(patch->GetTargetPatch()));
    }
}

bool SamePatches(const CPatchItemList& a, const CPatchItemList& b)
{
    if (a.GetSize() != b.GetSize())
        return false;
    for (int i = 0; i < a.GetSize(); ++i)
        if (*a.GetItem(i) != *b.GetItem(i))
            return false;
    return true;
}

bool SameHeader(const CDocumentFile::Header& a, const CDocumentFile::Header& b)
{
    if (a.currentBank != b.currentBank || a.synthBank != b.synthBank || a.reverb != b.reverb ||
        a.chorus != b.chorus || a.bankFiles.size() != b.bankFiles.size())
        return false;
    for (std::size_t i = 0; i < a.bankFiles.size(); ++i)
        if (a.bankFiles[i].bank != b.bankFiles[i].bank || a.bankFiles[i].path != b.bankFiles[i].path)
            return false;
    return true;
}

std::vector<std::uint8_t> Stored(const CDocumentFile::Header& header, const CPatchItemList& patches,
                                 const std::string& info)
{
    CMemorySink sink;
    CDocumentFile::Store(sink, header, patches, info);
    return sink.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemorySource source(data, size);
    CDocumentFile::Header header;
    header.currentBank = 7;
    header.bankFiles.push_back({3, "untouched"});
    std::string info = "untouched";
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    patches.AddNew(); // an element the load must delete (the leak checker sees it otherwise)

    bool loaded = false;
    bool refused = false;
    try
    {
        loaded = CDocumentFile::Load(source, header, patches, info);
    }
    catch (const CArchiveException&)
    {
        refused = true;
    }
    FUZZ_CHECK(source.Tell() <= size);
    if (!loaded)
    {
        // Nothing read: the patches are gone, header and text as they were.
        FUZZ_CHECK(refused || size == 0);
        FUZZ_CHECK(patches.IsEmpty());
        FUZZ_CHECK(header.currentBank == 7 && header.bankFiles.size() == 1 && info == "untouched");
    }
    else
    {
        FUZZ_CHECK(InCard(header.currentBank));
        for (const CDocumentFile::BankFile& entry : header.bankFiles)
            FUZZ_CHECK(entry.bank >= 1 && entry.bank <= 127 && !entry.path.empty());
        CheckPatches(patches);

        // Store what loaded, load it back: the same document, and the same bytes again.
        const std::vector<std::uint8_t> bytes = Stored(header, patches, info);
        CMemorySource again(bytes);
        CDocumentFile::Header header2;
        CPatchItemList patches2;
        CPatchItemListGuard guard2(patches2);
        std::string info2;
        FUZZ_CHECK(CDocumentFile::Load(again, header2, patches2, info2));
        FUZZ_CHECK(again.Tell() == bytes.size());
        FUZZ_CHECK(SameHeader(header, header2) && SamePatches(patches, patches2) && info == info2);
        FUZZ_CHECK(Stored(header2, patches2, info2) == bytes);
    }

    // The patch list of the same bytes as a file: read past the header, so it
    // decodes whenever the whole document does, and to the same patches.
    CFuzzFile::Input().Write(data, size);
    CPatchItemList list;
    CPatchItemListGuard listGuard(list);
    list.AddNew();
    bool listRefused = false;
    try
    {
        CDocumentFile::ReadPatchList(CFuzzFile::Input().Path(), list);
    }
    catch (const CArchiveException&)
    {
        listRefused = true;
        FUZZ_CHECK(list.IsEmpty());
    }
    CheckPatches(list);
    if (loaded || size == 0)
        FUZZ_CHECK(!listRefused && SamePatches(list, patches));
    return 0;
}
