#include "platform/WindowedSource.h"

#include <algorithm>
#include <cstring>
#include <new>

CWindowedSource::CWindowedSource(std::unique_ptr<IByteSource> source) : inner(std::move(source)) {}

bool CWindowedSource::Keep(std::uint64_t start, std::uint64_t length)
{
    const std::uint64_t size = inner->Size();
    if (start >= size)
        return false;
    length = std::min(length, size - start);
    if (length == 0 || length > SIZE_MAX)
        return false;
    const std::uint64_t end = start + length;
    if (std::any_of(windows.begin(), windows.end(),
                    [&](const Window& window) { return start < window.End() && window.start < end; }))
        return false;
    Window window;
    window.start = start;
    try
    {
        window.bytes.resize(static_cast<std::size_t>(length));
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    if (!inner->Seek(start))
        return false;
    window.bytes.resize(inner->Read(window.bytes.data(), window.bytes.size()));
    if (window.bytes.empty())
        return false;
    windows.push_back(std::move(window));
    return true;
}

std::size_t CWindowedSource::Read(void* buffer, std::size_t size)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size)
    {
        const auto inside = std::find_if(windows.begin(), windows.end(),
                                         [&](const Window& window)
                                         { return position >= window.start && position < window.End(); });
        if (inside != windows.end())
        {
            const auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(size - done, inside->End() - position));
            std::memcpy(out + done, inside->bytes.data() + (position - inside->start), count);
            done += count;
            position += count;
            continue;
        }
        // Up to the next window (or the end of the request) from the inner source.
        std::uint64_t until = position + (size - done);
        for (const Window& window : windows)
            if (window.start > position)
                until = std::min(until, window.start);
        const auto wanted = static_cast<std::size_t>(until - position);
        if (!inner->Seek(position))
            break;
        const std::size_t got = inner->Read(out + done, wanted);
        done += got;
        position += got;
        if (got < wanted)
            break;
    }
    return done;
}

bool CWindowedSource::Seek(std::uint64_t to)
{
    if (to > inner->Size())
        return false;
    position = to;
    return true;
}
