#include "platform/RiffFile.h"
#include "soundfont/SoundFontReader.h"
#include "soundfont/WaveFile.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

namespace
{
constexpr std::size_t kPage = 4096;

// Keeps only the pages that ever received a byte other than zero, so that
// gigabytes of silence cost nothing; everything else reads as zeros.
class SparseSink final : public IByteSink
{
public:
    bool Write(const void* data, std::size_t size) override
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        while (size != 0)
        {
            const std::uint64_t page = position / kPage;
            const std::size_t at = static_cast<std::size_t>(position % kPage);
            const std::size_t take = std::min(size, kPage - at);
            auto it = pages.find(page);
            if (it == pages.end() && std::any_of(bytes, bytes + take, [](std::uint8_t b) { return b != 0; }))
                it = pages.emplace(page, std::array<std::uint8_t, kPage>{}).first;
            if (it != pages.end())
                std::memcpy(it->second.data() + at, bytes, take);
            bytes += take;
            size -= take;
            position += take;
            end = std::max(end, position);
        }
        return true;
    }
    bool Seek(std::uint64_t to) override
    {
        if (to > end)
            return false;
        position = to;
        return true;
    }
    std::uint64_t Tell() const override { return position; }
    bool Good() const override { return true; }

    std::uint64_t Size() const { return end; }
    std::size_t PagesHeld() const { return pages.size(); }
    void ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const
    {
        for (std::size_t i = 0; i < size; ++i)
        {
            const auto it = pages.find((offset + i) / kPage);
            out[i] = it == pages.end() ? 0 : it->second[static_cast<std::size_t>((offset + i) % kPage)];
        }
    }

private:
    std::map<std::uint64_t, std::array<std::uint8_t, kPage>> pages;
    std::uint64_t position = 0;
    std::uint64_t end = 0;
};

// Reads what a SparseSink holds.
class SparseSource final : public IByteSource
{
public:
    explicit SparseSource(const SparseSink& sink) : sink(sink) {}
    std::size_t Read(void* buffer, std::size_t size) override
    {
        const std::size_t got =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, sink.Size() - position));
        sink.ReadAt(position, static_cast<std::uint8_t*>(buffer), got);
        position += got;
        return got;
    }
    bool Seek(std::uint64_t to) override
    {
        if (to > sink.Size())
            return false;
        position = to;
        return true;
    }
    std::uint64_t Tell() const override { return position; }
    std::uint64_t Size() const override { return sink.Size(); }

private:
    const SparseSink& sink;
    std::uint64_t position = 0;
};

// A field of /proc/self/status in kB (VmRSS, VmHWM).
std::uint64_t StatusKB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stoull(line.substr(field.size() + 1));
    return 0;
}

// Starts the peak resident size (VmHWM) afresh from the current one.
bool ResetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

void PutFrame(int fd, std::uint64_t offset, std::int16_t left, std::int16_t right)
{
    std::uint8_t frame[4];
    WriteLE16(frame, static_cast<std::uint16_t>(left));
    WriteLE16(frame + 2, static_cast<std::uint16_t>(right));
    ASSERT_EQ(pwrite(fd, frame, sizeof frame, static_cast<off_t>(offset)), 4);
}
} // namespace

// A wave of 2 GB (a sparse file: silence but for two frames) converts through
// blocks whose buffers do not grow with the file: the peak resident memory
// of the conversion stays far below what the file or the output would take.
TEST(LargeWave, TwoGigabytesConvertInBoundedMemory)
{
    constexpr std::uint32_t kDataSize = 0x7FFFFF00u; // whole 4-byte frames
    constexpr std::uint64_t kFrames = kDataSize / 4;
    constexpr std::uint64_t kBlock = 8192;
    constexpr int kOption = 9; // 11025 Hz, "m": every 4th frame of 44100 Hz, both channels averaged

    // Holes of a memory file system read fast; a disk would make the kernel
    // fill 2 GB of page cache with zeros first.
    const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
    TempDir fallback;
    std::string path = (folder.empty() ? fallback.Path() : folder) + "/tamberly-huge-XXXXXX";
    const int made = mkstemp(path.data());
    ASSERT_GE(made, 0);
    ::close(made);
    struct Remove
    {
        const std::string& path;
        ~Remove() { ::unlink(path.c_str()); }
    } remove{path};
    const Bytes header = WaveBuilder().Channels(2).Bits(16).Rate(44100).Header(kDataSize);
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, header.data(), header.size()), static_cast<ssize_t>(header.size()));
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(header.size() + kDataSize)), 0);
        // The first frame, and the last one kept: the count of frames restarts each block.
        const std::uint64_t lastKept = (kFrames - 1) / kBlock * kBlock + ((kFrames - 1) % kBlock) / 4 * 4;
        PutFrame(fd, header.size(), 1000, 3000);
        PutFrame(fd, header.size() + lastKept * 4, -4000, -2000);
        ::close(fd);
    }

    CWaveFile wave;
    ASSERT_TRUE(wave.Open(path));
    ASSERT_EQ(wave.DataSize(), kDataSize);
    ASSERT_TRUE(wave.IsOptionOffered(kOption));

    ASSERT_TRUE(ResetPeak());
    const std::uint64_t before = StatusKB("VmRSS");
    SparseSink sink;
    ASSERT_TRUE(wave.WriteSoundFont(sink, kOption));
    const std::uint64_t peak = StatusKB("VmHWM");
    ASSERT_GT(peak, 0u);
    RecordProperty("peak_growth_kB", std::to_string(peak - std::min(peak, before)));
    // The output alone would be 256 MB; the conversion may use a few buffers.
    EXPECT_LT(peak - std::min(peak, before), 64u * 1024) << "kB more at the peak than before";
    EXPECT_LT(sink.PagesHeld(), 8u);

    // The bank is whole and holds one point per 4th frame of each block.
    std::uint64_t points = 0;
    for (std::uint64_t first = 0; first < kFrames; first += kBlock)
        points += (std::min(kBlock, kFrames - first) + 3) / 4;
    SparseSource written(sink);
    std::uint8_t size[4];
    sink.ReadAt(4, size, 4);
    EXPECT_EQ(ReadLE32(size), sink.Size() - 8);

    CSoundFontReader bank;
    ASSERT_TRUE(bank.Open(std::make_unique<SparseSource>(sink)));
    EXPECT_EQ(bank.GetSampleCount(0, -1), 1);
    EXPECT_EQ(bank.GetPresetSampleBytes(0), static_cast<std::int64_t>(2 * points));
    EXPECT_EQ(bank.SampleDataSize(), 2 * points + 32);

    CRiffReader riff(written);
    CRiffChunk form, sdta, smpl;
    form.fccType = MakeFourCC("sfbk");
    sdta.fccType = MakeFourCC("sdta");
    smpl.ckid = MakeFourCC("smpl");
    ASSERT_TRUE(riff.Descend(form, nullptr, CRiffReader::Find::Riff));
    ASSERT_TRUE(riff.Descend(sdta, &form, CRiffReader::Find::List));
    ASSERT_TRUE(riff.Descend(smpl, &sdta, CRiffReader::Find::Chunk));
    std::uint8_t point[2];
    sink.ReadAt(smpl.dataOffset, point, 2);
    EXPECT_EQ(static_cast<std::int16_t>(ReadLE16(point)), 2000);
    sink.ReadAt(smpl.dataOffset + 2 * (points - 1), point, 2);
    EXPECT_EQ(static_cast<std::int16_t>(ReadLE16(point)), -3000);
}
