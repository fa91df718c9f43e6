#include "soundfont/WaveFile.h"

#include "platform/AtomicFile.h"
#include "platform/PathNames.h"
#include "platform/RiffFile.h"
#include "platform/StringTable.h"

#include <algorithm>
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
unsigned BytesPerValue(std::uint16_t bitsPerSample)
{
    if (bitsPerSample == 8)
        return 1;
    if (bitsPerSample > 16 && bitsPerSample <= 24)
        return 3;
    if (bitsPerSample > 24 && bitsPerSample <= 32)
        return 4;
    return 2;
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
template <unsigned Bytes>
std::size_t ConvertFrames(const std::uint8_t* frames, std::uint32_t first, std::uint32_t count,
                          std::uint32_t step, std::uint32_t blockAlign, std::uint32_t offset, bool average,
                          std::uint8_t* out)
{
    std::size_t points = 0;
    for (std::uint32_t f = first; f < count; f += step)
    {
        const std::uint8_t* frame = frames + static_cast<std::size_t>(f) * blockAlign;
        std::int32_t value = ValueAt<Bytes>(frame + offset);
        if (average)
            value = (value + ValueAt<Bytes>(frame + Bytes)) >> 1;
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
    openError = error;
    return false;
}

bool CWaveFile::Open(const std::string& path)
{
    Close();
    fileName = path;
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

    CRiffReader reader(*source);
    if (!reader.Seek(0))
        return Fail(WaveOpenError::NotWave);
    CRiffChunk riff;
    riff.fccType = MakeFourCC("WAVE");
    if (!reader.Descend(riff, nullptr, CRiffReader::Find::Riff))
        return Fail(WaveOpenError::NotWave);

    // The format is searched to the end of the file, not only inside the form.
    CRiffChunk fmt;
    fmt.ckid = MakeFourCC("fmt ");
    if (!reader.Descend(fmt, nullptr, CRiffReader::Find::Chunk))
        return Fail(WaveOpenError::NoFormat);
    // 18 bytes from the start of the data, also when the chunk has only 16:
    // the last field is never used.
    std::uint8_t raw[18];
    if (!reader.ReadExact(raw, sizeof raw))
        return Fail(WaveOpenError::NoFormat);
    format.formatTag = ReadLE16(raw);
    format.channels = ReadLE16(raw + 2);
    format.samplesPerSec = ReadLE32(raw + 4);
    format.avgBytesPerSec = ReadLE32(raw + 8);
    format.blockAlign = ReadLE16(raw + 12);
    format.bitsPerSample = ReadLE16(raw + 14);
    format.extraSize = ReadLE16(raw + 16);
    if (format.formatTag != 1)
        return Fail(WaveOpenError::NotPcm);

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
    const bool average = twoOrMore && channelMode == 1;
    const std::uint32_t needed = average ? 2 * bytes : offset + bytes;
    const std::uint32_t blockAlign = format.blockAlign;
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
                    made =
                        ConvertFrames<1>(input.get(), first, frames, step, blockAlign, offset, average, to);
                    break;
                case 3:
                    made =
                        ConvertFrames<3>(input.get(), first, frames, step, blockAlign, offset, average, to);
                    break;
                case 4:
                    made =
                        ConvertFrames<4>(input.get(), first, frames, step, blockAlign, offset, average, to);
                    break;
                default:
                    made =
                        ConvertFrames<2>(input.get(), first, frames, step, blockAlign, offset, average, to);
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
