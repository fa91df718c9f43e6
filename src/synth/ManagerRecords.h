#pragma once
// Reading and writing the records of the card manager's calls, for every
// implementation of the entry point. Records are copied in and fields copied
// out byte-wise: the caller's pointers carry no alignment promise.

#include "synth/AweManager.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace manager
{
// The longest path a FileReference may name.
constexpr std::uint32_t kMaxPathLength = 4096;

template <typename Record> bool ReadRecord(std::uintptr_t pointer, Record& record)
{
    if (pointer == 0)
        return false;
    std::memcpy(&record, reinterpret_cast<const void*>(pointer), sizeof record);
    return true;
}

template <typename Field> void WriteField(std::uintptr_t pointer, std::size_t offset, const Field& value)
{
    std::memcpy(reinterpret_cast<void*>(pointer + offset), &value, sizeof value);
}

// The path a FileReference names: its length must be the path's, up to the NUL.
inline std::optional<std::string> ReferencedPath(const FileReference& file)
{
    if (!file.path || file.length == 0 || file.length > kMaxPathLength)
        return std::nullopt;
    // Reads at most length + 1 bytes: the path and its NUL when the length is true.
    if (::strnlen(file.path, file.length + 1) != file.length)
        return std::nullopt;
    return std::string(file.path, file.length);
}

// Checks a NameBuffer before anything else is done, so that a refusal changes nothing.
inline bool UsableBuffer(const NameBuffer& name)
{
    return name.buffer != nullptr && name.size > 0;
}

// The name, cut to the buffer and always ended by a NUL inside it.
inline void WriteName(const NameBuffer& name, const std::string& text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), name.size - 1);
    std::memcpy(name.buffer, text.data(), length);
    name.buffer[length] = '\0';
}
} // namespace manager
