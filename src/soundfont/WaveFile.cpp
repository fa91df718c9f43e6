#include "soundfont/WaveFile.h"

#include "platform/AtomicFile.h"
#include "platform/PathNames.h"
#include "platform/RiffFile.h"
#include "platform/StringTable.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace
{
constexpr std::uint16_t kOptionRates[3] = {44100, 22050, 11025};

// Frames converted per block; the count of kept frames restarts with every block.
constexpr std::uint32_t kBlockFrames = 8192;
// Input bytes read at a time, so that a huge block alignment cannot make the
// input buffer huge; a block is then read in several pieces.
constexpr std::size_t kMaxReadBytes = 256 * 1024;

// Bytes of one channel's value in a frame: 8-bit data is unsigned bytes,
// 24- and 32-bit data keeps its most significant 16 bits, and every other
// depth is read as signed 16-bit values.
unsigned BytesPerValue(std::uint16_t bitsPerSample, WaveEncoding encoding = WaveEncoding::Pcm)
{
    if (encoding == WaveEncoding::Float)
        return bitsPerSample / 8;
    if (bitsPerSample == 8)
        return 1;
    if (bitsPerSample > 16 && bitsPerSample <= 24)
        return 3;
    if (bitsPerSample > 24 && bitsPerSample <= 32)
        return 4;
    return 2;
}

// The frame count keeps restarting with every block of kBlockFrames, so the
// frames kept of a whole-multiple rate are counted block by block.
std::uint64_t KeptFrames(std::uint64_t frames, std::uint64_t step)
{
    if (step == 0)
        return 0;
    const std::uint64_t perBlock = (kBlockFrames + step - 1) / step;
    const std::uint64_t rest = frames % kBlockFrames;
    return frames / kBlockFrames * perBlock + (rest + step - 1) / step;
}

// Every sample of the written bank must fit the 32-bit sizes of its RIFF
// chunks, the two of a stereo option together.
constexpr std::uint64_t kMaxPoints = 0x3FFFFF00;

// Resampling ratios beyond this first keep every k-th frame: no real
// recording comes near it, and the resampler's filters grow with the ratio.
constexpr std::uint64_t kMaxResampleRatio = 256;

struct FormatTagName
{
    std::uint16_t tag;
    const char* name;
};
constexpr FormatTagName kCompressedTags[] = {
    {0x0002, "ADPCM"},
    {0x0006, "A-law"},
    {0x0007, "mu-law"},
    {0x0011, "IMA ADPCM"},
    {0x0031, "GSM 6.10"},
    {0x0040, "G.721 ADPCM"},
    {0x0050, "MPEG"},
    {0x0055, "MPEG Layer 3"},
    {0x0160, "Windows Media Audio"},
    {0x0161, "Windows Media Audio"},
    {0x2000, "AC-3"},
    {0xF1AC, "FLAC"},
};

std::string Hex(std::uint32_t value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 15];
    return text;
}

std::string TagRefusal(std::uint16_t tag)
{
    std::string text = std::string("format tag 0x").append(Hex(tag, 4));
    for (const FormatTagName& known : kCompressedTags)
    {
        if (known.tag == tag)
            return text.append(" (").append(known.name).append(") is compressed");
    }
    return text.append(" is not PCM");
}

// A subformat GUID as it is usually written: {00000002-0000-0010-8000-00AA00389B71}.
std::string GuidText(const std::uint8_t* g)
{
    std::string text = "{";
    text.append(Hex(ReadLE32(g), 8)).append("-").append(Hex(ReadLE16(g + 4), 4)).append("-");
    text.append(Hex(ReadLE16(g + 6), 4)).append("-");
    for (int i = 8; i < 16; ++i)
    {
        if (i == 10)
            text.append("-");
        text.append(Hex(g[i], 2));
    }
    return text.append("}");
}

