// The card's journal: records of changes replayed over a snapshot, from
// memory and from a card home on disk. The first input byte chooses the
// snapshot (a fresh card or one holding some of everything) and whether the
// journal on disk names it; the rest is the journal's records. Whatever the bytes: the replay ends at a whole
// record's end, what it gives is what replaying just those bytes gives, the card is one the model can hold,
// and the change written back as one record replays to it.

#include "CardModelCheck.h"

#include "cardstate/CardJournal.h"
#include "platform/AtomicFile.h"

#include <filesystem>

namespace
{
CCardModel Snapshot(std::uint8_t choice)
{
    CCardModel model;
    if (choice % 2 == 0)
        return model;
    model.synthMode = 1;
    model.bankFiles[3] = {"/banks/a.sbk", "A", 4096, {{0, "Piano"}, {5, "Strings"}}, {5}};
    model.presets[{3, 9}] = {"/banks/w.sbk", 2, "Wave", 300, "00ab"};
    model.presets[{0, 1}] = {"/banks/x.sbk", 65537, "", 0, ""};
    return model;
}

const std::string& Home()
{
    static const std::string home = []
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tamberly-fuzz-journal-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            FuzzFail("making a card home", __FILE__, __LINE__);
        return pattern;
    }();
    return home;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput input(data, size);
    const std::uint8_t choice = input.Byte();
    const CCardModel snapshot = Snapshot(choice);
    const std::string journal(reinterpret_cast<const char*>(input.Rest()), input.RestSize());

    CCardModel model = snapshot;
    const CardJournal::Replay replay = CardJournal::ApplyRecords(model, journal);
    FUZZ_CHECK(replay.validBytes <= journal.size());
    FUZZ_CHECK((replay.records == 0) == (replay.validBytes == 0));
    CheckCardModel(model);

    CCardModel prefix = snapshot;
    const CardJournal::Replay again =
        CardJournal::ApplyRecords(prefix, std::string_view(journal).substr(0, replay.validBytes));
    FUZZ_CHECK(again.records == replay.records && again.validBytes == replay.validBytes && prefix == model);

    const std::string record = CCardModel::RecordOf(snapshot, model);
    FUZZ_CHECK(record.empty() == (model == snapshot));
    CCardModel rewritten = snapshot;
    FUZZ_CHECK(CardJournal::ApplyRecords(rewritten, CardJournal::Frame(record)).records == 1u);
    FUZZ_CHECK(rewritten == model);

    // The same records after the snapshot in a card home: what a reader there
    // finds. The journal of another snapshot is not applied.
    const std::string text = snapshot.Serialize();
    const std::string header = CardJournal::Header(text);
    const bool named = (choice & 0x80) == 0;
    if (!WriteWholeFileAtomic(CardFiles::StatePath(Home()), text) ||
        !WriteWholeFileAtomic(CardFiles::JournalPath(Home()),
                              (named ? header : CardJournal::Header(text + ' ')) + journal))
        FuzzFail("writing the card's files", __FILE__, __LINE__);
    const CardStateOnDisk read = CardStateOnDisk::Read(Home());
    FUZZ_CHECK(read.snapshot == CardStateOnDisk::Snapshot::Read && read.model == (named ? model : snapshot));
    FUZZ_CHECK(read.journalBytes == header.size() + journal.size());
    FUZZ_CHECK(read.journalValid == (named ? header.size() + replay.validBytes : 0));
    return 0;
}
