#include "engine/CardStateWatcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{

class CFd
{
public:
    explicit CFd(int descriptor) : fd(descriptor) {}
    ~CFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return fd; }

private:
    int fd;
};
} // namespace

CCardStateWatcher::CCardStateWatcher(std::string cardHome) : home(std::move(cardHome)) {}

std::optional<CCardModel> CCardStateWatcher::ReadIfChanged()
{
    const std::string path = StatePath();
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
    {
        // No state yet: a fresh card, once.
        const FileStamp missing;
        if (known && stamp == missing)
            return std::nullopt;
        known = true;
        stamp = missing;
        return CCardModel();
    }
    const FileStamp now = FileStamp::Of(st);
    if (known && now == stamp)
        return std::nullopt;

    // The stamp recorded is the one of the file actually read (it may have
    // been replaced again since the stat above; then the next call reads it).
    const CFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat opened
    {
    };
    std::string text;
    bool readable = file.Get() >= 0 && ::fstat(file.Get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
                    opened.st_size <= CardFiles::kMaxStateBytes;
    if (readable)
    {
        text.resize(static_cast<std::size_t>(opened.st_size));
        std::size_t done = 0;
        while (done < text.size())
        {
            const ssize_t got = ::read(file.Get(), text.data() + done, text.size() - done);
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        readable = done == text.size();
        stamp = FileStamp::Of(opened);
    }
    else
    {
        stamp = now;
    }
    known = true;
    auto model = readable ? CCardModel::Parse(text) : std::nullopt;
    return model ? std::move(*model) : CCardModel();
}
