#pragma once
// Follows the emulated card's state file (<home>/card.state) from outside the
// card. The card replaces the file by rename for every change, so a change
// shows as a new identity, size or time of the file: checking costs one
// stat(2). What was read is the card as the card itself would read it: a
// missing or damaged state is a fresh card.

#include "cardstate/CardFiles.h"
#include "cardstate/CardModel.h"

#include <cstdint>
#include <optional>
#include <string>

class CCardStateWatcher
{
public:
    explicit CCardStateWatcher(std::string home);

    // The state, when the file changed since the last call that returned one
    // (the first call always returns one); nothing when it did not.
    std::optional<CCardModel> ReadIfChanged();
    // Makes the next ReadIfChanged read the file whatever its stamp.
    void Invalidate() { known = false; }

    const std::string& Home() const { return home; }
    std::string StatePath() const { return CardFiles::StatePath(home); }

private:
    std::string home;
    bool known = false;
    FileStamp stamp;
};
