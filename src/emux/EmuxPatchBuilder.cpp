#include "emux/EmuxPatchBuilder.h"

#include "emux/EmuxUnits.h"
#include "soundfont/SoundFont2Converter.h"
#include "soundfont/SoundFontGenerators.h"

#include <algorithm>
#include <array>
#include <span>

namespace
{
using G = SoundFontGenerator;
constexpr int kGenerators = GeneratorNumber(G::Count);
// More voices than any bank needs for one preset; a damaged bank whose zones
// multiply out beyond it keeps the first ones.
constexpr std::size_t kMaxVoices = 4096;

// Records of one chunk, read bounds-checked.
struct Records
{
    std::span<const std::uint8_t> bytes;
    std::size_t size;
    std::size_t Count() const { return bytes.size() / size; }
    std::uint16_t U16(std::size_t record, std::size_t offset) const
    {
        const std::size_t at = record * size + offset;
        return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    }
};

// A zone's generator values, each marked when set.
struct Zone
{
    std::array<int, kGenerators> value{};
    std::array<bool, kGenerators> set{};
    void Set(std::uint16_t oper, std::uint16_t amount)
    {
        if (oper >= kGenerators)
            return;
        const bool range = oper == GeneratorNumber(G::KeyRange) || oper == GeneratorNumber(G::VelRange);
        value[oper] = range ? amount : static_cast<std::int16_t>(amount);
        set[oper] = true;
    }
    int Get(G generator, int fallback) const
    {
        const auto n = GeneratorNumber(generator);
        return set[n] ? value[n] : fallback;
    }
};

// The generator ranges of the zones of record `index` of a header chunk:
// [first, end) of each bag's generators, only where every index is inside its chunk.
std::vector<std::pair<std::size_t, std::size_t>> ZoneRanges(const Records& headers, std::size_t bagOffset,
                                                            std::size_t index, const Records& bags,
                                                            const Records& gens)
{
    std::vector<std::pair<std::size_t, std::size_t>> zones;
    if (index + 1 >= headers.Count())
        return zones;
    const std::size_t firstBag = headers.U16(index, bagOffset);
    const std::size_t endBag = headers.U16(index + 1, bagOffset);
    for (std::size_t bag = firstBag; bag < endBag && bag + 1 < bags.Count(); ++bag)
    {
        const std::size_t first = bags.U16(bag, 0);
        const std::size_t end = std::min<std::size_t>(bags.U16(bag + 1, 0), gens.Count());
        zones.emplace_back(first, std::max(first, end));
    }
    return zones;
}

Zone ReadZone(const Records& gens, std::pair<std::size_t, std::size_t> range)
{
    Zone zone;
    for (std::size_t g = range.first; g < range.second; ++g)
        zone.Set(gens.U16(g, 0), gens.U16(g, 2));
    return zone;
}

bool Has(const Zone& zone, G generator)
{
    return zone.set[GeneratorNumber(generator)];
}

// What a preset zone may not change: sample offsets and addressing, and
// values only an instrument zone has.
bool PresetMayAdd(int oper)
{
    switch (static_cast<G>(oper))
    {
    case G::StartOffset:
    case G::EndOffset:
    case G::StartLoopOffset:
    case G::EndLoopOffset:
    case G::StartCoarseOffset:
    case G::EndCoarseOffset:
    case G::StartLoopCoarseOffset:
    case G::EndLoopCoarseOffset:
    case G::Key:
    case G::Velocity:
    case G::SampleModes:
    case G::ExclusiveClass:
    case G::RootKey:
    case G::KeyRange:
    case G::VelRange:
    case G::Instrument:
    case G::SampleId:
        return false;
    default:
        return true;
    }
}

// The defaults of the format for what a voice reads.
int Default(G generator)
{
    switch (generator)
    {
    case G::ModEnvDelay:
    case G::ModEnvAttack:
    case G::ModEnvHold:
    case G::ModEnvDecay:
    case G::ModEnvRelease:
    case G::VolEnvDelay:
    case G::VolEnvAttack:
    case G::VolEnvHold:
    case G::VolEnvDecay:
    case G::VolEnvRelease:
    case G::ModLfoDelay:
    case G::VibLfoDelay:
        return -12000;
    case G::FilterCutoff:
        return 13500;
    case G::Key:
    case G::Velocity:
    case G::RootKey:
        return -1;
    case G::ScaleTuning:
        return 100;
    default:
        return 0;
    }
}

// Intersects two ranges kept as low byte / high byte; false when they do not meet.
bool Intersect(int a, int b, std::uint8_t& low, std::uint8_t& high)
{
    low = static_cast<std::uint8_t>(std::max(a & 0xFF, b & 0xFF));
    high = static_cast<std::uint8_t>(std::min((a >> 8) & 0xFF, (b >> 8) & 0xFF));
    return low <= high;
}
} // namespace

