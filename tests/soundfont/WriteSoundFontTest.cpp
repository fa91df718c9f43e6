#include "platform/ByteStream.h"
#include "soundfont/WaveFile.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
// A strict walk over a written SoundFont: every chunk's size must match its
// data exactly and the children of a list must fill it to the byte.
struct Chunk
{
    std::string id;
    std::string type;
    Bytes data; // without the type of a list
    std::vector<Chunk> children;

    const Chunk& Child(const std::string& name) const
    {
        for (const Chunk& child : children)
        {
            if (child.id == name || (child.id == "LIST" && child.type == name))
                return child;
        }
        throw std::runtime_error("no chunk " + name);
    }
    std::vector<std::string> Ids() const
    {
        std::vector<std::string> ids;
        for (const Chunk& child : children)
            ids.push_back(child.id == "LIST" ? child.type : child.id);
        return ids;
    }
};

std::uint16_t U16(const Bytes& b, std::size_t at)
{
    return ReadLE16(b.data() + at);
}
std::uint32_t U32(const Bytes& b, std::size_t at)
{
    return ReadLE32(b.data() + at);
}
std::int16_t Point(const Bytes& smpl, std::size_t index)
{
    return static_cast<std::int16_t>(U16(smpl, 2 * index));
}
std::string Text(const Bytes& b, std::size_t at, std::size_t width)
{
    std::string text(b.begin() + static_cast<std::ptrdiff_t>(at),
                     b.begin() + static_cast<std::ptrdiff_t>(at + width));
    return text.substr(0, text.find('\0'));
}

void WalkChildren(const Bytes& file, std::size_t begin, std::size_t end, Chunk& parent)
{
    std::size_t at = begin;
    while (at < end)
    {
        if (end - at < 8)
            throw std::runtime_error("a chunk header is cut");
        Chunk chunk;
        chunk.id.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                        file.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::uint32_t size = U32(file, at + 4);
        if (size % 2 != 0 || size > end - at - 8)
            throw std::runtime_error("chunk " + chunk.id + " has a wrong size");
        const std::size_t dataBegin = at + 8;
        if (chunk.id == "LIST")
        {
            chunk.type = Text(file, dataBegin, 4);
            WalkChildren(file, dataBegin + 4, dataBegin + size, chunk);
        }
        else
        {
            chunk.data.assign(file.begin() + static_cast<std::ptrdiff_t>(dataBegin),
                              file.begin() + static_cast<std::ptrdiff_t>(dataBegin + size));
        }
        parent.children.push_back(std::move(chunk));
        at = dataBegin + size;
    }
}

Chunk Walk(const Bytes& file)
{
    if (file.size() < 12 || Text(file, 0, 4) != "RIFF" || Text(file, 8, 4) != "sfbk")
        throw std::runtime_error("no sfbk form");
    if (U32(file, 4) != file.size() - 8)
        throw std::runtime_error("the form size is not the file length - 8");
    Chunk root;
    root.id = "RIFF";
    root.type = "sfbk";
    WalkChildren(file, 12, file.size(), root);
    return root;
}

Bytes Convert(const Bytes& wavFile, int option, const std::string& name = "test.wav")
{
    CMemorySource source(wavFile);
    CWaveFile wave;
    if (!wave.Open(source, name))
        throw std::runtime_error("the wave does not open");
    CMemorySink sink;
    if (!wave.WriteSoundFont(sink, option))
        throw std::runtime_error("the SoundFont was not written");
    return sink.Bytes();
}

struct Igen
{
    std::uint16_t op;
    std::uint16_t amount;
};

std::vector<Igen> Generators(const Chunk& pdta)
{
    const Bytes& igen = pdta.Child("igen").data;
    std::vector<Igen> out;
    for (std::size_t at = 0; at + 4 <= igen.size(); at += 4)
        out.push_back({U16(igen, at), U16(igen, at + 2)});
    return out;
}

