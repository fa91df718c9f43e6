// Writers killed with SIGKILL at varying points while they replace a file:
// a .tmb document, the card's state and the card's registry. After every kill
// the file must be whole: the old or the new content byte for byte (or, for
// the card's state, a snapshot that parses and the journal's whole records),
// and the card must still be usable by the next process.
//
// A killed writer may leave its temporary file behind. That is accepted only
// for the hidden ".<name>.XXXXXX" files CAtomicFile makes beside the target:
// nothing reads them and they never replace the target (only a completed,
// synced file is renamed over it). Any other new file in the folder fails.

#include "aweman/CardFixture.h"
#include "bank/DocumentFile.h"
#include "bank/PatchItemList.h"
#include "cardstate/CardModel.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kRounds = 30;

// Microseconds before the kill in round r: 0 up to maxUs (a few of the
// writer's saves), so that early rounds hit the writer before or during its
// first save and later ones in the middle of its loop.
int DelayOf(int round, int maxUs)
{
    return round * maxUs / (kRounds - 1);
}

// Runs loop in a child (which must never return while it succeeds), waits
// until the child has started, then kills it after delayUs. True when the
// kill ended it, false when it stopped on its own (a failed save).
bool KillDuring(const std::function<bool()>& loop, int delayUs)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0)
    {
        ::close(ready[0]);
        const char started = 1;
        if (::write(ready[1], &started, 1) != 1)
            ::_exit(2);
        // _exit: no leak check or static destructors in the child.
        while (loop())
        {
        }
        ::_exit(1);
    }
    ::close(ready[1]);
    if (child < 0)
    {
        ::close(ready[0]);
        return false;
    }
    char started = 0;
    const bool running = ::read(ready[0], &started, 1) == 1;
    ::close(ready[0]);
    if (running)
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return running && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str()))
    {
        while (const dirent* entry = ::readdir(dir))
        {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

// Files in folder beyond known, other than hidden temporaries of a known file.
std::vector<std::string> Strays(const std::string& folder, const std::set<std::string>& known)
{
    std::vector<std::string> strays;
    for (const std::string& name : Names(folder))
    {
        if (known.contains(name))
            continue;
        bool temporary = false;
        for (const std::string& target : known)
            temporary =
                temporary || (name.rfind("." + target + ".", 0) == 0 && name.size() == target.size() + 2 + 6);
        if (!temporary)
            strays.push_back(name);
    }
    return strays;
}

std::string Text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string StoredDocument(const std::string& info, int bank)
{
    CDocumentFile::Header header;
    header.currentBank = bank;
    header.bankFiles.push_back({bank, "/banks/bank" + std::to_string(bank) + ".sbk"});
    CPatchItemList none;
    CMemorySink sink;
    CDocumentFile::Store(sink, header, none, info);
    return Text(sink.Bytes());
}

void Report(const char* what, int kills, int temporaries, int oldContent, int newContent)
{
    std::printf("%s: %d rounds, %d kills, %d left a hidden temporary file, %d old, %d new\n", what, kRounds,
                kills, temporaries, oldContent, newContent);
}
} // namespace

TEST_F(CardTest, AKilledDocumentSaveLeavesTheOldOrTheNewFileWhole)
{
    // Large enough that a save takes a while and kills land inside it.
    const std::string oldBytes = StoredDocument(std::string(400000, 'o'), 3);
    const std::string newBytes = StoredDocument(std::string(420000, 'n'), 4);
    ASSERT_NE(oldBytes, newBytes);
    const std::string target = files.File("songs.tmb");
    int kills = 0, oldSeen = 0, newSeen = 0, temporaries = 0;
    for (int round = 0; round < kRounds; ++round)
    {
        ASSERT_TRUE(WriteWholeFileAtomic(target, oldBytes));
        bool nextNew = true;
        const bool killed = KillDuring(
            [&]
            {
                // Alternates, so that every kill lands in some save.
                const bool isNew = nextNew;
                nextNew = !nextNew;
                CAtomicFile file(target);
                if (!file.Open())
                    return false;
                CDocumentFile::Header header;
                header.currentBank = isNew ? 4 : 3;
                header.bankFiles.push_back(
                    {header.currentBank, "/banks/bank" + std::to_string(header.currentBank) + ".sbk"});
                CPatchItemList none;
                CDocumentFile::Store(file.Sink(), header, none,
                                     std::string(isNew ? 420000 : 400000, isNew ? 'n' : 'o'));
                return file.Commit();
            },
            DelayOf(round, 6000));
        ASSERT_TRUE(killed) << "round " << round;
        ++kills;

        std::string onDisk;
        ASSERT_TRUE(ReadWholeFile(target, onDisk)) << "round " << round;
        ASSERT_TRUE(onDisk == oldBytes || onDisk == newBytes)
            << "round " << round << ": " << onDisk.size() << " bytes";
        (onDisk == oldBytes ? oldSeen : newSeen)++;
        CFileSource source;
        ASSERT_TRUE(source.Open(target));
        CDocumentFile::Header header;
        CPatchItemList patches;
        std::string info;
        EXPECT_TRUE(CDocumentFile::Load(source, header, patches, info));
        EXPECT_EQ(info.size(), onDisk == oldBytes ? 400000u : 420000u);

        const auto strays = Strays(files.Path(), {"songs.tmb"});
        EXPECT_TRUE(strays.empty()) << "round " << round << ": " << strays.front();
        for (const std::string& name : Names(files.Path()))
            if (name != "songs.tmb")
            {
                ++temporaries;
                ::unlink(files.File(name).c_str());
            }
    }
    Report("document", kills, temporaries, oldSeen, newSeen);
}

TEST_F(CardTest, AKilledRegistryUpdateLeavesTheOldOrTheNewFileWhole)
{
    const std::string key = "Software\\Tamberly\\Killed";
    const auto set = [&](char fill)
    {
        return CRegistryStore(home.Path())
            .Update(
                [&](CRegistryStore::Tree& tree)
                {
                    for (int value = 0; value < 200; ++value)
                        tree.SetValue(key, "Value" + std::to_string(value), std::string(500, fill));
                });
    };
    ASSERT_TRUE(set('n'));
    const std::string newText = ReadHomeFile("registry.reg");
    ASSERT_TRUE(set('o'));
    const std::string oldText = ReadHomeFile("registry.reg");
    ASSERT_NE(oldText, newText);
    const std::set<std::string> known = Names(home.Path());

    int kills = 0, oldSeen = 0, newSeen = 0, temporaries = 0;
    for (int round = 0; round < kRounds; ++round)
    {
        ASSERT_TRUE(set('o'));
        bool nextNew = true;
        ASSERT_TRUE(KillDuring(
            [&]
            {
                const bool isNew = nextNew;
                nextNew = !nextNew;
                return set(isNew ? 'n' : 'o');
            },
            DelayOf(round, 60000)))
            << "round " << round;
        ++kills;
        const std::string onDisk = ReadHomeFile("registry.reg");
        ASSERT_TRUE(onDisk == oldText || onDisk == newText)
            << "round " << round << ": " << onDisk.size() << " bytes";
        (onDisk == oldText ? oldSeen : newSeen)++;
        EXPECT_EQ(CRegistryStore::Tree::Parse(onDisk).Serialize(), onDisk);

        const auto strays = Strays(home.Path(), known);
        EXPECT_TRUE(strays.empty()) << "round " << round << ": " << strays.front();
        for (const std::string& name : Names(home.Path()))
            if (!known.contains(name))
            {
                ++temporaries;
                ::unlink(home.File(name).c_str());
            }
    }
    Report("registry", kills, temporaries, oldSeen, newSeen);
    // The lock of a killed writer must not outlive it: the next update goes through.
    EXPECT_TRUE(set('n'));
    EXPECT_EQ(ReadHomeFile("registry.reg"), newText);
}

TEST_F(CardTest, AKilledCardLeavesAWholeStateAndAUsableCard)
{
    const std::string strings =
        WriteBank("strings.sbk", {{"Violin", 0, 0, 64}, {"Cello", 5, 0, 64}}, 4096, "Strings");
    {
        const auto card = Session();
        ASSERT_TRUE(card->LoadPreset(2, 0, strings, 0, nullptr));
    }
    std::set<std::string> known = Names(home.Path());
    ASSERT_TRUE(known.contains("card.state"));
    known.insert("card.journal"); // appended to by the next commands

    int kills = 0, temporaries = 0, changed = 0;
    for (int round = 0; round < kRounds; ++round)
    {
        int slot = 0;
        std::unique_ptr<CAweSession> card;
        ASSERT_TRUE(KillDuring(
            [&]
            {
                if (!card)
                    card = Session();
                slot = (slot + 1) % 128;
                return card->LoadPreset(1, slot, strings, slot % 2 == 0 ? 0 : 5, nullptr);
            },
            DelayOf(round, 60000)))
            << "round " << round;
        ++kills;

        // The snapshot whole and the journal's records whole, a torn last one ignored.
        const auto state = ReadState();
        ASSERT_TRUE(state) << "round " << round << ": " << ReadHomeFile("card.state").size() << " bytes";
        changed += state->presets.contains({1, 1}) ? 1 : 0;
        for (const auto& [where, preset] : state->presets)
            EXPECT_TRUE(preset.name == "Violin" || preset.name == "Cello") << "round " << round;

        const auto strays = Strays(home.Path(), known);
        EXPECT_TRUE(strays.empty()) << "round " << round << ": " << strays.front();
        for (const std::string& name : Names(home.Path()))
            if (!known.contains(name))
            {
                ++temporaries;
                ::unlink(home.File(name).c_str());
            }

        // Nothing the killed process held (its lock among them) stands in the next one's way.
        const auto next = Session();
        ASSERT_TRUE(next->LoadPreset(2, round % 128, strings, 5, nullptr)) << "round " << round;
        EXPECT_EQ(next->GetPresetName(2, round % 128), "Cello");
        // The next round starts without the child's presets, so that it shows whether its child saved any.
        ASSERT_TRUE(next->ClearBank(1));
    }
    std::printf("card state: %d rounds, %d kills, %d left a hidden temporary file, %d with the child's "
                "presets saved\n",
                kRounds, kills, temporaries, changed);
    const auto state = ReadState();
    ASSERT_TRUE(state);
    // What the card reports free is what the surviving state leaves (in whole KB, as the session counts).
    const auto last = Session();
    const std::uint64_t totalWords = static_cast<std::uint64_t>(last->GetMemoryKB(false)) * 512;
    EXPECT_EQ(static_cast<std::uint64_t>(last->GetMemoryKB(true)), (totalWords - state->UsedWords()) / 512);
}
