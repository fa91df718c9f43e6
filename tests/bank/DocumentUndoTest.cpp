// Undo and redo of the document's edits, checked against the emulated card
// after every step.

#include "DocumentOnCardFixture.h"
#include "FakeRunners.h"
#include "bank/PatchItemListGuard.h"

namespace
{
class DocumentUndoTest : public DocumentOnCardTest
{
protected:
    // A preset of the pianos bank as the preset list gives it.
    static CPatchItem* Dropped(CPatchItemList& list, const std::string& name, const std::string& file,
                               int source)
    {
        CPatchItem* item = list.AddNew();
        item->SetName(name);
        item->SetSourceFile(file);
        item->SetSourcePatch(source);
        return item;
    }

    // Drops presets (name, source) onto consecutive slots of a bank, from first on.
    void Drop(int bank, int first, const std::vector<std::pair<std::string, int>>& presets)
    {
        CPatchItemList slots;
        CPatchItemList dropped;
        CPatchItemListGuard guard(dropped);
        for (std::size_t i = 0; i < presets.size(); ++i)
        {
            slots.Add(doc->GetPatch(first + static_cast<int>(i), bank));
            Dropped(dropped, presets[i].first, pianos, presets[i].second);
        }
        ASSERT_TRUE(doc->PlacePatches(nullptr, slots, dropped));
        slots.RemoveAll();
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const CPatchItem* item : doc->GetPatches())
            names.push_back(item->GetName() + (item->IsLoaded() ? "+" : "-"));
        return names;
    }

    int UsedKB() { return card->GetMemoryKB(false) - card->GetMemoryKB(true); }
};

using List = std::vector<std::string>;
} // namespace

TEST_F(DocumentUndoTest, ADropIsTakenBackAndDoneAgainOnTheCard)
{
    Open({{"Old", pianos, 48, 0, 1}});
    EXPECT_FALSE(doc->CanUndo());
    const int usedBefore = UsedKB();

    // Over the document's own patch on 1:0 and onto the empty 1:1.
    Drop(1, 0, {{"Piano", 0}, {"Strings", 48}});
    EXPECT_EQ(doc->GetUndoName(), "Place 2 Patches");
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_EQ(card->GetPresetName(1, 1), "Strings");
    EXPECT_TRUE(doc->IsModified());

    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Names(), (List{"Old+"}));
    EXPECT_EQ(card->GetPresetName(1, 0), "Strings") << "the replaced patch is loaded again";
    EXPECT_EQ(card->GetPresetName(1, 1), "");
    EXPECT_EQ(UsedKB(), usedBefore);
    EXPECT_FALSE(doc->IsModified()) << "back to what the file holds";
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_EQ(doc->GetRedoName(), "Place 2 Patches");
    EXPECT_EQ(doc->CheckConsistency(), "");

    ASSERT_TRUE(doc->Redo());
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_EQ(card->GetPresetName(1, 1), "Strings");
    EXPECT_EQ(doc->GetPatch(1, 1)->GetName(), "Strings");
    EXPECT_TRUE(doc->GetPatch(1, 1)->IsDocumentPatch());
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->Redo());

    // Saving makes the current position the clean one.
    ASSERT_TRUE(doc->OnSaveDocument(files.File("saved.tmb")));
    doc->Undo();
    EXPECT_TRUE(doc->IsModified());
    doc->Redo();
    EXPECT_FALSE(doc->IsModified());

    // Opening a document starts a new history.
    Open({});
    EXPECT_FALSE(doc->CanUndo());
    EXPECT_FALSE(doc->CanRedo());
}

