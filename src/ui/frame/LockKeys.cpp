#include "ui/frame/LockKeys.h"

#include <filesystem>
#include <fstream>

namespace
{
constexpr const char* kSuffixes[3] = {"::capslock", "::numlock", "::scrolllock"};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
} // namespace

CLockKeys::CLockKeys(const std::string& root)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(root, error), end; !error && it != end; it.increment(error))
    {
        const std::string name = it->path().filename().string();
        for (int lock = 0; lock < 3; ++lock)
            if (EndsWith(name, kSuffixes[lock]))
                brightness[lock].push_back((it->path() / "brightness").string());
    }
}

bool CLockKeys::IsOn(Lock lock) const
{
    for (const std::string& path : brightness[lock])
    {
        std::ifstream file(path);
        int value = 0;
        if (file >> value && value > 0)
            return true;
    }
    return false;
}
