#include "DocumentFixture.h"
#include "FakeRunners.h"
#include "bank/ClipboardStream.h"
#include "bank/DocumentCommands.h"
#include "bank/EffectsRunner.h"
#include "bank/InfoRunner.h"
#include "bank/PatchItemListGuard.h"
#include "bank/PatchPropertiesRunner.h"

#include <algorithm>
#include <functional>

namespace
{
const std::string kBankA = "/banks/A.SBK";
const std::string kDrums = "C:\\BANKS\\DRUMS.SBK";

using Names = std::vector<std::string>;

long Count(const CardRecorder::Lines& lines, const std::string& prefix)
{
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

CardRecorder::Lines Only(const CardRecorder::Lines& lines, const std::string& prefix)
{
    CardRecorder::Lines kept;
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0)
            kept.push_back(line);
    return kept;
}

std::string Load(int bank, int slot, int source, const std::string& file = kBankA)
{
    return "911 h=77 bank=" + std::to_string(bank) + " preset=" + std::to_string(slot) + " path=" + file +
           " source=" + std::to_string(source);
}

// A document on banks 0, 1 and 2: Synth (preset 9) on 0:1, Piano on 1:5,
// Organ on 1:6, Kick on 2:0 (bank 2 has a registered bank file), and an
// unassigned Spare.
class DocumentCardTest : public DocumentTest
{
protected:
    DocumentCardTest()
    {
        Open(DocumentBytes(-1, 0, 0, 0, {},
                           {{"Synth", kBankA, 9, 1, 0},
                            {"Piano", kBankA, 0, 5, 1},
                            {"Organ", kBankA, 16, 6, 1},
                            {"Kick", kBankA, 35, 0, 2},
                            {"Spare", kBankA, 3, -1, -1}}));
    }
    CPatchItem* Patch(const std::string& name) const
    {
        for (CPatchItem* item : doc->GetPatches())
            if (item->GetName() == name)
                return item;
        return nullptr;
    }
};
} // namespace

TEST_F(DocumentCardTest, SynthModeSwitchReloadsTheSynthBankPatchesOnce)
{
    recorder.Default(kAweGetSynthBank, 0, "", 1);
    doc->SelectSynthMode(1);
    EXPECT_EQ(CardCommands(), Lines{"906 h=77 size=256"});
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(observer.updates.empty());

    doc->SelectSynthMode(2);
    const Lines calls = CardCommands();
    EXPECT_EQ(Lines(calls.begin(), calls.begin() + 2), (Lines{"906 h=77 size=256", "907 h=77 bank=2"}));
    // A synth bank slot is first given its own preset back, then the patch's.
    EXPECT_EQ(Only(calls, "911 "),
              (Lines{"911 h=77 bank=0 preset=1 path=/banks/gm.sbk source=1", Load(0, 1, 9)}));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintBankTabs});

    doc->SetCurrentBank(nullptr, 0);
    observer.updates.clear();
    doc->SelectSynthMode(1);
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintBankCleared});

    recorder.Take();
    doc->SetModifiedFlag(false);
    recorder.Script(kAweSelectSynthBank, 1);
    doc->SelectSynthMode(1);
    EXPECT_EQ(Count(CardCommands(), "911 "), 0);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocumentCardTest, ClearingBanksBringsTheDocumentPatchesBack)
{
    doc->ClearAllBanks();
    const Lines calls = recorder.TakeCommands();
    EXPECT_EQ(Count(calls, "910 "), 127);
    // Bank by bank, in list order within a bank; the synth bank is not cleared.
    EXPECT_EQ(Only(calls, "911 "), (Lines{Load(1, 5, 0), Load(1, 6, 16), Load(2, 0, 35)}));
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintBankTabs});
    EXPECT_TRUE(doc->IsModified());

    // The clear that stops at the first refusal still reloads everything.
    recorder.Script(kAweClearBank, 1);
    doc->SetCurrentBank(nullptr, 2);
    observer.updates.clear();
    doc->ClearAllBanks();
    const Lines stopped = recorder.TakeCommands();
    EXPECT_EQ(Count(stopped, "910 "), 1);
    EXPECT_EQ(Count(stopped, "911 "), 3);
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintBankContent});

    observer.updates.clear();
    doc->SetModifiedFlag(false);
    doc->ClearCurrentBank();
    const Lines bank2 = recorder.TakeCommands();
    EXPECT_EQ(bank2.front(), "910 h=77 bank=2");
    EXPECT_EQ(Only(bank2, "911 "), Lines{Load(2, 0, 35)});
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintBankCleared});
    EXPECT_TRUE(doc->IsModified());

    // No user bank current: nothing to clear (and nothing reloaded).
    for (const int bank : {-1, 0})
    {
        doc->SetCurrentBank(nullptr, bank);
        recorder.Take();
        doc->ClearCurrentBank();
        EXPECT_EQ(recorder.Take(), Lines{});
    }
}

