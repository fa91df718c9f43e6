#pragma once
// One number for everything the converter makes of a set of banks: every
// file of a folder (in name order) read as the converter's fuzz target reads
// it (a preset number, a bank, a program, then the bank file), converted
// whole and as that one preset; the images, or the reasons for refusing, are
// folded into a 64-bit FNV-1a digest. A change of any output byte changes it.

#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct ConversionDigest
{
    std::uint64_t digest = 14695981039346656037ull;
    int converted = 0; // images made (whole banks and single presets)

    void Fold(const void* data, std::size_t size)
    {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i)
            digest = (digest ^ p[i]) * 1099511628211ull;
    }
    void FoldResult(bool ok, const std::vector<std::uint8_t>& image, const std::string& error)
    {
        const std::uint64_t size = ok ? image.size() : ~std::uint64_t{0};
        Fold(&size, sizeof size);
        if (ok)
        {
            Fold(image.data(), image.size());
            ++converted;
        }
        else
        {
            Fold(error.data(), error.size());
        }
    }
};

inline ConversionDigest DigestOfConversions(const std::string& folder)
{
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    ConversionDigest result;
    for (const auto& path : paths)
    {
        std::ifstream file(path, std::ios::binary);
        const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        std::size_t at = 0;
        const auto byte = [&] { return at < input.size() ? input[at++] : std::uint8_t{0}; };
        const int presetNumber = byte();
        const int bank = byte() % 129;
        const int program = byte() % 128;
        const std::size_t rest = input.size() - at;
        const std::string name = path.filename().string();
        result.Fold(name.data(), name.size());

        CSoundFont2Converter converter;
        std::vector<std::uint8_t> image;
        std::string error;
        CMemorySource whole(input.data() + at, rest);
        const bool wholeOk = converter.ConvertBank(whole, image, &error);
        result.FoldResult(wholeOk, image, error);
        CMemorySource one(input.data() + at, rest);
        error.clear();
        const bool oneOk = converter.ConvertPreset(one, presetNumber, image, &error, bank, program);
        result.FoldResult(oneOk, image, error);
    }
    return result;
}
