#pragma once
// Root of the core's typed exceptions. Front ends catch this one type to turn
// any file or archive failure into a message; the derived types say why.

#include <stdexcept>
#include <string>

class CException : public std::runtime_error
{
public:
    explicit CException(const std::string& what) : std::runtime_error(what) {}
};
