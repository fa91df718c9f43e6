#include "DocumentFixture.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace
{
const std::string kBankA = "C:\\BANKS\\A.SBK";
const std::string kDrums = "C:\\BANKS\\DRUMS.SBK";

// Current bank 1, General MIDI, reverb 4, chorus 2, the drum bank file in
// user bank 2, Piano (preset 0) on 1:0 and Strings (preset 48) on 1:1.
Bytes SmallDocument(const std::string& info = "")
{
    return DocumentBytes(1, 0, 4, 2, {{2, kDrums}},
                         {{"Piano", kBankA, 0, 0, 1}, {"Strings", kBankA, 48, 1, 1}}, info);
}

long Count(const CardRecorder::Lines& lines, const std::string& prefix)
{
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

// Lets a test make writes fail past a file size, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved{};
    void (*previous)(int) = nullptr;
};
} // namespace

TEST_F(DocumentTest, OpeningSetsTheCardUpAndSavingWritesTheSameBytes)
{
    const Bytes small = SmallDocument();
    ASSERT_EQ(small.size(), 132u);
    const std::string path = dir.Write("small.tmb", small);
    ASSERT_TRUE(doc->OnOpenDocument(path)) << doc->GetErrorMessage();

    const Lines calls = recorder.TakeCommands();
    EXPECT_EQ(Count(calls, "910 "), 127); // the card is emptied first
    const Lines setUp(calls.begin() + 127, calls.end());
    EXPECT_EQ(setUp,
              (Lines{"906 h=77 size=256", "907 h=77 bank=0", "908 h=77 bank=2 path=C:\\BANKS\\DRUMS.SBK",
                     "907 h=77 bank=0", "904 h=77", "905 h=77 selector=0 reverb=4 chorus=0", "904 h=77",
                     "905 h=77 selector=0 reverb=4 chorus=2", "913 h=77 bank=1 preset=0", "308 h=77",
                     "911 h=77 bank=1 preset=0 path=C:\\BANKS\\A.SBK source=0", "308 h=77",
                     "913 h=77 bank=1 preset=1", "308 h=77",
                     "911 h=77 bank=1 preset=1 path=C:\\BANKS\\A.SBK source=48", "308 h=77"}));
    EXPECT_EQ(doc->GetCurrentBank(), 1);
    EXPECT_EQ(Contents(), (std::vector<std::string>{"Piano@1:0+", "Strings@1:1+"}));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetPathName(), path);
    EXPECT_EQ(observer.Hints(), (std::vector<unsigned>{HintEverything, HintEverything}));

    // The card now reports what the document set; the drum bank is registered.
    recorder.Default(kAweGetEffects, 0, "", 4, 2);
    ASSERT_TRUE(doc->OnSaveDocument(dir.File("copy.tmb"))) << doc->GetErrorMessage();
    EXPECT_EQ(ReadFileBytes(dir.File("copy.tmb")), small);
    EXPECT_EQ(doc->GetPathName(), dir.File("copy.tmb"));
}

TEST_F(DocumentTest, EmptyFileOpensAsAnEmptyDocumentOnAnEmptiedCard)
{
    Open(SmallDocument("text"));
    doc->SetModifiedFlag();
    ASSERT_TRUE(doc->OnOpenDocument(dir.Write("empty.tmb", {})));
    const Lines calls = recorder.TakeCommands();
    EXPECT_EQ(Count(calls, "910 "), 127);
    EXPECT_EQ(Count(calls, "911 "), 0);
    EXPECT_EQ(doc->GetCurrentBank(), -1);
    EXPECT_TRUE(doc->GetPatches().IsEmpty());
    EXPECT_EQ(doc->GetInfoText(), "");
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocumentTest, FilesThatCannotBeReadLeaveTheDocumentAsItWas)
{
    Open(SmallDocument());
    const std::string opened = doc->GetPathName();

    const std::string missing = dir.File("missing.tmb");
    EXPECT_FALSE(doc->OnOpenDocument(missing));
    EXPECT_EQ(doc->GetErrorMessage(), missing + " was not found.");
    EXPECT_FALSE(doc->OnOpenDocument(dir.Path()));
    EXPECT_EQ(doc->GetErrorMessage(), "Access to " + dir.Path() + " was denied.");

    EXPECT_EQ(CardCommands(), Lines{});
    EXPECT_EQ(doc->GetPatches().GetSize(), 2);
    EXPECT_EQ(doc->GetPathName(), opened);
    EXPECT_TRUE(observer.updates.empty());
}

