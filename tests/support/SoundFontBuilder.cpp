#include "support/SoundFontBuilder.h"

#include "platform/ByteStream.h"

#include <algorithm>
#include <functional>
#include <stdexcept>

struct SfTreeNode
{
    std::string id;  // "RIFF", "LIST" or the chunk id
    std::string key; // the type of a container, the id of a chunk
    bool container = false;
    Bytes data;
    std::uint64_t patternBytes = 0; // sample data produced while writing
    std::vector<SfTreeNode> children;
    std::optional<std::uint32_t> claimed;
};

namespace
{
using Emit = std::function<void(const std::uint8_t*, std::size_t)>;
// Produces sample data of the given size some other way than the pattern (a hole in a file).
using Skip = std::function<void(std::uint64_t)>;

void Check(bool condition, const char* what)
{
    if (!condition)
        throw std::invalid_argument(what);
}

std::uint64_t DataSize(const SfTreeNode& node);

std::uint64_t TotalSize(const SfTreeNode& node)
{
    const std::uint64_t size = DataSize(node);
    return 8 + size + (size & 1u);
}

std::uint64_t DataSize(const SfTreeNode& node)
{
    if (!node.container)
        return node.data.size() + node.patternBytes;
    std::uint64_t size = 4;
    for (const auto& child : node.children)
        size += TotalSize(child);
    return size;
}

void EmitPattern(std::uint64_t bytes, const Emit& emit)
{
    // A ramp of 16-bit words, made in blocks so that large banks need no large buffer.
    Bytes block(64 * 1024);
    std::uint64_t done = 0;
    while (done < bytes)
    {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), bytes - done));
        for (std::size_t i = 0; i < n; ++i)
        {
            const std::uint64_t at = done + i;
            block[i] = static_cast<std::uint8_t>((at & 1u) ? (at >> 9) : (at >> 1));
        }
        emit(block.data(), n);
        done += n;
    }
}

void WriteNode(const SfTreeNode& node, const Emit& emit, const Skip& skip = {})
{
    const std::uint64_t size = DataSize(node);
    std::uint8_t header[8];
    std::copy(node.id.begin(), node.id.end(), header);
    WriteLE32(header + 4, node.claimed.value_or(static_cast<std::uint32_t>(size)));
    emit(header, 8);
    if (node.container)
    {
        emit(reinterpret_cast<const std::uint8_t*>(node.key.data()), 4);
        for (const auto& child : node.children)
            WriteNode(child, emit, skip);
    }
    else
    {
        emit(node.data.data(), node.data.size());
        if (skip)
            skip(node.patternBytes);
        else
            EmitPattern(node.patternBytes, emit);
    }
    if (size & 1u)
    {
        const std::uint8_t pad = 0;
        emit(&pad, 1);
    }
}

SfTreeNode* FindNode(SfTreeNode& node, std::string_view key)
{
    if (node.key == key)
        return &node;
    for (auto& child : node.children)
        if (auto* found = FindNode(child, key))
            return found;
    return nullptr;
}

void DropNodes(SfTreeNode& node, std::string_view key)
{
    std::erase_if(node.children, [&](const SfTreeNode& child) { return child.key == key; });
    for (auto& child : node.children)
        DropNodes(child, key);
}

SfTreeNode Chunk(std::string_view id, Bytes data)
{
    Check(id.size() == 4, "a chunk id has four characters");
    SfTreeNode node;
    node.id = node.key = std::string(id);
    node.data = std::move(data);
    return node;
}

SfTreeNode List(std::string_view type, std::vector<SfTreeNode> children)
{
    SfTreeNode node;
    node.id = "LIST";
    node.key = std::string(type);
    node.container = true;
    node.children = std::move(children);
    return node;
}
} // namespace

SoundFontBuilder& SoundFontBuilder::Info(std::string_view id, std::string_view text)
{
    Check(id.size() == 4, "a chunk id has four characters");
    infoTexts.emplace_back(id, text);
    return *this;
}