// The generators of one zone, in file order, as (operator, amount) pairs.
std::vector<std::pair<int, int>> Zone(const Chunk& pdta, std::size_t sample)
{
    const auto all = Generators(pdta);
    std::vector<std::pair<int, int>> zone;
    for (std::size_t i = 9 * sample; i < 9 * sample + 9 && i < all.size(); ++i)
        zone.emplace_back(all[i].op, all[i].amount);
    return zone;
}

std::vector<std::pair<int, int>> ExpectedZone(int pitch, int pan, int sample)
{
    return {{43, 12 | (119 << 8)}, {29, 127}, {37, 127},   {38, 255}, {58, 60}, {54, 1},
            {55, pitch},           {17, pan}, {53, sample}};
}

std::vector<std::uint32_t> SampleHeaders(const Chunk& pdta)
{
    const Bytes& shdr = pdta.Child("shdr").data;
    std::vector<std::uint32_t> out;
    for (std::size_t at = 0; at + 4 <= shdr.size(); at += 4)
        out.push_back(U32(shdr, at));
    return out;
}

std::size_t ListSize(const Chunk& list)
{
    std::size_t size = 12;
    for (const Chunk& child : list.children)
        size += child.id == "LIST" ? ListSize(child) : 8 + child.data.size();
    return size;
}
} // namespace

