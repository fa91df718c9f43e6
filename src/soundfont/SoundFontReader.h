#pragma once
// Reads what the program shows of a SoundFont bank (RIFF form "sfbk") of
// version 1 (.sbk), 2 (.sf2) or 3 (.sf3, Ogg Vorbis samples), told apart by
// the "ifil" chunk, never by the file's name (a file without one is taken as
// version 1, as the earliest banks were written): the presets with their
// numbers, banks and names, how many samples each one uses and how many bytes
// of sample data they take as the card holds them (16-bit points), and the
// INFO texts. Sample data is never read to list presets; only the size of the
// "smpl" chunk is noted. A version 3 sample's decoded size is asked of the
// ICompressedSampleDecoder (soundfont/CompressedSampleDecoder.h) only when a size is asked for,
// and then only that sample's stream is read.
//
// Indices inside the file are not trusted:
// - a bag, generator, instrument or sample index whose record lies past the
//   end of its chunk counts as nothing, and so does a record whose range end
//   would be the record after the last one of its chunk;
// - a range whose end lies before its start is empty;
// - the zones of a preset (or an instrument) are taken as the generator range
//   from its first bag's index to the index of the bag after its last. For a
//   file whose indices never decrease (any well-formed bank) that is exactly
//   the union of the bags' own ranges; for a corrupt one it keeps the work for
//   a preset bounded by the 16-bit generator indices.
// - a preset names at most 128 distinct instruments and an instrument at most
//   128 distinct samples: beyond that the first 128 in file order are kept and
//   further ones are ignored.
// - a sample whose end lies before its start takes no bytes.

#include "platform/ByteStream.h"
#include "platform/RiffFile.h"
#include "platform/WindowedSource.h"
#include "soundfont/CompressedSampleDecoder.h"
#include "soundfont/SoundFontGenerators.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace soundfont
{
constexpr std::size_t kPresetHeaderSize = 38;
constexpr std::size_t kBagSize = 4;
constexpr std::size_t kGeneratorSize = 4;
constexpr std::size_t kInstrumentHeaderSize = 22;
constexpr std::size_t kSampleHeaderSize = 16;
// Version 2 and 3 sample records carry a name, rate, pitch, link and type.
constexpr std::size_t kSampleHeader2Size = 46;
constexpr std::size_t kModulatorSize = 10;

// Sample types of version 2/3 records.
constexpr std::uint16_t kSampleRom = 0x8000;      // in the card's ROM: takes no sound memory
constexpr std::uint16_t kSampleCompressed = 0x10; // version 3: an Ogg Vorbis stream

// Room of the instrument and sample collections.
constexpr int kMaxCollected = 128;
} // namespace soundfont

// One "phdr" record, decoded. The name is the raw 20 bytes: zero-padded, and
// not always zero-terminated.
struct PresetHeader
{
    std::array<char, 20> name{};
    std::uint16_t presetNumber = 0;
    std::uint16_t bank = 0; // 128 is the percussion bank
    std::uint16_t bagIndex = 0;
};

// One "pbag" or "ibag" record.
struct BagRecord
{
    std::uint16_t generatorIndex = 0;
    std::uint16_t modulatorIndex = 0;
};

// One "pgen" or "igen" record; a range amount keeps its low byte as the lower bound.
struct GeneratorRecord
{
    std::uint16_t oper = 0;
    std::uint16_t amount = 0;
};

// One "inst" record.
struct InstrumentHeader
{
    std::array<char, 20> name{};
    std::uint16_t bagIndex = 0;
};

// One SoundFont 1 "shdr" record: positions in sample points (16-bit words)
// from the start of the "smpl" data.
struct SampleHeader
{
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;
};

