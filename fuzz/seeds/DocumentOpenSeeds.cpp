// Seeds of the document-on-the-card target: documents and .shb files that
// name the target's fixture banks and wave, so that bank files and patches
// really load (and some that cannot: missing files, presets a bank lacks,
// slots given twice). Each input starts with its kind: 0 a .tmb, 1 a .shb.

#include "SeedSet.h"

#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"

namespace
{
const std::string kBanks = "/tmp/tamberly-fuzz-banks/";

struct Patch
{
    std::string name;
    std::string file;
    int source;
    int bank;
    int slot;
};

Bytes Tmb(const CDocumentFile::Header& header, const std::vector<Patch>& list, const std::string& info = "")
{
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    for (const Patch& p : list)
    {
        CPatchItem* patch = patches.AddNew();
        patch->SetName(p.name);
        patch->SetSourceFile(p.file);
        patch->SetSourcePatch(p.source);
        patch->SetTargetBank(p.bank);
        patch->SetTargetPatch(p.slot);
    }
    CMemorySink sink;
    CDocumentFile::Store(sink, header, patches, info);
    return WithLeadingByte(0, sink.Bytes());
}

Bytes Shb(const std::string& text)
{
    return WithLeadingByte(1, text);
}

void Make(CSeedSet& seeds)
{
    const std::string gm = kBanks + "gm.sbk";
    const std::string mt32 = kBanks + "mt32.sbk";
    const std::string wave = kBanks + "tone.wav";

    CDocumentFile::Header header;
    header.currentBank = 1;
    header.synthBank = 2;
    header.reverb = 6;
    header.chorus = 1;
    header.bankFiles = {{1, gm}, {2, mt32}, {127, kBanks + "missing.sbk"}};
    seeds.Add("banks-and-patches", Tmb(header,
                                       {{"Piano", gm, 0, 3, 0},
                                        {"Organ", mt32, 16, 1, 5},
                                        {"Tone", wave, 5, 4, 60},
                                        {"Synth slot", gm, 40, 0, 40},
                                        {"Unassigned", gm, 1, -1, -1},
                                        {"No such preset", gm, 500, 5, 5},
                                        {"Missing", kBanks + "gone.sbk", 0, 6, 6}},
                                       "Seed"));
    seeds.Add("slot-given-twice", Tmb({}, {{"A", gm, 1, 2, 2}, {"B", gm, 2, 2, 2}}));
    seeds.Add("relative-and-odd-paths",
              Tmb({}, {{"Rel", "gm.sbk", 0, 1, 1}, {"Dir", kBanks, 0, 1, 2}, {"Empty", "", 0, 1, 3}}));
    seeds.Add("empty-document", Tmb({}, {}));
    seeds.Add("empty-file", Bytes{0});
    seeds.Add("not-a-document", Bytes{0, 'R', 'I', 'F', 'F', 0, 0, 0});

    seeds.Add("shb", Shb("[Awe]\r\nReverb=3\r\nChorus=5\r\n[UserBanks]\r\nUser1=002   " + gm +
                         "\r\nUser2=003   " + kBanks +
                         "missing.sbk\r\n[Instrument-List]\r\n"
                         "Instrument1=010:002   " +
                         mt32 +
                         "/Organ 0016\r\n"
                         "Instrument2=011   " +
                         gm +
                         "/Piano 0000\r\n"
                         "Instrument3=011   " +
                         gm +
                         "/Again 0001\r\n"
                         "Instrument4=200   " +
                         gm +
                         "/Out of range 0002\r\n"
                         "Instrument5=012   " +
                         wave + "/Tone 0005\r\n"));
    seeds.Add("shb-empty", Shb(""));
}

const RegisterSeeds registration("DocumentOpen", Make);
} // namespace
