#include "bank/PatchItem.h"

#include "bank/ArchiveReader.h"
#include "bank/ArchiveWriter.h"

const CRuntimeClass CPatchItem::runtimeClass = {"CPatchItem", 1, true, &CPatchItem::CreateObject};

CPatchItem::CPatchItem(bool isDocumentPatch) : documentPatch(isDocumentPatch ? 1 : 0) {}

CPatchItem::CPatchItem(const CPatchItem& other) : CArchiveObject(other), documentPatch(other.documentPatch)
{
    CopyFrom(other);
}

std::unique_ptr<CArchiveObject> CPatchItem::CreateObject()
{
    return std::make_unique<CPatchItem>(true);
}

void CPatchItem::CopyFrom(const CPatchItem& other)
{
    name = other.name;
    sourceFile = other.sourceFile;
    sourcePatch = other.sourcePatch;
    targetBank = other.targetBank;
    targetPatch = other.targetPatch;
    loadedKB = other.loadedKB;
    documentPatch = other.documentPatch;
    loadPath = other.loadPath;
    fileMissing = other.fileMissing;
}

bool CPatchItem::IsEqual(const CPatchItem& other) const
{
    return name == other.name && sourceFile == other.sourceFile && sourcePatch == other.sourcePatch &&
           targetBank == other.targetBank && targetPatch == other.targetPatch && loadedKB == other.loadedKB &&
           documentPatch == other.documentPatch;
}

void CPatchItem::Serialize(CArchiveWriter& archive) const
{
    archive.WriteString(name);
    archive.WriteString(sourceFile);
    archive.WriteInt32(sourcePatch);
    archive.WriteInt32(targetPatch);
    archive.WriteInt32(targetBank);
}

void CPatchItem::Serialize(CArchiveReader& archive)
{
    // Every schema so far stores the same five values.
    name = archive.ReadString();
    SetSourceFile(archive.ReadString());
    sourcePatch = archive.ReadInt32();
    targetPatch = archive.ReadInt32();
    targetBank = archive.ReadInt32();
    documentPatch = 1;

    // A slot the card does not have would only be refused later, one load
    // at a time; a patch that goes nowhere is what the user can fix.
    const auto inRange = [](std::int32_t v) { return v >= -1 && v <= 127; };
    if (!inRange(targetBank) || !inRange(targetPatch))
        targetBank = targetPatch = -1;
}