// A patch's source number for a SoundFont preset: the program in the low
// half, the bank of a version 2/3 preset (other than 0) in the high half.
constexpr std::uint32_t MakeSourcePreset(int program, int bank)
{
    return (static_cast<std::uint32_t>(bank) << 16) | static_cast<std::uint32_t>(program & 0xFFFF);
}
constexpr int SourcePresetProgram(std::uint32_t source)
{
    return static_cast<int>(source & 0xFFFF);
}
constexpr int SourcePresetBank(std::uint32_t source)
{
    return static_cast<int>(source >> 16);
}

// One "shdr" record of any version, decoded. Version 1 records have only the
// four positions; the rest stays zero. For a compressed (version 3) sample
// start and end are byte offsets of its stream in the "smpl" data and the
// loop points count decoded points from the sample's start.
struct SampleRecord
{
    std::array<char, 20> name{};
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t loopStart = 0;
    std::uint32_t loopEnd = 0;
    std::uint32_t sampleRate = 0;
    std::uint8_t originalPitch = 0;
    std::int8_t pitchCorrection = 0;
    std::uint16_t sampleLink = 0;
    std::uint16_t sampleType = 0;
};

class CSoundFontReader
{
public:
    // Why the last Open returned false.
    enum class OpenProblem
    {
        None,
        CannotOpen,     // the file could not be opened for reading (missing, a folder, no access)
        NoSfbkForm,     // no RIFF chunk of form type "sfbk"
        NoList,         // no "pdta" list in the form (GetProblemChunk() is its type)
        MissingChunk,   // GetProblemChunk() is not in the "pdta" list
        TruncatedChunk, // GetProblemChunk() claims more data than its list and the file hold
        OutOfMemory,    // GetProblemChunk() could not be held in memory
        BadVersion,     // "ifil" names a version other than 1, 2 or 3 (GetVersion() has it)
    };

    using IndexList = std::vector<std::uint16_t>;

    CSoundFontReader() = default;
    virtual ~CSoundFontReader();
    CSoundFontReader(const CSoundFontReader&) = delete;
    CSoundFontReader& operator=(const CSoundFontReader&) = delete;

    // Opens a bank and reads its preset data, INFO texts and sample data size.
    // True when all seven "pdta" chunks were read (IsValid). Every Open starts
    // from nothing: a failed one leaves no chunk data, a zero sample data size
    // and empty texts (or the texts of the file, when it opened but lacks
    // preset data). After a successful Open the file stays open until Close,
    // the next Open or destruction.
    bool Open(const std::string& path);
    // The same over any byte source (memory in tests and fuzzers); the reader
    // takes the source over.
    bool Open(std::unique_ptr<IByteSource> source);
    // Closes the file; what was read stays available.
    void Close();
    bool IsOpen() const { return source != nullptr; }

    bool IsValid() const;
    // The "ifil" version, major and minor; {1, 0} for a file without one.
    std::pair<int, int> GetVersion() const { return {versionMajor, versionMinor}; }
    int GetMajorVersion() const { return versionMajor; }
    // The version as "2.01".
    std::string GetVersionText() const;
    // The decoder of compressed samples this reader uses; the process's
    // default (GetDefaultSampleDecoder) unless set. Null: compressed samples
    // count no bytes.
    void SetSampleDecoder(const ICompressedSampleDecoder* decoder) { sampleDecoder = decoder; }
    OpenProblem GetOpenProblem() const { return problem; }
    FourCC GetProblemChunk() const { return problemChunk; }
    // The open problem as one short phrase for a message ("not a SoundFont
    // bank (no "pbag" chunk in the "pdta" list)").
    std::string GetOpenProblemText() const;