bool CEmuxPatchBuilder::Open(const std::string& path, std::string* error)
{
    auto source = std::make_unique<CFileSource>();
    if (!source->Open(path))
    {
        if (error)
            *error = "the file cannot be opened";
        return false;
    }
    return Open(std::move(source), error);
}

bool CEmuxPatchBuilder::Open(std::unique_ptr<IByteSource> source, std::string* error)
{
    image.clear();
    originalVersion = 0;
    if (!reader.Open(std::move(source)))
    {
        if (error)
            *error = reader.GetOpenProblemText();
        return false;
    }
    originalVersion = reader.GetMajorVersion();
    if (originalVersion >= 3)
    {
        if (error)
            *error = "the card plays uncompressed samples only (this is a SoundFont 3 bank)";
        return false;
    }
    if (originalVersion == 1)
    {
        std::string why;
        if (!CSoundFont2Converter().ConvertBank(reader, image, &why) ||
            !reader.Open(std::make_unique<CMemorySource>(image.data(), image.size())))
        {
            if (error)
                *error = why.empty() ? "the SoundFont 1 bank cannot be converted" : why;
            image.clear();
            return false;
        }
    }
    starts.clear();
    for (int sample = 0; sample < reader.GetSampleRecordCount(); ++sample)
        starts.push_back(reader.GetSampleRecord(sample).start);
    std::sort(starts.begin(), starts.end());
    return true;
}