SoundFontBuilder& SoundFontBuilder::SampleData(std::uint32_t bytes)
{
    sampleBytes = bytes;
    return *this;
}

int SoundFontBuilder::AddSample(std::uint32_t start, std::uint32_t end)
{
    samples.push_back({start, end, start, end});
    return static_cast<int>(samples.size()) - 1;
}

int SoundFontBuilder::AddInstrument(std::string_view name, const std::vector<int>& sampleIndices)
{
    std::vector<SfZone> zones;
    for (const int sample : sampleIndices)
        zones.push_back({{kSfGenKeyRange, 0x7F00}, {kSfGenSampleId, static_cast<std::uint16_t>(sample)}});
    return AddInstrumentZones(name, std::move(zones));
}

int SoundFontBuilder::AddInstrumentZones(std::string_view name, std::vector<SfZone> zones)
{
    instruments.push_back({std::string(name), 0, 0, std::move(zones)});
    return static_cast<int>(instruments.size()) - 1;
}

int SoundFontBuilder::AddPreset(std::string_view name, std::uint16_t number, std::uint16_t bank,
                                const std::vector<int>& instrumentIndices)
{
    std::vector<SfZone> zones;
    for (const int instrument : instrumentIndices)
        zones.push_back(
            {{kSfGenKeyRange, 0x7F00}, {kSfGenInstrument, static_cast<std::uint16_t>(instrument)}});
    return AddPresetZones(name, number, bank, std::move(zones));
}

int SoundFontBuilder::AddPresetZones(std::string_view name, std::uint16_t number, std::uint16_t bank,
                                     std::vector<SfZone> zones)
{
    presets.push_back({std::string(name), number, bank, std::move(zones)});
    return static_cast<int>(presets.size()) - 1;
}

SoundFontBuilder& SoundFontBuilder::Drop(std::string_view key)
{
    dropped.emplace_back(key);
    return *this;
}

SoundFontBuilder& SoundFontBuilder::ClaimSize(std::string_view key, std::uint32_t size)
{
    claimed[std::string(key)] = size;
    return *this;
}

SoundFontBuilder& SoundFontBuilder::Replace(std::string_view key, Bytes data)
{
    replaced[std::string(key)] = std::move(data);
    return *this;
}

SoundFontBuilder& SoundFontBuilder::Poke16(std::string_view key, std::size_t offset, std::uint16_t value)
{
    Bytes bytes;
    PutLE16(bytes, value);
    pokes.push_back({std::string(key), {offset, bytes}});
    return *this;
}

SoundFontBuilder& SoundFontBuilder::Poke32(std::string_view key, std::size_t offset, std::uint32_t value)
{
    Bytes bytes;
    PutLE32(bytes, value);
    pokes.push_back({std::string(key), {offset, bytes}});
    return *this;
}

SoundFontBuilder& SoundFontBuilder::Insert(std::string_view listKey, std::string_view id, Bytes data,
                                           bool atFront)
{
    extras.push_back({std::string(listKey), std::string(id), std::move(data), atFront});
    return *this;
}

SoundFontBuilder& SoundFontBuilder::FormType(std::string_view type)
{
    Check(type.size() == 4, "a form type has four characters");
    formType = type;
    return *this;
}

SoundFontBuilder& SoundFontBuilder::Version(std::uint16_t major, std::uint16_t minor)
{
    versionMajor = major;
    versionMinor = minor;
    return *this;
}

SoundFontBuilder& SoundFontBuilder::SampleType(int sample, std::uint16_t type)
{
    sampleTypes[sample] = type;
    return *this;
}

