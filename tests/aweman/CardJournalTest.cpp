// The card's journal: records of changes appended after a snapshot, replayed
// by every reader, a torn last record ignored, compacted into the snapshot.

#include "cardstate/CardJournal.h"
#include "aweman/CardFixture.h"

#include <sys/wait.h>
#include <unistd.h>

namespace
{
// Strings on slots 0 and 5.
std::vector<BankPreset> Strings()
{
    return {{"Violin", 0, 0, 1024}, {"Cello", 5, 0, 8192}};
}

// A card through a series of changes touching every kind of item.
std::vector<CCardModel> CardHistory()
{
    std::vector<CCardModel> history(1);
    const auto step = [&](auto&& change)
    {
        CCardModel next = history.back();
        EXPECT_EQ(change(next), CardResult::Ok);
        history.push_back(std::move(next));
    };
    constexpr std::uint64_t kTotal = 1u << 30;
    CCardModel::BankFile bankFile{"/banks/a b%.sbk", "Caf\xc3\xa9", 5000, {{0, "Piano"}, {5, "Strings"}}, {}};
    step([&](CCardModel& m) { return m.LoadBankFile(3, bankFile, kTotal); });
    step([&](CCardModel& m) { return m.LoadPreset(3, 9, {"/w.sbk", 2, "Wave", 300, "00ab"}, kTotal); });
    step([&](CCardModel& m) { return m.ClearSlot(3, 5); });
    step([&](CCardModel& m) { return m.LoadPreset(0, 7, {"/x.sbk", 65537, "", 0, ""}, kTotal); });
    step([&](CCardModel& m) { return m.SetEffects(1, 6); });
    step([&](CCardModel& m) { return m.RestoreSlot(3, 5); });
    step([&](CCardModel& m) { return m.ClearSlot(3, 9); });
    step([&](CCardModel& m) { return m.SelectSynthMode(2); });
    bankFile.presets = {{1, "Other"}};
    step([&](CCardModel& m) { return m.LoadBankFile(3, bankFile, kTotal); });
    step([&](CCardModel& m) { return m.ClearBank(3); });
    return history;
}

std::string JournalOf(const std::vector<CCardModel>& history)
{
    std::string journal;
    for (std::size_t i = 1; i < history.size(); ++i)
        journal += CardJournal::Frame(CCardModel::RecordOf(history[i - 1], history[i]));
    return journal;
}
} // namespace

TEST(CardJournal, RecordsReplayEveryChangeAndAgainChangeNothing)
{
    const auto history = CardHistory();
    for (std::size_t i = 1; i < history.size(); ++i)
    {
        const std::string record = CCardModel::RecordOf(history[i - 1], history[i]);
        EXPECT_FALSE(record.empty()) << i;
        CCardModel replayed = history[i - 1];
        ASSERT_TRUE(replayed.ApplyRecord(record)) << record;
        EXPECT_EQ(replayed, history[i]) << record;
        ASSERT_TRUE(replayed.ApplyRecord(record));
        EXPECT_EQ(replayed, history[i]) << "replayed twice: " << record;
    }
    EXPECT_EQ(CCardModel::RecordOf(history[3], history[3]), "");

    // A journal is applied only to the snapshot it names.
    const std::string snapshot = history[0].Serialize();
    CCardModel model = history[0];
    const auto replay =
        CardJournal::Apply(model, snapshot, CardJournal::Header(snapshot) + JournalOf(history));
    EXPECT_EQ(replay.records, history.size() - 1);
    EXPECT_EQ(model, history.back());
    CCardModel other = history[1];
    EXPECT_EQ(
        CardJournal::Apply(other, history[1].Serialize(), CardJournal::Header(snapshot) + JournalOf(history))
            .validBytes,
        0u);
    EXPECT_EQ(other, history[1]) << "a journal of another snapshot is not applied";
}

TEST(CardJournal, ATornOrDamagedRecordEndsTheReplayAndIsNeverMisread)
{
    const auto history = CardHistory();
    const std::string journal = JournalOf(history);
    // Every cut: the state after the last whole record, never anything else.
    std::size_t wholeRecords = 0;
    std::size_t nextEnd = CardJournal::Frame(CCardModel::RecordOf(history[0], history[1])).size();
    for (std::size_t length = 0; length <= journal.size(); ++length)
    {
        if (length == nextEnd)
        {
            ++wholeRecords;
            if (wholeRecords + 1 < history.size())
                nextEnd +=
                    CardJournal::Frame(CCardModel::RecordOf(history[wholeRecords], history[wholeRecords + 1]))
                        .size();
        }
        CCardModel model;
        const auto replay = CardJournal::ApplyRecords(model, std::string_view(journal).substr(0, length));
        ASSERT_EQ(replay.records, wholeRecords) << length;
        ASSERT_EQ(model, history[wholeRecords]) << length;
        ASSERT_LE(replay.validBytes, length);
    }

    // A changed byte in a record's body fails its checksum: the replay stops before it.
    const std::string first = CardJournal::Frame(CCardModel::RecordOf(history[0], history[1]));
    std::string damaged = journal;
    damaged[first.size() + first.find('\n') + 3] ^= 0x01;
    CCardModel model;
    const auto replay = CardJournal::ApplyRecords(model, damaged);
    EXPECT_EQ(replay.records, 1u);
    EXPECT_EQ(replay.validBytes, first.size());
    EXPECT_EQ(model, history[1]);

    // A record whose checksum holds but whose lines do not apply changes nothing.
    CCardModel fresh;
    EXPECT_EQ(CardJournal::ApplyRecords(fresh, CardJournal::Frame("emptied 3 5\n")).records, 0u);
    EXPECT_EQ(fresh, CCardModel()) << "no bank file 3 to empty a slot of";
    EXPECT_EQ(CardJournal::ApplyRecords(fresh, "record 99999999999999999999999 0000000000000000\n").records,
              0u);
}