std::vector<CEmuxPatchBuilder::Voice> CEmuxPatchBuilder::Voices(int index) const
{
    using namespace soundfont;
    const Records phdr{reader.GetChunkData(MakeFourCC("phdr")), kPresetHeaderSize};
    const Records pbag{reader.GetChunkData(MakeFourCC("pbag")), kBagSize};
    const Records pgen{reader.GetChunkData(MakeFourCC("pgen")), kGeneratorSize};
    const Records inst{reader.GetChunkData(MakeFourCC("inst")), kInstrumentHeaderSize};
    const Records ibag{reader.GetChunkData(MakeFourCC("ibag")), kBagSize};
    const Records igen{reader.GetChunkData(MakeFourCC("igen")), kGeneratorSize};
    std::vector<Voice> voices;
    if (index < 0)
        return voices;

    const auto presetZones = ZoneRanges(phdr, 24, static_cast<std::size_t>(index), pbag, pgen);
    Zone presetGlobal;
    for (std::size_t pz = 0; pz < presetZones.size(); ++pz)
    {
        const Zone preset = ReadZone(pgen, presetZones[pz]);
        if (!Has(preset, G::Instrument))
        {
            if (pz == 0)
                presetGlobal =
                    preset; // only the first zone may be global; others without an instrument are ignored
            continue;
        }
        const auto instrument = static_cast<std::size_t>(preset.Get(G::Instrument, 0) & 0xFFFF);
        const auto instrumentZones = ZoneRanges(inst, 20, instrument, ibag, igen);
        Zone instrumentGlobal;
        for (std::size_t iz = 0; iz < instrumentZones.size(); ++iz)
        {
            const Zone local = ReadZone(igen, instrumentZones[iz]);
            if (!Has(local, G::SampleId))
            {
                if (iz == 0)
                    instrumentGlobal = local;
                continue;
            }
            if (voices.size() >= kMaxVoices)
                return voices;
            // Instrument values: the zone's own over its global zone's over the default.
            Zone merged = instrumentGlobal;
            for (int g = 0; g < kGenerators; ++g)
                if (local.set[static_cast<std::size_t>(g)])
                    merged.Set(static_cast<std::uint16_t>(g),
                               static_cast<std::uint16_t>(local.value[static_cast<std::size_t>(g)]));
            auto value = [&](G generator)
            {
                const auto n = static_cast<std::size_t>(GeneratorNumber(generator));
                int sum = merged.set[n] ? merged.value[n] : Default(generator);
                if (PresetMayAdd(static_cast<int>(n)))
                    sum += preset.set[n] ? preset.value[n] : presetGlobal.Get(generator, 0);
                return sum;
            };

            Voice voice;
            soundfont_voice_info& v = voice.info;
            const auto ranges = [&](G generator, std::uint8_t& low, std::uint8_t& high)
            {
                const int full = 0x7F00;
                return Intersect(merged.Get(generator, full),
                                 preset.Get(generator, presetGlobal.Get(generator, full)), low, high);
            };
            if (!ranges(G::KeyRange, v.low, v.high) || !ranges(G::VelRange, v.vellow, v.velhigh))
                continue;
            voice.sample = merged.Get(G::SampleId, 0) & 0xFFFF;
            if (voice.sample >= reader.GetSampleRecordCount())
                continue;
            const bool rom = romSounds && IsRomSample(voice.sample);
            if (!rom && SamplePoints(voice.sample) == 0)
                continue;
            const SampleRecord sample = reader.GetSampleRecord(voice.sample);
            v.sample = static_cast<unsigned short>(voice.sample);
            // Offsets correct the sample record's points, which are the file's own.
            v.start = value(G::StartOffset) + 32768 * value(G::StartCoarseOffset);
            v.end = value(G::EndOffset) + 32768 * value(G::EndCoarseOffset);
            v.loopstart = value(G::StartLoopOffset) + 32768 * value(G::StartLoopCoarseOffset);
            v.loopend = value(G::EndLoopOffset) + 32768 * value(G::EndLoopCoarseOffset);
            v.rate_offset = emux::RateOffset(sample.sampleRate);
            const int modes = value(G::SampleModes) & 3;
            v.mode = (modes == 1 || modes == 3) ? SNDRV_SFNT_MODE_LOOPING : 0;
            // ROM samples have no silence of ours after them to loop in.
            const std::uint32_t silence = rom ? 0 : SamplePoints(voice.sample) - (sample.end - sample.start);
            if (rom)
                v.mode |= SNDRV_SFNT_MODE_ROMSOUND;
            if (v.mode == 0 && silence > 2 * kBlankLoopMargin)
            {
                v.loopstart =
                    static_cast<int>(sample.end + kBlankLoopMargin) - static_cast<int>(sample.loopStart);
                v.loopend = static_cast<int>(sample.end + silence - kBlankLoopMargin) -
                            static_cast<int>(sample.loopEnd);
            }
            const int rootKey = value(G::RootKey);
            v.root = static_cast<short>(rootKey >= 0 && rootKey <= 127 ? rootKey : sample.originalPitch);
            v.tune = static_cast<short>(std::clamp(
                sample.pitchCorrection + value(G::FineTune) + 100 * value(G::CoarseTune), -32768, 32767));
            const int key = value(G::Key);
            const int velocity = value(G::Velocity);
            v.fixkey = static_cast<signed char>(key >= 0 && key <= 127 ? key : -1);
            v.fixvel = static_cast<signed char>(velocity >= 0 && velocity <= 127 ? velocity : -1);
            v.pan = emux::Pan(value(G::Pan));
            v.fixpan = -1;
            v.exclusiveClass = static_cast<short>(value(G::ExclusiveClass));
            v.amplitude = 127;
            v.attenuation = emux::Attenuation(value(G::Attenuation));
            v.scaleTuning = static_cast<short>(std::clamp(value(G::ScaleTuning), 0, 1200));

            soundfont_voice_parm& p = v.parm;
            p.moddelay = emux::DelayRegister(value(G::ModEnvDelay));
            p.modatkhld = emux::AttackHoldRegister(value(G::ModEnvAttack), value(G::ModEnvHold));
            p.moddcysus = emux::ModDecaySustain(value(G::ModEnvDecay), value(G::ModEnvSustain));
            p.modrelease = emux::ReleaseRegister(value(G::ModEnvRelease));
            p.voldelay = emux::DelayRegister(value(G::VolEnvDelay));
            p.volatkhld = emux::AttackHoldRegister(value(G::VolEnvAttack), value(G::VolEnvHold));
            p.voldcysus = emux::VolumeDecaySustain(value(G::VolEnvDecay), value(G::VolEnvSustain));
            p.volrelease = emux::ReleaseRegister(value(G::VolEnvRelease));
            p.lfo1delay = emux::DelayRegister(value(G::ModLfoDelay));
            p.lfo2delay = emux::DelayRegister(value(G::VibLfoDelay));
            // Pitch over one octave either way, the filter over six, as the chip scales them.
            p.pefe = static_cast<unsigned short>((emux::DepthByte(value(G::ModEnvToPitch), 1200) << 8) |
                                                 emux::DepthByte(value(G::ModEnvToFilter), 7200));
            p.fmmod = static_cast<unsigned short>((emux::DepthByte(value(G::ModLfoToPitch), 1200) << 8) |
                                                  emux::DepthByte(value(G::ModLfoToFilter), 3600));
            p.tremfrq = static_cast<unsigned short>((emux::DepthByte(value(G::ModLfoToVolume), 120) << 8) |
                                                    emux::LfoFrequency(value(G::ModLfoFrequency)));
            p.fm2frq2 = static_cast<unsigned short>((emux::DepthByte(value(G::VibLfoToPitch), 1200) << 8) |
                                                    emux::LfoFrequency(value(G::VibLfoFrequency)));
            p.cutoff = emux::CutoffByte(value(G::FilterCutoff));
            p.filterQ = emux::FilterQ(value(G::FilterQ));
            p.chorus = emux::SendByte(value(G::ChorusSend));
            p.reverb = emux::SendByte(value(G::ReverbSend));
            voices.push_back(voice);
        }
    }
    return voices;
}

