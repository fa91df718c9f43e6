#include "engine/CardFonts.h"

#include "cardstate/CardFiles.h"
#include "engine/CardSoundMap.h"
#include "engine/FluidLog.h"
#include "engine/MemoryFontLoader.h"
#include "platform/AtomicFile.h"
#include "platform/ByteStream.h"
#include "platform/GeneralMidiFont.h"
#include "platform/StringTable.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontExtractor.h"
#include "soundfont/SoundFontReader.h"

#include <sys/stat.h>
#include <utility>

namespace
{
bool IsRegularFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
} // namespace

CCardFonts::CCardFonts(fluid_synth_t* fluidSynth, std::string cardHome)
    : synth(fluidSynth), home(std::move(cardHome))
{
}

void CCardFonts::LoadGeneralMidi(const std::string& path)
{
    const std::lock_guard guard(mutex);
    if (gmFont >= 0 && path == gmPath)
        return;
    // Loaded before the old set goes, so that a set that fails to load leaves
    // the old one playing (the problem still says why the new one did not).
    const int id = IsRegularFile(path) ? fluid_synth_sfload(synth, path.c_str(), 0) : FLUID_FAILED;
    if (id == FLUID_FAILED)
    {
        gmProblem = FormatString(IDS_CARD_SOUND_NO_GM, path.c_str());
        return;
    }
    if (gmFont >= 0)
        fluid_synth_sfunload(synth, static_cast<unsigned>(gmFont), 1);
    gmFont = id;
    gmPath = path;
    gmProblem.clear();
    gmKits.clear();
    if (fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth, id))
        for (int kit = 0; kit < 128; ++kit)
            if (fluid_sfont_get_preset(font, CCardSoundMap::kDrumBank, kit))
                gmKits.insert(kit);
}

int CCardFonts::LoadImage(std::vector<std::uint8_t> image)
{
    const std::string name = CMemoryFontLoader::Publish(std::move(image));
    const int id = fluid_synth_sfload(synth, name.c_str(), 0);
    CMemoryFontLoader::Withdraw(name);
    return id == FLUID_FAILED ? -1 : id;
}

CCardFonts::LoadedFont CCardFonts::LoadBankFile(int bank, const CCardModel::BankFile& bankFile,
                                                std::string key)
{
    LoadedFont font;
    font.key = std::move(key);
    const auto fail = [&](const std::string& why)
    {
        font.problem = FormatString(IDS_CARD_SOUND_BANK_PROBLEM, bank, bankFile.name.c_str(), why.c_str());
        return font;
    };
    CSoundFontReader reader;
    if (!reader.Open(bankFile.file))
        return fail(bankFile.file + ": " +
                    (reader.GetOpenProblem() == CSoundFontReader::OpenProblem::CannotOpen
                         ? "cannot be read"
                         : reader.GetOpenProblemText()));
    // The card gives a slot the first record of its number (version 1) or
    // the one of the lowest bank (later versions); the font keeps the
    // records' banks.
    for (const auto& [slot, name] : bankFile.presets)
        if (const int index = reader.FindSlotPreset(slot); index >= 0)
            font.bankOf[slot] = reader.GetPresetHeader(index).bank;
    if (reader.GetMajorVersion() >= 2)
    {
        // FluidSynth reads versions 2 and 3 itself, from the file.
        reader.Close();
        const int id = fluid_synth_sfload(synth, bankFile.file.c_str(), 0);
        font.id = id == FLUID_FAILED ? -1 : id;
        if (font.id < 0)
            return fail(bankFile.file + ": " + CFluidLog::Last());
        return font;
    }
    std::vector<std::uint8_t> image;
    std::string error;
    if (!CSoundFont2Converter().ConvertBank(reader, image, &error))
        return fail(bankFile.file + ": " + error);
    font.id = LoadImage(std::move(image));
    if (font.id < 0)
        return fail(CFluidLog::Last());
    return font;
}

CCardFonts::LoadedFont CCardFonts::LoadPreset(int bank, int slot, const CCardModel::Preset& preset,
                                              std::string key, OpenPins& pins)
{
    LoadedFont font;
    font.key = std::move(key);
    const auto fail = [&](const std::string& why)
    {
        font.problem =
            FormatString(IDS_CARD_SOUND_PRESET_PROBLEM, bank, slot, preset.name.c_str(), why.c_str());
        return font;
    };
    if (preset.memory.empty())
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY));
    // Presets pinned by one memory file are made from one reading of it.
    auto& reader = pins[preset.memory];
    if (!reader)
    {
        reader = std::make_unique<CSoundFontReader>();
        if (!reader->Open(home + '/' + CCardModel::MemoryFileName(preset.memory)))
            reader->Close();
    }
    const int index = reader->IsOpen() ? reader->FindSourcePreset(preset.source) : -1;
    if (index < 0)
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY));
    // Version 1 presets are converted (FluidSynth reads only later versions);
    // later ones keep their own version, compressed samples as they are (the
    // card checked that they decode when it took the preset).
    std::vector<std::uint8_t> image;
    const bool made =
        reader->GetMajorVersion() >= 2
            ? CSoundFontExtractor::ExtractPreset(*reader, index, image, nullptr, bank, slot)
            : CSoundFont2Converter().ConvertPreset(*reader, reader->GetPresetHeader(index).presetNumber,
                                                   image, nullptr, bank, slot);
    if (!made)
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY)); // ROM samples only, or a damaged preset
    conversions.fetch_add(1, std::memory_order_relaxed);
    font.id = LoadImage(std::move(image));
    if (font.id < 0)
        return fail(CFluidLog::Last());
    fluid_sfont_t* loaded = fluid_synth_get_sfont_by_id(synth, font.id);
    fluid_preset_t* first = nullptr;
    if (loaded)
    {
        fluid_sfont_iteration_start(loaded);
        first = fluid_sfont_iteration_next(loaded);
    }
    if (!first)
    {
        fluid_synth_sfunload(synth, font.id, 0);
        font.id = -1;
        return fail(LoadString(IDS_CARD_SOUND_NO_COPY));
    }
    font.bank = fluid_preset_get_banknum(first);
    font.program = fluid_preset_get_num(first);
    return font;
}

