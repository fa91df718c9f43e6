#pragma once
// The emulated card inside a fuzz target: a card home folder of the
// process's own (in /dev/shm where it exists, so the card's synced writes
// cost nothing), removed when the process ends normally. The card itself is
// linked in, its entry point called directly. The working folder stays as
// it is: libFuzzer writes the corpus and findings by the paths it was given.

#include "FuzzTarget.h"

#include "aweman/EmulatedCard.h"
#include "cardstate/CardJournal.h"
#include "cardstate/CardModel.h"
#include "platform/AtomicFile.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>

class CFuzzCard
{
public:
    static CFuzzCard& Instance()
    {
        // Never destroyed: a static's destructor would run before the exit
        // handler its constructor registers, which still needs the folder's name.
        static CFuzzCard* card = new CFuzzCard;
        return *card;
    }

    const std::string& Home() const { return home; }
    std::string PathOf(const std::string& name) const { return home + '/' + name; }

    std::int32_t Call(std::uint32_t handle, std::uint32_t code, std::uintptr_t param1 = 0,
                      std::uintptr_t param2 = 0)
    {
        return CEmulatedCard::Instance().Call(handle, code, param1, param2);
    }
    template <typename Pointer> static std::uintptr_t Param(Pointer* pointer)
    {
        return reinterpret_cast<std::uintptr_t>(pointer);
    }

    // Forgets the card's state: the next open finds no state file, no sound
    // memory and a lock file without a token, as on a new machine, so nothing
    // an earlier input did (nor the card's cache of it) carries over.
    void Reset()
    {
        std::filesystem::remove(PathOf("card.state"));
        std::filesystem::remove(PathOf("card.journal"));
        std::filesystem::remove_all(PathOf(CCardModel::kMemoryFolder));
        ClearToken();
    }
    // Puts text in place as the state file (without a journal), the way
    // another process would leave it, and makes every cache of the old state void.
    void PutState(const std::string& text)
    {
        if (!WriteWholeFileAtomic(PathOf("card.state"), text))
            FuzzFail("writing card.state", __FILE__, __LINE__);
        std::filesystem::remove(PathOf("card.journal"));
        ClearToken();
    }
    // The card's state as its readers find it (the snapshot and the journal's
    // records); nothing without a snapshot or with a damaged one.
    std::optional<CCardModel> State() const
    {
        CardStateOnDisk read = CardStateOnDisk::Read(home);
        if (read.snapshot != CardStateOnDisk::Snapshot::Read)
            return std::nullopt;
        return std::move(read.model);
    }
    // The state file's bytes; nothing when there is none.
    std::optional<std::string> StateText() const
    {
        std::string text;
        if (!std::filesystem::exists(PathOf("card.state")) || !ReadWholeFile(PathOf("card.state"), text))
            return std::nullopt;
        return text;
    }
    // The files in the card's sound memory, as the state names them ("memory/<name>").
    std::set<std::string> MemoryFiles() const
    {
        std::set<std::string> files;
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(PathOf(CCardModel::kMemoryFolder), error))
            files.insert(std::string(CCardModel::kMemoryFolder) + '/' + entry.path().filename().string());
        return files;
    }
    static std::set<std::string> NamedMemory(const CCardModel& model)
    {
        std::set<std::string> files;
        for (const auto& [slot, preset] : model.presets)
            if (!preset.memory.empty())
                files.insert(CCardModel::MemoryFileName(preset.memory));
        return files;
    }

private:
    CFuzzCard()
    {
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tamberly-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            FuzzFail("mkdtemp", __FILE__, __LINE__);
        home = pattern;
        ::setenv("TAMBERLY_CARD_HOME", home.c_str(), 1);
        std::atexit(
            []
            {
                std::error_code error;
                std::filesystem::remove_all(Instance().home, error);
            });
    }

    void ClearToken() const
    {
        const int fd = ::open(PathOf("card.lock").c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return; // no lock file yet: no token either
        const std::uint64_t none = 0;
        const bool written = ::pwrite(fd, &none, sizeof none, 0) == static_cast<ssize_t>(sizeof none);
        ::close(fd);
        if (!written)
            FuzzFail("clearing the card's token", __FILE__, __LINE__);
    }

    std::string home;
};
