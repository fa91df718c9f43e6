// Document operations checked against the emulated card's state.

#include "DocumentOnCardFixture.h"
#include "bank/PatchItemListGuard.h"
#include "support/WaveBuilder.h"

#include <filesystem>

TEST_F(DocumentOnCardTest, OpeningSetsTheCardUpAndSavingReadsItBack)
{
    const Bytes original = DocumentBytes(1, 1, 5, 3, {{2, drums}},
                                         {{"Piano", pianos, 0, 0, 1}, {"Strings", pianos, 48, 1, 1}}, "info");
    const std::string path = files.Write("bank.tmb", original);
    ASSERT_TRUE(doc->OnOpenDocument(path)) << doc->GetErrorMessage();

    EXPECT_EQ(card->GetSynthBank(), 1);
    EXPECT_EQ(card->GetReverb(), 5);
    EXPECT_EQ(card->GetChorus(), 3);
    EXPECT_EQ(card->GetBankName(2), "DRUMS");
    EXPECT_EQ(card->GetBankFile(2), drums);
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_EQ(card->GetPresetName(1, 1), "Strings");
    EXPECT_EQ(Patch("Piano")->GetLoadedKB(), 8);
    EXPECT_EQ(Patch("Strings")->GetLoadedKB(), 4);
    EXPECT_EQ(card->GetMemoryKB(false) - card->GetMemoryKB(true), 64 + 8 + 4); // the bank file's 64 KB too

    ASSERT_TRUE(doc->OnSaveDocument(files.File("saved.tmb"))) << doc->GetErrorMessage();
    EXPECT_EQ(ReadFileBytes(files.File("saved.tmb")), original);

    // Closing the document empties the user banks; the synth mode stays.
    doc->OnCloseDocument();
    EXPECT_EQ(card->GetBankName(2), "");
    EXPECT_EQ(card->GetPresetName(1, 0), "");
    EXPECT_EQ(card->GetMemoryKB(true), card->GetMemoryKB(false));
    EXPECT_EQ(card->GetSynthBank(), 1);
}

TEST_F(DocumentOnCardTest, ClearingBanksLeavesOnlyTheDocumentPatches)
{
    Open({{"Piano", pianos, 0, 0, 1}, {"Strings", pianos, 48, 1, 3}});
    doc->SetCurrentBank(nullptr, 3);
    ASSERT_TRUE(doc->LoadFileIntoCurrentBank(nullptr, drums));
    EXPECT_EQ(card->GetBankName(3), "DRUMS");
    EXPECT_EQ(card->GetPresetName(3, 7), "Snare");
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings") << "the document patch stays over the bank file";
    EXPECT_EQ(doc->GetBankCaption(3, nullptr), "[003] DRUMS");
    EXPECT_EQ(doc->GetBankCaption(1, nullptr), "[001] TMB");
    EXPECT_EQ(doc->GetBankCaption(4, nullptr), "[004]");
    EXPECT_EQ(doc->GetPatch(7, 3)->GetName(), "Snare");
    EXPECT_EQ(doc->GetPatch(7, 3)->GetSourceFile(), drums);

    doc->ClearAllBanks();
    EXPECT_EQ(card->GetBankName(3), "");
    EXPECT_EQ(card->GetBankFile(3), "");
    EXPECT_EQ(card->GetPresetName(3, 7), "");
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings");
    EXPECT_EQ(card->GetPresetName(1, 0), "Piano");
    EXPECT_TRUE(Patch("Piano")->IsLoaded());
    EXPECT_EQ(doc->GetBankCaption(3, nullptr), "[003] TMB");

    doc->ClearCurrentBank();
    EXPECT_EQ(card->GetPresetName(3, 1), "Strings");
    EXPECT_EQ(card->GetMemoryKB(false) - card->GetMemoryKB(true), 8 + 4);
}

