// Writes the seed corpora of every fuzz target: fuzz-make-seeds <corpus folder>.
// Old seed-* files of a target are replaced; other files there (inputs kept
// from findings) stay.

#include "SeedSet.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

RegisterSeeds::RegisterSeeds(const char* target, SeedMaker make)
{
    SeedMakers().emplace_back(target, make);
}

std::vector<std::pair<std::string, SeedMaker>>& SeedMakers()
{
    static std::vector<std::pair<std::string, SeedMaker>> makers;
    return makers;
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
        return 2;
    }
    for (const auto& [target, make] : SeedMakers())
    {
        CSeedSet set;
        make(set);
        const fs::path folder = fs::path(argv[1]) / target;
        fs::create_directories(folder);
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().starts_with("seed-"))
                fs::remove(entry.path());
        std::size_t bytes = 0;
        for (const auto& [name, data] : set.Seeds())
        {
            std::ofstream out(folder / ("seed-" + name), std::ios::binary);
            out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
            if (!out)
            {
                std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
                return 1;
            }
            bytes += data.size();
        }
        std::printf("%-16s %3zu seeds, %6zu bytes\n", target.c_str(), set.Seeds().size(), bytes);
    }
    return 0;
}
