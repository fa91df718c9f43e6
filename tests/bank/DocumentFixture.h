#pragma once
// A document on the recording card, with an observer and a keyboard that
// note what they are told, and builders of .tmb files.

#include "bank/TamberlyDoc.h"
#include "support/ArchiveBuilder.h"
#include "support/CardRecorder.h"
#include "support/PatchFixtures.h"
#include "support/RiffBuilder.h"
#include "synth/AweSession.h"
#include "synth/KeyboardLink.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

struct Update
{
    IDocumentObserver* sender;
    unsigned hint;
    std::vector<std::string> names; // of the patches concerned, in list order
    bool operator==(const Update&) const = default;
};

class RecordingObserver : public IDocumentObserver
{
public:
    void OnUpdate(IDocumentObserver* sender, unsigned hint, const CPatchItemList* patches) override
    {
        Update update{sender, hint, {}};
        if (patches)
            for (const CPatchItem* item : *patches)
                update.names.push_back(item->GetName());
        updates.push_back(update);
    }
    std::vector<unsigned> Hints() const
    {
        std::vector<unsigned> hints;
        for (const Update& update : updates)
            hints.push_back(update.hint);
        return hints;
    }
    std::vector<Update> updates;
};

class RecordingKeyboard : public IKeyboardLink
{
public:
    void SetPatch(const std::string& name, int bank, int program) override
    {
        patches.push_back(name + " " + std::to_string(bank) + ":" + std::to_string(program));
    }
    void EnableMidi(bool on) override { midi.push_back(on); }
    std::vector<std::string> patches;
    std::vector<bool> midi;
};

// One patch of a document file: name, source file, source patch, slot, bank.
using StoredPatch = std::tuple<std::string, std::string, int, int, int>;

// A document file as the program writes it.
inline Bytes DocumentBytes(int currentBank, int synth, int reverb, int chorus,
                           const std::vector<std::pair<int, std::string>>& bankFiles,
                           const std::vector<StoredPatch>& patches, const std::string& info = "")
{
    ArchiveBuilder doc;
    doc.Int32(currentBank).Int32(synth).Int32(reverb).Int32(chorus);
    for (const auto& [bank, path] : bankFiles)
        doc.Int32(bank).String(path);
    doc.Int32(-1).Count(static_cast<std::uint32_t>(patches.size()));
    for (std::size_t i = 0; i < patches.size(); ++i)
    {
        if (i == 0)
            doc.NewClass("CPatchItem");
        else
            doc.Word(0x8001);
        const auto& [name, file, source, slot, bank] = patches[i];
        doc.PatchData(name, file, source, slot, bank);
    }
    return doc.String(info).Get();
}

class DocumentTest : public ::testing::Test
{
protected:
    using Lines = CardRecorder::Lines;

    DocumentTest()
    {
        // User bank 2 holds a bank file, as after opening the small document.
        RegisterCardDriver(dir.File("home"), {{2, "C:\\BANKS\\DRUMS.SBK"}});
        doc = MakeDocument(TAMBERLY_RECORDER_PATH);
        doc->AddObserver(&observer);
        doc->SetKeyboard(&keyboard);
        recorder.Take();
    }
    ~DocumentTest() override { EXPECT_EQ(doc->CheckConsistency(), ""); }

    std::unique_ptr<CTamberlyDoc> MakeDocument(const std::string& library)
    {
        return std::make_unique<CTamberlyDoc>(
            std::make_unique<CAweSession>(library, CRegistryStore(dir.File("home"))));
    }

    // Opens a document file written from bytes; the calls it made are dropped.
    void Open(const Bytes& bytes, const std::string& name = "doc.tmb")
    {
        ASSERT_TRUE(doc->OnOpenDocument(dir.Write(name, bytes))) << doc->GetErrorMessage();
        recorder.Take();
        observer.updates.clear();
        keyboard.patches.clear();
    }

    // Commands the card received, without the 127 clears of emptying it.
    Lines CardCommands()
    {
        Lines kept;
        for (const std::string& line : recorder.TakeCommands())
            if (line.rfind("910 ", 0) != 0)
                kept.push_back(line);
        return kept;
    }

    // A patch of the caller's, for the patch operations.
    static CPatchItem* NewPatch(CPatchItemList& list, const std::string& name, const std::string& file,
                                int source, int bank, int slot)
    {
        return AddFilePatch(list, name, file, source, bank, slot);
    }

    // The names of the document's patches in list order, with their targets.
    std::vector<std::string> Contents() const
    {
        std::vector<std::string> names;
        for (const CPatchItem* item : doc->GetPatches())
            names.push_back(item->GetName() + "@" + std::to_string(item->GetTargetBank()) + ":" +
                            std::to_string(item->GetTargetPatch()) + (item->IsLoaded() ? "+" : "-"));
        return names;
    }

    TempDir dir;
    CardRecorder recorder{TAMBERLY_RECORDER_PATH};
    RecordingObserver observer;
    RecordingKeyboard keyboard;
    std::unique_ptr<CTamberlyDoc> doc;
};