TEST_F(DocumentUndoTest, RemovedRenamedAndReplacedPatchesComeBack)
{
    Open({{"Piano", pianos, 0, 0, 1}, {"Strings", pianos, 48, 1, 1}});
    const int usedBefore = UsedKB();

    CPatchItemList removed;
    removed.Add(Patch("Piano"));
    removed.Add(Patch("Strings"));
    doc->RemovePatches(nullptr, removed);
    removed.RemoveAll();
    EXPECT_EQ(doc->GetUndoName(), "Remove 2 Patches");
    EXPECT_EQ(card->GetPresetName(1, 0), "");

    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(Names(), (List{"Piano+", "Strings+"})) << "in their old order";
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_EQ(card->GetPresetName(1, 1), "Strings");
    EXPECT_EQ(UsedKB(), usedBefore);

    ASSERT_TRUE(doc->RenamePatch(nullptr, Patch("Piano"), "Grand"));
    EXPECT_EQ(doc->GetUndoName(), "Rename Patch");
    EXPECT_FALSE(doc->CanRedo()) << "a new edit drops the undone remove";
    ASSERT_TRUE(doc->RenamePatch(nullptr, Patch("Grand"), "Grand")); // no change, no entry
    EXPECT_EQ(doc->GetUndoStack().GetCount(), 1u);
    doc->Undo();
    EXPECT_EQ(Names(), (List{"Piano+", "Strings+"}));

    CPatchItem moved(*Patch("Strings"));
    moved.SetTargetBank(3);
    moved.SetTargetPatch(9);
    ASSERT_TRUE(doc->ReplacePatch(Patch("Strings"), &moved));
    EXPECT_EQ(doc->GetUndoName(), "Replace Patch");
    EXPECT_EQ(card->GetPresetName(3, 9), "Strings");
    doc->Undo();
    EXPECT_EQ(card->GetPresetName(3, 9), "");
    EXPECT_EQ(card->GetPresetName(1, 1), "Strings");
    EXPECT_EQ(Patch("Strings")->GetTargetBank(), 1);
    EXPECT_EQ(UsedKB(), usedBefore);
    doc->Redo();
    EXPECT_EQ(card->GetPresetName(3, 9), "Strings");
    EXPECT_EQ(card->GetPresetName(1, 1), "");
}

TEST_F(DocumentUndoTest, APropertySheetIsOneEditHoweverOftenItApplied)
{
    Open({{"Piano", pianos, 0, 0, 1}});
    PropertiesRunner runner;
    runner.run = [&](CPatchItem& working, CPatchItem& original, CTamberlyDoc& document)
    {
        // Apply twice: another slot, then another name.
        working.SetTargetPatch(4);
        document.ReplacePatch(&original, &working);
        working.SetName("Grand");
        document.ReplacePatch(&original, &working);
        return true;
    };
    doc->EditPatchProperties(Patch("Piano"), runner);
    EXPECT_EQ(card->GetPresetName(1, 4), "Piano");
    EXPECT_EQ(doc->GetUndoStack().GetCount(), 1u);
    EXPECT_EQ(doc->GetUndoName(), "Patch Properties");

    doc->Undo();
    EXPECT_EQ(Names(), (List{"Piano+"}));
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_EQ(card->GetPresetName(1, 4), "");

    // Cancel after Apply puts everything back: nothing to undo.
    doc->Redo();
    runner.run = [](CPatchItem& working, CPatchItem& original, CTamberlyDoc& document)
    {
        working.SetTargetPatch(7);
        document.ReplacePatch(&original, &working);
        return false;
    };
    doc->EditPatchProperties(doc->GetPatches().GetItem(0), runner);
    EXPECT_EQ(doc->GetUndoStack().GetCount(), 1u);
    EXPECT_EQ(card->GetPresetName(1, 4), "Piano");
}