    // (phdr size / 38) - 1: the last record only closes the list. -1 for a
    // chunk shorter than one record.
    int GetPresetCount() const;
    // The record at index, 0 to GetPresetCount() - 1; a zeroed record otherwise.
    PresetHeader GetPresetHeader(int index) const;
    // The first preset in file order with this number, whatever its bank; -1 if none.
    int FindPreset(int presetNumber) const;
    // The preset a patch's source number names (see MakeSourcePreset):
    // version 1, FindPreset; versions 2 and 3, the record of that program and
    // bank, and for bank 0 without one, FindPreset. -1 if none.
    int FindSourcePreset(std::uint32_t source) const;
    // The source number of preset record index: its program, with its bank in
    // the high half for a version 2/3 bank other than 0 (a version 1 patch's
    // number stays the program alone, as documents have always stored it).
    std::uint32_t GetSourcePreset(int index) const;
    // Which preset takes slot `program` when the whole bank is loaded into a
    // user bank: version 1, the first record of that number (FindPreset);
    // versions 2 and 3, the one of the lowest bank (bank 0, then variation
    // banks, a drum kit of bank 128 only where no melodic preset has the
    // number). -1 if none.
    int FindSlotPreset(int program) const;

    // Distinct instrument indices of a preset in order of first appearance.
    int GetPresetInstruments(int preset, IndexList& out) const;
    // Distinct sample indices of an instrument in order of first appearance.
    int GetInstrumentSamples(int instrument, IndexList& out) const;

    // instrumentPos -1: the samples of all the preset's instruments, a sample
    // shared by two instruments counting twice; else the distinct samples of
    // the instrument at that position of the preset's instrument list (0 for
    // a position the list does not have).
    int GetSampleCount(int preset, int instrumentPos) const;
    // Bytes of sample data the instrument at instrumentPos of the preset uses:
    // twice the sum of end - start over its samples whose end is below
    // SampleDataSize(). The end counts sample points and the size bytes; they
    // are compared as they stand (the sizes shown have always been counted
    // so), so a sample ending past the data still adds its bytes as long as
    // its end is below the byte size.
    std::int64_t GetInstrumentSampleBytes(int preset, int instrumentPos) const;
    // The sum of GetInstrumentSampleBytes over the preset's instruments.
    std::int64_t GetPresetSampleBytes(int preset) const;

    // Size in bytes of the "smpl" data really present in the file (0 without one).
    std::uint32_t SampleDataSize() const { return sampleDataSize; }
    // Where that data starts in the file.
    std::uint64_t SampleDataOffset() const { return sampleDataOffset; }

    // Records of "inst" and "shdr" (the terminal records excluded for version
    // 2/3, where they are named "EOI" and "EOS"; version 1 has no terminal
    // sample record). Out of range: zeroed records.
    int GetInstrumentCount() const;
    std::string GetInstrumentName(int instrument) const;
    int GetSampleRecordCount() const;
    SampleRecord GetSampleRecord(int sample) const;
    // Version 2/3: bytes the card holds for one sample (twice its points);
    // 0 for a ROM sample, a sample outside the data, or a compressed one that
    // does not decode. A compressed sample is decoded (its stream read) once
    // and remembered.
    std::int64_t GetSampleCardBytes(int sample) const;
    // Version 3: whether every compressed sample the preset uses decodes
    // (true for any other version, and for a preset without such samples):
    // its headers and length, or with whole, every page of it (what a load
    // onto the card asks: a stream damaged past its headers is found only so).
    bool PresetSamplesDecode(int preset, bool whole = false) const;
    // Bytes the card holds for a whole bank file: version 1 the size of the
    // "smpl" data; version 2/3 each sample some preset uses, counted once.
    std::int64_t GetBankSampleBytes() const;
    // PresetSamplesDecode for every preset, each sample tried once.
    bool BankSamplesDecode(bool whole = false) const;

    // The name the patch list shows for a preset: "Drum Patch <number + 1>"
    // for the percussion bank, else the 20-byte name up to its first zero
    // byte without trailing white space.
    static std::string GetDisplayName(const PresetHeader& header);

