#pragma once
// Reads what the program shows of a SoundFont 1 bank (.sbk, RIFF form "sfbk"):
// the presets with their numbers, banks and names, how many samples each one
// uses and how many bytes of sample data they take, and six INFO texts.
// Sample data is never read; only the size of the "smpl" chunk is noted.
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

private:
    using Buffer = std::optional<std::vector<std::uint8_t>>;
    struct Range
    {
        std::size_t first = 0;
        std::size_t end = 0; // one past the last; never below first
    };

    std::optional<CRiffChunk> FindChunk(FourCC listType, FourCC chunkId);
    Buffer ReadChunk(FourCC listType, FourCC chunkId);
    void NoteProblem(OpenProblem what, FourCC chunk);
    void FreeChunks();

    // Generators of the zones from record's bag index up to the next record's.
    Range ZoneGenerators(const Buffer& headers, std::size_t headerSize, std::size_t bagOffset,
                         std::size_t index, const Buffer& bags, const Buffer& generators) const;
    int Collect(const Range& generators, const Buffer& generatorChunk, std::uint16_t oper,
                std::size_t recordCount, IndexList& out) const;
    std::int64_t SampleBytes(const IndexList& samples) const;

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

    std::unique_ptr<IByteSource> source;
    std::uint32_t sampleDataSize = 0;
    Buffer phdr, pbag, pgen, inst, ibag, igen, shdr;
    OpenProblem problem = OpenProblem::None;
    FourCC problemChunk = 0;
    bool opening = false; // problems are noted only while Open reads the preset data
};
