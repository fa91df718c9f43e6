#pragma once
// A sample file and the one-preset SoundFont 1 banks made from it.
//
// RIFF waves are read here: PCM of 8 to 32 bits, IEEE float of 32 and 64
// bits, both also as WAVE_FORMAT_EXTENSIBLE, any number of channels. Other
// sample files (AIFF, FLAC, Ogg) open through the decoder the program
// installed (soundfont/SampleServices.h).
//
// A wave file offers up to twelve conversion options: option / 4 picks the
// target rate (44100, 22050 or 11025 Hz) and option % 4 the channel mode
// (0 "st": left and right sample, 1 "m": one sample of the whole frame,
// 2 "l": the first channel, 3 "r": the second channel). The file offers the
// rates it reaches; a one-channel file offers mode "m" only.

#include "platform/ByteStream.h"
#include "soundfont/SampleServices.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CRiffReader;
class CRiffWriter;

// The first 18 bytes of the "fmt " chunk, as read (the last two bytes may
// belong to the next chunk's header when the chunk has 16 bytes).
struct WaveFormat
{
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};

// Why the last Open failed, for front ends that explain a refusal.
enum class WaveOpenError
{
    None,
    CannotOpen, // the file cannot be opened for reading
    NotWave,    // no "RIFF" chunk of form "WAVE"
    NoFormat,   // no "fmt " chunk, or fewer than 18 bytes from its start
    NotPcm,     // neither PCM nor IEEE float (RefusalText says what it is)
    NoData,     // no "data" chunk after the format inside the form
    NotDecoded, // no RIFF wave, and the decoder refused it too (RefusalText says why)
};

// How the values of the open file are stored.
enum class WaveEncoding
{
    Pcm,     // integers: 8 bits unsigned, wider ones signed
    Float,   // IEEE float, 32 or 64 bits
    Decoded, // read through an ISampleDecoder
};

class CWaveFile
{
public:
    static constexpr int kOptionCount = 12;

    CWaveFile();
    virtual ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Opens a wave file; on success the file stays open until Close, the
    // next Open or destruction. FileName() is path in any case.
    bool Open(const std::string& path);
    // The same on a source the caller keeps alive while the file is open;
    // name stands for the path (it makes the option labels).
    bool Open(IByteSource& source, const std::string& name);
    // True when a file was open.
    bool Close();

    bool IsOpen() const { return source != nullptr; }
    const WaveFormat& Format() const { return format; }
    const std::string& FileName() const { return fileName; }
    // Bytes of wave data: the "data" chunk's size, cut at the end of the
    // form or the file when the chunk claims more than is there.
    std::uint32_t DataSize() const { return dataSize; }
    WaveOpenError GetOpenError() const { return openError; }
    // What the refused file really is, for NotPcm and NotDecoded ("format tag
    // 0x0002 (ADPCM) is compressed"); empty otherwise.
    const std::string& RefusalText() const { return refusal; }
    WaveEncoding Encoding() const { return encoding; }
    // Frames of sample data (all channels of one instant).
    std::uint64_t FrameCount() const;

    bool IsOptionOffered(int option) const;
    int GetOptionCount() const;
    // The option index of the k-th offered option (in increasing order), -1 when there is none.
    int GetOption(int k) const;
    // Samples the written bank holds: 2 for mode "st", else 1.
    int GetOptionChannels(int k) const;
    // Expected bytes of converted sample data (the zero points after each sample not counted).
    std::uint64_t GetOptionSize(int k) const;
    // "<file title> <rate in kHz>KHz <mode>", e.g. "PIANO 22.1KHz st"; empty when GetOption(k) is -1.
    std::string GetOptionLabel(int k) const;

    // Writes the one-preset bank of option to path, atomically: on false
    // (path cannot be created, a write failed, no wave open, option not 0..11)
    // no file is left at path and an existing one is untouched.
    bool WriteSoundFont(const std::string& path, int option);
    // The same bank written to out; false when no wave is open, the option is
    // not 0..11 or a write to out failed (what was written is then incomplete).
    bool WriteSoundFont(IByteSink& out, int option);

    static std::uint16_t OptionRate(int option);
    static int OptionMode(int option) { return option % 4; }

private:
    struct SampleHeader
    {
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        std::uint32_t loopStart = 0;
        std::uint32_t loopEnd = 0;
    };
    struct Generator
    {
        std::uint16_t op = 0;
        std::uint16_t amount = 0;
    };

    bool ReadHeaders();
    bool ReadFormat(CRiffReader& reader, std::uint32_t chunkSize);
    bool OpenDecoded();
    bool Fail(WaveOpenError error);
    // True when rate takes every step-th frame of the file as it stands; any
    // other rate is resampled.
    bool IsWholeMultiple(std::uint16_t rate) const;
    bool KeepsStoredBytes(std::uint16_t rate) const;
    // True when a frame holds the values channelMode reads at rate.
    bool FrameHolds(std::uint16_t rate, int channelMode) const;
    // Points one sample of an option holds.
    std::uint64_t SamplePoints(std::uint16_t rate) const;
    std::uint64_t WriteSampleData(CRiffWriter& out, std::uint16_t rate, int channelMode);
    std::uint64_t WriteStoredPoints(CRiffWriter& out, std::uint16_t rate, int channelMode);
    std::uint64_t WriteConvertedPoints(CRiffWriter& out, std::uint16_t rate, int channelMode);
    // Reads up to frames frames as one value per frame on the 16-bit scale,
    // picked or mixed as channelMode says; 0 at the end of the data.
    std::size_t ReadMono(std::vector<float>& mono, std::size_t frames, int channelMode);
    static bool WriteInfoList(CRiffWriter& out);
    static bool WritePresetData(CRiffWriter& out, const SampleHeader (&sampleHeaders)[3],
                                const Generator (&generators)[6], std::uint16_t rate);

    std::unique_ptr<CFileSource> ownedFile; // the file that Open(path) opened
    IByteSource* source = nullptr;          // the open wave, or null
    WaveFormat format;
    std::string fileName;
    std::uint32_t dataSize = 0;
    std::uint64_t dataOffset = 0;
    WaveOpenError openError = WaveOpenError::None;
    WaveEncoding encoding = WaveEncoding::Pcm;
    std::string refusal;
    std::unique_ptr<ISampleDecoder> decoder; // the open file when it is not a RIFF wave
    std::vector<std::uint8_t> readBuffer;    // ReadMono's raw frames
    std::vector<float> decodedBuffer;        // ReadMono's decoded frames
};
