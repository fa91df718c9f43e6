// Documents opened by CTamberlyDoc on the emulated card (its library loaded
// as the program loads it): the input is a .tmb file, or with a first byte
// that is odd, a .shb file imported into a new document. Whatever the bytes,
// the document must stay consistent with itself and with the card, a
// refused file must leave both empty, and what opened must save, open again
// and save to the same bytes.
//
// Inputs may name the banks and the wave in kBanks (written on start, the
// same bytes by every process), so that patches and bank files really load.

#include "FuzzCard.h"

#include "aweman/SynthBank.h"
#include "bank/PatchItem.h"
#include "bank/TamberlyDoc.h"
#include "platform/ByteStream.h"
#include "platform/RegistryStore.h"
#include "synth/AweSession.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
constexpr const char* kBanks = "/tmp/tamberly-fuzz-banks";

void WriteFixtures()
{
    std::filesystem::create_directories(kBanks);
    const std::string folder = kBanks;
    for (int mode : {0, 2})
        if (!CSynthBank::WriteFile(mode, folder + (mode == 0 ? "/gm.sbk" : "/mt32.sbk")))
            FuzzFail("writing the fixture banks", __FILE__, __LINE__);
    // A short mono 16-bit wave: a wave patch is converted to a bank when loaded.
    std::vector<std::uint8_t> wave;
    const std::uint32_t frames = 256;
    const auto tag = [&](const char* id) { wave.insert(wave.end(), id, id + 4); };
    tag("RIFF");
    AppendLE32(wave, 36 + frames * 2);
    tag("WAVE");
    tag("fmt ");
    AppendLE32(wave, 16);
    AppendLE16(wave, 1);     // PCM
    AppendLE16(wave, 1);     // mono
    AppendLE32(wave, 22050); // frames per second
    AppendLE32(wave, 44100); // bytes per second
    AppendLE16(wave, 2);     // block alignment
    AppendLE16(wave, 16);    // bits
    tag("data");
    AppendLE32(wave, frames * 2);
    for (std::uint32_t i = 0; i < frames; ++i)
        AppendLE16(wave, static_cast<std::uint16_t>((i % 32) * 1000));
    const std::vector<std::uint8_t>& bytes = wave;
    if (!WriteWholeFileAtomic(folder + "/tone.wav", std::string(bytes.begin(), bytes.end())))
        FuzzFail("writing the fixture wave", __FILE__, __LINE__);
}

CTamberlyDoc& Document()
{
    static CTamberlyDoc* doc = []
    {
        const std::string& home = CFuzzCard::Instance().Home();
        WriteFixtures();
        auto card = std::make_unique<CAweSession>(TAMBERLY_FUZZ_AWEMAN, CRegistryStore(home));
        if (!card->IsAvailable())
            FuzzFail("the card's library", __FILE__, __LINE__);
        return new CTamberlyDoc(std::move(card)); // kept to the end, like the program's
    }();
    return *doc;
}

// The document and the card agree: every loaded patch is on its slot, every
// bank file the card names has its bank.
void CheckAgainstCard(CTamberlyDoc& doc)
{
    // FUZZ_TRACE=1 in the environment prints what loaded (for replaying a finding).
    static const bool trace = std::getenv("FUZZ_TRACE") != nullptr;
    if (trace)
    {
        int loaded = 0;
        for (const CPatchItem* patch : doc.GetPatches())
            loaded += patch->IsLoaded() ? 1 : 0;
        int banks = 0;
        for (int bank = 1; bank <= 127; ++bank)
            banks += doc.GetCard().GetBankFile(bank).empty() ? 0 : 1;
        std::fprintf(stderr, "%d patches, %d loaded, %d bank files, %d KB free\n", doc.GetPatches().GetSize(),
                     loaded, banks, doc.GetCard().GetMemoryKB(true));
    }
    const std::string problem = doc.CheckConsistency();
    if (!problem.empty())
        FuzzFail(problem.c_str(), __FILE__, __LINE__);
    for (const CPatchItem* patch : doc.GetPatches())
    {
        if (!patch->IsLoaded())
            continue;
        FUZZ_CHECK(patch->GetTargetBank() >= 0 && patch->GetTargetPatch() >= 0);
        FUZZ_CHECK(!doc.GetCard().GetPresetName(patch->GetTargetBank(), patch->GetTargetPatch()).empty());
    }
    const int freeKB = doc.GetCard().GetMemoryKB(true);
    const int totalKB = doc.GetCard().GetMemoryKB(false);
    FUZZ_CHECK(totalKB > 0 && freeKB >= 0 && freeKB <= totalKB);
}

std::string Saved(CTamberlyDoc& doc, const std::string& name)
{
    const std::string path = CFuzzCard::Instance().PathOf(name);
    FUZZ_CHECK(doc.OnSaveDocument(path));
    FUZZ_CHECK(!doc.IsModified() && doc.GetPathName() == path);
    std::string bytes;
    FUZZ_CHECK(ReadWholeFile(path, bytes));
    return bytes;
}

// Saves what is open, opens it again, saves again: the same bytes.
void CheckRoundTrip(CTamberlyDoc& doc)
{
    const std::string first = Saved(doc, "first.tmb");
    FUZZ_CHECK(doc.OnOpenDocument(CFuzzCard::Instance().PathOf("first.tmb")));
    CheckAgainstCard(doc);
    FUZZ_CHECK(Saved(doc, "second.tmb") == first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CTamberlyDoc& doc = Document();
    const bool shb = size > 0 && (data[0] & 1) != 0;
    if (size > 0)
        CFuzzFile::Input().Write(data + 1, size - 1);
    else
        CFuzzFile::Input().Write(data, 0);

    if (shb)
    {
        FUZZ_CHECK(doc.OnNewDocument());
        const CTamberlyDoc::ShbImport result = doc.ImportShbFile(CFuzzFile::Input().Path());
        FUZZ_CHECK(result.readable);
        FUZZ_CHECK(result.bankFilesLoaded <= result.bankFiles &&
                   result.instrumentsLoaded <= result.instruments);
        CheckAgainstCard(doc);
        CheckRoundTrip(doc);
        return 0;
    }

    const bool opened = doc.OnOpenDocument(CFuzzFile::Input().Path());
    CheckAgainstCard(doc);
    if (!opened)
    {
        // Damage leaves an empty, untitled document on an emptied card.
        FUZZ_CHECK(!doc.GetErrorMessage().empty());
        FUZZ_CHECK(doc.GetPatches().IsEmpty() && doc.GetPathName().empty());
        for (int bank = 1; bank <= 127; ++bank)
            FUZZ_CHECK(doc.GetCard().GetBankFile(bank).empty());
        return 0;
    }
    FUZZ_CHECK(doc.GetPathName() == CFuzzFile::Input().Path());
    CheckRoundTrip(doc);
    return 0;
}