TEST_F(DocumentUndoTest, BankFilesComeBackUnderTheDocumentsPatches)
{
    Open({{"Strings", pianos, 48, 1, 3}}, {{2, drums}});
    doc->SetCurrentBank(nullptr, 3);
    ASSERT_TRUE(doc->LoadFileIntoCurrentBank(nullptr, drums));
    EXPECT_EQ(doc->GetUndoName(), "Load Bank File");
    EXPECT_EQ(card->GetPresetName(3, 7), "Snare");

    doc->Undo();
    EXPECT_EQ(card->GetBankFile(3), "");
    EXPECT_EQ(card->GetPresetName(3, 7), "");
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings");
    EXPECT_FALSE(doc->IsModified());
    doc->Redo();
    EXPECT_EQ(card->GetBankFile(3), drums);
    EXPECT_EQ(card->GetPresetName(3, 7), "Snare");
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings");

    doc->ClearAllBanks();
    EXPECT_EQ(doc->GetUndoName(), "Clear All Banks");
    EXPECT_EQ(card->GetBankFile(2), "");
    doc->Undo();
    EXPECT_EQ(card->GetBankFile(2), drums);
    EXPECT_EQ(card->GetBankFile(3), drums);
    EXPECT_EQ(card->GetPresetName(2, 0), "Kick");
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings");
    EXPECT_TRUE(Patch("Strings")->IsLoaded());
    EXPECT_EQ(doc->GetBankCaption(2, nullptr), "[002] DRUMS");

    doc->ClearCurrentBank();
    EXPECT_EQ(doc->GetUndoName(), "Clear Bank");
    EXPECT_EQ(card->GetPresetName(3, 7), "");
    doc->Undo();
    EXPECT_EQ(card->GetPresetName(3, 7), "Snare");
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings");

    // The document saves the bank files it held again.
    ASSERT_TRUE(doc->OnSaveDocument(files.File("saved.tmb")));
    ASSERT_TRUE(doc->OnOpenDocument(files.File("saved.tmb")));
    EXPECT_EQ(card->GetBankFile(2), drums);
    EXPECT_EQ(card->GetBankFile(3), drums);
}

TEST_F(DocumentUndoTest, SynthModeEffectsAndInformationComeBack)
{
    Open({{"Piano", pianos, 0, 5, 0}});
    doc->SelectSynthMode(2);
    EXPECT_EQ(doc->GetUndoName(), "Synth Mode");
    doc->Undo();
    EXPECT_EQ(card->GetSynthBank(), 0);
    EXPECT_EQ(card->GetPresetName(0, 5), "Piano") << "the document's patch over the synth bank again";
    doc->Redo();
    EXPECT_EQ(card->GetSynthBank(), 2);
    EXPECT_EQ(card->GetPresetName(0, 5), "Piano");

    EffectsRunner effects;
    effects.run = [](CAweSession& session)
    {
        session.SetReverb(7);
        session.SetChorus(1);
        return true;
    };
    doc->EditEffects(effects);
    EXPECT_EQ(doc->GetUndoName(), "Effects");
    doc->Undo();
    EXPECT_EQ(card->GetReverb(), 4);
    EXPECT_EQ(card->GetChorus(), 2);
    doc->Redo();
    EXPECT_EQ(card->GetReverb(), 7);

    InfoRunner info;
    info.run = [](std::string& text)
    {
        text = "new words";
        return true;
    };
    doc->EditInfo(info);
    EXPECT_EQ(doc->GetUndoName(), "Information");
    doc->Undo();
    EXPECT_EQ(doc->GetInfoText(), "");
    EXPECT_EQ(doc->GetUndoName(), "Effects");
    // Three edits back to the opened state: not modified.
    doc->Undo();
    doc->Undo();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(card->GetSynthBank(), 0);
}

TEST_F(DocumentUndoTest, PastedPatchesLeaveTheVirtualBankAgain)
{
    Open({{"Piano", pianos, 0, 0, 1}});
    CPatchItemList pasted;
    CPatchItemListGuard guard(pasted);
    CPatchItem* strings = Dropped(pasted, "Strings", pianos, 48);
    strings->SetTargetBank(1);
    strings->SetTargetPatch(2);
    Dropped(pasted, "Loose", pianos, 0);
    ASSERT_TRUE(doc->AddPatches(nullptr, pasted));
    EXPECT_EQ(doc->GetUndoName(), "Add 2 Patches");
    EXPECT_EQ(card->GetPresetName(1, 2), "Strings");

    doc->SetCurrentBank(nullptr, -1);
    ASSERT_TRUE(doc->SetCurrentPatch(nullptr, doc->GetPatch(2, -1)));
    ASSERT_EQ(doc->GetCurrentPatch(), 2);
    doc->Undo();
    EXPECT_EQ(Names(), (List{"Piano+"}));
    EXPECT_EQ(card->GetPresetName(1, 2), "");
    EXPECT_EQ(doc->GetCurrentPatch(), -1) << "the selected row is gone";
    doc->Redo();
    EXPECT_EQ(doc->GetPatches().GetSize(), 3);
    EXPECT_EQ(card->GetPresetName(1, 2), "Strings");
}
