#pragma once
// Follows the emulated card's state (<home>/card.state and the journal of the
// changes since, CardJournal.h) from outside the card. The card appends to
// the journal for every change and replaces the snapshot when it compacts,
// so a change shows as a new identity, size or time of one of the two files:
// checking costs two stat(2) calls. What was read is the card as the card
// itself would read it: a missing or damaged state is a fresh card, and a
// record still being appended is not part of it yet.

#include "cardstate/CardFiles.h"
#include "cardstate/CardModel.h"

#include <cstdint>
#include <optional>
#include <string>

class CCardStateWatcher
{
public:
    explicit CCardStateWatcher(std::string home);

    // The state, when its files changed since the last call that returned one
    // (the first call always returns one); nothing when they did not.
    std::optional<CCardModel> ReadIfChanged();
    // Makes the next ReadIfChanged read the files whatever their stamps.
    void Invalidate() { known = false; }

    const std::string& Home() const { return home; }
    std::string StatePath() const { return CardFiles::StatePath(home); }

private:
    std::string home;
    bool known = false;
    FileStamp stateStamp;
    FileStamp journalStamp;
};
