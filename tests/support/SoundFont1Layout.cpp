#include "support/SoundFont1Layout.h"

#include "platform/ByteStream.h"
#include "soundfont/SoundFontReader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <stdexcept>

namespace
{
using namespace soundfont;

std::uint16_t Clamp16(double value, double low = 0, double high = 65535)
{
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(std::clamp(value, low, high))));
}

std::uint16_t Unsigned16(double value)
{
    return static_cast<std::uint16_t>(std::lround(std::clamp(value, 0.0, 65535.0)));
}

// The version-1 amount of a version-2 generator; none for generators version 1 lacks or that are handled
// apart.
std::optional<std::uint16_t> ToVersion1(std::uint16_t op, std::int16_t amount)
{
    const double v = amount;
    using enum SoundFontGenerator;
    switch (static_cast<SoundFontGenerator>(op))
    {
    case StartOffset:
    case EndOffset:
    case StartLoopOffset:
    case EndLoopOffset:
    case StartCoarseOffset:
    case EndCoarseOffset:
    case StartLoopCoarseOffset:
    case EndLoopCoarseOffset:
    case Key:
    case Velocity:
    case ExclusiveClass:
    case KeyRange:
    case VelRange:
        return static_cast<std::uint16_t>(amount);
    case ModLfoToPitch:
    case VibLfoToPitch:
    case ModEnvToPitch:
        return Clamp16(v * 2 * 64 / 1200, -32768, 32767);
    case FilterCutoff:
        return Unsigned16((v - 4366) / 59);
    case FilterQ:
        return Unsigned16(v * 2 / 3);
    case ModLfoToFilter:
        return Clamp16(v * 64 / 3600, -32768, 32767);
    case ModEnvToFilter:
        return Clamp16(v * 64 / 7200, -32768, 32767);
    case ModLfoToVolume:
        return Clamp16(v * 64 / 120, -32768, 32767);
    case ChorusSend:
    case ReverbSend:
        return Unsigned16(v * 256 / 1000);
    case Pan:
        return Unsigned16((v + 500) * 127 / 1000);
    case ModLfoDelay:
    case VibLfoDelay:
    case ModEnvDelay:
    case ModEnvHold:
    case VolEnvDelay:
    case VolEnvHold:
    case ModEnvAttack:
    case ModEnvDecay:
    case ModEnvRelease:
    case VolEnvAttack:
    case VolEnvDecay:
    case VolEnvRelease:
        return amount <= -12000 ? std::uint16_t{0} : Unsigned16(1000 * std::exp2(v / 1200));
    case ModLfoFrequency:
    case VibLfoFrequency:
        return Unsigned16(std::exp2((v + 7925) / 1200));
    case ModEnvSustain:
        return Unsigned16(96 - v * 96 / 1000);
    case VolEnvSustain:
        return amount <= 0 ? std::uint16_t{127} : Unsigned16((2000 - 2 * v) / 21);
    case KeyToModEnvHold:
    case KeyToModEnvDecay:
    case KeyToVolEnvHold:
    case KeyToVolEnvDecay:
        return Clamp16(v / 5.55, -32768, 32767);
    case Attenuation:
        return Unsigned16(127 * std::pow(10.0, -v / 200));
    case CoarseTune:
    case FineTune:
    case SampleModes:
        return static_cast<std::uint16_t>(amount);
    default:
        return std::nullopt;
    }
}

struct Records
{
    std::span<const std::uint8_t> data;
    std::size_t size;
    std::size_t Count() const { return data.size() / size; }
    const std::uint8_t* At(std::size_t i) const { return data.data() + i * size; }
};

void Need(bool condition, const std::string& what)
{
    if (!condition)
        throw std::runtime_error("cannot lay out as SoundFont 1: " + what);
}
} // namespace

