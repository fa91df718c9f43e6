#include "bank/ArchiveException.h"

namespace
{
const char* Describe(CArchiveException::Cause cause)
{
    switch (cause)
    {
    case CArchiveException::Cause::Generic:
        break;
    case CArchiveException::Cause::EndOfFile:
        return "archive: unexpected end of stream";
    case CArchiveException::Cause::BadIndex:
        return "archive: bad object or class number";
    case CArchiveException::Cause::BadClass:
        return "archive: unknown or unexpected class";
    case CArchiveException::Cause::BadSchema:
        return "archive: unsupported class schema";
    }
    return "archive: value cannot be stored";
}
} // namespace

CArchiveException::CArchiveException(Cause archiveCause)
    : CException(Describe(archiveCause)), cause(archiveCause)
{
}
