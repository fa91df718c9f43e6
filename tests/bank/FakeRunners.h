#pragma once
// The sheets the document runs, played by functions the test gives.

#include "bank/EffectsRunner.h"
#include "bank/InfoRunner.h"
#include "bank/PatchPropertiesRunner.h"

#include <functional>
#include <string>
#include <utility>

class PropertiesRunner : public IPatchPropertiesRunner
{
public:
    std::function<bool(CPatchItem&, CPatchItem&, CTamberlyDoc&)> run;
    int calls = 0;
    bool RunPatchProperties(CPatchItem& working, CPatchItem& original, CTamberlyDoc& document) override
    {
        ++calls;
        return run(working, original, document);
    }
};

class EffectsRunner : public IEffectsRunner
{
public:
    std::function<bool(CAweSession&)> run;
    std::pair<int, int> shown{-1, -1};
    bool RunEffects(CAweSession& card, int reverb, int chorus) override
    {
        shown = {reverb, chorus};
        return run(card);
    }
};

class InfoRunner : public IInfoRunner
{
public:
    std::function<bool(std::string&)> run;
    bool RunInfo(std::string& text) override { return run(text); }
};
