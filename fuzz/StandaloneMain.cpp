// Replays inputs through a fuzz target without libFuzzer: every file named on
// the command line and every file in a folder named there, in name order.
// The test build links each target with this, so ctest runs every committed
// corpus under the sanitizers; a crash file from a fuzzing run can be
// replayed the same way under gdb.

#include "FuzzTarget.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i)
    {
        const fs::path arg(argv[i]);
        std::error_code error;
        if (fs::is_directory(arg, error))
        {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(arg, error))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        }
        else if (fs::is_regular_file(arg, error))
        {
            inputs.push_back(arg);
        }
        else
        {
            std::fprintf(stderr, "%s: not a file or folder\n", argv[i]);
            return 2;
        }
    }
    // A corpus that went missing must not pass as a clean run.
    if (inputs.empty())
    {
        std::fprintf(stderr, "usage: %s FILE-OR-FOLDER... (no inputs found)\n", argc > 0 ? argv[0] : "fuzz");
        return 2;
    }

    for (const fs::path& input : inputs)
    {
        std::ifstream in(input, std::ios::binary);
        const auto size = static_cast<std::size_t>(fs::file_size(input));
        // Exactly as large as the input, so that a read past its end is caught.
        std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size == 0 ? 1 : size]);
        if (!in.read(reinterpret_cast<char*>(bytes.get()), static_cast<std::streamsize>(size)))
        {
            std::fprintf(stderr, "%s: cannot read\n", input.c_str());
            return 2;
        }
        std::fprintf(stderr, "%s\n", input.c_str());
        LLVMFuzzerTestOneInput(bytes.get(), size);
    }
    std::fprintf(stderr, "%zu inputs ran\n", inputs.size());
    return 0;
}
