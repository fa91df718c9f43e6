#include "support/ArchiveBuilder.h"

ArchiveBuilder& ArchiveBuilder::Byte(std::uint8_t value)
{
    bytes.push_back(value);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Word(std::uint16_t value)
{
    PutLE16(bytes, value);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::DWord(std::uint32_t value)
{
    PutLE32(bytes, value);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Raw(std::string_view text)
{
    PutText(bytes, text);
    return *this;
}

static void PutLength(Bytes& out, std::size_t length)
{
    if (length < 0xFF)
    {
        out.push_back(static_cast<std::uint8_t>(length));
        return;
    }
    out.push_back(0xFF);
    if (length < 0xFFFE)
    {
        PutLE16(out, static_cast<std::uint16_t>(length));
        return;
    }
    PutLE16(out, 0xFFFF);
    PutLE32(out, static_cast<std::uint32_t>(length));
}

ArchiveBuilder& ArchiveBuilder::String(std::string_view text)
{
    PutLength(bytes, text.size());
    PutText(bytes, text);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::WideString(std::u16string_view units)
{
    bytes.push_back(0xFF);
    PutLE16(bytes, 0xFFFE);
    PutLength(bytes, units.size());
    for (const char16_t unit : units)
        PutLE16(bytes, static_cast<std::uint16_t>(unit));
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Count(std::uint32_t count)
{
    if (count < 0xFFFF)
        return Word(static_cast<std::uint16_t>(count));
    return Word(0xFFFF).DWord(count);
}

ArchiveBuilder& ArchiveBuilder::NewClass(std::string_view name, std::uint16_t schema)
{
    return Word(0xFFFF).Word(schema).Word(static_cast<std::uint16_t>(name.size())).Raw(name);
}

ArchiveBuilder& ArchiveBuilder::PatchData(std::string_view name, std::string_view file,
                                          std::int32_t sourcePatch, std::int32_t targetPatch,
                                          std::int32_t targetBank)
{
    return String(name).String(file).Int32(sourcePatch).Int32(targetPatch).Int32(targetBank);
}

ArchiveBuilder& ArchiveBuilder::Header(std::int32_t currentBank, std::int32_t synth, std::int32_t reverb,
                                       std::int32_t chorus)
{
    return Int32(currentBank).Int32(synth).Int32(reverb).Int32(chorus).Int32(-1);
}
