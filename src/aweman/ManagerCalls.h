#pragma once
// What every card library does alike between its entry point and its
// commands: the handles from kAweOpen to kAweClose, and which command a code
// names. A card class keeps a CManagerHandles and lets DispatchCommand reach
// its command functions (GetMemory ... ClearPreset, each taking the call's
// two parameters it uses).

#include "cardstate/CardModel.h"
#include "synth/AweManager.h"
#include "synth/ManagerRecords.h"

#include <cstdint>
#include <set>

class CManagerHandles
{
public:
    bool Contains(std::uint32_t handle) const { return handles.contains(handle); }
    bool Empty() const { return handles.empty(); }

    // kAweOpen: a new nonzero handle written to handleOut. The first open
    // attaches the card; when attach() fails no handle is given.
    template <typename Attach> CardResult Open(std::uintptr_t handleOut, Attach attach)
    {
        if (handleOut == 0)
            return CardResult::BadRecord;
        if (handles.empty() && !attach())
            return CardResult::Unavailable;
        do
            ++lastHandle;
        while (lastHandle == 0 || handles.contains(lastHandle));
        handles.insert(lastHandle);
        manager::WriteField(handleOut, 0, lastHandle);
        return CardResult::Ok;
    }

    // kAweClose: the last close detaches the card.
    template <typename Detach> CardResult Close(std::uint32_t handle, Detach detach)
    {
        if (handles.erase(handle) == 0)
            return CardResult::BadHandle;
        if (handles.empty())
            detach();
        return CardResult::Ok;
    }

private:
    std::set<std::uint32_t> handles;
    std::uint32_t lastHandle = 0;
};

// A command on an open handle, to the card's function for its code.
template <typename Card>
CardResult DispatchCommand(Card& card, std::uint32_t code, std::uintptr_t param1, std::uintptr_t param2)
{
    switch (code)
    {
    case kAweGetMemory:
        return card.GetMemory(param1, param2);
    case kAweGetEffects:
        return card.GetEffects(param1);
    case kAweSetEffects:
        return card.SetEffects(param1);
    case kAweGetSynthBank:
        return card.GetSynthBank(param1);
    case kAweSelectSynthBank:
        return card.SelectSynthBank(param1);
    case kAweLoadBank:
        return card.LoadBank(param1, param2);
    case kAweGetBankName:
        return card.GetBankName(param1, param2);
    case kAweClearBank:
        return card.ClearBank(param1);
    case kAweLoadPreset:
        return card.LoadPreset(param1, param2);
    case kAweGetPresetName:
        return card.GetPresetName(param1, param2);
    case kAweClearPreset:
        return card.ClearPreset(param1, param2);
    default:
        return CardResult::UnknownCommand;
    }
}
