#pragma once
// What every card state a reader accepts must be: a card the model can hold.

#include "FuzzTarget.h"

#include "cardstate/CardModel.h"

inline void CheckCardModel(const CCardModel& model)
{
    FUZZ_CHECK(model.synthMode >= 0 && model.synthMode <= CCardModel::kLastSynthMode);
    FUZZ_CHECK(model.reverb >= 0 && model.reverb <= CCardModel::kLastEffect);
    FUZZ_CHECK(model.chorus >= 0 && model.chorus <= CCardModel::kLastEffect);
    std::uint64_t words = 0;
    for (const auto& [bank, bankFile] : model.bankFiles)
    {
        FUZZ_CHECK(CCardModel::IsUserBank(bank) && !bankFile.file.empty());
        for (const auto& [slot, name] : bankFile.presets)
            FUZZ_CHECK(CCardModel::IsSlot(slot));
        for (const int slot : bankFile.emptied)
            FUZZ_CHECK(bankFile.presets.contains(slot));
        words += bankFile.words;
    }
    for (const auto& [where, preset] : model.presets)
    {
        FUZZ_CHECK(CCardModel::IsBank(where.first) && CCardModel::IsSlot(where.second) &&
                   !preset.file.empty());
        FUZZ_CHECK(preset.memory.empty() || CCardModel::IsMemoryName(preset.memory));
        words += preset.words;
    }
    FUZZ_CHECK(model.UsedWords() == words);
}