Bytes LayOutAsSoundFont1(const std::string& path)
{
    CSoundFontReader reader;
    Need(reader.Open(path) && reader.GetMajorVersion() == 2, path + " is no SoundFont 2 bank");
    const Records phdr{reader.GetChunkData(MakeFourCC("phdr")), kPresetHeaderSize};
    const Records pbag{reader.GetChunkData(MakeFourCC("pbag")), kBagSize};
    const Records pgen{reader.GetChunkData(MakeFourCC("pgen")), kGeneratorSize};
    const Records inst{reader.GetChunkData(MakeFourCC("inst")), kInstrumentHeaderSize};
    const Records ibag{reader.GetChunkData(MakeFourCC("ibag")), kBagSize};
    const Records igen{reader.GetChunkData(MakeFourCC("igen")), kGeneratorSize};
    const Records shdr{reader.GetChunkData(MakeFourCC("shdr")), kSampleHeader2Size};
    Need(phdr.Count() >= 1 && inst.Count() >= 1 && shdr.Count() >= 1, "empty preset data");

    // Sample data, the usable samples one after another.
    IByteSource& source = *reader.GetSource();
    const std::uint64_t dataPoints = reader.SampleDataSize() / 2;
    Bytes smpl, snam, shdr1;
    std::map<std::size_t, std::uint16_t> newSample;
    // By new sample: its original key, and the cents its correction and rate move that by at 44100 Hz.
    std::vector<std::pair<int, double>> pitchOf;
    for (std::size_t s = 0; s + 1 < shdr.Count(); ++s)
    {
        const std::uint8_t* r = shdr.At(s);
        const std::uint32_t start = ReadLE32(r + 20), end = ReadLE32(r + 24);
        const std::uint16_t type = ReadLE16(r + 44);
        if ((type & (kSampleRom | kSampleCompressed)) != 0 || start >= end || end > dataPoints)
            continue;
        const auto outStart = static_cast<std::uint32_t>(smpl.size() / 2);
        const std::size_t bytes = 2 * std::size_t{end - start};
        const std::size_t at = smpl.size();
        smpl.resize(at + bytes);
        Need(source.Seek(reader.SampleDataOffset() + 2 * std::uint64_t{start}) &&
                 source.Read(smpl.data() + at, bytes) == bytes,
             "sample data cut short");
        const auto shift = [&](std::uint32_t point)
        { return outStart + std::clamp(point, start, end) - start; };
        PutLE32(shdr1, outStart);
        PutLE32(shdr1, shift(end));
        PutLE32(shdr1, std::max(shift(ReadLE32(r + 28)), outStart + 1) - 1);
        PutLE32(shdr1, std::max(shift(ReadLE32(r + 32)), outStart + 2) - 2);
        snam.insert(snam.end(), r, r + 20);
        const double rate = std::max<std::uint32_t>(ReadLE32(r + 36), 400);
        const double cents = -static_cast<std::int8_t>(r[41]) - 1200 * std::log2(rate / 44100);
        newSample.emplace(s, static_cast<std::uint16_t>(pitchOf.size()));
        pitchOf.emplace_back(std::min<int>(r[40], 127), cents);
    }
    Need(!pitchOf.empty(), "no sample data");

    // Instruments: each zone's generators in version-1 units, the sample pitch added.
    Bytes inst1, ibag1, igen1;
    std::size_t bags = 0, gens = 0;
    for (std::size_t i = 0; i + 1 < inst.Count(); ++i)
    {
        inst1.insert(inst1.end(), inst.At(i), inst.At(i) + 20);
        PutLE16(inst1, static_cast<std::uint16_t>(bags));
        for (std::size_t b = ReadLE16(inst.At(i) + 20);
             b < ReadLE16(inst.At(i + 1) + 20) && b + 1 < ibag.Count(); ++b)
        {
            Bytes zone;
            std::optional<int> rootKey;
            std::optional<std::uint16_t> sample;
            for (std::size_t g = ReadLE16(ibag.At(b)); g < ReadLE16(ibag.At(b + 1)) && g < igen.Count(); ++g)
            {
                const std::uint16_t op = ReadLE16(igen.At(g));
                const auto amount = static_cast<std::int16_t>(ReadLE16(igen.At(g) + 2));
                if (op == GeneratorNumber(SoundFontGenerator::SampleId))
                {
                    if (const auto found = newSample.find(static_cast<std::uint16_t>(amount));
                        found != newSample.end())
                        sample = found->second;
                }
                else if (op == GeneratorNumber(SoundFontGenerator::RootKey))
                    rootKey = amount;
                else if (const auto value = ToVersion1(op, amount))
                {
                    PutLE16(zone, op);
                    PutLE16(zone, *value);
                }
            }
            const bool global = b == ReadLE16(inst.At(i) + 20) && !sample;
            if (!sample && !global)
                continue; // a zone on a sample that was left out
            if (sample)
            {
                const auto [key, shift] = pitchOf[*sample];
                const int root = rootKey && *rootKey >= 0 && *rootKey <= 127 ? *rootKey : key;
                const double cents = 100.0 * root + shift;
                PutLE16(zone, GeneratorNumber(SoundFontGenerator::SamplePitch));
                PutLE16(zone, Unsigned16(cents));
                PutLE16(zone, GeneratorNumber(SoundFontGenerator::SampleId));
                PutLE16(zone, *sample);
            }
            PutLE16(ibag1, static_cast<std::uint16_t>(gens));
            PutLE16(ibag1, 0);
            igen1.insert(igen1.end(), zone.begin(), zone.end());
            gens += zone.size() / 4;
            ++bags;
        }
    }
    PutFixed(inst1, "EOI", 20);
    PutLE16(inst1, static_cast<std::uint16_t>(bags));
    PutLE16(ibag1, static_cast<std::uint16_t>(gens));
    PutLE16(ibag1, 0);
    PutFixed(igen1, "", 4);
    Need(bags < 0xFFFF && gens < 0xFFFF, "too many instrument zones");

    // Presets: ranges and instrument of each zone.
    Bytes phdr1, pbag1, pgen1;
    bags = gens = 0;
    for (std::size_t p = 0; p + 1 < phdr.Count(); ++p)
    {
        phdr1.insert(phdr1.end(), phdr.At(p), phdr.At(p) + 24);
        PutLE16(phdr1, static_cast<std::uint16_t>(bags));
        PutFixed(phdr1, "", 12);
        for (std::size_t b = ReadLE16(phdr.At(p) + 24);
             b < ReadLE16(phdr.At(p + 1) + 24) && b + 1 < pbag.Count(); ++b)
        {
            Bytes zone;
            bool named = false;
            for (std::size_t g = ReadLE16(pbag.At(b)); g < ReadLE16(pbag.At(b + 1)) && g < pgen.Count(); ++g)
            {
                const std::uint16_t op = ReadLE16(pgen.At(g));
                if (op != GeneratorNumber(SoundFontGenerator::KeyRange) &&
                    op != GeneratorNumber(SoundFontGenerator::VelRange) &&
                    op != GeneratorNumber(SoundFontGenerator::Instrument))
                    continue;
                named = named || op == GeneratorNumber(SoundFontGenerator::Instrument);
                zone.insert(zone.end(), pgen.At(g), pgen.At(g) + 4);
            }
            if (!named)
                continue;
            PutLE16(pbag1, static_cast<std::uint16_t>(gens));
            PutLE16(pbag1, 0);
            pgen1.insert(pgen1.end(), zone.begin(), zone.end());
            gens += zone.size() / 4;
            ++bags;
        }
    }
    PutFixed(phdr1, "EOP", 24);
    PutLE16(phdr1, static_cast<std::uint16_t>(bags));
    PutFixed(phdr1, "", 12);
    PutLE16(pbag1, static_cast<std::uint16_t>(gens));
    PutLE16(pbag1, 0);
    PutFixed(pgen1, "", 4);

    const Bytes noModulators(10, 0);
    RiffBuilder riff;
    riff.Begin("RIFF", "sfbk");
    riff.Begin("LIST", "INFO").Chunk("ifil", {1, 0, 0, 0});
    riff.Chunk("INAM", TextZ(reader.name.empty() ? "Untitled" : reader.name)).End();
    riff.Begin("LIST", "sdta").Chunk("snam", snam).Chunk("smpl", smpl).End();
    riff.Begin("LIST", "pdta")
        .Chunk("phdr", phdr1)
        .Chunk("pbag", pbag1)
        .Chunk("pmod", noModulators)
        .Chunk("pgen", pgen1)
        .Chunk("inst", inst1)
        .Chunk("ibag", ibag1)
        .Chunk("imod", noModulators)
        .Chunk("igen", igen1)
        .Chunk("shdr", shdr1)
        .End();
    return riff.Finish();
}