std::vector<emux::PatchBytes> CEmuxPatchBuilder::InfoPatches(int bank, int program,
                                                             const std::vector<Voice>& voices)
{
    std::vector<emux::PatchBytes> patches;
    patches.reserve(voices.size());
    for (std::size_t i = 0; i < voices.size(); ++i)
    {
        struct
        {
            soundfont_voice_rec_hdr header;
            soundfont_voice_info info;
        } record{};
        record.header.bank = static_cast<unsigned char>(bank);
        record.header.instr = static_cast<unsigned char>(program);
        record.header.nvoices = 1;
        record.header.write_mode = i == 0 ? SNDRV_SFNT_WR_REPLACE : SNDRV_SFNT_WR_APPEND;
        record.info = voices[i].info;
        static_assert(sizeof record == sizeof(soundfont_voice_rec_hdr) + sizeof(soundfont_voice_info));
        patches.push_back(emux::MakePatch(SNDRV_SFNT_LOAD_INFO, 0, &record, sizeof record));
    }
    return patches;
}

std::uint32_t CEmuxPatchBuilder::SamplePoints(int sample) const
{
    if (sample < 0 || sample >= reader.GetSampleRecordCount())
        return 0;
    const SampleRecord record = reader.GetSampleRecord(sample);
    const std::uint32_t dataPoints = reader.SampleDataSize() / 2;
    if ((record.sampleType & soundfont::kSampleRom) != 0 || record.end <= record.start ||
        record.end > dataPoints)
        return 0;
    const auto next = std::upper_bound(starts.begin(), starts.end(), record.end - 1);
    const std::uint32_t silence = next == starts.end()
                                      ? std::min(kLastBlankPoints, dataPoints - record.end)
                                      : std::min({kBlankPoints, *next - record.end, dataPoints - record.end});
    return record.end - record.start + silence;
}

bool CEmuxPatchBuilder::IsRomSample(int sample) const
{
    if (sample < 0 || sample >= reader.GetSampleRecordCount())
        return false;
    const SampleRecord record = reader.GetSampleRecord(sample);
    return (record.sampleType & soundfont::kSampleRom) != 0 && record.end > record.start;
}

std::optional<emux::PatchBytes> CEmuxPatchBuilder::SamplePatch(int sample)
{
    const bool rom = romSounds && IsRomSample(sample);
    const std::uint32_t points = rom ? 0 : SamplePoints(sample);
    IByteSource* source = reader.GetSource();
    if (!rom && (points == 0 || !source))
        return std::nullopt;
    const SampleRecord record = reader.GetSampleRecord(sample);
    soundfont_sample_info info{};
    info.sample = static_cast<unsigned short>(sample);
    // The file's own positions: the driver works with their differences and
    // the voices' offsets correct them.
    info.start = static_cast<int>(record.start);
    info.end = static_cast<int>(record.end);
    info.loopstart = static_cast<int>(record.loopStart);
    info.loopend = static_cast<int>(record.loopEnd);
    info.size = static_cast<int>(points);
    if (rom)
        return emux::MakePatch(SNDRV_SFNT_LOAD_DATA, 0, &info, sizeof info);
    const std::size_t bytes = std::size_t{points} * 2;
    emux::PatchBytes patch = emux::MakePatch(SNDRV_SFNT_LOAD_DATA, 0, &info, sizeof info);
    const std::size_t at = patch.size();
    patch.resize(at + bytes);
    auto header = emux::PatchHeader(patch);
    header.len = static_cast<int>(sizeof info + bytes);
    std::memcpy(patch.data(), &header, sizeof header);
    if (!source->Seek(reader.SampleDataOffset() + std::uint64_t{record.start} * 2) ||
        source->Read(patch.data() + at, bytes) != bytes)
        return std::nullopt;
    return patch;
}