TEST_F(CardTest, TheCardAppendsItsChangesAndEveryReaderReplaysThem)
{
    const std::string strings = WriteBank("strings.sbk", Strings(), 64 * 1024, "Strings");
    const auto card = Session();
    ASSERT_TRUE(card->LoadBank(2, strings));
    const std::string snapshot = ReadHomeFile("card.state");
    const auto before = CardStateOnDisk::Read(home.Path());

    ASSERT_TRUE(card->LoadPreset(3, 9, strings, 5, nullptr));
    ASSERT_TRUE(card->ClearPreset(2, 0));
    EXPECT_EQ(ReadHomeFile("card.state"), snapshot) << "a command appends, it does not rewrite the snapshot";
    const auto read = CardStateOnDisk::Read(home.Path());
    EXPECT_EQ(read.snapshot, CardStateOnDisk::Snapshot::Read);
    EXPECT_EQ(read.records, before.records + 2);
    EXPECT_EQ(read.journalValid, read.journalBytes);
    EXPECT_EQ(read.model.presets.at({3, 9}).name, "Cello");
    EXPECT_TRUE(read.model.bankFiles.at(2).emptied.contains(0));

    // Another process changes the card: this one's reader and its own card see it.
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(Session()->LoadPreset(4, 1, strings, 0, nullptr) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(CardStateOnDisk::Read(home.Path()).model.presets.at({4, 1}).name, "Violin");
    EXPECT_EQ(card->GetPresetName(4, 1), "Violin");

    // A crash mid-append leaves a torn record: readers ignore it, the card
    // cuts it off before it appends the next one, which is read.
    const std::string torn = CardJournal::Frame("unpreset 3 9\n");
    {
        std::string journal = ReadHomeFile("card.journal");
        journal += torn.substr(0, torn.size() - 2);
        ASSERT_TRUE(WriteWholeFileAtomic(home.File("card.journal"), journal));
    }
    const auto withTorn = CardStateOnDisk::Read(home.Path());
    EXPECT_LT(withTorn.journalValid, withTorn.journalBytes);
    EXPECT_TRUE(withTorn.model.presets.contains({3, 9})) << "the torn record is not applied";
    ASSERT_TRUE(card->LoadPreset(5, 5, strings, 0, nullptr));
    const auto after = CardStateOnDisk::Read(home.Path());
    EXPECT_EQ(after.journalValid, after.journalBytes);
    EXPECT_TRUE(after.model.presets.contains({3, 9}));
    EXPECT_TRUE(after.model.presets.contains({5, 5}));
}

TEST_F(CardTest, TheJournalIsCompactedIntoTheSnapshotOnceItOutgrowsIt)
{
    // A long file name makes long records: 512 loads append some 150 KB.
    const std::string strings = WriteBank(std::string(150, 's') + ".sbk", Strings(), 64 * 1024, "Strings");
    const auto card = Session();
    std::size_t compactions = 0;
    FileStamp snapshot;
    std::uint64_t largestJournal = 0;
    for (int slot = 0; slot < 128; ++slot)
        for (int bank = 1; bank <= 4; ++bank)
        {
            ASSERT_TRUE(card->LoadPreset(bank, slot, strings, slot % 2 == 0 ? 0 : 5, nullptr));
            const FileStamp now = FileStamp::Of(home.File("card.state"));
            compactions += now != snapshot ? 1 : 0;
            snapshot = now;
            largestJournal = std::max(largestJournal, FileStamp::Of(home.File("card.journal")).size);
        }
    EXPECT_GE(compactions, 2u) << "the first change writes a snapshot, and the journal outgrows it later";
    EXPECT_LE(largestJournal, std::max<std::uint64_t>(64 << 10, snapshot.size));
    const auto read = CardStateOnDisk::Read(home.Path());
    EXPECT_EQ(read.model.presets.size(), 512u);
    EXPECT_EQ(card->GetPresetName(4, 127), "Cello");
    // The snapshot with its records is the whole card: what it reports free is what they leave.
    const std::uint64_t total = static_cast<std::uint64_t>(card->GetMemoryKB(false)) * 512;
    EXPECT_EQ(static_cast<std::uint64_t>(card->GetMemoryKB(true)), (total - read.model.UsedWords()) / 512);
}
