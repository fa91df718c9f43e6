#pragma once
// The manager commands every card library answers from its card's state
// alone, whatever the hardware behind it: effects, the synth bank's name,
// the names of banks and presets. A card calls these with its model and
// commits what SetEffects makes of it.

#include "aweman/SynthBank.h"
#include "cardstate/CardModel.h"
#include "synth/ManagerRecords.h"

#include <cstddef>
#include <cstdint>

namespace modelcommands
{
inline CardResult GetEffects(const CCardModel& model, std::uintptr_t record)
{
    if (record == 0)
        return CardResult::BadRecord;
    manager::WriteField(record, offsetof(EffectsRecord, reverb), static_cast<std::uint16_t>(model.reverb));
    manager::WriteField(record, offsetof(EffectsRecord, chorus), static_cast<std::uint16_t>(model.chorus));
    return CardResult::Ok;
}

// The model as the record's effects leave it, in next; the card commits it.
inline CardResult SetEffects(const CCardModel& model, std::uintptr_t record, CCardModel& next)
{
    EffectsRecord effects;
    if (!manager::ReadRecord(record, effects) || effects.selector != 0)
        return CardResult::BadRecord;
    next = model;
    return next.SetEffects(effects.reverb, effects.chorus);
}

inline CardResult GetSynthBank(const CCardModel& model, std::uintptr_t nameBuffer)
{
    NameBuffer name;
    if (!manager::ReadRecord(nameBuffer, name) || !manager::UsableBuffer(name))
        return CardResult::BadRecord;
    manager::WriteName(name, CSynthBank::ModeName(model.synthMode));
    manager::WriteField(nameBuffer, offsetof(NameBuffer, synthBank),
                        static_cast<std::uint16_t>(model.synthMode));
    return CardResult::Ok;
}

inline CardResult GetBankName(const CCardModel& model, std::uintptr_t bank, std::uintptr_t nameBuffer)
{
    NameBuffer name;
    if (!manager::ReadRecord(nameBuffer, name) || !manager::UsableBuffer(name))
        return CardResult::BadRecord;
    if (bank == 0 || bank > static_cast<std::uintptr_t>(CCardModel::kLastBank))
        return CardResult::OutOfRange;
    const auto text = model.BankName(static_cast<int>(bank));
    if (!text)
        return CardResult::Empty;
    manager::WriteName(name, *text);
    return CardResult::Ok;
}

// A slot's preset, or on bank 0 the synth bank's instrument of that number.
inline CardResult GetPresetName(const CCardModel& model, std::uintptr_t presetAddress,
                                std::uintptr_t nameBuffer)
{
    PresetAddress address;
    NameBuffer name;
    if (!manager::ReadRecord(presetAddress, address) || !manager::ReadRecord(nameBuffer, name) ||
        !manager::UsableBuffer(name))
        return CardResult::BadRecord;
    const int bank = address.bank;
    const int slot = address.preset;
    if (!CCardModel::IsBank(bank) || !CCardModel::IsSlot(slot))
        return CardResult::OutOfRange;
    auto text = model.SlotName(bank, slot);
    if (!text && bank == 0)
        text = CSynthBank::InstrumentName(model.synthMode, slot);
    if (!text)
        return CardResult::Empty;
    manager::WriteName(name, *text);
    return CardResult::Ok;
}
} // namespace modelcommands
