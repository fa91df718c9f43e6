#pragma once
// A fresh emulated card for each test: its own home folder (set in
// $TAMBERLY_CARD_HOME, where the card keeps its state and its registry),
// bank files written by the SoundFont builder, sessions on the built library
// and direct calls of its entry point.

#include "cardstate/CardJournal.h"
#include "platform/AtomicFile.h"
#include "platform/RegistryStore.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"
#include "support/SoundFontBuilder.h"
#include "synth/AweSession.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

struct BankPreset
{
    std::string name;
    std::uint16_t number = 0;
    std::uint16_t bank = 0;
    std::uint32_t points = 512; // sample points: the preset takes twice as many bytes
};

// The library's entry point, reached as the session reaches it.
class CDirectManager
{
public:
    CDirectManager()
    {
        library = ::dlopen(TAMBERLY_AWEMAN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            throw std::runtime_error(::dlerror());
        entry = reinterpret_cast<AweManagerProc>(::dlsym(library, kAweManagerEntryName));
        if (!entry)
            throw std::runtime_error("no entry point");
    }
    ~CDirectManager() { ::dlclose(library); }
    CDirectManager(const CDirectManager&) = delete;
    CDirectManager& operator=(const CDirectManager&) = delete;

    std::int32_t operator()(std::uint32_t handle, std::uint32_t code, std::uintptr_t p1 = 0,
                            std::uintptr_t p2 = 0)
    {
        return entry(handle, code, p1, p2);
    }
    std::int32_t operator()(std::uint32_t handle, std::uint32_t code, const void* p1,
                            const void* p2 = nullptr)
    {
        return entry(handle, code, reinterpret_cast<std::uintptr_t>(p1),
                     reinterpret_cast<std::uintptr_t>(p2));
    }
    // An open handle, 0 when the card refused.
    std::uint32_t Open()
    {
        std::uint32_t handle = 0;
        return (*this)(0, kAweOpen, &handle) == 0 ? handle : 0;
    }

private:
    void* library = nullptr;
    AweManagerProc entry = nullptr;
};

class CardTest : public ::testing::Test
{
protected:
    std::unique_ptr<CAweSession> Session() const
    {
        return std::make_unique<CAweSession>(TAMBERLY_AWEMAN_PATH, CRegistryStore(home.Path()));
    }

    // A bank file in the files folder: one sample, instrument and preset for
    // each of presets, the sample data of sampleBytes.
    std::string WriteBank(const std::string& name, const std::vector<BankPreset>& presets,
                          std::uint32_t sampleBytes,
                          const std::optional<std::string>& title = std::nullopt) const
    {
        SoundFontBuilder bank;
        if (title)
            bank.Info("INAM", *title);
        bank.SampleData(sampleBytes);
        std::uint32_t start = 0;
        for (const auto& preset : presets)
        {
            const int sample = bank.AddSample(start, start + preset.points);
            start += preset.points;
            bank.AddPreset(preset.name, preset.number, preset.bank,
                           {bank.AddInstrument(preset.name, {sample})});
        }
        return files.Write(name, bank.Build());
    }

    std::string ReadHomeFile(const std::string& name) const
    {
        std::string text;
        ReadWholeFile(home.File(name), text);
        return text;
    }

    CRegistryStore::Tree Registry() const { return CRegistryStore(home.Path()).Read(); }

    // Changes a driver setting of the card (after its first use installed them).
    void SetSetting(const std::string& name, const std::string& value) const
    {
        const std::string settings = Session()->GetSettingsKey();
        ASSERT_FALSE(settings.empty());
        ASSERT_TRUE(CRegistryStore(home.Path())
                        .Update([&](CRegistryStore::Tree& tree) { tree.SetValue(settings, name, value); }));
    }

    // The card's state as every reader finds it: the snapshot with the
    // journal's records; nothing when the snapshot is missing or damaged.
    std::optional<CCardModel> ReadState() const
    {
        CardStateOnDisk read = CardStateOnDisk::Read(home.Path());
        if (read.snapshot != CardStateOnDisk::Snapshot::Read)
            return std::nullopt;
        return std::move(read.model);
    }

    // What a refused command must leave as it was: the state's files (down to
    // their identity and time, so that they were not even rewritten) and the registry.
    struct Snapshot
    {
        std::string state;
        std::string journal;
        std::string registry;
        FileStamp stateStamp, journalStamp;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const
    {
        return {ReadHomeFile("card.state"), ReadHomeFile("card.journal"), ReadHomeFile("registry.reg"),
                FileStamp::Of(home.File("card.state")), FileStamp::Of(home.File("card.journal"))};
    }

    ScopedCardHome home;
    TempDir files;
};