TEST_F(DocumentTest, FilesThatDoNotDecodeLeaveAnEmptyUntitledDocumentAndCard)
{
    // A bank entry first, then a class name in the wrong case.
    const Bytes wrongCase = ArchiveBuilder()
                                .Int32(3)
                                .Int32(0)
                                .Int32(0)
                                .Int32(0)
                                .Int32(5)
                                .String("C:\\BANKS\\FIVE.SBK")
                                .Int32(-1)
                                .Count(1)
                                .NewClass("CPATCHITEM")
                                .PatchData("Piano", kBankA, 0, 0, 1)
                                .String("")
                                .Get();
    Bytes cut = SmallDocument();
    cut.pop_back();
    for (const Bytes& bad : {wrongCase, cut})
    {
        Open(SmallDocument("text"));
        EXPECT_FALSE(doc->OnOpenDocument(dir.Write("bad.tmb", bad)));
        EXPECT_EQ(doc->GetErrorMessage(), "Unexpected file format.");
        const Lines calls = CardCommands();
        EXPECT_EQ(Count(calls, "908 "), 0) << "a bank of a damaged file reached the card";
        EXPECT_EQ(Count(calls, "911 "), 0);
        EXPECT_TRUE(doc->GetPatches().IsEmpty());
        EXPECT_EQ(doc->GetInfoText(), "");
        EXPECT_EQ(doc->GetCurrentBank(), -1);
        EXPECT_EQ(doc->GetPathName(), "");
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->CheckConsistency(), "");
    }
}

TEST_F(DocumentTest, StoredNumbersTheCardCannotHoldAreNotUsed)
{
    // A current bank and a patch bank out of range, a synth bank, reverb and
    // chorus the card does not have; a class record of schema 2.
    const Bytes odd = ArchiveBuilder()
                          .Int32(300)
                          .Int32(9)
                          .Int32(12)
                          .Int32(-3)
                          .Int32(-1)
                          .Count(2)
                          .NewClass("CPatchItem", 2)
                          .PatchData("Far", kBankA, 0, 3, 200)
                          .Word(0x8001)
                          .PatchData("Near", kBankA, 1, 4, 127)
                          .String("text")
                          .Get();
    ASSERT_TRUE(doc->OnOpenDocument(dir.Write("odd.tmb", odd))) << doc->GetErrorMessage();
    const Lines calls = CardCommands();
    EXPECT_EQ(Count(calls, "907 h=77 bank=9"), 0);
    EXPECT_EQ(Count(calls, "905 "), 0);
    EXPECT_EQ(doc->GetCurrentBank(), -1);
    EXPECT_EQ(Contents(), (std::vector<std::string>{"Far@-1:-1-", "Near@127:4+"}));
    EXPECT_EQ(doc->GetInfoText(), "text");
}

TEST_F(DocumentTest, NewDocumentsNeedTheCardAndStartEmpty)
{
    Open(SmallDocument("about the old bank"));
    doc->SetModifiedFlag();
    ASSERT_TRUE(doc->OnNewDocument());
    EXPECT_TRUE(doc->GetPatches().IsEmpty());
    EXPECT_EQ(doc->GetInfoText(), "") << "a new document carried the last one's text";
    EXPECT_EQ(doc->GetPathName(), "");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetCurrentBank(), -1);
    EXPECT_EQ(observer.Hints(), std::vector<unsigned>{HintEverything});
    const Lines calls = recorder.TakeCommands();
    EXPECT_EQ(Count(calls, "910 "), 127);
    EXPECT_EQ(Lines(calls.end() - 2, calls.end()), (Lines{"906 h=77 size=256", "907 h=77 bank=0"}));

    auto cardless = MakeDocument(dir.File("no-such-library.so"));
    EXPECT_FALSE(cardless->OnNewDocument());
    EXPECT_EQ(cardless->GetErrorMessage(), "Awe32 is not available !");
}