    // Raw access for readers that need more than the listing (the SoundFont 2
    // converter). The bytes of one of the seven preset-data chunks ("phdr" to
    // "shdr") as Open read them, whole and unchecked: a size need not be a
    // multiple of the record size. Empty for any other id or after a failed
    // Open; valid until the next Open or destruction.
    std::span<const std::uint8_t> GetChunkData(FourCC chunkId) const;
    // The first chunk of the id in the first list of the type, in the open
    // file; nullopt when there is none or the file is closed. Its Available()
    // bytes are there to read through GetSource().
    std::optional<CRiffChunk> FindListChunk(FourCC listType, FourCC chunkId);
    // That chunk's data, when it is whole; nullopt when missing, cut short
    // or too large for memory.
    std::optional<std::vector<std::uint8_t>> ReadListChunk(FourCC listType, FourCC chunkId);
    // The open file; null once closed. The position is left wherever the
    // last read put it.
    IByteSource* GetSource() const { return source.get(); }

    // The INFO texts: each chunk's bytes up to its first zero byte; empty when missing.
    std::string name;         // INAM
    std::string engineer;     // IENG
    std::string creationDate; // ICRD
    std::string copyright;    // ICOP
    std::string comment;      // ICMT
    std::string product;      // IPRD
    // Texts of versions 2 and 3 (empty for a version 1 bank without them).
    std::string soundEngine; // isng
    std::string romName;     // irom
    std::string romVersion;  // iver, as "1.00"; empty without one
    std::string software;    // ISFT

private:
    using Buffer = std::optional<std::vector<std::uint8_t>>;
    struct Range
    {
        std::size_t first = 0;
        std::size_t end = 0; // one past the last; never below first
    };

    std::optional<CRiffChunk> FindChunk(FourCC listType, FourCC chunkId);
    std::optional<CRiffChunk> FindUnpaddedList(FourCC listType);
    Buffer ReadChunk(FourCC listType, FourCC chunkId);
    void NoteProblem(OpenProblem what, FourCC chunk);
    void FreeChunks();

    // Generators of the zones from record's bag index up to the next record's.
    Range ZoneGenerators(const Buffer& headers, std::size_t headerSize, std::size_t bagOffset,
                         std::size_t index, const Buffer& bags, const Buffer& generators) const;
    int Collect(const Range& generators, const Buffer& generatorChunk, std::uint16_t oper,
                std::size_t recordCount, IndexList& out) const;
    std::int64_t SampleBytes(const IndexList& samples) const;
    std::size_t SampleHeaderSize() const
    {
        return versionMajor >= 2 ? soundfont::kSampleHeader2Size : soundfont::kSampleHeaderSize;
    }
    // Points a compressed sample decodes to; nullopt when it does not decode.
    std::optional<std::uint64_t> DecodedPoints(int sample) const;
    // The compressed sample's stream, read from the open file.
    std::optional<std::vector<std::uint8_t>> SampleStream(int sample) const;
    bool SamplesDecode(const IndexList& samples, bool whole) const;

    // The form and the lists as the searches of the current Open found them
    // (or not): searching again from the start of the unchanged file would
    // find the same, so only the chunk searches inside a list are repeated.
    struct Lookup
    {
        bool searched = false;
        std::optional<CRiffChunk> found;
    };
    Lookup form;
    std::vector<std::pair<FourCC, Lookup>> lists;

    // The file, with the header lists Open found held in memory: a load
    // looks up a dozen chunks in them, each from the list's start.
    std::unique_ptr<CWindowedSource> source;
    std::uint32_t sampleDataSize = 0;
    std::uint64_t sampleDataOffset = 0;
    int versionMajor = 1;
    int versionMinor = 0;
    const ICompressedSampleDecoder* sampleDecoder = GetDefaultSampleDecoder();
    // Decoded points of compressed samples, by sample index, once asked.
    mutable std::vector<std::optional<std::optional<std::uint64_t>>> decoded;
    mutable std::vector<bool> decodedWhole; // streams decoded whole once, by sample index
    Buffer phdr, pbag, pgen, inst, ibag, igen, shdr;
    OpenProblem problem = OpenProblem::None;
    FourCC problemChunk = 0;
    bool opening = false; // problems are noted only while Open reads the preset data
};