std::set<int> CCardFonts::Update(CCardModel next)
{
    std::map<int, LoadedFont> oldBanks;
    std::map<CCardModel::Slot, LoadedFont> oldPresets;
    {
        const std::lock_guard guard(mutex);
        oldBanks = bankFonts;
        oldPresets = presetFonts;
    }
    std::map<int, LoadedFont> nextBanks;
    std::map<CCardModel::Slot, LoadedFont> nextPresets;
    for (const auto& [bank, bankFile] : next.bankFiles)
    {
        std::string key = bankFile.file + '\n' + FileStamp::Of(bankFile.file).Text();
        if (const auto old = oldBanks.find(bank); old != oldBanks.end() && old->second.key == key)
            nextBanks[bank] = old->second;
        else
            nextBanks[bank] = LoadBankFile(bank, bankFile, std::move(key));
    }
    OpenPins pins;
    for (const auto& [slot, preset] : next.presets)
    {
        // The sound is made once for a preset of its memory file as it stands:
        // the same file with another stamp (written in place) is made again.
        std::string key = preset.memory + '\n' +
                          FileStamp::Of(home + '/' + CCardModel::MemoryFileName(preset.memory)).Text() +
                          '\n' + std::to_string(preset.source);
        if (const auto old = oldPresets.find(slot);
            old != oldPresets.end() && old->second.key == key && !preset.memory.empty())
            nextPresets[slot] = old->second;
        else
            nextPresets[slot] = LoadPreset(slot.first, slot.second, preset, std::move(key), pins);
    }

    std::set<int> keep;
    for (const auto& [bank, font] : nextBanks)
        keep.insert(font.id);
    for (const auto& [slot, font] : nextPresets)
        keep.insert(font.id);
    std::set<int> drop;
    const std::lock_guard guard(mutex);
    for (const auto& [bank, font] : bankFonts)
        if (font.id >= 0 && !keep.contains(font.id))
            drop.insert(font.id);
    for (const auto& [slot, font] : presetFonts)
        if (font.id >= 0 && !keep.contains(font.id))
            drop.insert(font.id);
    model = std::move(next);
    bankFonts = std::move(nextBanks);
    presetFonts = std::move(nextPresets);
    return drop;
}

void CCardFonts::Unload(const std::set<int>& fonts)
{
    // FluidSynth frees a font once the voices still sounding from it are gone.
    for (const int id : fonts)
        fluid_synth_sfunload(synth, id, 0);
}

FontTarget CCardFonts::TargetForLocked(int bank, int program, bool drumChannel) const
{
    const SoundChoice choice = CCardSoundMap::Choose(model, bank, program, drumChannel,
                                                     [this](int kit) { return gmKits.contains(kit); });
    switch (choice.source)
    {
    case SoundChoice::Source::GeneralMidi:
        if (gmFont >= 0)
            return {gmFont, choice.bank, choice.program};
        break;
    case SoundChoice::Source::BankFile:
        if (const auto font = bankFonts.find(choice.cardBank);
            font != bankFonts.end() && font->second.id >= 0)
            if (const auto found = font->second.bankOf.find(choice.program);
                found != font->second.bankOf.end())
                return {font->second.id, found->second, choice.program};
        break;
    case SoundChoice::Source::Preset:
        if (const auto font = presetFonts.find({choice.cardBank, choice.slot});
            font != presetFonts.end() && font->second.id >= 0)
            return {font->second.id, font->second.bank, font->second.program};
        break;
    case SoundChoice::Source::None:
        break;
    }
    return {};
}

FontTarget CCardFonts::TargetFor(int bank, int program, bool drumChannel) const
{
    const std::lock_guard guard(mutex);
    return TargetForLocked(bank, program, drumChannel);
}

bool CCardFonts::HasSound(int bank, int program) const
{
    const std::lock_guard guard(mutex);
    const FontTarget target = TargetForLocked(bank, program, false);
    if (target.font < 0)
        return false;
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth, target.font);
    return font && fluid_sfont_get_preset(font, target.bank, target.program);
}

CCardModel CCardFonts::State() const
{
    const std::lock_guard guard(mutex);
    return model;
}

std::pair<int, int> CCardFonts::EffectTypes() const
{
    const std::lock_guard guard(mutex);
    return {model.reverb, model.chorus};
}

std::vector<std::string> CCardFonts::Problems() const
{
    const std::lock_guard guard(mutex);
    std::vector<std::string> problems;
    if (!gmProblem.empty())
        problems.push_back(gmProblem);
    for (const auto& [bank, font] : bankFonts)
        if (font.id < 0)
            problems.push_back(font.problem);
    for (const auto& [slot, font] : presetFonts)
        if (font.id < 0)
            problems.push_back(font.problem);
    return problems;
}

std::string CCardFonts::GeneralMidiProblem() const
{
    const std::lock_guard guard(mutex);
    return gmProblem;
}

std::string CCardFonts::DefaultGeneralMidiFont()
{
    return EffectiveGeneralMidiFont({});
}
