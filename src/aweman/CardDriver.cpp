#include "aweman/CardDriver.h"

#include "synth/AweManager.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>

namespace
{
// The program ignores driver subkey names longer than this.
constexpr std::size_t kMaxDriverKeyName = 100;

std::string UserBankValue(int bank)
{
    char name[8];
    std::snprintf(name, sizeof name, "B%03d", bank);
    return name;
}

// The bank a "Bnnn" value name stands for (any case, as the registry compares names); 0 for other names.
int UserBankOf(const std::string& name)
{
    if (name.size() != 4 || (name[0] != 'B' && name[0] != 'b'))
        return 0;
    int bank = 0;
    const auto [end, error] = std::from_chars(name.data() + 1, name.data() + 4, bank);
    if (error != std::errc() || end != name.data() + 4 || !CCardModel::IsUserBank(bank))
        return 0;
    return bank;
}

// The first driver subkey, found exactly as the program finds it; empty when none.
std::string DriverKey(const CRegistryStore::Tree& tree)
{
    const std::size_t prefixLength = std::strlen(kAweDriverPrefix);
    for (std::size_t index = 0;; ++index)
    {
        const auto name = tree.EnumKey(kMidiDriversKey, index);
        if (!name)
            return {};
        if (name->size() <= kMaxDriverKeyName && name->compare(0, prefixLength, kAweDriverPrefix) == 0)
            return std::string(kMidiDriversKey) + '\\' + *name;
    }
}

bool SetIfDifferent(CRegistryStore::Tree& tree, const std::string& key, const std::string& name,
                    const std::string& value)
{
    if (tree.GetValue(key, name) == value)
        return false;
    tree.SetValue(key, name, value);
    return true;
}
} // namespace

std::string CCardDriver::SettingsKey(const CRegistryStore::Tree& tree)
{
    const std::string driver = DriverKey(tree);
    if (driver.empty())
        return {};
    const auto softwareKey = tree.GetValue(driver, kSoftwareKeyValue);
    if (!softwareKey || softwareKey->empty())
        return {};
    return *softwareKey + '\\' + kSettingsSubkey;
}

bool CCardDriver::Sync(CRegistryStore::Tree& tree, const CCardModel& model, const SynthFiles& synthFiles)
{
    bool changed = false;
    std::string driver = DriverKey(tree);
    if (driver.empty())
    {
        driver = std::string(kMidiDriversKey) + '\\' + kDriverSubkey;
        changed = true;
    }
    const auto softwareKey = tree.GetValue(driver, kSoftwareKeyValue);
    if (!softwareKey || softwareKey->empty())
    {
        tree.SetValue(driver, kSoftwareKeyValue, kOwnKey);
        changed = true;
    }
    const std::string settings = SettingsKey(tree);

    changed |= SetIfDifferent(tree, settings, "Synthesizer", std::to_string(model.synthMode));
    static const char* const modeValues[3] = {"GM", "GS", "MT"};
    for (std::size_t mode = 0; mode < 3; ++mode)
        changed |= SetIfDifferent(tree, settings, modeValues[mode], synthFiles[mode]);
    if (!tree.GetValue(settings, kMemoryValue))
    {
        tree.SetValue(settings, kMemoryValue, std::to_string(kDefaultMemoryKB));
        changed = true;
    }

    const std::string userBanks = settings + '\\' + kUserBankSubkey;
    for (const auto& [name, value] : tree.Values(userBanks))
    {
        const int bank = UserBankOf(name);
        if (bank == 0)
            continue;
        const auto bankFile = model.bankFiles.find(bank);
        // A value spelt in another case than ours is replaced by ours below.
        if (bankFile == model.bankFiles.end() || name != UserBankValue(bank))
        {
            tree.DeleteValue(userBanks, name);
            changed = true;
        }
    }
    if (!tree.KeyExists(userBanks))
    {
        tree.CreateKey(userBanks);
        changed = true;
    }
    for (const auto& [bank, bankFile] : model.bankFiles)
        changed |= SetIfDifferent(tree, userBanks, UserBankValue(bank), bankFile.file);
    return changed;
}

std::uint32_t CCardDriver::MemoryKB(const CRegistryStore::Tree& tree)
{
    const std::string settings = SettingsKey(tree);
    const auto text = settings.empty() ? std::nullopt : tree.GetValue(settings, kMemoryValue);
    if (!text)
        return kDefaultMemoryKB;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size() || value == 0 || value > kMaxMemoryKB)
        return kDefaultMemoryKB;
    return value;
}
