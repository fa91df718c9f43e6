#pragma once
// What the object archive knows of a serialisable class: the name written
// into class records (spelled exactly as the class is named), its schema
// word, whether other schemas are accepted on reading, and how to make an
// empty object when a stream names the class.

#include <cstdint>
#include <memory>
#include <string_view>

class CArchiveObject;

struct CRuntimeClass
{
    std::string_view className;
    std::uint16_t schema;
    // A versionable class reads streams whose class record carries another schema.
    bool versionable;
    std::unique_ptr<CArchiveObject> (*createObject)();
};