// The records of the preset data, each list closed by its terminal record.
Bytes SoundFontBuilder::Records(std::string_view id) const
{
    const bool presetLevel = id[0] == 'p';
    const auto& items = presetLevel ? presets : instruments;
    Bytes out;
    if (id == "phdr" || id == "inst")
    {
        std::size_t bag = 0;
        for (const auto& item : items)
        {
            PutFixed(out, item.name, 20);
            if (presetLevel)
            {
                PutLE16(out, item.number);
                PutLE16(out, item.bank);
            }
            PutLE16(out, static_cast<std::uint16_t>(bag));
            if (presetLevel)
                PutFixed(out, "", 12); // library, genre, morphology
            bag += item.zones.size();
        }
        PutFixed(out, presetLevel ? "EOP" : "EOI", 20);
        if (presetLevel)
            PutFixed(out, "", 4);
        PutLE16(out, static_cast<std::uint16_t>(bag));
        if (presetLevel)
            PutFixed(out, "", 12);
    }
    else if (id == "pbag" || id == "ibag")
    {
        std::size_t generator = 0;
        for (const auto& item : items)
            for (const auto& zone : item.zones)
            {
                PutLE16(out, static_cast<std::uint16_t>(generator));
                PutLE16(out, 0);
                generator += zone.size();
            }
        PutLE16(out, static_cast<std::uint16_t>(generator));
        PutLE16(out, 0);
    }
    else if (id == "pgen" || id == "igen")
    {
        for (const auto& item : items)
            for (const auto& zone : item.zones)
                for (const auto& generator : zone)
                {
                    PutLE16(out, generator.oper);
                    PutLE16(out, generator.amount);
                }
        PutFixed(out, "", 4);
    }
    else if (id == "pmod" || id == "imod")
    {
        PutFixed(out, "", 10); // the terminal modulator record only
    }
    else if (id == "shdr" && versionMajor >= 2)
    {
        for (std::size_t i = 0; i < samples.size(); ++i)
        {
            PutFixed(out, "Sample " + std::to_string(i), 20);
            for (const std::uint32_t value : samples[i])
                PutLE32(out, value);
            PutLE32(out, 44100);
            out.push_back(60); // original key
            out.push_back(0);  // correction
            PutLE16(out, 0);
            const auto type = sampleTypes.find(static_cast<int>(i));
            PutLE16(out, type == sampleTypes.end() ? std::uint16_t{1} : type->second);
        }
        PutFixed(out, "EOS", 46);
    }
    else if (id == "shdr")
    {
        for (const auto& sample : samples)
            for (const std::uint32_t value : sample)
                PutLE32(out, value);
    }
    else if (id == "snam")
    {
        for (std::size_t i = 0; i < samples.size(); ++i)
            PutFixed(out, "Sample " + std::to_string(i), 20);
    }
    return out;
}