// The sixteen-bit scale every sample is converted on: 8-bit values as they
// are widened, deeper integers with their fraction, floats times 32768.
inline float ScaledValue(const std::uint8_t* p, unsigned bytes, WaveEncoding encoding)
{
    if (encoding == WaveEncoding::Float)
    {
        if (bytes == 8)
        {
            std::uint64_t bits = ReadLE32(p) | (static_cast<std::uint64_t>(ReadLE32(p + 4)) << 32);
            double value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return static_cast<float>(std::clamp(std::isnan(value) ? 0.0 : value, -2.0, 2.0) * 32768.0);
        }
        const std::uint32_t bits = ReadLE32(p);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return std::clamp(std::isnan(value) ? 0.0f : value, -2.0f, 2.0f) * 32768.0f;
    }
    switch (bytes)
    {
    case 1:
        return static_cast<float>((static_cast<std::int32_t>(p[0]) - 128) * 256);
    case 3:
    {
        const std::uint32_t raw =
            p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
        return static_cast<float>(static_cast<std::int32_t>(raw << 8) >> 8) / 256.0f;
    }
    case 4:
        return static_cast<float>(static_cast<std::int32_t>(ReadLE32(p))) / 65536.0f;
    default:
        return static_cast<float>(static_cast<std::int16_t>(ReadLE16(p)));
    }
}

// A value on the sixteen-bit scale as a point: rounded and clipped, never wrapped.
inline std::int16_t ToPoint(float value)
{
    if (std::isnan(value))
        return 0;
    // Half away from zero, as std::lround rounds, without its library call on
    // every point: a float of this range and a half are exact in a double.
    const double point = std::clamp(value, -32768.0f, 32767.0f);
    return static_cast<std::int16_t>(point < 0 ? -static_cast<std::int32_t>(0.5 - point)
                                               : static_cast<std::int32_t>(point + 0.5));
}

template <unsigned Bytes> inline std::int32_t ValueAt(const std::uint8_t* p)
{
    if constexpr (Bytes == 1)
        return (static_cast<std::int32_t>(p[0]) - 128) * 256;
    else
        return static_cast<std::int16_t>(ReadLE16(p + Bytes - 2));
}

// Converts the frames at first, first + step, ... below count of a buffer of
// whole frames into 16-bit points; returns the number of points written.
// mix is the number of channels mode "m" averages (0 for the other modes).
template <unsigned Bytes>
std::size_t ConvertFrames(const std::uint8_t* frames, std::uint32_t first, std::uint32_t count,
                          std::uint32_t step, std::uint32_t blockAlign, std::uint32_t offset, unsigned mix,
                          std::uint8_t* out)
{
    std::size_t points = 0;
    for (std::uint32_t f = first; f < count; f += step)
    {
        const std::uint8_t* frame = frames + static_cast<std::size_t>(f) * blockAlign;
        std::int32_t value = ValueAt<Bytes>(frame + offset);
        if (mix == 2)
            value = (value + ValueAt<Bytes>(frame + Bytes)) >> 1;
        else if (mix > 2)
        {
            std::int64_t sum = value;
            for (unsigned c = 1; c < mix; ++c)
                sum += ValueAt<Bytes>(frame + c * Bytes);
            // Rounded down like the two-channel shift, also below zero.
            std::int64_t mean = sum / mix;
            if (mean * mix > sum)
                --mean;
            value = static_cast<std::int32_t>(mean);
        }
        WriteLE16(out + 2 * points, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
        ++points;
    }
    return points;
}

using Record = std::vector<std::uint8_t>;

// A 20-byte name, zero-padded.
void PutName(Record& r, std::string_view text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), 20);
    r.insert(r.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    r.insert(r.end(), 20 - length, 0);
}

bool WriteRecords(CRiffWriter& out, const char* id, const Record& r)
{
    return out.WriteChunk(MakeFourCC(id), r.data(), r.size());
}
} // namespace

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile()
{
    Close();
}

std::uint16_t CWaveFile::OptionRate(int option)
{
    return option >= 0 && option < kOptionCount ? kOptionRates[option / 4] : 0;
}

bool CWaveFile::Close()
{
    const bool wasOpen = source != nullptr;
    decoder.reset(); // it reads from the source
    source = nullptr;
    ownedFile.reset();
    return wasOpen;
}

bool CWaveFile::Fail(WaveOpenError error)
{
    Close();
    // A refused file offers nothing; its format tag stays for the caller to report.
    const std::uint16_t tag = format.formatTag;
    format = WaveFormat{};
    format.formatTag = tag;
    dataSize = 0;
    dataOffset = 0;
    encoding = WaveEncoding::Pcm;
    openError = error;
    return false;
}

bool CWaveFile::Open(const std::string& path)
{
    Close();
    fileName = path;
    refusal.clear();
    auto file = std::make_unique<CFileSource>();
    if (!file->Open(path))
        return Fail(WaveOpenError::CannotOpen);
    ownedFile = std::move(file);
    source = ownedFile.get();
    return ReadHeaders();
}

bool CWaveFile::Open(IByteSource& input, const std::string& name)
{
    Close();
    fileName = name;
    source = &input;
    return ReadHeaders();
}