TEST_F(DocumentOnCardTest, SynthModeSwitchKeepsTheSynthBankPatches)
{
    Open({{"Piano", pianos, 0, 5, 0}});
    EXPECT_EQ(card->GetPresetName(0, 5), "Piano");
    doc->SelectSynthMode(2);
    EXPECT_EQ(card->GetSynthBank(), 2);
    EXPECT_EQ(card->GetPresetName(0, 5), "Piano");
    EXPECT_TRUE(doc->IsModified());

    doc->SetModifiedFlag(false);
    doc->SelectSynthMode(2);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocumentOnCardTest, MovedAndRemovedPatchesGiveTheirSlotsBack)
{
    Open({{"Piano", pianos, 0, 0, 1}, {"Over Kick", pianos, 48, 0, 2}}, {{2, drums}});
    const int freeBefore = card->GetMemoryKB(true);

    CPatchItem moved(*Patch("Piano"));
    moved.SetTargetPatch(9);
    ASSERT_TRUE(doc->ReplacePatch(Patch("Piano"), &moved));
    EXPECT_EQ(card->GetPresetName(1, 0), "");
    EXPECT_EQ(card->GetPresetName(1, 9), "Piano");

    // Onto a slot another document patch holds: unassigned, its old slot empty.
    CPatchItem blocked(*Patch("Piano"));
    blocked.SetTargetBank(2);
    blocked.SetTargetPatch(0);
    ASSERT_TRUE(doc->ReplacePatch(Patch("Piano"), &blocked));
    EXPECT_EQ(card->GetPresetName(1, 9), "");
    EXPECT_EQ(card->GetPresetName(2, 0), "Strings");
    EXPECT_FALSE(Patch("Piano")->IsLoaded());

    // The bank file's own preset comes back under a removed patch.
    CPatchItemList removed;
    removed.Add(Patch("Over Kick"));
    doc->RemovePatches(nullptr, removed);
    removed.RemoveAll();
    EXPECT_EQ(card->GetPresetName(2, 0), "Kick");
    EXPECT_EQ(card->GetMemoryKB(true), freeBefore + 8 + 4);
}

TEST_F(DocumentOnCardTest, APatchTheCardRefusedCanBeReplacedOnItsSlot)
{
    Open({{"Missing preset", pianos, 99, 4, 1}, {"Missing file", files.File("GONE.SBK"), 0, 5, 1}});
    EXPECT_FALSE(Patch("Missing preset")->IsLoaded());
    EXPECT_FALSE(Patch("Missing file")->IsLoaded());
    EXPECT_EQ(doc->GetBankCaption(1, nullptr), "[001]");

    CPatchItem* slot = doc->GetPatch(4, 1);
    ASSERT_FALSE(slot->IsDocumentPatch());
    CPatchItemList slots;
    slots.Add(slot);
    CPatchItemList dropped;
    CPatchItemListGuard guard(dropped);
    CPatchItem* grand = dropped.AddNew();
    grand->SetName("Grand");
    grand->SetSourceFile(pianos);
    grand->SetSourcePatch(0);
    ASSERT_TRUE(doc->PlacePatches(nullptr, slots, dropped));
    slots.RemoveAll();

    EXPECT_EQ(doc->GetPatches().GetSize(), 2);
    EXPECT_EQ(doc->GetPatch(4, 1), grand);
    EXPECT_EQ(card->GetPresetName(1, 4), "Piano");
    EXPECT_EQ(doc->GetBankCaption(1, nullptr), "[001] TMB");
}

