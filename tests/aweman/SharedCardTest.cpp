// Several tamberly-cli processes working the same emulated card at once:
// whatever order their commands land in, the card's state file stays whole and
// its memory accounting equals what its banks and presets hold.

#include "aweman/CardFixture.h"
#include "cardstate/CardModel.h"
#include "support/CliRunner.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

TEST_F(CardTest, ProcessesSharingTheCardKeepItsMemoryAccountingExact)
{
    const std::string orchestra =
        WriteBank("orchestra.sbk", {{"Violin", 0, 0, 1024}, {"Cello", 5, 0, 8192}}, 64 * 1024, "Orchestra");
    const std::string strings =
        WriteBank("strings.sbk", {{"Viola", 0, 0, 700}, {"Bass", 7, 0, 3000}}, 16 * 1024, "Strings");
    Session(); // installs the card before the processes race for it

    constexpr int kProcesses = 4;
    const auto runFor = std::chrono::seconds(3);
    const auto end = std::chrono::steady_clock::now() + runFor;
    std::atomic<int> runs{0}, failures{0};
    std::vector<std::string> failed(kProcesses);
    std::vector<std::thread> workers;
    for (int worker = 0; worker < kProcesses; ++worker)
        workers.emplace_back(
            [&, worker]
            {
                const CliOptions options{
                    .env = {{"TAMBERLY_CARD_HOME", home.Path()}, {"TAMBERLY_AWEMAN", ""}}};
                // Neighbouring workers share banks 1..3, so that their loads and clears collide.
                // Each runs one whole cycle at least, however late the busy machine starts it.
                for (int step = 0; step < 4 || std::chrono::steady_clock::now() < end; ++step)
                {
                    const std::string bank = std::to_string(1 + (worker + step) % 3);
                    const std::string slot = std::to_string((worker * 7 + step) % 128);
                    std::vector<std::string> args;
                    switch (step % 4)
                    {
                    case 0:
                        args = {"card", "load-bank", bank, step % 8 == 0 ? orchestra : strings};
                        break;
                    case 1:
                        args = {"card", "load-preset", bank, slot, orchestra, "5"};
                        break;
                    case 2:
                        args = {"card", "load-preset", bank, slot, strings, "7"};
                        break;
                    default:
                        args = {"card", "clear", bank};
                        break;
                    }
                    const CliRun run = RunCli(args, options);
                    ++runs;
                    if (run.status != 0)
                    {
                        ++failures;
                        failed[worker] =
                            args[1] + " " + bank + ": " + std::to_string(run.status) + " " + run.err;
                    }
                }
            });
    for (auto& worker : workers)
        worker.join();
    std::printf("shared card: %d processes in %d workers for %lld s, %d failed\n", runs.load(), kProcesses,
                static_cast<long long>(runFor.count()), failures.load());
    EXPECT_EQ(failures.load(), 0) << failed[0] << failed[1] << failed[2] << failed[3];

    const auto state = ReadState();
    ASSERT_TRUE(state) << ReadHomeFile("card.state");
    const auto read = CardStateOnDisk::Read(home.Path());
    EXPECT_EQ(read.journalValid, read.journalBytes) << "no process left a record half written";
    std::printf("shared card: %zu bank files and %zu presets at the end\n", state->bankFiles.size(),
                state->presets.size());

    // The memory the card reports free is exactly what its banks and presets leave.
    const auto card = Session();
    const std::uint64_t totalWords = static_cast<std::uint64_t>(card->GetMemoryKB(false)) * 512;
    ASSERT_GT(totalWords, 0u);
    std::uint64_t held = 0;
    for (const auto& [bank, file] : state->bankFiles)
    {
        held += file.words;
        EXPECT_EQ(card->GetBankName(bank), file.name) << bank;
        EXPECT_TRUE(file.name == "Orchestra" || file.name == "Strings") << file.name;
    }
    for (const auto& [where, preset] : state->presets)
    {
        held += preset.words;
        EXPECT_EQ(card->GetPresetName(where.first, where.second), preset.name)
            << where.first << ":" << where.second;
        EXPECT_TRUE(preset.name == "Cello" || preset.name == "Bass") << preset.name;
    }
    EXPECT_EQ(held, state->UsedWords());
    EXPECT_EQ(static_cast<std::uint64_t>(card->GetMemoryKB(true)), (totalWords - held) / 512);

    // Clearing every bank the processes used gives all of the memory back.
    for (int bank = 1; bank <= 3; ++bank)
        ASSERT_TRUE(card->ClearBank(bank));
    EXPECT_EQ(static_cast<std::uint64_t>(card->GetMemoryKB(true)) * 512, totalWords);
}