TEST_F(DocumentCardTest, BankFileLoadsIntoTheCurrentUserBankOnly)
{
    EXPECT_FALSE(doc->LoadFileIntoCurrentBank(&observer, "/banks/B.SBK"));
    doc->SetCurrentBank(nullptr, 0);
    EXPECT_FALSE(doc->LoadFileIntoCurrentBank(&observer, "/banks/B.SBK"));
    EXPECT_EQ(CardCommands(), Lines{});

    doc->SetCurrentBank(nullptr, 1);
    observer.updates.clear();
    EXPECT_TRUE(doc->LoadFileIntoCurrentBank(&observer, "/banks/B.SBK"));
    const Lines calls = CardCommands();
    EXPECT_EQ(calls, Lines{"908 h=77 bank=1 path=/banks/B.SBK"});
    EXPECT_EQ(observer.updates, (std::vector<Update>{{&observer, HintBankContent, {}}}));
    EXPECT_TRUE(doc->IsModified());

    doc->SetModifiedFlag(false);
    recorder.Script(kAweLoadBank, 1);
    EXPECT_FALSE(doc->LoadFileIntoCurrentBank(nullptr, "/banks/B.SBK"));
    EXPECT_FALSE(doc->IsModified());
    recorder.Script(kAweLoadBank, 1);
    doc->OnLoadFileInCurrentBank("/banks/B.SBK");
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(DocumentCardTest, StatusPanesAndBankCaptions)
{
    recorder.Script(kAweGetMemory, 0, "", 8192 * 512, 1234 * 512);
    recorder.Script(kAweGetMemory, 0, "", 8192 * 512, 1234 * 512);
    EXPECT_EQ(doc->GetFreeMemoryPaneText("before"), "1234KB free");
    EXPECT_EQ(doc->GetFreeMemoryPaneText("before"), "before"); // the card told no total

    EXPECT_EQ(doc->GetCurrentPatchPaneText(), "None");
    doc->SetCurrentPatch(nullptr, Patch("Organ"));
    EXPECT_EQ(doc->GetCurrentPatchPaneText(), "Organ");
    doc->SetCurrentBank(nullptr, 4);
    recorder.Script(kAweGetPresetName, 0, "Card's Own");
    doc->SetCurrentPatch(nullptr, doc->GetPatch(12, 4));
    recorder.Script(kAweGetPresetName, 0, "Card's Own");
    EXPECT_EQ(doc->GetCurrentPatchPaneText(), "Card's Own");

    bool inUse = false;
    EXPECT_EQ(doc->GetBankCaption(-1, &inUse), "Virtual Bank");
    EXPECT_TRUE(inUse);
    recorder.Script(kAweGetSynthBank, 0, "General MIDI");
    EXPECT_EQ(doc->GetBankCaption(0, &inUse), "General MIDI");
    EXPECT_TRUE(inUse);
    recorder.Script(kAweGetBankName, 0, "DRUMS");
    EXPECT_EQ(doc->GetBankCaption(3, &inUse), "[003] DRUMS");
    EXPECT_TRUE(inUse);
    EXPECT_EQ(doc->GetBankCaption(1, &inUse), "[001] TMB"); // only document patches
    EXPECT_TRUE(inUse);
    EXPECT_EQ(doc->GetBankCaption(5, &inUse), "[005]");
    EXPECT_FALSE(inUse);
    EXPECT_EQ(doc->GetBankCaption(127, nullptr), "[127]");

    // Patches the card refused do not make a bank "TMB".
    recorder.Default(kAweLoadPreset, 1);
    doc->ReloadBankPatches(1);
    EXPECT_EQ(doc->GetBankCaption(1, &inUse), "[001]");
    EXPECT_FALSE(inUse);
    doc->OnCloseDocument();
    EXPECT_EQ(doc->GetBankCaption(-1, &inUse), "Virtual Bank");
    EXPECT_FALSE(inUse);
}

TEST_F(DocumentCardTest, CommandStatesFollowTheBankAndTheCard)
{
    using State = CommandState;
    // Load file in bank 32797, clear bank 32785, clear all 32800, keyboard
    // 32803, synth modes GM 32786, GS 32787, MT-32 32784.
    EXPECT_EQ(GetDocumentCommandState(*doc, 32797), (State{false, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32785), (State{false, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32800), (State{true, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32803, true), (State{true, true}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32803), (State{true, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 57634), std::nullopt);

    doc->SetCurrentBank(nullptr, 3);
    EXPECT_EQ(GetDocumentCommandState(*doc, 32797), (State{true, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32785), (State{false, false})); // the card names no bank 3
    recorder.Script(kAweGetBankName, 0, "DRUMS");
    EXPECT_EQ(GetDocumentCommandState(*doc, 32785), (State{true, false}));

    recorder.Default(kAweGetSynthBank, 0, "", 2);
    EXPECT_EQ(GetDocumentCommandState(*doc, 32786), (State{true, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32787), (State{true, false}));
    EXPECT_EQ(GetDocumentCommandState(*doc, 32784), (State{true, true}));
}

TEST_F(DocumentCardTest, AddedPatchesJoinUnassignedWhereASlotIsTaken)
{
    CPatchItemList none;
    EXPECT_FALSE(doc->AddPatches(&observer, none));
    EXPECT_TRUE(observer.updates.empty());

    CPatchItemList pasted;
    CPatchItemListGuard guard(pasted);
    NewPatch(pasted, "Onto Piano", kBankA, 1, 1, 5);
    NewPatch(pasted, "Free Slot", kBankA, 2, 1, 7);
    NewPatch(pasted, "Empty Patch", "None", -1, -1, -1);
    pasted.Add(Patch("Organ")); // already the document's
    ASSERT_TRUE(doc->AddPatches(&observer, pasted));
    EXPECT_TRUE(pasted.IsEmpty());
    // Last first: the list is walked backwards.
    EXPECT_EQ(Contents(), (Names{"Synth@0:1+", "Piano@1:5+", "Organ@1:6+", "Kick@2:0+", "Spare@-1:-1-",
                                 "Empty Patch@-1:-1-", "Free Slot@1:7+", "Onto Piano@-1:-1-"}));
    EXPECT_EQ(observer.updates,
              (std::vector<Update>{{&observer, HintPatches, {"Empty Patch", "Free Slot", "Onto Piano"}}}));
    EXPECT_EQ(Only(CardCommands(), "911 "), Lines{Load(1, 7, 2)});
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(DocumentCardTest, PlacedPatchesReplaceWhatHoldsTheirSlot)
{
    CPatchItemList dropped;
    CPatchItemListGuard guard(dropped);
    NewPatch(dropped, "New Kick", kBankA, 36, -1, -1);
    NewPatch(dropped, "New Organ", kBankA, 17, -1, -1);
    NewPatch(dropped, "Broken", "", -1, -1, -1);
    NewPatch(dropped, "Surplus", kBankA, 1, -1, -1);

    CPatchItemList slots; // the view's highlighted rows: never owning
    slots.Add(Patch("Kick"));
    slots.Add(Patch("Organ"));
    slots.Add(doc->GetPatch(9, 1)); // an empty slot of bank 1
    CPatchItem* broken = dropped.GetItem(2);
    ASSERT_TRUE(doc->PlacePatches(&observer, slots, dropped));

    EXPECT_EQ(Contents(),
              (Names{"Synth@0:1+", "Piano@1:5+", "New Organ@1:6+", "New Kick@2:0+", "Spare@-1:-1-"}));
    // The invalid patch stays the caller's (its list deletes it); so does the surplus one.
    ASSERT_EQ(dropped.GetSize(), 2);
    EXPECT_EQ(dropped.GetItem(0), broken);
    EXPECT_EQ(dropped.GetItem(1)->GetName(), "Surplus");
    EXPECT_EQ(observer.updates, (std::vector<Update>{{&observer, HintPatches, {"New Organ", "New Kick"}}}));
    EXPECT_EQ(Only(CardCommands(), "911 "), (Lines{Load(1, 6, 17), Load(2, 0, 36)}));
    slots.RemoveAll();

    CPatchItemList empty;
    EXPECT_FALSE(doc->PlacePatches(&observer, empty, dropped));
}

TEST_F(DocumentCardTest, APatchPlacedOnTheSlotOfAnUnloadedOneTakesItsPlace)
{
    // Piano is refused by the card: bank 1 slot 5 shows what the card holds.
    recorder.Script(kAweLoadPreset, 1);
    doc->ReloadBankPatches(1);
    recorder.Take();
    CPatchItem* description = doc->GetPatch(5, 1);
    ASSERT_FALSE(description->IsDocumentPatch());

    CPatchItemList slots;
    slots.Add(description);
    CPatchItemList dropped;
    CPatchItemListGuard guard(dropped);
    NewPatch(dropped, "Grand", kBankA, 1, -1, -1);
    ASSERT_TRUE(doc->PlacePatches(nullptr, slots, dropped));
    slots.RemoveAll();

    EXPECT_EQ(Contents(), (Names{"Synth@0:1+", "Grand@1:5+", "Organ@1:6+", "Kick@2:0+", "Spare@-1:-1-"}));
    EXPECT_EQ(doc->GetPatch(5, 1)->GetName(), "Grand");

    // With no document patch there, the placed one joins the list.
    slots.Add(doc->GetPatch(40, 2));
    NewPatch(dropped, "Snare", kBankA, 38, -1, -1);
    ASSERT_TRUE(doc->PlacePatches(nullptr, slots, dropped));
    slots.RemoveAll();
    EXPECT_EQ(Contents().back(), "Snare@2:40+");
}

TEST_F(DocumentCardTest, APatchDraggedOntoItsOwnSlotIsMovedNotLost)
{
    // The drag carries the patch's bytes; the drop places a copy read from
    // them over the very patch that was dragged, then the drag source
    // removes what it dragged.
    CPatchItem* dragged = Patch("Organ");
    CPatchItemList dragList;
    dragList.Add(dragged);
    const auto bytes = CClipboardStream::Write(dragList);

    CPatchItemList dropped;
    CPatchItemListGuard guard(dropped);
    CClipboardStream::Read(bytes, dropped);
    CPatchItemList slots;
    slots.Add(doc->GetPatch(6, 1));
    ASSERT_EQ(slots.GetItem(0), dragged);
    ASSERT_TRUE(doc->PlacePatches(nullptr, slots, dropped));
    slots.RemoveAll();
    doc->RemovePatches(nullptr, dragList);
    dragList.RemoveAll();

    EXPECT_EQ(Contents(), (Names{"Synth@0:1+", "Piano@1:5+", "Organ@1:6+", "Kick@2:0+", "Spare@-1:-1-"}));
    EXPECT_NE(Patch("Organ"), dragged);
    EXPECT_EQ(Count(CardCommands(), "913 h=77 bank=1 preset=6"), 1) << "only the load cleared the slot";
    EXPECT_EQ(doc->CheckConsistency(), "");
    doc->ReleaseTemporaryPatches();
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 0);
}

TEST_F(DocumentCardTest, ReplacedPatchesMoveOrBecomeUnassigned)
{
    CPatchItem outsider(true);
    EXPECT_FALSE(doc->ReplacePatch(&outsider, &outsider));

    // Onto Kick's slot: refused as a target, so Piano ends unassigned and its slot reverts.
    CPatchItem* piano = Patch("Piano");
    CPatchItem edited(*piano);
    edited.SetTargetBank(2);
    edited.SetTargetPatch(0);
    ASSERT_TRUE(doc->ReplacePatch(piano, &edited));
    EXPECT_EQ(edited.GetTargetBank(), -1);
    EXPECT_EQ(edited.GetTargetPatch(), -1);
    EXPECT_EQ(Contents()[1], "Piano@-1:-1-");
    EXPECT_EQ(CardCommands(), Lines{"913 h=77 bank=1 preset=5"});
    EXPECT_EQ(observer.updates, (std::vector<Update>{{nullptr, HintPatches, {"Piano", "Piano"}}}));

    // Onto a free slot of the bank with a bank file: the old slot gets the file's preset back.
    CPatchItem* kick = Patch("Kick");
    CPatchItem moved(*kick);
    moved.SetName("Kick 2");
    moved.SetTargetPatch(1);
    ASSERT_TRUE(doc->ReplacePatch(kick, &moved));
    EXPECT_EQ(Contents()[3], "Kick 2@2:1+");
    const Lines calls = CardCommands();
    EXPECT_EQ(Only(calls, "911 "), (Lines{Load(2, 0, 0, kDrums), Load(2, 1, 35)}));

    // A target missing one of its numbers is no target.
    CPatchItem half(*kick);
    half.SetTargetPatch(-1);
    ASSERT_TRUE(doc->ReplacePatch(kick, &half));
    EXPECT_EQ(Contents()[3], "Kick 2@-1:-1-");
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(DocumentCardTest, RemovedPatchesAreUnloadedAndOthersIgnoredUnread)
{
    CPatchItemList none;
    doc->RemovePatches(&observer, none);
    EXPECT_TRUE(observer.updates.empty());

    CPatchItem stranger(true);
    CPatchItemList selected;
    selected.Add(Patch("Organ"));
    selected.Add(&stranger);
    selected.Add(doc->GetPatch(20, 1)); // a slot description
    selected.Add(Patch("Kick"));
    selected.Add(Patch("Kick"));
    recorder.Take();
    doc->RemovePatches(&observer, selected);
    selected.RemoveAll();

    EXPECT_EQ(Contents(), (Names{"Synth@0:1+", "Piano@1:5+", "Spare@-1:-1-"}));
    EXPECT_EQ(observer.updates, (std::vector<Update>{{&observer, HintPatches, {"Organ", "Kick"}}}));
    EXPECT_EQ(Only(CardCommands(), "913 "), (Lines{"913 h=77 bank=1 preset=6", "913 h=77 bank=2 preset=0"}));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 3); // the description and the two removed
    doc->ReleaseTemporaryPatches();
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 0);
}

TEST_F(DocumentCardTest, RenamedPatchesAreAnnouncedAndNothingElseMoves)
{
    EXPECT_FALSE(doc->RenamePatch(&observer, doc->GetPatch(20, 1), "X")); // a slot description
    EXPECT_TRUE(doc->RenamePatch(&observer, Patch("Organ"), "Organ"));    // its name already
    EXPECT_FALSE(doc->IsModified());
    recorder.Take();
    EXPECT_TRUE(doc->RenamePatch(&observer, Patch("Organ"), "Pipe Organ"));
    EXPECT_EQ(Contents(),
              (Names{"Synth@0:1+", "Piano@1:5+", "Pipe Organ@1:6+", "Kick@2:0+", "Spare@-1:-1-"}));
    EXPECT_EQ(observer.updates, (std::vector<Update>{{&observer, HintPatchNames, {"Pipe Organ"}}}));
    EXPECT_TRUE(CardCommands().empty()); // the card keeps its copy as it is
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(DocumentCardTest, PropertiesCancelledAfterApplyPutThePatchBack)
{
    CPatchItem* organ = Patch("Organ");
    PropertiesRunner runner;
    runner.run = [](CPatchItem& working, CPatchItem& original, CTamberlyDoc& document)
    {
        working.SetTargetPatch(9); // Apply, then Cancel
        working.SetName("Church Organ");
        document.ReplacePatch(&original, &working);
        return false;
    };
    doc->EditPatchProperties(organ, runner);
    EXPECT_EQ(Contents()[2], "Organ@1:6+");
    EXPECT_EQ(organ, Patch("Organ"));
    const Lines calls = CardCommands();
    // Out of 6 into 9, then out of 9 back into 6.
    EXPECT_EQ(Only(calls, "911 "), (Lines{Load(1, 9, 16), Load(1, 6, 16)}));
    EXPECT_EQ(Count(calls, "913 h=77 bank=1 preset=9"), 2);

    runner.run = [](CPatchItem& working, CPatchItem& original, CTamberlyDoc& document)
    {
        working.SetName("Church Organ");
        document.ReplacePatch(&original, &working);
        return true;
    };
    doc->EditPatchProperties(organ, runner);
    EXPECT_EQ(Contents()[2], "Church Organ@1:6+");

    // OK without changes touches nothing; no sheet for patches that are not the document's.
    doc->SetModifiedFlag(false);
    recorder.Take();
    runner.run = [](CPatchItem&, CPatchItem&, CTamberlyDoc&) { return true; };
    doc->EditPatchProperties(organ, runner);
    EXPECT_EQ(recorder.Take(), Lines{});
    EXPECT_FALSE(doc->IsModified());
    runner.calls = 0;
    CPatchItem stranger(true);
    doc->EditPatchProperties(&stranger, runner);
    doc->EditPatchProperties(nullptr, runner);
    doc->EditPatchProperties(doc->GetPatch(30, 1), runner);
    EXPECT_EQ(runner.calls, 0);
}

TEST_F(DocumentCardTest, EffectsAndInformationSheets)
{
    recorder.Default(kAweGetEffects, 0, "", 2, 3);
    EffectsRunner effects;
    effects.run = [](CAweSession& card)
    {
        card.SetReverb(4); // Apply "Hall 2", then Cancel
        return false;
    };
    doc->EditEffects(effects);
    EXPECT_EQ(effects.shown, (std::pair<int, int>{2, 3}));
    const Lines cancelled = Only(CardCommands(), "905 ");
    EXPECT_EQ(cancelled.back(), "905 h=77 selector=0 reverb=2 chorus=3");
    EXPECT_FALSE(doc->IsModified());

    recorder.Default(kAweGetEffects, 0, "", 2, 3);
    effects.run = [](CAweSession& card) { return card.SetChorus(5); }; // "Flanger", OK
    doc->EditEffects(effects);
    EXPECT_TRUE(doc->IsModified());

    doc->SetModifiedFlag(false);
    effects.run = [](CAweSession&) { return true; };
    doc->EditEffects(effects);
    EXPECT_FALSE(doc->IsModified());

    InfoRunner info;
    info.run = [](std::string& text)
    {
        text = "edited\r\nlines";
        return false;
    };
    doc->EditInfo(info);
    EXPECT_EQ(doc->GetInfoText(), "");
    EXPECT_FALSE(doc->IsModified());
    info.run = [](std::string& text)
    {
        text += "edited\r\nlines";
        return true;
    };
    doc->EditInfo(info);
    EXPECT_EQ(doc->GetInfoText(), "edited\r\nlines");
    doc->SetModifiedFlag(false);
    info.run = [](std::string&) { return true; };
    doc->EditInfo(info);
    EXPECT_TRUE(doc->IsModified()) << "OK marks the document modified even without an edit";
}