TEST_F(DocumentOnCardTest, TwoPatchesOnOneSlotOfADamagedDocumentLoadTheFirstOnly)
{
    // The second would clear the slot before failing; the third would take it
    // from the first while the first still counted as loaded.
    Open({{"Piano", pianos, 0, 2, 1},
          {"Gone", files.File("gone.sbk"), 0, 2, 1},
          {"Strings", pianos, 48, 2, 1}});
    EXPECT_EQ(card->GetPresetName(1, 2), "Piano");
    EXPECT_TRUE(Patch("Piano")->IsLoaded());
    EXPECT_FALSE(Patch("Gone")->IsLoaded());
    EXPECT_FALSE(Patch("Strings")->IsLoaded());
    EXPECT_EQ(card->GetMemoryKB(false) - card->GetMemoryKB(true), 8);

    // Loading the bank again, as a synth mode switch or a cleared bank does, keeps it so.
    doc->ReloadBankPatches(-1);
    EXPECT_EQ(card->GetPresetName(1, 2), "Piano");
    EXPECT_TRUE(Patch("Piano")->IsLoaded());
    EXPECT_FALSE(Patch("Strings")->IsLoaded());
}

TEST_F(DocumentOnCardTest, WavePatchesLoadAsOnePresetBanks)
{
    const std::string wave =
        files.Write("TONE.WAV", WaveBuilder()
                                    .Channels(2)
                                    .Rate(22050)
                                    .Frames(22050, [](std::size_t f, unsigned c)
                                            { return static_cast<std::int32_t>((f * (c + 1) * 37) % 20000); })
                                    .Build());
    Open({{"Tone", wave, 4, 3, 1}, {"Left", wave, 6, 4, 1}, {"Not offered", wave, 0, 5, 1}});
    EXPECT_TRUE(Patch("Tone")->IsLoaded());
    EXPECT_TRUE(Patch("Left")->IsLoaded());
    EXPECT_GT(Patch("Tone")->GetLoadedKB(), Patch("Left")->GetLoadedKB());
    EXPECT_FALSE(Patch("Not offered")->IsLoaded()) << "44.1 kHz is not offered by a 22 kHz wave";
    EXPECT_NE(card->GetPresetName(1, 3), "");
    EXPECT_EQ(card->GetPresetName(1, 5), "");
}

TEST_F(DocumentOnCardTest, ImportFillsTheCardFromASoundshelfFile)
{
    // Soundshelf entries cannot hold a "/" in their paths: the files are
    // named relative to the working folder.
    class WorkingFolder
    {
    public:
        explicit WorkingFolder(const std::string& folder) : saved(std::filesystem::current_path())
        {
            std::filesystem::current_path(folder);
        }
        ~WorkingFolder() { std::filesystem::current_path(saved); }

    private:
        std::filesystem::path saved;
    } inFiles(files.Path());

    Open({{"Piano", pianos, 0, 12, 3}, {"Kept", pianos, 0, 13, 3}});
    Bytes shb;
    PutText(shb, "[Awe]\r\nReverb=6\r\nChorus=1\r\n[UserBanks]\r\nUser1=002   DRUMS.SBK\r\n"
                 "[Instrument-List]\r\nInstrument1=012:003   A.SBK/Strings 0048\r\n"
                 "Instrument2=020   A.SBK/Synth Piano 0000\r\n");
    const CTamberlyDoc::ShbImport result = doc->ImportShbFile(files.Write("old.shb", shb));
    EXPECT_EQ(result.bankFilesLoaded, 1);
    EXPECT_EQ(result.instrumentsLoaded, 2);
    EXPECT_EQ(card->GetReverb(), 6);
    EXPECT_EQ(card->GetChorus(), 1);
    EXPECT_EQ(card->GetBankName(2), "DRUMS");
    EXPECT_EQ(card->GetPresetName(3, 12), "Strings");
    EXPECT_EQ(card->GetPresetName(3, 13), "Piano");
    EXPECT_EQ(card->GetPresetName(0, 20), "Piano");
    EXPECT_EQ(doc->GetPatches().GetSize(), 3);
    EXPECT_EQ(doc->GetPatch(12, 3)->GetName(), "Strings");
    EXPECT_EQ(card->GetMemoryKB(false) - card->GetMemoryKB(true), 64 + 4 + 8 + 8);
}
