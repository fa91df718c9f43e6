#include "support/StrictSf2Reader.h"

#include "platform/ByteStream.h"

#include <algorithm>
#include <stdexcept>

void Require(bool condition, const std::string& what)
{
    if (!condition)
        throw std::runtime_error(what);
}

const RiffNode& RiffNode::Child(const std::string& key) const
{
    for (const RiffNode& child : children)
        if (child.id == key || (child.id == "LIST" && child.type == key))
            return child;
    throw std::runtime_error("no chunk " + key);
}

std::vector<std::string> RiffNode::Keys() const
{
    std::vector<std::string> keys;
    for (const RiffNode& child : children)
        keys.push_back(child.id == "LIST" ? child.type : child.id);
    return keys;
}

std::int16_t Sf2::Point(std::size_t index) const
{
    return static_cast<std::int16_t>(ReadLE16(smpl.data() + 2 * index));
}

std::string Sf2::Info(const std::string& id) const
{
    const Bytes& data = form.Child("INFO").Child(id).data;
    Require(!data.empty() && data.back() == 0, id + " is not zero-terminated");
    return std::string(data.begin(), std::find(data.begin(), data.end(), 0));
}

std::vector<Zone> PlayedZones(const Item& instrument)
{
    std::vector<Zone> zones = instrument.zones;
    if (zones.empty() || zones.front().Gen(53))
        return zones;
    const Zone global = zones.front();
    zones.erase(zones.begin());
    for (Zone& zone : zones)
        for (const auto& generator : global.generators)
            if (!zone.Gen(generator.first))
                zone.generators.insert(zone.generators.end() - 1, generator); // before the sample
    return zones;
}

namespace
{
// Chunks must fill their list to the byte; evenSizes: every size is even, as version 2 asks.
void ParseChildren(const Bytes& file, std::size_t at, std::size_t end, RiffNode& parent, bool evenSizes)
{
    while (at < end)
    {
        Require(end - at >= 8, "a chunk header is cut");
        RiffNode node;
        node.id.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::uint32_t size = ReadLE32(file.data() + at + 4);
        Require(size <= end - at - 8, "chunk " + node.id + " claims more than its list holds");
        Require(!evenSizes || size % 2 == 0, "chunk " + node.id + " has an odd size");
        const std::size_t data = at + 8;
        if (node.id == "LIST")
        {
            Require(size >= 4, "a list without a type");
            node.type.assign(file.begin() + static_cast<std::ptrdiff_t>(data),
                             file.begin() + static_cast<std::ptrdiff_t>(data + 4));
            ParseChildren(file, data + 4, data + size, node, evenSizes);
        }
        else
            node.data.assign(file.begin() + static_cast<std::ptrdiff_t>(data),
                             file.begin() + static_cast<std::ptrdiff_t>(data + size));
        parent.children.push_back(std::move(node));
        at = data + size + (size & 1u);
    }
    Require(at == end, "the last chunk overruns its list");
}

std::string Name(const Bytes& records, std::size_t at)
{
    std::string name(records.begin() + static_cast<std::ptrdiff_t>(at),
                     records.begin() + static_cast<std::ptrdiff_t>(at + 20));
    Require(name.find('\0') != std::string::npos, "a name without a closing zero");
    return name.substr(0, name.find('\0'));
}

// Items of "phdr"/"inst" with their bags and generators; `link` is the
// generator that ends every zone but a first (global) one.
std::vector<Item> ReadItems(const Bytes& headers, std::size_t size, std::size_t bagAt, const Bytes& bags,
                            const Bytes& mods, const Bytes& gens, std::uint16_t link, std::size_t linkCount,
                            const std::string& terminal)
{
    Require(headers.size() % size == 0 && !headers.empty(), terminal + ": record size");
    Require(bags.size() % 4 == 0 && !bags.empty() && gens.size() % 4 == 0 && !gens.empty(),
            terminal + ": bags");
    Require(mods.size() % 10 == 0 && !mods.empty(), terminal + ": modulators");
    const std::size_t count = headers.size() / size - 1;
    const std::size_t bagCount = bags.size() / 4 - 1, genCount = gens.size() / 4 - 1;
    Require(Name(headers, count * size) == terminal, "no " + terminal + " record");
    Require(ReadLE16(headers.data() + count * size + bagAt) == bagCount,
            terminal + ": bag index of the last record");
    Require(ReadLE16(bags.data() + bagCount * 4) == genCount, terminal + ": generator index of the last bag");
    Require(ReadLE16(bags.data() + bagCount * 4 + 2) == mods.size() / 10 - 1, terminal + ": modulator index");
    std::vector<Item> items(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::uint8_t* record = headers.data() + i * size;
        items[i].name = Name(headers, i * size);
        if (size == 38)
        {
            items[i].program = ReadLE16(record + 20);
            items[i].bank = ReadLE16(record + 22);
        }
        const std::size_t firstBag = ReadLE16(record + bagAt), endBag = ReadLE16(record + size + bagAt);
        Require(firstBag <= endBag && endBag <= bagCount, terminal + ": bag indices go back");
        for (std::size_t b = firstBag; b < endBag; ++b)
        {
            const std::size_t first = ReadLE16(bags.data() + 4 * b), end = ReadLE16(bags.data() + 4 * b + 4);
            Require(first <= end && end <= genCount, terminal + ": generator indices go back");
            Zone zone;
            for (std::size_t g = first; g < end; ++g)
                zone.generators.emplace_back(ReadLE16(gens.data() + 4 * g),
                                             ReadLE16(gens.data() + 4 * g + 2));
            for (std::size_t k = 0; k < zone.generators.size(); ++k)
            {
                const std::uint16_t op = zone.generators[k].first;
                Require(op < 61 && op != 14 && op != 18 && op != 19 && op != 20 && op != 42 && op != 49 &&
                            op != 55 && op != 59,
                        terminal + ": a generator version 2 does not have");
                Require(op != 43 || k == 0, terminal + ": key range not first");
                Require(op != 44 || k == 0 || (k == 1 && zone.generators[0].first == 43),
                        terminal + ": velocity range");
                Require(op != link || k + 1 == zone.generators.size(), terminal + ": link not last");
                Require(op != link || zone.generators[k].second < linkCount,
                        terminal + ": link out of range");
            }
            Require(b == firstBag || zone.Gen(link),
                    terminal + ": a zone without link that is not the first");
            items[i].zones.push_back(std::move(zone));
        }
    }
    return items;
}

} // namespace