bool CWaveFile::ReadHeaders()
{
    format = WaveFormat{};
    dataSize = 0;
    dataOffset = 0;
    openError = WaveOpenError::None;
    encoding = WaveEncoding::Pcm;
    refusal.clear();

    CRiffReader reader(*source);
    if (!reader.Seek(0))
        return Fail(WaveOpenError::NotWave);
    CRiffChunk riff;
    riff.fccType = MakeFourCC("WAVE");
    if (!reader.Descend(riff, nullptr, CRiffReader::Find::Riff))
        return OpenDecoded();

    // The format is searched to the end of the file, not only inside the form.
    CRiffChunk fmt;
    fmt.ckid = MakeFourCC("fmt ");
    if (!reader.Descend(fmt, nullptr, CRiffReader::Find::Chunk))
        return Fail(WaveOpenError::NoFormat);
    if (!ReadFormat(reader, static_cast<std::uint32_t>(std::min<std::uint64_t>(fmt.Available(), fmt.cksize))))
        return false;

    // A format chunk that runs past the file leaves the position at its end,
    // where the search below finds nothing.
    reader.Ascend(fmt);
    CRiffChunk data;
    data.ckid = MakeFourCC("data");
    if (!reader.Descend(data, &riff, CRiffReader::Find::Chunk))
        return Fail(WaveOpenError::NoData);

    // A size that claims more than the form or the file holds is not trusted.
    dataSize = static_cast<std::uint32_t>(data.Available());
    dataOffset = data.dataOffset;
    return true;
}

