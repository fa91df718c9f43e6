#include "aweman/SynthBank.h"

#include "platform/AtomicFile.h"
#include "platform/RiffFile.h"
#include "soundfont/SoundFontGenerators.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>
#include <vector>

namespace
{
using Names = std::array<const char*, CSynthBank::kSlotCount>;

constexpr Names kGeneralMidiNames = {
    "Acoustic Grand Piano",
    "Bright Acoustic Piano",
    "Electric Grand Piano",
    "Honky-tonk Piano",
    "Electric Piano 1",
    "Electric Piano 2",
    "Harpsichord",
    "Clavi",
    "Celesta",
    "Glockenspiel",
    "Music Box",
    "Vibraphone",
    "Marimba",
    "Xylophone",
    "Tubular Bells",
    "Dulcimer",
    "Drawbar Organ",
    "Percussive Organ",
    "Rock Organ",
    "Church Organ",
    "Reed Organ",
    "Accordion",
    "Harmonica",
    "Tango Accordion",
    "Acoustic Guitar (nylon)",
    "Acoustic Guitar (steel)",
    "Electric Guitar (jazz)",
    "Electric Guitar (clean)",
    "Electric Guitar (muted)",
    "Overdriven Guitar",
    "Distortion Guitar",
    "Guitar harmonics",
    "Acoustic Bass",
    "Electric Bass (finger)",
    "Electric Bass (pick)",
    "Fretless Bass",
    "Slap Bass 1",
    "Slap Bass 2",
    "Synth Bass 1",
    "Synth Bass 2",
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Tremolo Strings",
    "Pizzicato Strings",
    "Orchestral Harp",
    "Timpani",
    "String Ensemble 1",
    "String Ensemble 2",
    "SynthStrings 1",
    "SynthStrings 2",
    "Choir Aahs",
    "Voice Oohs",
    "Synth Voice",
    "Orchestra Hit",
    "Trumpet",
    "Trombone",
    "Tuba",
    "Muted Trumpet",
    "French Horn",
    "Brass Section",
    "SynthBrass 1",
    "SynthBrass 2",
    "Soprano Sax",
    "Alto Sax",
    "Tenor Sax",
    "Baritone Sax",
    "Oboe",
    "English Horn",
    "Bassoon",
    "Clarinet",
    "Piccolo",
    "Flute",
    "Recorder",
    "Pan Flute",
    "Blown Bottle",
    "Shakuhachi",
    "Whistle",
    "Ocarina",
    "Lead 1 (square)",
    "Lead 2 (sawtooth)",
    "Lead 3 (calliope)",
    "Lead 4 (chiff)",
    "Lead 5 (charang)",
    "Lead 6 (voice)",
    "Lead 7 (fifths)",
    "Lead 8 (bass + lead)",
    "Pad 1 (new age)",
    "Pad 2 (warm)",
    "Pad 3 (polysynth)",
    "Pad 4 (choir)",
    "Pad 5 (bowed)",
    "Pad 6 (metallic)",
    "Pad 7 (halo)",
    "Pad 8 (sweep)",
    "FX 1 (rain)",
    "FX 2 (soundtrack)",
    "FX 3 (crystal)",
    "FX 4 (atmosphere)",
    "FX 5 (brightness)",
    "FX 6 (goblins)",
    "FX 7 (echoes)",
    "FX 8 (sci-fi)",
    "Sitar",
    "Banjo",
    "Shamisen",
    "Koto",
    "Kalimba",
    "Bag pipe",
    "Fiddle",
    "Shanai",
    "Tinkle Bell",
    "Agogo",
    "Steel Drums",
    "Woodblock",
    "Taiko Drum",
    "Melodic Tom",
    "Synth Drum",
    "Reverse Cymbal",
    "Guitar Fret Noise",
    "Breath Noise",
    "Seashore",
    "Bird Tweet",
    "Telephone Ring",
    "Helicopter",
    "Applause",
    "Gunshot",
};

constexpr Names kMt32Names = {
    "Acou Piano 1", "Acou Piano 2", "Acou Piano 3", "Elec Piano 1", "Elec Piano 2", "Elec Piano 3",
    "Elec Piano 4", "Honkytonk",    "Elec Org 1",   "Elec Org 2",   "Elec Org 3",   "Elec Org 4",
    "Pipe Org 1",   "Pipe Org 2",   "Pipe Org 3",   "Accordion",    "Harpsi 1",     "Harpsi 2",
    "Harpsi 3",     "Clavi 1",      "Clavi 2",      "Clavi 3",      "Celesta 1",    "Celesta 2",
    "Syn Brass 1",  "Syn Brass 2",  "Syn Brass 3",  "Syn Brass 4",  "Syn Bass 1",   "Syn Bass 2",
    "Syn Bass 3",   "Syn Bass 4",   "Fantasy",      "Harmo Pan",    "Chorale",      "Glasses",
    "Soundtrack",   "Atmosphere",   "Warm Bell",    "Funny Vox",    "Echo Bell",    "Ice Rain",
    "Oboe 2001",    "Echo Pan",     "Doctor Solo",  "Schooldaze",   "Bellsinger",   "Square Wave",
    "Str Sect 1",   "Str Sect 2",   "Str Sect 3",   "Pizzicato",    "Violin 1",     "Violin 2",
    "Cello 1",      "Cello 2",      "Contrabass",   "Harp 1",       "Harp 2",       "Guitar 1",
    "Guitar 2",     "Elec Gtr 1",   "Elec Gtr 2",   "Sitar",        "Acou Bass 1",  "Acou Bass 2",
    "Elec Bass 1",  "Elec Bass 2",  "Slap Bass 1",  "Slap Bass 2",  "Fretless 1",   "Fretless 2",
    "Flute 1",      "Flute 2",      "Piccolo 1",    "Piccolo 2",    "Recorder",     "Pan Pipes",
    "Sax 1",        "Sax 2",        "Sax 3",        "Sax 4",        "Clarinet 1",   "Clarinet 2",
    "Oboe",         "Engl Horn",    "Bassoon",      "Harmonica",    "Trumpet 1",    "Trumpet 2",
    "Trombone 1",   "Trombone 2",   "Fr Horn 1",    "Fr Horn 2",    "Tuba",         "Brs Sect 1",
    "Brs Sect 2",   "Vibe 1",       "Vibe 2",       "Syn Mallet",   "Windbell",     "Glock",
    "Tube Bell",    "Xylophone",    "Marimba",      "Koto",         "Sho",          "Shakuhachi",
    "Whistle 1",    "Whistle 2",    "Bottleblow",   "Breathpipe",   "Timpani",      "Melodic Tom",
    "Deep Snare",   "Elec Perc 1",  "Elec Perc 2",  "Taiko",        "Taiko Rim",    "Cymbal",
    "Castanets",    "Triangle",     "Orche Hit",    "Telephone",    "Bird Tweet",   "One Note Jam",
    "Water Bell",   "Jungle Tune",
};

// Fewer names than slots would leave null entries at the end.
static_assert(kGeneralMidiNames.back() != nullptr && kMt32Names.back() != nullptr);

constexpr const char* kModeNames[CSynthBank::kModeCount] = {"General MIDI", "Roland GS", "MT-32"};
constexpr const char* kFileNames[CSynthBank::kModeCount] = {"synth-gm.sbk", "synth-gs.sbk", "synth-mt32.sbk"};

// Zero points after each sample, as SoundFont 1 banks leave for the interpolator.
constexpr unsigned kGuardPoints = 46;
constexpr std::uint16_t kGenRootKey = GeneratorNumber(SoundFontGenerator::RootKey);
// A 64-point cycle at 44100 Hz sounds about 689 Hz: key 77 (F5).
constexpr std::uint16_t kRootKey = 77;

bool ValidMode(int mode)
{
    return mode >= 0 && mode < CSynthBank::kModeCount;
}

class CRecords
{
public:
    void Put16(std::uint16_t value) { AppendLE16(bytes, value); }
    void Put32(std::uint32_t value) { AppendLE32(bytes, value); }
    void PutName(std::string_view name)
    {
        const std::size_t length = std::min<std::size_t>(name.size(), 20);
        bytes.insert(bytes.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
        bytes.insert(bytes.end(), 20 - length, 0);
    }
    void Zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }
    bool WriteAs(CRiffWriter& out, std::string_view id) const
    {
        return out.WriteChunk(MakeFourCC(id), bytes.data(), bytes.size());
    }

private:
    std::vector<std::uint8_t> bytes;
};

bool WriteText(CRiffWriter& out, std::string_view id, std::string_view text)
{
    std::string data(text);
    data += '\0';
    return out.WriteChunk(MakeFourCC(id), data.data(), data.size());
}

// Each preset's sample: one cycle of a wave whose harmonics follow the slot,
// so that neighbouring presets do not sound alike.
CRecords SampleData()
{
    CRecords data;
    for (int slot = 0; slot < CSynthBank::kSlotCount; ++slot)
    {
        const int harmonic = 1 + slot % 8;
        for (unsigned point = 0; point < CSynthBank::kSamplePoints; ++point)
        {
            const double phase = 2 * std::numbers::pi * point / CSynthBank::kSamplePoints;
            const double value = 0.6 * std::sin(phase) + 0.3 * std::sin(harmonic * phase) / harmonic;
            data.Put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value * 32767))));
        }
        data.Zeros(2 * kGuardPoints);
    }
    return data;
}
} // namespace