TEST(WriteSoundFont, MonoSixteenBitMakesOneSampleWithFixedTables)
{
    std::vector<std::int32_t> values;
    for (int i = 0; i < 300; ++i)
        values.push_back((i * 977) % 65536 - 32768);
    const Bytes sf = Convert(WaveBuilder().Values(values).Build(), 1);
    const std::size_t n = values.size();
    EXPECT_EQ(sf.size(), 490 + 2 * n);

    const Chunk root = Walk(sf);
    ASSERT_EQ(root.Ids(), (std::vector<std::string>{"INFO", "sdta", "pdta"}));
    const Chunk& info = root.Child("INFO");
    EXPECT_EQ(ListSize(info), 106u);
    EXPECT_EQ(info.Ids(), (std::vector<std::string>{"ifil", "isng", "irom", "iver", "INAM", "IPRD"}));
    EXPECT_EQ(info.Child("ifil").data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(info.Child("isng").data, TextZ("EMU8000"));
    EXPECT_EQ(info.Child("irom").data, (Bytes{'1', 'M', 'G', 'M', 0, 0}));
    EXPECT_EQ(info.Child("iver").data, (Bytes{2, 0, 8, 0}));
    EXPECT_EQ(info.Child("INAM").data, TextZ("Tamberly V 1.50"));
    EXPECT_EQ(info.Child("IPRD").data, TextZ("SBAEW32"));

    const Chunk& sdta = root.Child("sdta");
    EXPECT_EQ(ListSize(sdta), 80 + 2 * n);
    ASSERT_EQ(sdta.Ids(), (std::vector<std::string>{"snam", "smpl"}));
    Bytes snam;
    PutFixed(snam, "Sample 1", 20);
    EXPECT_EQ(sdta.Child("snam").data, snam);
    const Bytes& smpl = sdta.Child("smpl").data;
    ASSERT_EQ(smpl.size(), 2 * n + 32);
    for (std::size_t i = 0; i < n; ++i)
        ASSERT_EQ(Point(smpl, i), values[i]) << i;
    for (std::size_t i = n; i < n + 16; ++i)
        EXPECT_EQ(Point(smpl, i), 0);

    const Chunk& pdta = root.Child("pdta");
    EXPECT_EQ(ListSize(pdta), 292u);
    ASSERT_EQ(pdta.Ids(), (std::vector<std::string>{"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod",
                                                    "igen", "shdr"}));
    Bytes phdr;
    PutFixed(phdr, "Tamberly Patch", 20);
    PutLE16(phdr, 0);
    PutLE16(phdr, 0);
    PutLE16(phdr, 0);
    phdr.insert(phdr.end(), 12, 0);
    PutFixed(phdr, "EOP", 20);
    PutLE16(phdr, 0);
    PutLE16(phdr, 0);
    PutLE16(phdr, 1);
    phdr.insert(phdr.end(), 12, 0);
    EXPECT_EQ(pdta.Child("phdr").data, phdr);
    EXPECT_EQ(pdta.Child("pbag").data, (Bytes{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(pdta.Child("pmod").data, Bytes(6, 0));
    EXPECT_EQ(pdta.Child("pgen").data, (Bytes{41, 0, 0, 0, 0, 0, 0, 0}));
    Bytes inst;
    PutFixed(inst, "Generated Instr.", 20);
    PutLE16(inst, 0);
    PutFixed(inst, "EOI", 20);
    PutLE16(inst, 1);
    EXPECT_EQ(pdta.Child("inst").data, inst);
    EXPECT_EQ(pdta.Child("ibag").data, (Bytes{0, 0, 0, 0, 9, 0, 0, 0}));
    EXPECT_EQ(pdta.Child("imod").data, Bytes(6, 0));
    EXPECT_EQ(pdta.Child("igen").data.size(), 36u);
    EXPECT_EQ(Zone(pdta, 0), ExpectedZone(6000, 64, 0));
    EXPECT_EQ(SampleHeaders(pdta), (std::vector<std::uint32_t>{0, 300, 0, 300}));
}

TEST(WriteSoundFont, StereoEightBitMakesLeftAndRightSamples)
{
    // Left runs through every byte value, right runs the other way.
    const Bytes wav = WaveBuilder()
                          .Channels(2)
                          .Bits(8)
                          .Rate(22050)
                          .Frames(256, [](std::size_t f, unsigned c) { return int(c == 0 ? f : 255 - f); })
                          .Build();
    const Bytes sf = Convert(wav, 4);
    const std::size_t nL = 256;
    const std::size_t nR = 256;
    EXPECT_EQ(sf.size(), 598 + 2 * (nL + nR));

    const Chunk root = Walk(sf);
    const Chunk& sdta = root.Child("sdta");
    EXPECT_EQ(ListSize(sdta), 132 + 2 * (nL + nR));
    Bytes snam;
    PutFixed(snam, "Sample 1", 20);
    PutFixed(snam, "Sample 2", 20);
    EXPECT_EQ(sdta.Child("snam").data, snam);
    const Bytes& smpl = sdta.Child("smpl").data;
    ASSERT_EQ(smpl.size(), 2 * (nL + nR) + 64);
    const std::size_t sR = nL + 16;
    EXPECT_EQ(Point(smpl, 0x80), 0);
    EXPECT_EQ(Point(smpl, 0x00), -32768);
    EXPECT_EQ(Point(smpl, 0xFF), 32512);
    EXPECT_EQ(Point(smpl, sR + 0x7F), 0);      // right byte 0x80
    EXPECT_EQ(Point(smpl, sR + 0xFF), -32768); // right byte 0x00
    EXPECT_EQ(Point(smpl, sR), 32512);         // right byte 0xFF
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(Point(smpl, nL + i), 0);

    const Chunk& pdta = root.Child("pdta");
    EXPECT_EQ(ListSize(pdta), 348u);
    EXPECT_EQ(U16(pdta.Child("inst").data, 42), 2); // EOI bag index
    EXPECT_EQ(pdta.Child("ibag").data, (Bytes{0, 0, 0, 0, 9, 0, 0, 0, 18, 0, 0, 0}));
    EXPECT_EQ(pdta.Child("igen").data.size(), 72u);
    EXPECT_EQ(Zone(pdta, 0), ExpectedZone(7200, 0, 0));
    EXPECT_EQ(Zone(pdta, 1), ExpectedZone(7200, 127, 1));
    EXPECT_EQ(SampleHeaders(pdta), (std::vector<std::uint32_t>{0, 256, 0, 256, 272, 528, 272, 528}));
}

TEST(WriteSoundFont, LowerRatesKeepEveryStepthFrameCountingAfreshEachBlock)
{
    // 44100 Hz stereo, option 10 (11025 Hz, left): every 4th left value.
    const auto value = [](std::size_t f, unsigned c) { return int(f % 30000) * (c == 0 ? 1 : -1); };
    const Bytes wav = WaveBuilder().Channels(2).Frames(20000, value).Build();
    const Chunk root = Walk(Convert(wav, 10));
    const Bytes& smpl = root.Child("sdta").Child("smpl").data;
    ASSERT_EQ(smpl.size(), 2 * 5000 + 32u);
    for (std::size_t i = 0; i < 5000; ++i)
        ASSERT_EQ(Point(smpl, i), value(4 * i, 0)) << i;
    EXPECT_EQ(Zone(root.Child("pdta"), 0), ExpectedZone(8400, 64, 0));

    // A step that does not divide the 8192-frame block: 33075 Hz to 11025 Hz
    // keeps frames 0, 3, ... 8190 of the first block and 8192, 8195, ... of the next.
    const auto mono = [](std::size_t f, unsigned) { return int(f) - 16000; };
    const Bytes wav3 = WaveBuilder().Rate(33075).Frames(10000, mono).Build();
    const Bytes smpl3 = Walk(Convert(wav3, 9)).Child("sdta").Child("smpl").data;
    std::vector<std::int16_t> expected;
    for (std::size_t f = 0; f < 8192; f += 3)
        expected.push_back(static_cast<std::int16_t>(mono(f, 0)));
    for (std::size_t f = 8192; f < 10000; f += 3)
        expected.push_back(static_cast<std::int16_t>(mono(f, 0)));
    ASSERT_EQ(smpl3.size(), 2 * expected.size() + 32);
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(Point(smpl3, i), expected[i]) << i;
}

TEST(WriteSoundFont, MonoModeAveragesEveryChannel)
{
    // Three channels per frame, averaged and rounded down as two channels are.
    // clang-format off
    const std::vector<std::int32_t> frames = {
        100,    200,    999,
        -32768, -32768, 0,
        32767,  32767,  0,
        -1,     0,      0,
        32767,  -32768, 0,
        -3,     -4,     0,
    };
    // clang-format on
    const Bytes wav = WaveBuilder().Channels(3).Values(frames).Build();
    const Bytes smpl = Walk(Convert(wav, 1)).Child("sdta").Child("smpl").data;
    ASSERT_EQ(smpl.size(), 2 * 6 + 32u);
    const std::vector<std::int16_t> expected = {433, -21846, 21844, -1, -1, -3};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Point(smpl, i), expected[i]) << i;

    // 8-bit channels are averaged after their conversion to 16 bits.
    const Bytes wav8 = WaveBuilder().Channels(2).Bits(8).Values({0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF}).Build();
    const Bytes smpl8 = Walk(Convert(wav8, 1)).Child("sdta").Child("smpl").data;
    EXPECT_EQ(Point(smpl8, 0), -128);
    EXPECT_EQ(Point(smpl8, 1), -32768);
    EXPECT_EQ(Point(smpl8, 2), 32512);
}

TEST(WriteSoundFont, DeepSamplesKeepTheirTopSixteenBits)
{
    const std::vector<std::int32_t> values24 = {0x123456, -1, -0x800000, 0x7FFFFF, 0x0000FF, -0x000100};
    const Bytes wav24 = WaveBuilder().Channels(2).Bits(24).Values(values24).Build();
    const Chunk root24 = Walk(Convert(wav24, 0));
    const Bytes& smpl24 = root24.Child("sdta").Child("smpl").data;
    ASSERT_EQ(smpl24.size(), 2 * 3 + 32 + 2 * 3 + 32u);
    EXPECT_EQ(Point(smpl24, 0), 0x1234);
    EXPECT_EQ(Point(smpl24, 1), -32768);
    EXPECT_EQ(Point(smpl24, 2), 0);
    EXPECT_EQ(Point(smpl24, 19 + 0), -1);
    EXPECT_EQ(Point(smpl24, 19 + 1), 32767);
    EXPECT_EQ(Point(smpl24, 19 + 2), -1);

    const std::vector<std::int32_t> values32 = {0x12345678, INT32_MIN, INT32_MAX, -65536};
    const Bytes wav32 = WaveBuilder().Bits(32).Values(values32).Build();
    const Bytes smpl32 = Walk(Convert(wav32, 1)).Child("sdta").Child("smpl").data;
    ASSERT_EQ(smpl32.size(), 2 * 4 + 32u);
    EXPECT_EQ(Point(smpl32, 0), 0x1234);
    EXPECT_EQ(Point(smpl32, 1), -32768);
    EXPECT_EQ(Point(smpl32, 2), 32767);
    EXPECT_EQ(Point(smpl32, 3), -1);
}

TEST(WriteSoundFont, OptionSizeEqualsTheConvertedBytes)
{
    for (const std::uint16_t bits : {8, 16, 24, 32})
    {
        for (const std::uint16_t channels : {1, 2})
        {
            const Bytes wav = WaveBuilder()
                                  .Channels(channels)
                                  .Bits(bits)
                                  .Frames(4000, [](std::size_t f, unsigned c) { return int(f * 7 + c); })
                                  .Build();
            CMemorySource source(wav);
            CWaveFile wave;
            ASSERT_TRUE(wave.Open(source, "s.wav"));
            for (int k = 0; k < wave.GetOptionCount(); ++k)
            {
                CMemorySink sink;
                ASSERT_TRUE(wave.WriteSoundFont(sink, wave.GetOption(k)));
                const Chunk root = Walk(sink.Bytes());
                const std::size_t samples = static_cast<std::size_t>(wave.GetOptionChannels(k));
                const std::size_t converted = root.Child("sdta").Child("smpl").data.size() - 32 * samples;
                EXPECT_EQ(wave.GetOptionSize(k), converted)
                    << bits << " bits, " << channels << " channels, option " << wave.GetOption(k);
                EXPECT_EQ(root.Child("pdta").Child("shdr").data.size(), 16 * samples);
            }
        }
    }
}

TEST(WriteSoundFont, EmptyDataMakesAnInstrumentWithoutZones)
{
    for (const int option : {1, 0})
    {
        const Bytes wav = WaveBuilder().Channels(2).RawData({}).Build();
        const Bytes sf = Convert(wav, option);
        const Chunk root = Walk(sf);
        const Chunk& pdta = root.Child("pdta");
        EXPECT_EQ(root.Child("sdta").Child("snam").data.size(), option == 0 ? 40u : 20u);
        // Each pass still ends with its 16 zero points.
        EXPECT_EQ(root.Child("sdta").Child("smpl").data, Bytes(option == 0 ? 64 : 32, 0));
        EXPECT_EQ(U16(pdta.Child("inst").data, 42), 0);
        EXPECT_EQ(pdta.Child("ibag").data, Bytes(4, 0));
        EXPECT_TRUE(pdta.Child("igen").data.empty());
        EXPECT_TRUE(pdta.Child("shdr").data.empty());
        // The nine pdta chunks are all there, the empty ones as bare headers.
        EXPECT_EQ(pdta.children.size(), 9u);
    }
}

TEST(WriteSoundFont, FramesTooSmallForTheModeMakeNoSample)
{
    const std::vector<std::int32_t> values = {10, 20, 30, 40};
    // Block alignment 0: nothing is converted, not even the zero points.
    const Bytes zero = WaveBuilder().Channels(2).BlockAlign(0).Values(values).Build();
    for (const int option : {0, 1, 2, 3})
    {
        const Chunk root = Walk(Convert(zero, option));
        EXPECT_TRUE(root.Child("sdta").Child("smpl").data.empty()) << option;
        EXPECT_TRUE(root.Child("pdta").Child("shdr").data.empty()) << option;
    }

    // Two-byte frames hold the first of two 16-bit channels only.
    const Bytes narrow = WaveBuilder().Channels(2).BlockAlign(2).Values(values).Build();
    const Chunk left = Walk(Convert(narrow, 2));
    const Bytes& smpl = left.Child("sdta").Child("smpl").data;
    ASSERT_EQ(smpl.size(), 4 * 2 + 32u); // four frames of two bytes
    EXPECT_EQ(Point(smpl, 0), 10);
    EXPECT_EQ(Point(smpl, 1), 20);
    for (const int option : {1, 3})
    {
        const Chunk root = Walk(Convert(narrow, option));
        EXPECT_TRUE(root.Child("sdta").Child("smpl").data.empty()) << option;
        EXPECT_TRUE(root.Child("pdta").Child("igen").data.empty()) << option;
    }
    // In mode "st" the left sample stands and the right one is empty.
    const Chunk both = Walk(Convert(narrow, 0));
    EXPECT_EQ(SampleHeaders(both.Child("pdta")), (std::vector<std::uint32_t>{0, 4, 0, 4, 20, 20, 20, 20}));
}

namespace
{
// A source whose file shrank after it was measured: it claims more bytes than it can read.
class CShrunkSource final : public IByteSource
{
public:
    CShrunkSource(const Bytes& bytes, std::size_t claimed) : inner(bytes), claimed(claimed) {}
    std::size_t Read(void* buffer, std::size_t size) override { return inner.Read(buffer, size); }
    bool Seek(std::uint64_t position) override
    {
        return position <= claimed && inner.Seek(std::min<std::uint64_t>(position, inner.Size()));
    }
    std::uint64_t Tell() const override { return inner.Tell(); }
    std::uint64_t Size() const override { return claimed; }

private:
    CMemorySource inner;
    std::size_t claimed;
};
} // namespace

TEST(WriteSoundFont, ShortReadsConvertOnlyTheFramesRead)
{
    const auto value = [](std::size_t f, unsigned) { return int(f) + 1; };
    const Bytes wav = WaveBuilder().Frames(20000, value).Build();
    const std::size_t present = wav.size() - 2 * 11000 - 1; // 8999 whole frames and one odd byte
    const Bytes cut(wav.begin(), wav.begin() + static_cast<std::ptrdiff_t>(present));
    CShrunkSource source(cut, wav.size());
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "shrunk.wav"));
    ASSERT_EQ(wave.DataSize(), 40000u);
    CMemorySink sink;
    ASSERT_TRUE(wave.WriteSoundFont(sink, 1));
    const Chunk root = Walk(sink.Bytes());
    const Bytes& smpl = root.Child("sdta").Child("smpl").data;
    ASSERT_EQ(smpl.size(), 2 * 8999 + 32u);
    for (std::size_t i = 0; i < 8999; ++i)
        ASSERT_EQ(Point(smpl, i), value(i, 0)) << i;
    EXPECT_EQ(SampleHeaders(root.Child("pdta")), (std::vector<std::uint32_t>{0, 8999, 0, 8999}));
}

TEST(WriteSoundFont, EveryPassReadsTheSameData)
{
    const Bytes wav = WaveBuilder()
                          .Channels(2)
                          .Frames(9000, [](std::size_t f, unsigned c) { return int(f * (c + 1)); })
                          .Build();
    CMemorySource source(wav);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "twice.wav"));
    CMemorySink first;
    CMemorySink second;
    ASSERT_TRUE(wave.WriteSoundFont(first, 0));
    ASSERT_TRUE(wave.WriteSoundFont(second, 0));
    EXPECT_EQ(first.Bytes(), second.Bytes());

    // The right sample of "st" is the sample of "r".
    CMemorySink right;
    ASSERT_TRUE(wave.WriteSoundFont(right, 3));
    const Bytes stereo = Walk(first.Bytes()).Child("sdta").Child("smpl").data;
    const Bytes mono = Walk(right.Bytes()).Child("sdta").Child("smpl").data;
    ASSERT_EQ(stereo.size(), 2 * mono.size());
    EXPECT_TRUE(
        std::equal(mono.begin(), mono.end(), stereo.begin() + static_cast<std::ptrdiff_t>(mono.size())));
    EXPECT_EQ(Point(mono, 8999), 8999 * 2);
}