bool CWaveFile::ReadFormat(CRiffReader& reader, std::uint32_t chunkSize)
{
    // 18 bytes from the start of the data, also when the chunk has only 16:
    // the last field is never used.
    std::uint8_t raw[40];
    if (!reader.ReadExact(raw, 18))
        return Fail(WaveOpenError::NoFormat);
    format.formatTag = ReadLE16(raw);
    format.channels = ReadLE16(raw + 2);
    format.samplesPerSec = ReadLE32(raw + 4);
    format.avgBytesPerSec = ReadLE32(raw + 8);
    format.blockAlign = ReadLE16(raw + 12);
    format.bitsPerSample = ReadLE16(raw + 14);
    format.extraSize = ReadLE16(raw + 16);

    constexpr std::uint16_t kPcm = 1;
    constexpr std::uint16_t kFloat = 3;
    constexpr std::uint16_t kExtensible = 0xFFFE;
    std::uint16_t tag = format.formatTag;
    if (tag == kExtensible)
    {
        // Valid bits, channel mask and the subformat GUID follow the common
        // fields; the GUID's first two bytes are the plain format tag.
        if (chunkSize < 40 || !reader.ReadExact(raw + 18, 22))
        {
            refusal = "WAVE_FORMAT_EXTENSIBLE with a format chunk of " + std::to_string(chunkSize) +
                      " bytes (40 needed) cannot be read";
            return Fail(WaveOpenError::NotPcm);
        }
        static constexpr std::uint8_t kBaseGuid[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        const std::uint8_t* guid = raw + 24;
        const std::uint16_t sub = ReadLE16(guid);
        if ((sub != kPcm && sub != kFloat) || std::memcmp(guid + 2, kBaseGuid, sizeof kBaseGuid) != 0)
        {
            refusal = "WAVE_FORMAT_EXTENSIBLE with subformat " + GuidText(guid) + " is not PCM";
            return Fail(WaveOpenError::NotPcm);
        }
        tag = sub;
    }
    if (tag == kFloat)
    {
        if (format.bitsPerSample != 32 && format.bitsPerSample != 64)
        {
            refusal = "IEEE float samples of " + std::to_string(format.bitsPerSample) +
                      " bits cannot be read (32 or 64 are)";
            return Fail(WaveOpenError::NotPcm);
        }
        encoding = WaveEncoding::Float;
        return true;
    }
    if (tag != kPcm)
    {
        refusal = TagRefusal(tag);
        return Fail(WaveOpenError::NotPcm);
    }
    return true;
}

bool CWaveFile::OpenDecoded()
{
    // A file named as a wave is read by the rules above alone, so a RIFF
    // wave's refusal never depends on which decoder the program carries.
    std::string extension = fileName.size() >= 4 ? fileName.substr(fileName.size() - 4) : std::string();
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    ISampleServices* services = GetSampleServices();
    if (extension == ".wav" || !services || !source->Seek(0))
        return Fail(WaveOpenError::NotWave);
    std::string error;
    decoder = services->OpenDecoder(*source, error);
    if (!decoder)
    {
        refusal = error.empty() ? std::string("not a sample file that can be read") : error;
        return Fail(WaveOpenError::NotDecoded);
    }
    if (decoder->Channels() == 0 || decoder->Channels() > 0xFFFF || decoder->Rate() == 0)
    {
        refusal = std::string("a ")
                      .append(decoder->Description())
                      .append(" file with ")
                      .append(std::to_string(decoder->Channels()))
                      .append(" channels at ")
                      .append(std::to_string(decoder->Rate()))
                      .append(" Hz cannot be converted");
        return Fail(WaveOpenError::NotDecoded);
    }
    encoding = WaveEncoding::Decoded;
    format.channels = static_cast<std::uint16_t>(decoder->Channels());
    format.samplesPerSec = decoder->Rate();
    format.bitsPerSample = 16;
    return true;
}

std::uint64_t CWaveFile::FrameCount() const
{
    if (decoder)
        return decoder->Frames();
    return format.blockAlign == 0 ? 0 : dataSize / format.blockAlign;
}

bool CWaveFile::IsWholeMultiple(std::uint16_t rate) const
{
    return rate != 0 && format.samplesPerSec % rate == 0;
}

bool CWaveFile::KeepsStoredBytes(std::uint16_t rate) const
{
    return encoding == WaveEncoding::Pcm && IsWholeMultiple(rate);
}

bool CWaveFile::FrameHolds(std::uint16_t rate, int channelMode) const
{
    if (decoder)
        return true;
    const unsigned bytes = BytesPerValue(format.bitsPerSample, encoding);
    if (format.channels == 1)
        return format.blockAlign >= bytes;
    // Frames kept as stored read two values for "m" and "r", and take a
    // format of no channels for two; converted frames average what is there.
    if (KeepsStoredBytes(rate))
        return format.blockAlign >= (channelMode == 2 ? 1u : 2u) * bytes;
    return format.channels != 0 && format.blockAlign >= (channelMode == 3 ? 2u : 1u) * bytes;
}

std::uint64_t CWaveFile::SamplePoints(std::uint16_t rate) const
{
    if (rate == 0 || format.samplesPerSec < rate)
        return 0;
    const std::uint64_t frames = FrameCount();
    std::uint64_t points = 0;
    if (KeepsStoredBytes(rate))
        points = KeptFrames(frames, static_cast<std::uint16_t>(format.samplesPerSec / rate));
    else if (IsWholeMultiple(rate))
        points = KeptFrames(frames, format.samplesPerSec / rate);
    else
    {
        // Rounded to the nearest point, exactly as the writer counts them.
        const std::uint64_t from = format.samplesPerSec;
        points = frames / from * rate + (frames % from * rate + from / 2) / from;
    }
    return std::min(points, kMaxPoints);
}

bool CWaveFile::IsOptionOffered(int option) const
{
    if (option < 0 || option >= kOptionCount)
        return false;
    const auto rate = static_cast<std::int32_t>(format.samplesPerSec);
    return rate >= OptionRate(option) && (format.channels != 1 || OptionMode(option) == 1);
}

int CWaveFile::GetOptionCount() const
{
    int count = 0;
    for (int option = 0; option < kOptionCount; ++option)
        count += IsOptionOffered(option) ? 1 : 0;
    return count;
}

int CWaveFile::GetOption(int k) const
{
    if (k < 0)
        return -1;
    for (int option = 0; option < kOptionCount; ++option)
    {
        if (IsOptionOffered(option) && k-- == 0)
            return option;
    }
    return -1;
}

int CWaveFile::GetOptionChannels(int k) const
{
    return GetOption(k) % 4 == 0 ? 2 : 1;
}

std::uint64_t CWaveFile::GetOptionSize(int k) const
{
    const int option = GetOption(k);
    if (option < 0)
        return 0;
    const std::uint16_t rate = OptionRate(option);
    if (!KeepsStoredBytes(rate) || format.channels > 2)
    {
        // What the writer makes, point for point: a sample whose values the
        // frames do not hold stays empty.
        const int mode = OptionMode(option);
        const int samples = mode == 0 ? (FrameHolds(rate, 2) ? 1 : 0) + (FrameHolds(rate, 3) ? 1 : 0)
                                      : (FrameHolds(rate, mode) ? 1 : 0);
        return 2 * static_cast<std::uint64_t>(samples) * SamplePoints(rate);
    }
    std::uint64_t size = dataSize;
    if (OptionMode(option) != 0 && format.channels == 2)
        size /= 2;
    switch (BytesPerValue(format.bitsPerSample))
    {
    case 1:
        size *= 2;
        break;
    case 3:
        size = size * 2 / 3;
        break;
    case 4:
        size /= 2;
        break;
    default:
        break;
    }
    const std::uint32_t ratio = format.samplesPerSec / OptionRate(option);
    return ratio == 0 ? 0 : size / ratio;
}

std::string CWaveFile::GetOptionLabel(int k) const
{
    const int option = GetOption(k);
    if (option < 0)
        return {};
    const int mode = OptionMode(option);
    const std::string modeText =
        mode == 0 ? LoadString(IDS_WAVE_MODE_STEREO) : LoadString(IDS_WAVE_MODES_MLR).substr(mode - 1, 1);
    return FormatString(IDS_WAVE_OPTION_LABEL, FileTitle(fileName).c_str(), OptionRate(option) / 1000.0,
                        modeText.c_str());
}

bool CWaveFile::WriteSoundFont(const std::string& path, int option)
{
    if (!source || OptionRate(option) == 0)
        return false;
    CAtomicFile file(path);
    if (!file.Open())
        return false;
    if (!WriteSoundFont(file.Sink(), option))
    {
        file.Discard();
        return false;
    }
    return file.Commit();
}

bool CWaveFile::WriteSoundFont(IByteSink& sink, int option)
{
    const std::uint16_t rate = OptionRate(option);
    if (!source || rate == 0)
        return false;
    const int mode = OptionMode(option);
    source->Seek(dataOffset);

    CRiffWriter out(sink);
    bool ok = true;
    CRiffChunk riff;
    riff.fccType = MakeFourCC("sfbk");
    ok = ok && out.CreateChunk(riff, CRiffWriter::Create::Riff);
    ok = ok && WriteInfoList(out);

    CRiffChunk sdta;
    sdta.fccType = MakeFourCC("sdta");
    ok = ok && out.CreateChunk(sdta, CRiffWriter::Create::List);
    std::uint8_t names[40] = {};
    std::memcpy(names, "Sample 1", 8);
    std::memcpy(names + 20, "Sample 2", 8);
    ok = ok && out.WriteChunk(MakeFourCC("snam"), names, mode == 0 ? 40 : 20);

    CRiffChunk smpl;
    smpl.ckid = MakeFourCC("smpl");
    ok = ok && out.CreateChunk(smpl, CRiffWriter::Create::Chunk);
    SampleHeader headers[3];
    if (ok && mode != 0)
    {
        const auto n = static_cast<std::uint32_t>(WriteSampleData(out, rate, mode) / 2);
        headers[0] = {0, n, 0, n};
    }
    else if (ok)
    {
        const std::uint64_t start = out.Tell();
        const auto nL = static_cast<std::uint32_t>(WriteSampleData(out, rate, 2) / 2);
        headers[0] = {0, nL, 0, nL};
        const auto sR = static_cast<std::uint32_t>((out.Tell() - start) / 2);
        const auto nR = static_cast<std::uint32_t>(WriteSampleData(out, rate, 3) / 2);
        headers[1] = {sR, sR + nR, sR, sR + nR};
    }
    ok = ok && out.Ascend(smpl) && out.Ascend(sdta);

    const Generator generators[6] = {
        {43, 12 | (119 << 8)}, // keys 12 to 119
        {29, 127},
        {37, 127},
        {38, 255},
        {58, 60},
        {54, 1},
    };
    ok = ok && WritePresetData(out, headers, generators, rate);
    ok = ok && out.Ascend(riff);
    return ok && sink.Good();
}

std::uint64_t CWaveFile::WriteSampleData(CRiffWriter& out, std::uint16_t rate, int channelMode)
{
    // Integer waves at a whole multiple of the rate keep every step-th frame
    // exactly as stored, so banks made before stay byte for byte the same.
    if (KeepsStoredBytes(rate))
        return WriteStoredPoints(out, rate, channelMode);
    return WriteConvertedPoints(out, rate, channelMode);
}

std::uint64_t CWaveFile::WriteStoredPoints(CRiffWriter& out, std::uint16_t rate, int channelMode)
{
    const std::uint64_t outStart = out.Tell();
    const std::uint64_t readPosition = source->Tell();

    const auto step = static_cast<std::uint16_t>(format.samplesPerSec / rate);
    if (step == 0)
        return 0;

    // Where the values this mode reads lie in a frame; a frame too small to
    // hold them (a block alignment of 0 among others) gives no sample.
    const unsigned bytes = BytesPerValue(format.bitsPerSample);
    const bool twoOrMore = format.channels != 1;
    const std::uint32_t offset = twoOrMore && channelMode == 3 ? bytes : 0;
    const std::uint32_t blockAlign = format.blockAlign;
    // Mode "m" averages every channel the frame holds (two when the format
    // claims none).
    unsigned mix = 0;
    if (twoOrMore && channelMode == 1)
        mix = format.channels <= 2 ? 2u : std::min<unsigned>(format.channels, blockAlign / bytes);
    const std::uint32_t needed = mix != 0 ? std::max(2u, mix) * bytes : offset + bytes;
    if (blockAlign < needed)
        return 0;

    const std::uint32_t framesPerRead =
        static_cast<std::uint32_t>(std::clamp<std::size_t>(kMaxReadBytes / blockAlign, 1, kBlockFrames));
    std::unique_ptr<std::uint8_t[]> input(new (std::nothrow) std::uint8_t[framesPerRead * blockAlign]);
    std::unique_ptr<std::uint8_t[]> points(new (std::nothrow) std::uint8_t[2 * kBlockFrames]);
    if (!input || !points)
        return 0;

    std::uint32_t remaining = dataSize / blockAlign;
    bool more = true;
    while (remaining > 0 && more && out.Good())
    {
        const std::uint32_t block = std::min(remaining, kBlockFrames);
        std::uint32_t next = 0; // index in the block of the next frame to keep
        std::size_t count = 0;
        for (std::uint32_t at = 0; at < block;)
        {
            const std::uint32_t want = std::min(block - at, framesPerRead);
            const std::size_t got = source->Read(input.get(), static_cast<std::size_t>(want) * blockAlign);
            // Only whole frames that were really read are converted.
            const auto frames = static_cast<std::uint32_t>(got / blockAlign);
            if (next < at + frames)
            {
                std::uint8_t* to = points.get() + 2 * count;
                const std::uint32_t first = next - at;
                std::size_t made = 0;
                switch (bytes)
                {
                case 1:
                    made = ConvertFrames<1>(input.get(), first, frames, step, blockAlign, offset, mix, to);
                    break;
                case 3:
                    made = ConvertFrames<3>(input.get(), first, frames, step, blockAlign, offset, mix, to);
                    break;
                case 4:
                    made = ConvertFrames<4>(input.get(), first, frames, step, blockAlign, offset, mix, to);
                    break;
                default:
                    made = ConvertFrames<2>(input.get(), first, frames, step, blockAlign, offset, mix, to);
                    break;
                }
                count += made;
                next += static_cast<std::uint32_t>(made) * step;
            }
            if (frames < want)
            {
                more = false; // the data ends early
                break;
            }
            at += want;
        }
        out.Write(points.get(), 2 * count);
        remaining -= block;
    }
    input.reset();
    points.reset();

    const std::uint64_t result = out.Tell() - outStart;
    const std::uint8_t zeros[32] = {};
    out.Write(zeros, sizeof zeros);
    source->Seek(readPosition);
    return result;
}

std::size_t CWaveFile::ReadMono(std::vector<float>& mono, std::size_t frames, int channelMode)
{
    const unsigned channels = format.channels;
    if (decoder)
    {
        frames = std::min<std::size_t>(frames, kMaxReadBytes / sizeof(float) / channels + 1);
        decodedBuffer.resize(frames * channels);
        const std::size_t got = std::min(decoder->Read(decodedBuffer.data(), frames), frames);
        mono.resize(got);
        for (std::size_t f = 0; f < got; ++f)
        {
            const float* frame = decodedBuffer.data() + f * channels;
            float value = 0;
            if (channels == 1 || channelMode == 2)
                value = frame[0];
            else if (channelMode == 3)
                value = frame[1];
            else
            {
                double sum = 0;
                for (unsigned c = 0; c < channels; ++c)
                    sum += frame[c];
                value = static_cast<float>(sum / channels);
            }
            mono[f] = std::isnan(value) ? 0.0f : std::clamp(value, -2.0f, 2.0f) * 32768.0f;
        }
        return got;
    }

    // Whole frames of the data chunk that are still ahead of the read position.
    const std::uint32_t blockAlign = format.blockAlign;
    const std::uint64_t end = dataOffset + static_cast<std::uint64_t>(FrameCount()) * blockAlign;
    const std::uint64_t at = source->Tell();
    const std::uint64_t left = at < end ? (end - at) / blockAlign : 0;
    frames = static_cast<std::size_t>(
        std::min<std::uint64_t>({frames, left, std::max<std::size_t>(kMaxReadBytes / blockAlign, 1)}));
    readBuffer.resize(frames * blockAlign);
    const std::size_t got = source->Read(readBuffer.data(), readBuffer.size()) / blockAlign;
    mono.resize(got);
    const unsigned bytes = BytesPerValue(format.bitsPerSample, encoding);
    const unsigned present = std::min<unsigned>(channels, blockAlign / bytes);
    for (std::size_t f = 0; f < got; ++f)
    {
        const std::uint8_t* frame = readBuffer.data() + f * blockAlign;
        if (channels == 1 || channelMode == 2)
            mono[f] = ScaledValue(frame, bytes, encoding);
        else if (channelMode == 3)
            mono[f] = ScaledValue(frame + bytes, bytes, encoding);
        else
        {
            double sum = 0;
            for (unsigned c = 0; c < present; ++c)
                sum += ScaledValue(frame + c * bytes, bytes, encoding);
            mono[f] = static_cast<float>(sum / present);
        }
    }
    return got;
}

std::uint64_t CWaveFile::WriteConvertedPoints(CRiffWriter& out, std::uint16_t rate, int channelMode)
{
    const std::uint64_t outStart = out.Tell();
    const std::uint64_t readPosition = source->Tell();
    const std::uint32_t from = format.samplesPerSec;
    if (rate == 0 || from < rate)
        return 0;

    if (!FrameHolds(rate, channelMode))
        return 0;
    if (!decoder)
        source->Seek(dataOffset);
    else if (!decoder->Rewind())
        return 0;

    const std::uint64_t frames = FrameCount();
    const std::uint64_t wanted = SamplePoints(rate);
    std::unique_ptr<IResampler> resampler;
    std::uint64_t stride = 1; // frames taken before resampling, for absurd rates
    if (!IsWholeMultiple(rate))
    {
        stride = (from + kMaxResampleRatio * rate - 1) / (kMaxResampleRatio * rate);
        ISampleServices* services = GetSampleServices();
        if (services)
            resampler =
                services->MakeResampler(static_cast<double>(from) / static_cast<double>(stride), rate);
        if (!resampler)
        {
            source->Seek(readPosition);
            return 0;
        }
    }
    const std::uint64_t step = resampler ? 1 : from / rate;

    std::vector<float> mono;
    std::vector<float> made;
    std::vector<std::uint8_t> points;
    std::uint64_t written = 0;
    std::uint64_t framesRead = 0;
    auto put = [&](const float* values, std::size_t count)
    {
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, wanted - written));
        points.resize(2 * count);
        for (std::size_t i = 0; i < count; ++i)
            WriteLE16(points.data() + 2 * i, static_cast<std::uint16_t>(ToPoint(values[i])));
        written += count;
        return out.Write(points.data(), points.size());
    };

    bool more = true;
    std::size_t inBlock = 0; // position in the current block of kBlockFrames
    while (more && out.Good() && written < wanted)
    {
        const std::size_t got = ReadMono(mono, kBlockFrames - inBlock, channelMode);
        more = got != 0;
        framesRead += got;
        if (!resampler)
        {
            // Every step-th frame, counted afresh in each block as the stored path does.
            made.clear();
            for (std::size_t f = 0; f < got; ++f)
            {
                if ((inBlock + f) % step == 0)
                    made.push_back(mono[f]);
            }
            inBlock = (inBlock + got) % kBlockFrames;
        }
        else
        {
            if (stride > 1)
            {
                std::size_t kept = 0;
                for (std::size_t f = 0; f < got; ++f)
                {
                    if ((framesRead - got + f) % stride == 0)
                        mono[kept++] = mono[f];
                }
                mono.resize(kept);
            }
            if (!resampler->Process(mono.data(), mono.size(), !more, made))
                more = false;
        }
        put(made.data(), made.size());
        made.clear();
    }
    // The resampler's last points are close to the rounding of the length;
    // a file read to its end is made exactly as long as its option says.
    if (framesRead >= frames)
    {
        made.assign(static_cast<std::size_t>(std::min<std::uint64_t>(wanted - written, kBlockFrames)), 0.0f);
        while (written < wanted && out.Good())
            put(made.data(), made.size());
    }

    const std::uint64_t result = out.Tell() - outStart;
    const std::uint8_t zeros[32] = {};
    out.Write(zeros, sizeof zeros);
    source->Seek(readPosition);
    return result;
}

