#include "bank/PatchItemList.h"

#include "bank/ArchiveException.h"
#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"

#include <algorithm>
#include <limits>

const CRuntimeClass CPatchItemList::runtimeClass = {"CPatchItemList", 1, true, &CPatchItemList::CreateObject};

CPatchItemList::CPatchItemList(CPatchItemList&& other) noexcept
    : CArchiveObject(other), items(std::move(other.items))
{
    other.items.clear();
}

CPatchItemList& CPatchItemList::operator=(CPatchItemList&& other) noexcept
{
    items = std::move(other.items);
    other.items.clear();
    return *this;
}

std::unique_ptr<CArchiveObject> CPatchItemList::CreateObject()
{
    return std::make_unique<CPatchItemList>();
}

int CPatchItemList::Add(CPatchItem* item)
{
    if (!item)
        return -1;
    items.push_back(item);
    return GetSize() - 1;
}

CPatchItem* CPatchItemList::SetAt(int index, CPatchItem* item)
{
    if (!item || index < 0 || index >= GetSize())
        return nullptr;
    CPatchItem* old = items[static_cast<std::size_t>(index)];
    items[static_cast<std::size_t>(index)] = item;
    return old;
}

CPatchItem* CPatchItemList::RemoveAt(int index)
{
    if (index < 0 || index >= GetSize())
        return nullptr;
    CPatchItem* old = items[static_cast<std::size_t>(index)];
    items.erase(items.begin() + index);
    return old;
}

CPatchItem* CPatchItemList::GetItem(int index) const
{
    if (index < 0 || index >= GetSize())
        return nullptr;
    return items[static_cast<std::size_t>(index)];
}

CPatchItem* CPatchItemList::AddNew(int* index)
{
    auto item = std::make_unique<CPatchItem>(true);
    const int at = Add(item.get());
    if (index)
        *index = at;
    return item.release();
}

bool CPatchItemList::DeleteAll()
{
    for (CPatchItem* item : items)
        delete item;
    items.clear();
    return true;
}

CPatchItem* CPatchItemList::FindAt(int bank, int patch, int* index) const
{
    for (std::size_t i = 0; i < items.size(); ++i)
    {
        if (items[i]->GetTargetBank() == bank && items[i]->GetTargetPatch() == patch)
        {
            if (index)
                *index = static_cast<int>(i);
            return items[i];
        }
    }
    if (index)
        *index = -1;
    return nullptr;
}

int CPatchItemList::IndexOf(const CPatchItem* item) const
{
    const auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

bool CPatchItemList::HasBankEntries(int bank, bool loadedOnly) const
{
    return std::any_of(items.begin(), items.end(),
                       [&](const CPatchItem* item)
                       { return item->GetTargetBank() == bank && (!loadedOnly || item->IsLoaded()); });
}

void CPatchItemList::Serialize(CArchiveWriter& archive) const
{
    archive.WriteCount(static_cast<std::uint32_t>(items.size()));
    for (const CPatchItem* item : items)
        archive.WriteObject(item);
}

void CPatchItemList::Serialize(CArchiveReader& archive)
{
    DeleteAll();
    try
    {
        ReadElements(archive);
    }
    catch (...)
    {
        DeleteAll();
        throw;
    }
}

void CPatchItemList::ReadElements(CArchiveReader& archive)
{
    const std::uint32_t count = archive.ReadCount();
    // Every element takes at least its 16-bit tag, so a count the stream
    // cannot hold is refused before anything is allocated for it.
    const std::uint64_t left = archive.BytesLeft();
    if (count > left / 2)
        throw CArchiveException(CArchiveException::Cause::EndOfFile);
    if (count > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
        throw CArchiveException(CArchiveException::Cause::BadIndex);
    items.reserve(std::min<std::uint64_t>(count, left / sizeof(CPatchItem*)));

    for (std::uint32_t i = 0; i < count; ++i)
    {
        CArchiveReader::ObjectRead read = archive.ReadObject(&CPatchItem::runtimeClass);
        std::unique_ptr<CPatchItem> item;
        if (read.created)
            item.reset(static_cast<CPatchItem*>(read.created.release()));
        else if (read.earlier)
            item = std::make_unique<CPatchItem>(*static_cast<const CPatchItem*>(read.earlier));
        else
            continue;
        items.push_back(item.get());
        item.release();
    }
}
