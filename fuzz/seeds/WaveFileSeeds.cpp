// Seeds of the wave file target: short waves of every depth, channel count
// and rate the options distinguish, and the damaged forms the reader refuses
// or cuts.

#include "SeedSet.h"

#include "support/WaveBuilder.h"

#include <string>
#include <vector>

namespace
{
WaveBuilder Wave(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate, std::size_t frames = 24)
{
    WaveBuilder wave;
    wave.Channels(channels).Bits(bits).Rate(rate);
    wave.Frames(frames, [](std::size_t frame, unsigned channel)
                { return static_cast<std::int32_t>((frame * 2971 + channel * 977) % 65536) - 32768; });
    return wave;
}

void Make(CSeedSet& seeds)
{
    for (const std::uint16_t bits : {8, 16, 24, 32})
        for (const std::uint16_t channels : {1, 2})
            seeds.Add("pcm" + std::to_string(bits) + "-ch" + std::to_string(channels),
                      Wave(channels, bits, 44100).Build());
    seeds.Add("stereo-22050", Wave(2, 16, 22050).Build());
    // Rates that are resampled, the float and extensible formats, many channels.
    seeds.Add("stereo-48000", Wave(2, 16, 48000, 64).Build());
    seeds.Add("mono-32000-24bit", Wave(1, 24, 32000, 64).Build());
    seeds.Add("rate-2ghz", Wave(1, 16, 0x7FFFFFFF, 64).Build());
    seeds.Add("six-channels-96000", Wave(6, 16, 96000, 64).Build());
    seeds.Add("channels-65535", Wave(2, 16, 48000).Channels(65535).Build());
    seeds.Add("block-align-0-48000", Wave(2, 16, 48000).BlockAlign(0).Build());
    seeds.Add("extensible-pcm", Wave(2, 24, 48000).Extensible(1).Build());
    seeds.Add("extensible-adpcm", Wave(2, 16, 44100).Extensible(2).Build());
    std::vector<double> floats;
    for (int i = 0; i < 48; ++i)
        floats.push_back((i % 7) * 0.4 - 1.2);
    seeds.Add("float32-48000", WaveBuilder().Channels(2).Bits(32).Rate(48000).FloatValues(floats).Build());
    seeds.Add("float64-44100", WaveBuilder().Channels(1).Bits(64).Rate(44100).FloatValues(floats).Build());
    seeds.Add("extensible-float",
              WaveBuilder().Channels(2).Bits(32).Rate(22050).Extensible(3).FloatValues(floats).Build());
    seeds.Add("mono-11025", Wave(1, 8, 11025).Build());
    seeds.Add("below-11025", Wave(1, 16, 8000).Build());
    seeds.Add("rate-huge", Wave(2, 16, 0xFFFFFFFF).Build());
    seeds.Add("rate-step-wraps", Wave(2, 16, 44100u * 65537u, 8).Build());
    seeds.Add("four-channels", Wave(4, 16, 44100).Build());
    seeds.Add("twelve-bits", Wave(2, 12, 44100).Build());
    seeds.Add("block-align-0", Wave(2, 16, 44100).BlockAlign(0).Build());
    seeds.Add("block-align-1", Wave(2, 16, 44100).BlockAlign(1).Build());
    seeds.Add("block-align-1-8bit", Wave(2, 8, 44100).BlockAlign(1).Build());
    seeds.Add("block-align-3", Wave(2, 8, 22050).BlockAlign(3).Build());
    seeds.Add("block-align-wide", Wave(1, 16, 44100, 2).BlockAlign(4000).Build());
    seeds.Add("fmt-18", Wave(2, 16, 44100).FmtSize(18).Build());
    seeds.Add("adpcm", Wave(1, 4, 44100).FormatTag(2).Build());
    seeds.Add("chunk-before-fmt", Wave(1, 16, 22050).ChunkBefore("LIST", Bytes{'I', 'N', 'F', 'O'}).Build());
    seeds.Add("chunk-after-data", Wave(1, 16, 22050).ChunkAfter("cue ", Bytes(24, 0)).Build());
    seeds.Add("data-before-fmt", Wave(1, 16, 44100).DataBeforeFmt().Build());
    seeds.Add("no-data", Wave(1, 16, 44100).NoData().Build());
    seeds.Add("data-claims-more", Wave(2, 16, 44100).ClaimedDataSize(0x7FFFFFFF).Build());
    seeds.Add("odd-data", WaveBuilder().Bits(8).RawData(Bytes{1, 2, 3, 4, 5}).Build());
    seeds.Add("empty-data", WaveBuilder().RawData(Bytes{}).Build());
    seeds.Add("empty-file", Bytes{});

    Bytes cut = Wave(2, 16, 44100).Build();
    cut.resize(30); // inside the format
    seeds.Add("cut-in-fmt", cut);
    cut = Wave(2, 16, 44100).Build();
    cut.resize(cut.size() - 7); // inside the data
    seeds.Add("cut-in-data", cut);
    Bytes notWave = Wave(1, 16, 44100).Build();
    notWave[8] = 'X';
    seeds.Add("form-not-wave", notWave);
}

const RegisterSeeds registration("WaveFile", Make);
} // namespace
