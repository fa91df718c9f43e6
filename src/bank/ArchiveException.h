#pragma once
// A stream that does not hold what the object archive expects. Every cause
// means "Unexpected file format." to the user; the cause is for tests and
// diagnostics.

#include "platform/Exception.h"

class CArchiveException : public CException
{
public:
    enum class Cause
    {
        Generic,   // something the encoding cannot express (a string over 4 GB)
        EndOfFile, // the stream ends inside a value, or a length or count exceeds what is left
        BadIndex,  // an object or class number that was never assigned, or the numbering limit
        BadClass,  // a class name the program does not know, or an object of the wrong class
        BadSchema, // a schema a non-versionable class does not accept
    };

    explicit CArchiveException(Cause cause);

    Cause GetCause() const { return cause; }

private:
    Cause cause;
};
