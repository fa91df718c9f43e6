#pragma once
// The files of the emulated card's home, named once for the card that writes
// them and the engine that reads them, and the stamp both use to tell whether
// a file changed without reading it.

#include <cstdint>
#include <string>

struct stat;

namespace CardFiles
{
// What the card holds (CCardModel's text): the snapshot the journal's records
// follow, replaced whole only when the journal is compacted.
constexpr const char* kState = "card.state";
// The changes since the snapshot, one record per command (CardJournal.h).
constexpr const char* kJournal = "card.journal";
// Locked from a manager's open to its close; holds the token of the last change.
constexpr const char* kLock = "card.lock";
// A state file beyond this is damaged: a full card states about 20,000 short lines.
constexpr std::int64_t kMaxStateBytes = 16 << 20;

inline std::string StatePath(const std::string& home)
{
    return home + '/' + kState;
}
inline std::string JournalPath(const std::string& home)
{
    return home + '/' + kJournal;
}
inline std::string LockPath(const std::string& home)
{
    return home + '/' + kLock;
}
} // namespace CardFiles

// The identity, size and change time of a file; all zero when it is missing.
// A file replaced by a rename gets a new inode, so even a same-size write in
// the same clock tick shows.
struct FileStamp
{
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t seconds = 0, nanoseconds = 0;
    bool operator==(const FileStamp&) const = default;

    static FileStamp Of(const struct stat& st);
    // The stamp of the file at path; all zero when there is none.
    static FileStamp Of(const std::string& path);
    // As text, for keys of caches: "missing" for a missing file.
    std::string Text() const;
};
