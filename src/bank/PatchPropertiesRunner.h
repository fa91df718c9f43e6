#pragma once
// Runs the patch properties sheet for one document patch. The sheet edits
// working (a copy of original) and applies it with document.ReplacePatch
// (original, &working) on Apply and OK; the document undoes applied changes
// when the sheet ends otherwise.

class CPatchItem;
class CTamberlyDoc;

class IPatchPropertiesRunner
{
public:
    virtual ~IPatchPropertiesRunner() = default;
    // working and original are valid during the call only. True when the
    // sheet was closed with OK.
    virtual bool RunPatchProperties(CPatchItem& working, CPatchItem& original, CTamberlyDoc& document) = 0;
};