std::string CSynthBank::ModeName(int mode)
{
    return ValidMode(mode) ? kModeNames[mode] : "";
}

std::string CSynthBank::InstrumentName(int mode, int slot)
{
    if (!ValidMode(mode) || slot < 0 || slot >= kSlotCount)
        return {};
    return mode == 2 ? kMt32Names[static_cast<std::size_t>(slot)]
                     : kGeneralMidiNames[static_cast<std::size_t>(slot)];
}

std::string CSynthBank::FileName(int mode)
{
    return ValidMode(mode) ? kFileNames[mode] : "";
}

bool CSynthBank::Write(int mode, IByteSink& sink)
{
    if (!ValidMode(mode))
        return false;
    CRiffWriter out(sink);
    bool ok = true;

    CRiffChunk riff;
    riff.fccType = MakeFourCC("sfbk");
    ok = ok && out.CreateChunk(riff, CRiffWriter::Create::Riff);

    CRiffChunk info;
    info.fccType = MakeFourCC("INFO");
    const std::uint8_t version[4] = {1, 0, 0, 0};
    ok = ok && out.CreateChunk(info, CRiffWriter::Create::List) &&
         out.WriteChunk(MakeFourCC("ifil"), version, 4) && WriteText(out, "isng", "EMU8000") &&
         WriteText(out, "INAM", ModeName(mode)) &&
         WriteText(out, "ICMT", "Synth bank of the emulated card") && out.Ascend(info);

    CRecords sampleNames;
    for (int slot = 0; slot < kSlotCount; ++slot)
        sampleNames.PutName(InstrumentName(mode, slot));
    CRiffChunk sdta;
    sdta.fccType = MakeFourCC("sdta");
    ok = ok && out.CreateChunk(sdta, CRiffWriter::Create::List) && sampleNames.WriteAs(out, "snam") &&
         SampleData().WriteAs(out, "smpl") && out.Ascend(sdta);

    // One preset per slot, each with one zone naming its own instrument, each
    // instrument with one zone naming its own sample.
    CRecords phdr, pbag, pgen, inst, ibag, igen, shdr;
    const CRecords noModulators = []
    {
        CRecords closing;
        closing.Zeros(10);
        return closing;
    }();
    const std::uint32_t stride = kSamplePoints + kGuardPoints;
    for (int slot = 0; slot <= kSlotCount; ++slot)
    {
        const bool closing = slot == kSlotCount;
        const auto n = static_cast<std::uint16_t>(slot);
        phdr.PutName(closing ? "EOP" : InstrumentName(mode, slot));
        phdr.Put16(closing ? 0 : n); // preset number
        phdr.Put16(0);               // bank
        phdr.Put16(n);               // first bag
        phdr.Zeros(12);
        pbag.Put16(static_cast<std::uint16_t>(2 * slot));
        pbag.Put16(0);
        inst.PutName(closing ? "EOI" : InstrumentName(mode, slot));
        inst.Put16(n);
        ibag.Put16(static_cast<std::uint16_t>(4 * slot));
        ibag.Put16(0);
        if (closing)
            break;
        pgen.Put16(kGenKeyRange);
        pgen.Put16(0 | (127 << 8));
        pgen.Put16(kGenInstrument);
        pgen.Put16(n);
        igen.Put16(kGenKeyRange);
        igen.Put16(0 | (127 << 8));
        igen.Put16(kGenSampleModes);
        igen.Put16(1); // looped
        igen.Put16(kGenRootKey);
        igen.Put16(kRootKey);
        igen.Put16(kGenSampleId);
        igen.Put16(n);
        const std::uint32_t start = stride * n;
        shdr.Put32(start);
        shdr.Put32(start + kSamplePoints);
        shdr.Put32(start);
        shdr.Put32(start + kSamplePoints);
    }
    pgen.Zeros(4);
    igen.Zeros(4);

    CRiffChunk pdta;
    pdta.fccType = MakeFourCC("pdta");
    ok = ok && out.CreateChunk(pdta, CRiffWriter::Create::List) && phdr.WriteAs(out, "phdr") &&
         pbag.WriteAs(out, "pbag") && noModulators.WriteAs(out, "pmod") && pgen.WriteAs(out, "pgen") &&
         inst.WriteAs(out, "inst") && ibag.WriteAs(out, "ibag") && noModulators.WriteAs(out, "imod") &&
         igen.WriteAs(out, "igen") && shdr.WriteAs(out, "shdr") && out.Ascend(pdta);
    ok = ok && out.Ascend(riff);
    return ok && sink.Good();
}

bool CSynthBank::WriteFile(int mode, const std::string& path)
{
    if (!ValidMode(mode))
        return false;
    CAtomicFile file(path);
    if (!file.Open())
        return false;
    if (!Write(mode, file.Sink()))
    {
        file.Discard();
        return false;
    }
    return file.Commit();
}
