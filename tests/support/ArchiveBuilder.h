#pragma once
// Puts archive-encoded streams together by hand for tests: the pieces of
// .tmb documents and clipboard streams, including forms this program never
// writes (16-bit character strings, long forms for small values) and lies
// (lengths and counts the stream does not hold).

#include "support/RiffBuilder.h"

#include <cstdint>
#include <string_view>

class ArchiveBuilder
{
public:
    ArchiveBuilder& Byte(std::uint8_t value);
    ArchiveBuilder& Word(std::uint16_t value);
    ArchiveBuilder& DWord(std::uint32_t value);
    ArchiveBuilder& Int32(std::int32_t value) { return DWord(static_cast<std::uint32_t>(value)); }
    ArchiveBuilder& Raw(std::string_view bytes);
    // A string in the shortest form for its length.
    ArchiveBuilder& String(std::string_view bytes);
    // A string of 16-bit units (0xFF, 0xFFFE, then the unit count in the
    // shortest form, then the units).
    ArchiveBuilder& WideString(std::u16string_view units);
    // An element count in the shortest form.
    ArchiveBuilder& Count(std::uint32_t count);
    // A new class record: 0xFFFF, schema, name length, name.
    ArchiveBuilder& NewClass(std::string_view name, std::uint16_t schema = 1);
    // The data of one patch: name, source file, source patch, target patch, target bank.
    ArchiveBuilder& PatchData(std::string_view name, std::string_view file, std::int32_t sourcePatch,
                              std::int32_t targetPatch, std::int32_t targetBank);
    // A document header with no bank files.
    ArchiveBuilder& Header(std::int32_t currentBank, std::int32_t synth, std::int32_t reverb,
                           std::int32_t chorus);

    const Bytes& Get() const { return bytes; }

private:
    Bytes bytes;
};
