#include "cardstate/CardJournal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr std::string_view kRecord = "record ";
constexpr std::string_view kJournal = "journal ";
// "record " + up to 20 digits + " " + 16 hex digits + "\n".
constexpr std::size_t kMaxHeaderBytes = 64;

std::uint64_t Checksum(std::string_view bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes)
    {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// Reads at most limit bytes of a regular file; false when it is there but
// cannot be read, missing set when it is not there.
bool ReadFile(const std::string& path, std::uint64_t limit, std::string& text, FileStamp& stamp,
              bool& missing)
{
    text.clear();
    stamp = {};
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        missing = errno == ENOENT;
        return missing;
    }
    struct stat st
    {
    };
    const bool stated = ::fstat(fd, &st) == 0;
    // A stamp even for what is no file (a folder), so that a watcher looks again only when it changes.
    if (stated)
        stamp = FileStamp::Of(st);
    bool ok = stated && S_ISREG(st.st_mode);
    if (ok)
    {
        text.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(st.st_size), limit)));
        std::size_t done = 0;
        while (done < text.size())
        {
            const ssize_t got = ::read(fd, text.data() + done, text.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        // A file that shrank while it was read holds what was read.
        text.resize(done);
    }
    ::close(fd);
    return ok;
}

void PutHex(std::string& out, std::uint64_t value)
{
    for (int shift = 60; shift >= 0; shift -= 4)
        out += "0123456789abcdef"[(value >> shift) & 15];
}
} // namespace

std::string CardJournal::Header(std::string_view snapshot)
{
    std::string out(kJournal);
    PutHex(out, Checksum(snapshot));
    out += '\n';
    return out;
}

std::string CardJournal::Frame(std::string_view body)
{
    std::string out(kRecord);
    out += std::to_string(body.size());
    out += ' ';
    PutHex(out, Checksum(body));
    out += '\n';
    out.append(body);
    return out;
}

CardJournal::Replay CardJournal::Apply(CCardModel& model, std::string_view snapshot, std::string_view journal)
{
    const std::string header = Header(snapshot);
    if (!journal.starts_with(header))
        return {};
    Replay replay = ApplyRecords(model, journal.substr(header.size()));
    replay.validBytes += header.size();
    return replay;
}

CardJournal::Replay CardJournal::ApplyRecords(CCardModel& model, std::string_view journal)
{
    Replay replay;
    std::string_view rest = journal;
    while (!rest.empty())
    {
        const auto newline = rest.substr(0, kMaxHeaderBytes).find('\n');
        if (newline == std::string_view::npos || !rest.starts_with(kRecord))
            break;
        const std::string_view header = rest.substr(kRecord.size(), newline - kRecord.size());
        const auto space = header.find(' ');
        if (space == std::string_view::npos || header.size() - space - 1 != 16)
            break;
        std::uint64_t length = 0, sum = 0;
        const auto [lengthEnd, lengthError] = std::from_chars(header.data(), header.data() + space, length);
        const auto [sumEnd, sumError] =
            std::from_chars(header.data() + space + 1, header.data() + header.size(), sum, 16);
        if (lengthError != std::errc() || lengthEnd != header.data() + space || sumError != std::errc() ||
            sumEnd != header.data() + header.size() || space == 0)
            break;
        if (length > rest.size() - newline - 1)
            break; // cut short
        const std::string_view body = rest.substr(newline + 1, static_cast<std::size_t>(length));
        if (Checksum(body) != sum || !model.ApplyRecord(body))
            break;
        rest.remove_prefix(newline + 1 + static_cast<std::size_t>(length));
        replay.validBytes = journal.size() - rest.size();
        ++replay.records;
    }
    return replay;
}

CardStateOnDisk CardStateOnDisk::Read(const std::string& home)
{
    CardStateOnDisk read;
    std::string text;
    bool missing = false;
    // One byte beyond the limit shows a snapshot that is too big.
    if (!ReadFile(CardFiles::StatePath(home), CardFiles::kMaxStateBytes + 1, text, read.stateStamp, missing))
        read.snapshot = Snapshot::Damaged;
    else if (missing)
        read.snapshot = Snapshot::Missing;
    else if (auto parsed = text.size() <= static_cast<std::uint64_t>(CardFiles::kMaxStateBytes)
                               ? CCardModel::Parse(text)
                               : std::nullopt)
    {
        read.snapshot = Snapshot::Read;
        read.model = std::move(*parsed);
    }
    else
    {
        read.snapshot = Snapshot::Damaged;
    }

    std::string journal;
    if (!ReadFile(CardFiles::JournalPath(home), CardJournal::kMaxJournalBytes, journal, read.journalStamp,
                  missing))
        journal.clear();
    read.journalBytes = read.journalStamp.size;
    // Records follow the snapshot they were appended to; without it they mean nothing.
    if (read.snapshot == Snapshot::Read)
    {
        const auto replay = CardJournal::Apply(read.model, text, journal);
        read.journalValid = replay.validBytes;
        read.records = replay.records;
    }
    return read;
}
