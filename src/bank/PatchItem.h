#pragma once
// One patch of a virtual bank: where it comes from (a preset of a SoundFont
// bank file, or a conversion option of a wave file), where it goes on the
// card (target bank and program slot) and whether it is loaded there.
//
// Only name, sourceFile, sourcePatch, targetPatch and targetBank are stored
// in documents and clipboard streams. Strings are bytes as they stand (UTF-8
// from this program, Windows-1252 in old documents; StoredTextToDisplay in
// platform/TextEncoding.h makes display text of them).

#include "bank/ArchiveObject.h"
#include "bank/FileHelpers.h"

#include <cstdint>
#include <memory>
#include <string>

class CAweSession;

class CPatchItem : public CArchiveObject
{
public:
    static const CRuntimeClass runtimeClass; // "CPatchItem", schema 1, versionable

    // documentPatch: true for a patch of a document or of a list of the
    // user's; false for a stand-alone description of what the card holds in
    // a slot no document patch occupies.
    explicit CPatchItem(bool documentPatch);
    // Copies like CopyFrom; the sample figures of the copy are unknown (-1).
    CPatchItem(const CPatchItem& other);
    CPatchItem& operator=(const CPatchItem&) = delete;
    ~CPatchItem() override = default;

    static std::unique_ptr<CArchiveObject> CreateObject();

    // Copies everything but the sample figures (the resolved load path too).
    void CopyFrom(const CPatchItem& other);
    // Compares everything but the sample figures (strings exactly).
    bool IsEqual(const CPatchItem& other) const;
    bool operator==(const CPatchItem& other) const { return IsEqual(other); }
    bool operator!=(const CPatchItem& other) const { return !IsEqual(other); }

    const std::string& GetName() const { return name; }
    void SetName(std::string value) { name = std::move(value); }
    const std::string& GetSourceFile() const { return sourceFile; }
    // A new source file is a path of this machine's: what a resolve said
    // of the old one no longer holds.
    void SetSourceFile(std::string value)
    {
        sourceFile = std::move(value);
        loadPath.clear();
        fileMissing = false;
    }
    // The file loads read: the resolved path of an old document's stored
    // one (PathResolver.h), else sourceFile itself. Never stored.
    const std::string& GetLoadPath() const { return loadPath.empty() ? sourceFile : loadPath; }
    void SetLoadPath(std::string value) { loadPath = std::move(value); }
    // The source file could not be found on this machine; the patch keeps
    // its stored path and stays unloaded.
    bool IsFileMissing() const { return fileMissing; }
    void SetFileMissing(bool value) { fileMissing = value; }
    std::int32_t GetSourcePatch() const { return sourcePatch; }
    void SetSourcePatch(std::int32_t value) { sourcePatch = value; }
    std::int32_t GetTargetPatch() const { return targetPatch; }
    void SetTargetPatch(std::int32_t value) { targetPatch = value; }
    std::int32_t GetTargetBank() const { return targetBank; }
    void SetTargetBank(std::int32_t value) { targetBank = value; }
    std::int32_t GetSampleCount() const { return sampleCount; }
    void SetSampleCount(std::int32_t value) { sampleCount = value; }
    std::int32_t GetSampleBytes() const { return sampleBytes; }
    void SetSampleBytes(std::int32_t value) { sampleBytes = value; }
    bool IsDocumentPatch() const { return documentPatch != 0; }
    void SetDocumentPatch(bool value) { documentPatch = value ? 1 : 0; }
    // KB of sound memory the loaded patch takes; 0 while not loaded.
    std::int32_t GetLoadedKB() const { return loadedKB == -1 ? 0 : loadedKB; }
    // kb as the card reported it; -1 marks the patch unloaded.
    void SetLoadedKB(std::int32_t kb) { loadedKB = kb; }

    // A source file and a preset number to take from it.
    bool IsValid() const { return !sourceFile.empty() && sourcePatch >= 0; }
    bool IsLoaded() const { return loadedKB != -1; }
    FileType GetSourceFileType() const { return GetFileType(sourceFile); }

    // Card access, in PatchItemCard.cpp (with the card session):
    // LoadIntoCard returns 1 when loaded, 0 when the card refused, -1 for an
    // invalid patch; UnloadFromCard returns whether the patch is now unloaded.
    int LoadIntoCard(CAweSession& card);
    bool UnloadFromCard(CAweSession& card);

    const CRuntimeClass& GetRuntimeClass() const override { return runtimeClass; }
    // Stores name, sourceFile, sourcePatch, targetPatch, targetBank.
    void Serialize(CArchiveWriter& archive) const override;
    // Reads the same five values whatever the schema; the patch comes out an
    // unloaded document patch. A target bank or slot outside -1..127 makes
    // the patch unassigned (both -1).
    void Serialize(CArchiveReader& archive) override;

private:
    std::string name;
    std::string sourceFile;
    std::int32_t sourcePatch = -1;
    std::int32_t targetPatch = -1;
    std::int32_t targetBank = -1;
    std::int32_t sampleCount = -1;
    std::int32_t sampleBytes = -1;
    std::int32_t documentPatch;
    std::int32_t loadedKB = -1;
    std::string loadPath;
    bool fileMissing = false;
};

// The source preset as the preset list and "tmb presets" show it: the number,
// or BANK:NUMBER for a SoundFont 2/3 preset of a bank other than 0 (whose
// bank rides in the high half of the source number).
std::string SourcePatchText(const CPatchItem& item);