bool CWaveFile::WriteInfoList(CRiffWriter& out)
{
    CRiffChunk info;
    info.fccType = MakeFourCC("INFO");
    const std::uint8_t ifil[4] = {1, 0, 0, 0};
    const std::uint8_t iver[4] = {2, 0, 8, 0};
    return out.CreateChunk(info, CRiffWriter::Create::List) && out.WriteChunk(MakeFourCC("ifil"), ifil, 4) &&
           out.WriteChunk(MakeFourCC("isng"), "EMU8000", 8) &&
           out.WriteChunk(MakeFourCC("irom"), "1MGM\0", 6) && out.WriteChunk(MakeFourCC("iver"), iver, 4) &&
           out.WriteChunk(MakeFourCC("INAM"), "Tamberly V 1.50", 16) &&
           out.WriteChunk(MakeFourCC("IPRD"), "SBAEW32", 8) && out.Ascend(info);
}

bool CWaveFile::WritePresetData(CRiffWriter& out, const SampleHeader (&sampleHeaders)[3],
                                const Generator (&generators)[6], std::uint16_t rate)
{
    // The samples written: the headers up to the first of length 0.
    std::uint16_t samples = 0;
    while (samples < 3 && sampleHeaders[samples].end != 0)
        ++samples;

    // Each halving of the rate is one octave (1200 cents) more of sample pitch.
    std::uint16_t pitch = 6000;
    for (std::uint32_t r = 44100; r > rate && r > 1; r /= 2)
        pitch = static_cast<std::uint16_t>(pitch + 1200);

    Record phdr;
    PutName(phdr, "Tamberly Patch");
    AppendLE16(phdr, 0); // preset
    AppendLE16(phdr, 0); // bank
    AppendLE16(phdr, 0); // first bag
    phdr.insert(phdr.end(), 12, 0);
    PutName(phdr, "EOP");
    AppendLE16(phdr, 0);
    AppendLE16(phdr, 0);
    AppendLE16(phdr, 1);
    phdr.insert(phdr.end(), 12, 0);

    const Record pbag = {0, 0, 0, 0, 1, 0, 0, 0};
    const Record pgen = {41, 0, 0, 0, 0, 0, 0, 0}; // instrument 0, then the closing record
    const Record noModulators(6, 0);

    Record inst;
    PutName(inst, "Generated Instr.");
    AppendLE16(inst, 0);
    PutName(inst, "EOI");
    AppendLE16(inst, samples);

    Record ibag;
    for (std::uint16_t k = 0; k <= samples; ++k)
    {
        AppendLE16(ibag, static_cast<std::uint16_t>(9 * k));
        AppendLE16(ibag, 0);
    }

    Record igen;
    Record shdr;
    for (std::uint16_t k = 0; k < samples; ++k)
    {
        for (const Generator& generator : generators)
        {
            AppendLE16(igen, generator.op);
            AppendLE16(igen, generator.amount);
        }
        AppendLE16(igen, 55);
        AppendLE16(igen, pitch);
        AppendLE16(igen, 17); // pan: centre for one sample, left and right for two
        AppendLE16(igen, samples == 1 ? 64 : (k == 0 ? 0 : 127));
        AppendLE16(igen, 53);
        AppendLE16(igen, k);

        AppendLE32(shdr, sampleHeaders[k].start);
        AppendLE32(shdr, sampleHeaders[k].end);
        AppendLE32(shdr, sampleHeaders[k].loopStart);
        AppendLE32(shdr, sampleHeaders[k].loopEnd);
    }

    CRiffChunk pdta;
    pdta.fccType = MakeFourCC("pdta");
    return out.CreateChunk(pdta, CRiffWriter::Create::List) && WriteRecords(out, "phdr", phdr) &&
           WriteRecords(out, "pbag", pbag) && WriteRecords(out, "pmod", noModulators) &&
           WriteRecords(out, "pgen", pgen) && WriteRecords(out, "inst", inst) &&
           WriteRecords(out, "ibag", ibag) && WriteRecords(out, "imod", noModulators) &&
           WriteRecords(out, "igen", igen) && WriteRecords(out, "shdr", shdr) && out.Ascend(pdta);
}
