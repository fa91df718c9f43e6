#pragma once
// The classes a stream may name: the program's creatable serialisable classes.

#include "bank/RuntimeClass.h"

#include <span>

std::span<const CRuntimeClass* const> ProgramArchiveClasses();
