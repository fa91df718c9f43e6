// Seeds of the RIFF reader target: a script of steps, then a file. A step is
// one byte, (argument << 3) | kind: kinds 0 to 3 descend (next chunk, chunk
// by id, "RIFF" by form type, "LIST" by list type) with ids from the target's
// table picked by the argument's low four bits, top level when its bit 4 is
// set; 4 ascends, 5 reads argument bytes, 6 seeks to the innermost chunk's
// data, 7 seeks to argument x 4.

#include "SeedSet.h"

#include "support/SoundFontBuilder.h"
#include "support/WaveBuilder.h"

#include <initializer_list>

namespace
{
// Indices into the target's id table.
enum Id : std::uint8_t
{
    kRiff,
    kList,
    kFmt,
    kData,
    kSfbk,
    kWave,
    kInfo,
    kPdta,
    kSdta,
    kPhdr,
    kSmpl,
    kInam,
    kShdr,
    kSnam,
    kIfil,
    kPgen
};

constexpr std::uint8_t Next(bool top = false)
{
    return static_cast<std::uint8_t>((top ? 16 : 0) << 3);
}
constexpr std::uint8_t Chunk(Id id)
{
    return static_cast<std::uint8_t>((id << 3) | 1);
}
// Form and list types are looked up four places after the argument.
constexpr std::uint8_t Form(Id type)
{
    return static_cast<std::uint8_t>((((type + 12) & 15) << 3) | 2);
}
constexpr std::uint8_t List(Id type)
{
    return static_cast<std::uint8_t>((((type + 12) & 15) << 3) | 3);
}
constexpr std::uint8_t kAscend = 4;
constexpr std::uint8_t Read(std::uint8_t bytes)
{
    return static_cast<std::uint8_t>((bytes << 3) | 5);
}
constexpr std::uint8_t kRestart = 6;
constexpr std::uint8_t SeekTo(std::uint8_t quads)
{
    return static_cast<std::uint8_t>((quads << 3) | 7);
}

Bytes Script(std::initializer_list<std::uint8_t> steps, const Bytes& file)
{
    return WithLeadingByte(static_cast<std::uint8_t>(steps.size()), steps, file);
}

Bytes SmallBank()
{
    SoundFontBuilder bank;
    bank.Info("INAM", "Riff").SampleData(16);
    bank.AddPreset("P", 0, 0, {bank.AddInstrument("I", {bank.AddSample(0, 4)})});
    return bank.Build();
}

void Make(CSeedSet& seeds)
{
    const Bytes bank = SmallBank();
    const Bytes wave =
        WaveBuilder().Channels(2).Values({1, 2, 3, 4, 5, 6}).ChunkAfter("cue ", Bytes(3, 7)).Build();

    seeds.Add("bank-walk", Script({}, bank));
    seeds.Add("bank-presets",
              Script({Form(kSfbk), List(kPdta), Chunk(kPhdr), Read(20), kAscend, Next(), Read(4), kAscend,
                      kAscend, List(kInfo), Chunk(kInam), kRestart, Read(5)},
                     bank));
    seeds.Add("bank-next-everywhere", Script({Next(true), Next(), Next(), Next(), kAscend, Next(), kAscend,
                                              kAscend, Next(), Next(), kAscend, kAscend, Next(true)},
                                             bank));
    seeds.Add("wave-format-data", Script({Form(kWave), Chunk(kFmt), Read(16), kAscend, Chunk(kData), Read(12),
                                          kAscend, Next(), kAscend, SeekTo(0), Next(true)},
                                         wave));

    RiffBuilder nested;
    nested.Begin("RIFF", "TEST").Begin("LIST", "outr").Begin("LIST", "innr").Chunk("odd ", Bytes(3, 1));
    nested.End().Chunk("even", Bytes(4, 2)).End().Chunk("tail", Bytes(1, 3));
    seeds.Add("nested-odd",
              Script({Next(), Next(), Next(), Next(), kAscend, kAscend, Next(), kAscend}, nested.Finish()));

    RiffBuilder lying;
    lying.Begin("RIFF", "sfbk").Begin("LIST", "pdta").Chunk("phdr", Bytes(8, 0), 0x100).End();
    lying.Chunk("aftr", Bytes{}).End();
    seeds.Add("size-past-parent",
              Script({Form(kSfbk), List(kPdta), Chunk(kPhdr), kAscend, Next(), kAscend}, lying.Finish()));

    RiffBuilder shortList;
    shortList.Chunk("LIST", Bytes{'a', 'b'}).Chunk("RIFF", Bytes{}).Chunk("data", Bytes(5, 9), 0xFFFFFFFF);
    seeds.Add("short-containers",
              Script({Next(), kAscend, Next(), kAscend, Chunk(kData), kAscend}, shortList.Finish()));

    Bytes cut = bank;
    cut.resize(cut.size() / 2 + 1);
    seeds.Add("cut-bank", Script({Form(kSfbk), List(kPdta), Chunk(kShdr), kAscend}, cut));
    seeds.Add("not-riff",
              Script({Next(), Read(31), SeekTo(31), Next(true)}, Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g'}));
    seeds.Add("empty", Bytes{});
}

const RegisterSeeds registration("RiffReader", Make);
} // namespace