SfTreeNode SoundFontBuilder::Tree() const
{
    using Node = SfTreeNode;
    std::vector<Node> info;
    info.push_back(Chunk(
        "ifil", {static_cast<std::uint8_t>(versionMajor), static_cast<std::uint8_t>(versionMajor >> 8),
                 static_cast<std::uint8_t>(versionMinor), static_cast<std::uint8_t>(versionMinor >> 8)}));
    for (const auto& [id, text] : infoTexts)
        info.push_back(Chunk(id, TextZ(text)));

    Node smpl = Chunk("smpl", {});
    smpl.patternBytes = sampleBytes;
    std::vector<Node> sdta;
    if (versionMajor < 2)
        sdta.push_back(Chunk("snam", Records("snam")));
    sdta.push_back(std::move(smpl));

    std::vector<Node> pdta;
    for (const char* id : {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"})
        pdta.push_back(Chunk(id, Records(id)));

    Node form;
    form.id = "RIFF";
    form.key = "sfbk";
    form.container = true;
    form.children = {List("INFO", std::move(info)), List("sdta", std::move(sdta)),
                     List("pdta", std::move(pdta))};

    for (const auto& key : dropped)
        DropNodes(form, key);
    for (const auto& extra : extras)
    {
        Node* list = FindNode(form, extra.listKey);
        Check(list && list->container, "Insert names no list");
        auto at = extra.atFront ? list->children.begin() : list->children.end();
        list->children.insert(at, Chunk(extra.id, extra.data));
    }
    for (const auto& [key, data] : replaced)
    {
        Node* node = FindNode(form, key);
        Check(node && !node->container, "Replace names no chunk");
        node->data = data;
        node->patternBytes = 0;
    }
    for (const auto& [key, poke] : pokes)
    {
        Node* node = FindNode(form, key);
        Check(node && !node->container, "Poke names no chunk");
        const auto& [offset, bytes] = poke;
        Check(offset + bytes.size() <= node->data.size(), "Poke lies outside the chunk");
        std::copy(bytes.begin(), bytes.end(), node->data.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    for (const auto& [key, size] : claimed)
    {
        Node* node = FindNode(form, key);
        Check(node != nullptr, "ClaimSize names nothing");
        node->claimed = size;
    }
    return form;
}

Bytes SoundFontBuilder::Build() const
{
    SfTreeNode form = Tree();
    Bytes out;
    if (std::find(dropped.begin(), dropped.end(), "sfbk") != dropped.end())
        return out;
    form.key = formType;
    out.reserve(static_cast<std::size_t>(TotalSize(form)));
    WriteNode(form,
              [&](const std::uint8_t* data, std::size_t size) { out.insert(out.end(), data, data + size); });
    return out;
}

void SoundFontBuilder::WriteFile(const std::string& path, SampleFill fill) const
{
    SfTreeNode form = Tree();
    form.key = formType;
    CFileSink file;
    if (!file.Create(path))
        throw std::runtime_error("cannot create " + path);
    const Emit emit = [&](const std::uint8_t* data, std::size_t size) { file.Write(data, size); };
    Skip skip;
    if (fill == SampleFill::Hole)
        skip = [&](std::uint64_t bytes)
        {
            if (bytes == 0)
                return;
            // Seeking past the end leaves a hole; the last byte is written so
            // that the file reaches its full size even when nothing follows.
            const std::uint8_t zero = 0;
            file.Seek(file.Tell() + bytes - 1);
            file.Write(&zero, 1);
        };
    if (std::find(dropped.begin(), dropped.end(), "sfbk") == dropped.end())
        WriteNode(form, emit, skip);
    if (!file.Close())
        throw std::runtime_error("cannot write " + path);
}

SoundFontBuilder MakeLargeBank(int presetCount, std::uint32_t sampleBytes)
{
    constexpr int kInstrumentsPerPreset = 2;
    constexpr int kSamplesPerInstrument = 4;
    const int sampleCount = presetCount * kInstrumentsPerPreset * kSamplesPerInstrument;
    // Sample points are 2 bytes; each sample keeps a little gap to the next, as real banks do.
    const std::uint32_t pointsPerSample =
        sampleBytes / 2 / static_cast<std::uint32_t>(std::max(sampleCount, 1));

    const std::uint32_t length = pointsPerSample > 46 ? pointsPerSample - 46 : pointsPerSample;

    SoundFontBuilder bank;
    bank.Info("INAM", "Benchmark Bank").Info("IENG", "Tamberly").SampleData(sampleBytes);
    std::uint32_t start = 0;
    for (int p = 0; p < presetCount; ++p)
    {
        std::vector<int> presetInstruments;
        for (int i = 0; i < kInstrumentsPerPreset; ++i)
        {
            std::vector<int> instrumentSamples;
            for (int s = 0; s < kSamplesPerInstrument; ++s)
            {
                instrumentSamples.push_back(bank.AddSample(start, start + length));
                start += pointsPerSample;
            }
            presetInstruments.push_back(bank.AddInstrument(
                "Instrument " + std::to_string(p * kInstrumentsPerPreset + i), instrumentSamples));
        }
        bank.AddPreset("Preset " + std::to_string(p), static_cast<std::uint16_t>(p % 128),
                       static_cast<std::uint16_t>(p / 128), presetInstruments);
    }
    return bank;
}
