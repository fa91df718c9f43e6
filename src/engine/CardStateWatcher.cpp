#include "engine/CardStateWatcher.h"

#include "cardstate/CardJournal.h"

#include <utility>

CCardStateWatcher::CCardStateWatcher(std::string cardHome) : home(std::move(cardHome)) {}

std::optional<CCardModel> CCardStateWatcher::ReadIfChanged()
{
    if (known && FileStamp::Of(StatePath()) == stateStamp &&
        FileStamp::Of(CardFiles::JournalPath(home)) == journalStamp)
        return std::nullopt;
    CardStateOnDisk read = CardStateOnDisk::Read(home);
    // The stamps kept are those of the files actually read (they may have
    // changed again since the look above, or a record was being appended;
    // then the next call reads them again).
    known = true;
    stateStamp = read.stateStamp;
    journalStamp = read.journalStamp;
    return read.snapshot == CardStateOnDisk::Snapshot::Read ? std::move(read.model) : CCardModel();
}
