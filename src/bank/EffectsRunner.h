#pragma once
// Runs the FX settings sheet for the document's effects command. The sheet
// works on the card directly (Apply sends the types at once); the document
// puts the card's effects back when the sheet was not closed with OK.

class CAweSession;

class IEffectsRunner
{
public:
    virtual ~IEffectsRunner() = default;
    // reverb and chorus are the card's types when the sheet opens. True when
    // the sheet was closed with OK.
    virtual bool RunEffects(CAweSession& card, int reverb, int chorus) = 0;
};
