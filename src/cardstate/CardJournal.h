#pragma once
// The card's state on disk is a snapshot (card.state, CCardModel's text) and
// a journal (card.journal) of the commands since: each command that changes
// the card appends one record instead of replacing the snapshot, because
// creating and renaming a file per command cost more than the command itself.
//
// The journal begins with a line "journal <checksum>\n" naming the snapshot it
// follows (the checksum of the snapshot's bytes): records are applied only to
// that snapshot. A record is a header line "record <length> <checksum>\n" and
// <length> bytes of CCardModel::RecordOf text; the checksum (64-bit FNV-1a, 16
// hex digits) tells a whole record from one cut short by a crash mid-append or
// read while it is being written. Readers apply the whole records in order and
// stop at the first that is cut short, fails its checksum or does not apply:
// a torn last record is ignored, never misread. Only the card appends, under
// its lock; it cuts a torn tail off before it appends again, and compacts
// once the journal outgrows the snapshot: a new snapshot, then a new journal
// naming it, each replaced whole. A crash or a reader between the two finds a
// journal that names another snapshot, and the new snapshot alone is the card.

#include "cardstate/CardFiles.h"
#include "cardstate/CardModel.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace CardJournal
{
// A journal beyond this is read only this far (the card compacts long before).
constexpr std::uint64_t kMaxJournalBytes = 16 << 20;

// A record's body framed as the journal stores it.
std::string Frame(std::string_view body);
// The first line of a journal that follows snapshot.
std::string Header(std::string_view snapshot);

struct Replay
{
    std::uint64_t validBytes = 0; // the bytes of the whole records applied
    std::size_t records = 0;
};
// Applies the whole records of a run of them to model, in order, up to the
// first that is cut short or damaged.
Replay ApplyRecords(CCardModel& model, std::string_view records);
// The same for a whole journal over the snapshot model was read from: nothing
// applied (and no valid bytes) when the journal names another snapshot.
Replay Apply(CCardModel& model, std::string_view snapshot, std::string_view journal);
} // namespace CardJournal

// The card's state as a reader finds it in a home folder: the snapshot with
// the journal's records applied. A missing or damaged snapshot is a fresh
// card, and a journal is not applied to a snapshot it may not belong to.
struct CardStateOnDisk
{
    enum class Snapshot
    {
        Missing,
        Read,
        Damaged,
    };
    Snapshot snapshot = Snapshot::Missing;
    CCardModel model;
    // The stamps of the files actually read (all zero for a missing one).
    FileStamp stateStamp, journalStamp;
    std::uint64_t journalBytes = 0; // the journal's size as read
    std::uint64_t journalValid = 0; // the bytes of its whole records
    std::size_t records = 0;

    static CardStateOnDisk Read(const std::string& home);
};
