#pragma once
// The Emux card's synth bank choice as the Settings dialog writes it: the
// registry value of each mode in the card home. The tests choose none unless
// they are about the synth bank, so that the records they compare are their
// own banks' alone.

#include "emux/EmuxCard.h"
#include "platform/RegistryStore.h"

#include <string>

inline bool ChooseSynthBank(const std::string& home, const std::string& path, const char* mode = nullptr)
{
    return CRegistryStore(home).Update(
        [&](CRegistryStore::Tree& tree)
        {
            for (const char* value : {"GM", "GS", "MT"})
                if (!mode || std::string(mode) == value)
                    tree.SetValue(CEmuxCard::kSettingsKey, value, path);
        },
        CAtomicFile::Durability::Volatile);
}