TEST(WriteSoundFont, RefusesWithoutWaveOrWithAnUnknownOption)
{
    CWaveFile wave;
    CMemorySink sink;
    EXPECT_FALSE(wave.WriteSoundFont(sink, 1));
    EXPECT_TRUE(sink.Bytes().empty());

    const Bytes wav = WaveBuilder().Values({1, 2}).Build();
    CMemorySource source(wav);
    ASSERT_TRUE(wave.Open(source, "a.wav"));
    for (const int option : {-1, 12, 1000})
    {
        EXPECT_FALSE(wave.WriteSoundFont(sink, option)) << option;
        EXPECT_TRUE(sink.Bytes().empty()) << option;
    }
    TempDir dir;
    EXPECT_FALSE(wave.WriteSoundFont(dir.File("x.sbk"), 12));
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.sbk")));
}

TEST(WriteSoundFont, AFullSinkMakesTheWriteFail)
{
    const Bytes wav =
        WaveBuilder().Channels(2).Frames(10000, [](std::size_t f, unsigned) { return int(f); }).Build();
    CMemorySource source(wav);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(source, "full.wav"));
    CMemorySink unlimited;
    ASSERT_TRUE(wave.WriteSoundFont(unlimited, 0));
    const std::size_t length = unlimited.Bytes().size();
    for (std::size_t capacity : {std::size_t{0}, std::size_t{11}, std::size_t{100}, std::size_t{300},
                                 length / 2, length - 340, length - 1})
    {
        CMemorySink sink(capacity);
        EXPECT_FALSE(wave.WriteSoundFont(sink, 0)) << capacity;
    }
    CMemorySink exact(length);
    EXPECT_TRUE(wave.WriteSoundFont(exact, 0));
    EXPECT_EQ(exact.Bytes(), unlimited.Bytes());
}

