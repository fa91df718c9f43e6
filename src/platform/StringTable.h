#pragma once
// The program's user-visible texts, looked up by their numbers. The texts
// live in res/strings.inc so that every layer and front end shares them.

#include <string>

enum StringId : unsigned
{
#define TAMBERLY_STRING(number, id, text) id = number,
#include "strings.inc"
#undef TAMBERLY_STRING
};

// The text of an entry; an empty string for a number the table lacks.
const std::string& LoadString(unsigned id);

// printf-style formatting of a table text (the formats come from our own table).
std::string FormatString(unsigned id, ...);
