#include "engine/MemoryFontLoader.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

namespace
{
using Image = std::shared_ptr<const std::vector<std::uint8_t>>;

struct Table
{
    std::mutex mutex;
    std::map<std::string, Image> images;
    std::uint64_t next = 0;
};

Table& Images()
{
    static Table table;
    return table;
}

// An open "file": an image and a position in it, or a file on disk.
struct Handle
{
    Image image;
    fluid_long_long_t position = 0;
    std::FILE* file = nullptr;
};

void* Open(const char* filename)
{
    if (!filename)
        return nullptr;
    const std::string_view name(filename);
    auto handle = std::make_unique<Handle>();
    if (name.starts_with(CMemoryFontLoader::kPrefix))
    {
        Table& table = Images();
        const std::lock_guard guard(table.mutex);
        const auto found = table.images.find(std::string(name));
        if (found == table.images.end())
            return nullptr;
        handle->image = found->second;
    }
    else
    {
        handle->file = std::fopen(filename, "rb");
        if (!handle->file)
            return nullptr;
    }
    return handle.release();
}

int Read(void* buffer, fluid_long_long_t count, void* opened)
{
    auto* handle = static_cast<Handle*>(opened);
    if (count < 0)
        return FLUID_FAILED;
    const auto size = static_cast<std::size_t>(count);
    if (handle->file)
        return std::fread(buffer, 1, size, handle->file) == size ? FLUID_OK : FLUID_FAILED;
    const auto length = static_cast<fluid_long_long_t>(handle->image->size());
    if (handle->position < 0 || handle->position > length || count > length - handle->position)
        return FLUID_FAILED;
    std::copy_n(handle->image->data() + handle->position, size, static_cast<std::uint8_t*>(buffer));
    handle->position += count;
    return FLUID_OK;
}

int Seek(void* opened, fluid_long_long_t offset, int origin)
{
    auto* handle = static_cast<Handle*>(opened);
    if (handle->file)
        return ::fseeko(handle->file, static_cast<off_t>(offset), origin) == 0 ? FLUID_OK : FLUID_FAILED;
    fluid_long_long_t base = 0;
    if (origin == SEEK_CUR)
        base = handle->position;
    else if (origin == SEEK_END)
        base = static_cast<fluid_long_long_t>(handle->image->size());
    else if (origin != SEEK_SET)
        return FLUID_FAILED;
    const fluid_long_long_t target = base + offset;
    if (target < 0 || target > static_cast<fluid_long_long_t>(handle->image->size()))
        return FLUID_FAILED;
    handle->position = target;
    return FLUID_OK;
}

fluid_long_long_t Tell(void* opened)
{
    auto* handle = static_cast<Handle*>(opened);
    if (handle->file)
        return static_cast<fluid_long_long_t>(::ftello(handle->file));
    return handle->position;
}

int Close(void* opened)
{
    auto* handle = static_cast<Handle*>(opened);
    const int result = handle->file && std::fclose(handle->file) != 0 ? FLUID_FAILED : FLUID_OK;
    delete handle;
    return result;
}
} // namespace

fluid_sfloader_t* CMemoryFontLoader::NewLoader(fluid_settings_t* settings)
{
    fluid_sfloader_t* loader = new_fluid_defsfloader(settings);
    if (loader && fluid_sfloader_set_callbacks(loader, Open, Read, Seek, Tell, Close) != FLUID_OK)
    {
        delete_fluid_sfloader(loader);
        return nullptr;
    }
    return loader;
}

std::string CMemoryFontLoader::Publish(std::vector<std::uint8_t> image)
{
    auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(image));
    Table& table = Images();
    const std::lock_guard guard(table.mutex);
    std::string name = kPrefix + std::to_string(++table.next);
    table.images.emplace(name, std::move(shared));
    return name;
}

void CMemoryFontLoader::Withdraw(const std::string& name)
{
    Table& table = Images();
    Image image;
    {
        const std::lock_guard guard(table.mutex);
        const auto found = table.images.find(name);
        if (found == table.images.end())
            return;
        image = std::move(found->second);
        table.images.erase(found);
    }
    // The image is freed here, outside the lock, unless a load still reads it.
}

std::size_t CMemoryFontLoader::PublishedCount()
{
    Table& table = Images();
    const std::lock_guard guard(table.mutex);
    return table.images.size();
}