TEST(WriteSoundFont, WritesFilesAtomically)
{
    TempDir dir;
    const Bytes wav =
        WaveBuilder().Channels(2).Frames(30000, [](std::size_t f, unsigned c) { return int(f + c); }).Build();
    const std::string wavPath = dir.Write("in.wav", wav);
    CWaveFile wave;
    ASSERT_TRUE(wave.Open(wavPath));

    // Replaces an existing file with the same bytes the sink gets.
    const std::string target = dir.Write("out.sbk", Bytes{'o', 'l', 'd'});
    ASSERT_TRUE(wave.WriteSoundFont(target, 5));
    CMemorySink sink;
    ASSERT_TRUE(wave.WriteSoundFont(sink, 5));
    EXPECT_EQ(ReadFileBytes(target), sink.Bytes());

    // A folder that is not there: false and nothing written.
    EXPECT_FALSE(wave.WriteSoundFont(dir.File("missing/out.sbk"), 5));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));

    // A disk that fills up (a file size limit in a child process): false, the
    // old target untouched and no temporary file left behind.
    const Bytes before = ReadFileBytes(target);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(wave.WriteSoundFont(target, 0) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not report the full disk";
    EXPECT_EQ(ReadFileBytes(target), before);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"in.wav", "out.sbk"}));
}

