#include "support/CardFillingBank.h"

#include "support/SoundFontBuilder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

std::string CardFillingCopyName(int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "copy%03d", number);
    return name;
}

std::vector<std::string> WriteCardFillingCopies(const TempDir& folder, int count)
{
    SoundFontBuilder bank;
    bank.SampleData(kCardFillingSampleBytes);
    const int sample = bank.AddSample(0, 4096);
    bank.AddPreset("Grand", 0, 0, {bank.AddInstrument("Grand", {sample})});

    std::vector<std::string> paths;
    for (int number = 1; number <= count; ++number)
    {
        const std::string path = folder.File(CardFillingCopyName(number) + ".sbk");
        if (paths.empty())
            bank.WriteFile(path, SoundFontBuilder::SampleFill::Hole);
        else if (::link(paths.front().c_str(), path.c_str()) != 0)
            throw std::runtime_error("cannot link " + path + ": " + std::strerror(errno));
        paths.push_back(path);
    }
    return paths;
}