TEST_F(DocumentTest, SelectionsAnnounceRealChangesOnly)
{
    Open(SmallDocument());
    EXPECT_TRUE(doc->SetCurrentBank(&observer, 1));
    EXPECT_TRUE(observer.updates.empty()); // bank 1 was current already

    const CPatchItem* strings = doc->GetPatches().GetItem(1);
    doc->SetCurrentPatch(nullptr, strings);
    EXPECT_EQ(doc->GetCurrentPatch(), 1); // its slot on a card bank
    EXPECT_TRUE(doc->SetCurrentBank(&observer, 1));
    EXPECT_EQ(doc->GetCurrentPatch(), 1);

    EXPECT_TRUE(doc->SetCurrentBank(&observer, -1));
    EXPECT_EQ(observer.updates, (std::vector<Update>{{&observer, HintBankList, {}}}));
    EXPECT_EQ(doc->GetCurrentPatch(), -1);
    doc->SetCurrentPatch(nullptr, doc->GetPatches().GetItem(0));
    EXPECT_EQ(doc->GetCurrentPatch(), 0); // its index in the list
    EXPECT_EQ(keyboard.patches, (std::vector<std::string>{"Strings 1:1", "Piano 1:0"}));

    EXPECT_FALSE(doc->SetCurrentBank(&observer, 128));
    EXPECT_FALSE(doc->SetCurrentBank(&observer, -2));
    EXPECT_EQ(doc->GetCurrentBank(), -1);

    observer.updates.clear();
    doc->SetCurrentFolder(&observer, "/banks");
    doc->SetCurrentFolder(nullptr, "/banks");
    doc->SetCurrentFile(nullptr, "/banks/A.SBK");
    doc->SetCurrentFile(nullptr, "/banks/A.SBK");
    doc->RefreshFolderTree();
    EXPECT_EQ(observer.updates,
              (std::vector<Update>{
                  {&observer, HintFolder, {}}, {nullptr, HintFile, {}}, {nullptr, HintFolderTree, {}}}));
    EXPECT_EQ(doc->GetCurrentFolder(), "/banks");
    EXPECT_EQ(doc->GetCurrentFile(), "/banks/A.SBK");
}

TEST_F(DocumentTest, EveryUpdateResolvesTheCurrentPatchAgain)
{
    Open(SmallDocument());
    doc->SetCurrentBank(nullptr, 1);
    doc->SetCurrentPatch(nullptr, doc->GetPatches().GetItem(1));
    keyboard.patches.clear();
    doc->UpdateViews(nullptr, HintPatches);
    EXPECT_EQ(keyboard.patches, std::vector<std::string>{"Strings 1:1"});
    EXPECT_EQ(doc->GetCurrentPatch(), 1);

    doc->SetCurrentBank(nullptr, -1);
    doc->SetCurrentPatch(nullptr, doc->GetPatches().GetItem(1));
    doc->DeleteContents();
    EXPECT_EQ(doc->GetCurrentPatch(), -1);

    // Without a keyboard nothing is sent, and nothing breaks.
    doc->SetKeyboard(nullptr);
    Open(SmallDocument());
    doc->SetCurrentPatch(nullptr, doc->GetPatches().GetItem(0));
    doc->EnableMidi(true);
    doc->SetKeyboard(&keyboard);
    doc->EnableMidi(false);
    EXPECT_TRUE(keyboard.patches.empty());
    EXPECT_EQ(keyboard.midi, std::vector<bool>{false});
}