namespace
{
std::vector<std::int16_t> Points(const Bytes& wav, int option)
{
    const Bytes smpl = Walk(Convert(wav, option)).Child("sdta").Child("smpl").data;
    std::vector<std::int16_t> points;
    for (std::size_t i = 0; 2 * i < smpl.size(); ++i)
        points.push_back(Point(smpl, i));
    return points;
}
} // namespace

TEST(WriteSoundFont, FloatSamplesAreRoundedAndClippedNeverWrapped)
{
    const std::vector<double> values = {0.0,  0.5,          -0.5,         1.0,           -1.0,        2.5,
                                        -7.0, 0.25 / 32768, 0.75 / 32768, -0.75 / 32768, std::nan("")};
    const std::vector<std::int16_t> expected = {0, 16384, -16384, 32767, -32768, 32767, -32768, 0, 1, -1, 0};
    for (const std::uint16_t bits : {32, 64})
    {
        for (const bool extensible : {false, true})
        {
            WaveBuilder builder;
            builder.Bits(bits);
            if (extensible)
                builder.Extensible(3);
            std::vector<std::int16_t> points = Points(builder.FloatValues(values).Build(), 1);
            ASSERT_EQ(points.size(), values.size() + 16) << bits << extensible;
            points.resize(values.size());
            EXPECT_EQ(points, expected) << bits << extensible;
        }
    }
}

