#pragma once
// Builds RIFF files in memory for tests: nested "RIFF"/"LIST" containers and
// plain chunks, with pad bytes after odd data and, where a test needs a lie,
// a claimed size that differs from the data written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Little helpers to put records together.
void PutLE16(Bytes& out, std::uint16_t value);
void PutLE32(Bytes& out, std::uint32_t value);
// text zero-padded (or cut) to exactly width bytes.
void PutFixed(Bytes& out, std::string_view text, std::size_t width);
void PutText(Bytes& out, std::string_view text); // bytes as they stand, no terminator
Bytes TextZ(std::string_view text);              // text and one zero byte

class RiffBuilder
{
public:
    RiffBuilder& Begin(std::string_view id, std::string_view type);
    RiffBuilder& Chunk(std::string_view id, const Bytes& data, std::optional<std::uint32_t> claimedSize = {});
    RiffBuilder& End();
    RiffBuilder& Raw(const Bytes& data);
    // Closes whatever is still open and returns the file.
    Bytes Finish();

private:
    Bytes bytes;
    std::vector<std::size_t> open;
};

// A fresh folder under the system temp folder, removed with its content.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    std::string File(std::string_view name) const { return path + "/" + std::string(name); }
    std::string Write(std::string_view name, const Bytes& data) const;

private:
    std::string path;
};

Bytes ReadFileBytes(const std::string& path);