TEST_F(DocumentTest, SlotsShowTheLoadedDocumentPatchOrWhatTheCardHolds)
{
    // "Refused" fails to load on 1:3; "Taken" loads on the same slot after it.
    recorder.Script(kAweLoadPreset, 1);
    Open(DocumentBytes(
        -1, 0, 0, 0, {},
        {{"Refused", kBankA, 0, 3, 1}, {"Taken", kBankA, 1, 3, 1}, {"Piano", kBankA, 2, 0, 2}}));
    EXPECT_EQ(Contents(), (std::vector<std::string>{"Refused@1:3-", "Taken@1:3+", "Piano@2:0+"}));

    EXPECT_EQ(doc->GetSlotCount(-1), 3);
    EXPECT_EQ(doc->GetSlotCount(0), 128);
    EXPECT_EQ(doc->GetSlotCount(127), 128);
    EXPECT_EQ(doc->GetSlotCount(128), 0);
    EXPECT_EQ(doc->GetPatch(2, -1), doc->GetPatches().GetItem(2));
    EXPECT_EQ(doc->GetPatch(3, 1), doc->GetPatches().GetItem(1));
    EXPECT_EQ(doc->GetPatch(0, 2), doc->GetPatches().GetItem(2));

    // Slots that do not exist are not asked of the card.
    for (const auto& [patch, bank] :
         std::vector<std::pair<int, int>>{{3, -1}, {-1, -1}, {-1, 1}, {128, 1}, {0, 128}})
        EXPECT_EQ(doc->GetPatch(patch, bank), nullptr) << patch << " " << bank;
    EXPECT_EQ(CardCommands(), Lines{});

    recorder.Script(kAweGetPresetName, 0, "Bright Piano");
    const CPatchItem* empty = doc->GetPatch(7, 2);
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(empty->IsDocumentPatch());
    EXPECT_EQ(empty->GetName(), "Bright Piano");
    EXPECT_EQ(empty->GetSourceFile(), kDrums);
    EXPECT_EQ(empty->GetSourcePatch(), 7);
    EXPECT_EQ(empty->GetTargetBank(), 2);
    EXPECT_EQ(empty->GetTargetPatch(), 7);
    EXPECT_EQ(doc->GetPatch(9, 4)->GetSourceFile(), ""); // no bank file there
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 2);
    EXPECT_EQ(doc->CheckConsistency(), "");

    doc->ReleaseTemporaryPatches();
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 0);
    EXPECT_NE(doc->GetPatch(7, 2), nullptr);
    EXPECT_EQ(doc->GetTemporaryPatchCount(), 1);
}

TEST_F(DocumentTest, ObserversUnregisteredDuringAnUpdateAreNotCalled)
{
    struct Remover : IDocumentObserver
    {
        CTamberlyDoc* document = nullptr;
        IDocumentObserver* victim = nullptr;
        void OnUpdate(IDocumentObserver*, unsigned, const CPatchItemList*) override
        {
            document->RemoveObserver(victim);
            document->RemoveObserver(this);
        }
    };
    RecordingObserver later;
    Remover remover;
    remover.document = doc.get();
    remover.victim = &later;
    doc->RemoveObserver(&observer);
    doc->AddObserver(&remover);
    doc->AddObserver(&later);
    doc->AddObserver(&later); // once is enough
    doc->UpdateViews(nullptr, HintFolderTree);
    doc->UpdateViews(nullptr, HintFolderTree);
    EXPECT_TRUE(later.updates.empty());
}

TEST_F(DocumentTest, FailedSavesLeaveThePreviousFileAsItWas)
{
    Open(DocumentBytes(
        1, 0, 0, 0, {},
        std::vector<StoredPatch>(40, StoredPatch{"A patch with a long name", kBankA, 0, -1, -1})));
    doc->SetModifiedFlag();
    const std::string target = dir.Write("bank.tmb", SmallDocument("the version saved before"));
    {
        FileSizeLimit diskFull(512);
        EXPECT_FALSE(doc->OnSaveDocument(target));
    }
    EXPECT_EQ(doc->GetErrorMessage(), "Failed to save document.");
    EXPECT_EQ(ReadFileBytes(target), SmallDocument("the version saved before"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_NE(doc->GetPathName(), target);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"bank.tmb", "doc.tmb", "home"}))
        << "a temporary file was left";

    const std::string nowhere = dir.File("no folder/bank.tmb");
    EXPECT_FALSE(doc->OnSaveDocument(nowhere));
    EXPECT_EQ(doc->GetErrorMessage(), nowhere + " was not found.");

    ASSERT_TRUE(doc->OnSaveDocument(target));
    EXPECT_FALSE(doc->IsModified());
    auto reopened = MakeDocument(TAMBERLY_RECORDER_PATH);
    ASSERT_TRUE(reopened->OnOpenDocument(target));
    EXPECT_EQ(reopened->GetPatches().GetSize(), 40);
}