TEST(WriteSoundFont, ExtensiblePcmWritesWhatThePlainFormatWrites)
{
    std::vector<std::int32_t> values;
    for (std::int32_t i = 0; i < 600; ++i)
        values.push_back((i * 48271) % 16777216 - 8388608);
    for (const std::uint16_t bits : {8, 16, 24, 32})
    {
        std::vector<std::int32_t> fitted = values;
        for (std::int32_t& v : fitted)
            v = bits == 8 ? (v & 0xFF) : v;
        const Bytes plain = WaveBuilder().Channels(2).Bits(bits).Rate(88200).Values(fitted).Build();
        const Bytes wide =
            WaveBuilder().Channels(2).Bits(bits).Rate(88200).Extensible(1).Values(fitted).Build();
        for (int option = 0; option < CWaveFile::kOptionCount; ++option)
            EXPECT_EQ(Convert(wide, option), Convert(plain, option)) << bits << " bits, option " << option;
    }
}

TEST(WriteSoundFont, ManyChannelsGiveTheFirstTheSecondOrTheMeanOfAll)
{
    // 5.1: six channels, each frame's values c * 1000 + frame (channel c from 0).
    constexpr std::size_t kFrames = 40;
    std::vector<std::int32_t> values;
    std::vector<double> floats;
    for (std::size_t f = 0; f < kFrames; ++f)
    {
        for (int c = 0; c < 6; ++c)
        {
            values.push_back(c * 1000 + static_cast<std::int32_t>(f));
            floats.push_back((c * 1000 + static_cast<double>(f)) / 32768.0);
        }
    }
    const Bytes pcm = WaveBuilder().Channels(6).Values(values).Build();
    const Bytes flt = WaveBuilder().Channels(6).Bits(32).Extensible(3).FloatValues(floats).Build();
    for (const Bytes* wav : {&pcm, &flt})
    {
        CMemorySource source(*wav);
        CWaveFile wave;
        ASSERT_TRUE(wave.Open(source, "six.wav"));
        for (int option = 0; option < 4; ++option)
        {
            const std::vector<std::int16_t> points = Points(*wav, option);
            // The option list tells the size before the conversion.
            EXPECT_EQ(wave.GetOptionSize(option), 2 * (points.size() - (option == 0 ? 32 : 16))) << option;
        }
        const std::vector<std::int16_t> st = Points(*wav, 0);
        const std::vector<std::int16_t> m = Points(*wav, 1);
        const std::vector<std::int16_t> l = Points(*wav, 2);
        const std::vector<std::int16_t> r = Points(*wav, 3);
        ASSERT_EQ(m.size(), kFrames + 16);
        ASSERT_EQ(st.size(), 2 * (kFrames + 16));
        for (std::size_t f = 0; f < kFrames; ++f)
        {
            const auto frame = static_cast<std::int16_t>(f);
            EXPECT_EQ(l[f], frame);
            EXPECT_EQ(r[f], 1000 + frame);
            EXPECT_EQ(st[f], frame);
            EXPECT_EQ(st[kFrames + 16 + f], 1000 + frame);
            EXPECT_EQ(m[f], 2500 + frame); // (0 + 1000 + ... + 5000) / 6 + f
        }
    }
}