RiffNode ParseRiff(const Bytes& file, bool evenSizes)
{
    Require(file.size() >= 12 && std::string(file.begin(), file.begin() + 4) == "RIFF", "no RIFF header");
    Require(ReadLE32(file.data() + 4) == file.size() - 8, "the RIFF size is not the file size");
    RiffNode form;
    form.id = "RIFF";
    form.type.assign(file.begin() + 8, file.begin() + 12);
    ParseChildren(file, 12, file.size(), form, evenSizes);
    return form;
}

Sf2 ReadSf2(const Bytes& file, Sf2Rules rules)
{
    Sf2 sf2;
    sf2.form = ParseRiff(file, true);
    Require(sf2.form.type == "sfbk", "form type");
    Require(sf2.form.Keys() == std::vector<std::string>({"INFO", "sdta", "pdta"}), "top-level lists");
    const RiffNode& info = sf2.form.Child("INFO");
    Require(!info.children.empty() && info.children[0].id == "ifil", "ifil first");
    Require(info.children[0].data == Bytes({2, 0, 1, 0}), "ifil 2.01");
    Require(sf2.Info("isng") == "EMU8000" && !sf2.Info("INAM").empty(), "isng and INAM");
    Require(sf2.form.Child("sdta").Keys() == std::vector<std::string>({"smpl"}), "sdta holds smpl alone");
    sf2.smpl = sf2.form.Child("sdta").Child("smpl").data;

    const RiffNode& pdta = sf2.form.Child("pdta");
    Require(pdta.Keys() == std::vector<std::string>(
                               {"phdr", "pbag", "pmod", "pgen", "inst", "ibag", "imod", "igen", "shdr"}),
            "pdta chunks");
    auto data = [&](const char* id) -> const Bytes& { return pdta.Child(id).data; };
    const Bytes& shdr = data("shdr");
    Require(shdr.size() % 46 == 0 && !shdr.empty() && Name(shdr, shdr.size() - 46) == "EOS", "shdr records");
    const std::size_t sampleCount = shdr.size() / 46 - 1;
    sf2.instruments =
        ReadItems(data("inst"), 22, 20, data("ibag"), data("imod"), data("igen"), 53, sampleCount, "EOI");
    sf2.presets = ReadItems(data("phdr"), 38, 24, data("pbag"), data("pmod"), data("pgen"), 41,
                            sf2.instruments.size(), "EOP");

    const std::size_t points = sf2.smpl.size() / 2;
    for (std::size_t i = 0; i < sampleCount; ++i)
    {
        const std::uint8_t* r = shdr.data() + 46 * i;
        Sample s{Name(shdr, 46 * i),
                 ReadLE32(r + 20),
                 ReadLE32(r + 24),
                 ReadLE32(r + 28),
                 ReadLE32(r + 32),
                 ReadLE32(r + 36),
                 r[40],
                 static_cast<std::int8_t>(r[41])};
        Require(s.start < s.end && s.end + 46 <= points, "sample " + s.name + " lies outside the data");
        Require(s.start <= s.loopStart && s.loopStart < s.loopEnd && s.loopEnd <= s.end, "loop of " + s.name);
        s.link = ReadLE16(r + 42);
        s.type = ReadLE16(r + 44);
        if (rules.cardSamplesOnly)
            Require(s.rate == 44100 && s.link == 0 && s.type == 1, "header of " + s.name);
        Require(s.rate >= 400 && s.key <= 127 && (s.type == 1 || s.type == 2 || s.type == 4 || s.type == 8),
                "header of " + s.name);
        for (std::uint32_t p = s.end; p < s.end + 46; ++p)
            Require(sf2.Point(p) == 0, "no silence after " + s.name);
        sf2.samples.push_back(s);
    }
    return sf2;
}
