#include "support/RiffBuilder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

void PutLE16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLE32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutFixed(Bytes& out, std::string_view text, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

void PutText(Bytes& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

Bytes TextZ(std::string_view text)
{
    Bytes out(text.begin(), text.end());
    out.push_back(0);
    return out;
}

static void PutId(Bytes& out, std::string_view id)
{
    if (id.size() != 4)
        throw std::invalid_argument("a chunk id has four characters");
    PutText(out, id);
}

RiffBuilder& RiffBuilder::Begin(std::string_view id, std::string_view type)
{
    PutId(bytes, id);
    open.push_back(bytes.size());
    PutLE32(bytes, 0);
    PutId(bytes, type);
    return *this;
}

RiffBuilder& RiffBuilder::Chunk(std::string_view id, const Bytes& data,
                                std::optional<std::uint32_t> claimedSize)
{
    PutId(bytes, id);
    PutLE32(bytes, claimedSize.value_or(static_cast<std::uint32_t>(data.size())));
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (data.size() & 1u)
        bytes.push_back(0);
    return *this;
}

RiffBuilder& RiffBuilder::Raw(const Bytes& data)
{
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

RiffBuilder& RiffBuilder::End()
{
    const std::size_t at = open.back();
    open.pop_back();
    std::size_t size = bytes.size() - at - 4;
    if (size & 1u)
    {
        bytes.push_back(0);
        // The pad byte is not part of the size.
    }
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    return *this;
}

Bytes RiffBuilder::Finish()
{
    while (!open.empty())
        End();
    return bytes;
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tamberly-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::Write(std::string_view name, const Bytes& data) const
{
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file);
    return file;
}

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
