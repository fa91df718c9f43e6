#pragma once
// What the document's own sources share to record an edit for undo.

#include "bank/TamberlyDoc.h"
#include "platform/StringTable.h"

#include <string>

// Runs for the length of one public edit. The outermost scope captures the
// parts it names before the edit and records an entry when they changed;
// scopes inside it (an edit calling another) record nothing, and a scope of
// no parts keeps whatever runs inside it out of the stack (opening a file).
class CTamberlyDoc::CEditScope
{
public:
    // knownSynthBank: the synth mode the caller just read from the card (not
    // asked again), or -1.
    CEditScope(CTamberlyDoc& document, unsigned parts, std::string editName = {}, int knownSynthBank = -1);
    ~CEditScope();
    CEditScope(const CEditScope&) = delete;
    CEditScope& operator=(const CEditScope&) = delete;

    // The name, where it depends on what the edit did (a count).
    void SetName(std::string editName) { name = std::move(editName); }

private:
    CTamberlyDoc& doc;
    std::unique_ptr<DocState> before;
    std::string name;
};

// "Place Patch" for one, "Place 3 Patches" for more.
std::string CountedEditName(unsigned oneId, unsigned manyId, int count);
