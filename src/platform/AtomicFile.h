#pragma once
// Writes a file so that readers see either the old content or the whole new
// content, never a half-written file: the data goes to a temporary file in
// the target's folder, which replaces the target by rename once it is
// complete and flushed to disk. A file that is never committed is removed.

#include "platform/ByteStream.h"

#include <string>

class CAtomicFile
{
public:
    explicit CAtomicFile(std::string targetPath);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file; false (errno set) when the folder refuses it.
    bool Open();
    // The sink to write through; valid between Open and Commit or Discard.
    IByteSink& Sink() { return sink; }
    // Flushes, syncs and renames over the target. False on any failure, in
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
    bool open = false;
};

// Reads a whole file into bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
// Replaces path with data atomically (see CAtomicFile).
bool WriteWholeFileAtomic(const std::string& path, const std::string& data);
