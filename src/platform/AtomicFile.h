#pragma once
// Writes a file so that readers see either the old content or the whole new
// content, never a half-written file: the data goes to a temporary file in
// the target's folder, which replaces the target by rename once it is
// complete and (unless it is volatile) flushed to disk. A file that is never
// committed is removed; the temporaries of writers that were killed before
// they could remove theirs go when a later commit replaces the same target,
// once they are an hour old.
//
// Durability: a synced file survives a power failure once Commit returns. A
// volatile one is as safe against a killed or crashed writer (the rename is
// atomic), but after a power failure it may be the old content or, on some
// file systems, empty; it is meant for state that a restart may lose anyway.

#include "platform/ByteStream.h"

#include <string>

class CAtomicFile
{
public:
    enum class Durability
    {
        Synced,
        Volatile,
    };

    explicit CAtomicFile(std::string targetPath, Durability durability = Durability::Synced);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file; false (errno set) when the folder refuses it.
    bool Open();
    // The sink to write through; valid between Open and Commit or Discard.
    IByteSink& Sink() { return sink; }
    // Flushes, syncs (when synced) and renames over the target. False on any failure, in
    // which case the temporary file is gone and the target is untouched.
    bool Commit();
    // Removes the temporary file; the target is untouched.
    void Discard();

    const std::string& TargetPath() const { return target; }
    const std::string& TempPath() const { return temp; }

private:
    std::string target;
    std::string temp;
    CFileSink sink;
    Durability durability;
    bool open = false;
};

// Reads a whole file into bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
// Replaces path with data atomically (see CAtomicFile).
bool WriteWholeFileAtomic(const std::string& path, const std::string& data,
                          CAtomicFile::Durability durability = CAtomicFile::Durability::Synced);
