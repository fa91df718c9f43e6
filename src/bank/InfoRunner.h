#pragma once
// Runs the bank information sheet on a copy of the document's information text.

#include <string>

class IInfoRunner
{
public:
    virtual ~IInfoRunner() = default;
    // text holds the document's text and receives the edited one. True when
    // the sheet was closed with OK (the document then takes text).
    virtual bool RunInfo(std::string& text) = 0;
};
