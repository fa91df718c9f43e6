#pragma once
// Base of the objects the archive writes and reads by reference: each says
// which class it is and stores or loads its own data.

#include "bank/RuntimeClass.h"

class CArchiveReader;
class CArchiveWriter;

class CArchiveObject
{
public:
    virtual ~CArchiveObject() = default;

    virtual const CRuntimeClass& GetRuntimeClass() const = 0;
    // Writes the object's own data (its class part is the archive's business).
    virtual void Serialize(CArchiveWriter& archive) const = 0;
    // Reads the object's own data; throws CArchiveException on bad input.
    virtual void Serialize(CArchiveReader& archive) = 0;

protected:
    CArchiveObject() = default;
    CArchiveObject(const CArchiveObject&) = default;
    CArchiveObject& operator=(const CArchiveObject&) = default;
};
