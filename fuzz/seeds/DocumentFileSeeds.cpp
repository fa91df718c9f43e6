// Seeds of the .tmb document target: documents this program stores, and
// hand-made streams in the forms it never writes but reads (16-bit strings,
// long length forms, repeated and null references, other schemas), whole and
// damaged.

#include "SeedSet.h"

#include "bank/DocumentFile.h"
#include "bank/PatchItemListGuard.h"
#include "support/ArchiveBuilder.h"

namespace
{
Bytes Stored(const CDocumentFile::Header& header, int patchCount, const std::string& info)
{
    CPatchItemList patches;
    CPatchItemListGuard guard(patches);
    for (int i = 0; i < patchCount; ++i)
    {
        CPatchItem* patch = patches.AddNew();
        patch->SetName(i % 2 ? "Strings" : "Grand Piano");
        patch->SetSourceFile(i % 3 ? "C:\\BANKS\\GM.SBK" : "/home/user/waves/PIANO.WAV");
        patch->SetSourcePatch(i);
        patch->SetTargetPatch(i % 128);
        patch->SetTargetBank(i % 5 ? 1 + i % 127 : -1);
    }
    CMemorySink sink;
    CDocumentFile::Store(sink, header, patches, info);
    return sink.Bytes();
}

void Make(CSeedSet& seeds)
{
    CDocumentFile::Header header;
    header.currentBank = 2;
    header.synthBank = 1;
    header.reverb = 4;
    header.chorus = 2;
    header.bankFiles = {{1, "C:\\BANKS\\SYNTHGM.SBK"}, {127, "/banks/drums.sbk"}};

    seeds.Add("empty-file", Bytes{});
    seeds.Add("empty-document", Stored({}, 0, ""));
    seeds.Add("one-patch", Stored({}, 1, "Info"));
    seeds.Add("with-bank-files", Stored(header, 3, "A bank\r\nof three"));
    seeds.Add("twenty-patches", Stored(header, 20, ""));
    seeds.Add("long-info", Stored({}, 1, std::string(300, 'i')));

    const auto patch = [](ArchiveBuilder& b, std::string_view name)
    { return b.PatchData(name, "C:\\A.SBK", 3, 4, 5); };
    ArchiveBuilder b;
    b.Header(-1, 0, 0, 0).Count(4).NewClass("CPatchItem");
    patch(b, "First");
    b.Word(0x0002); // the first patch again
    b.Word(0x0000); // null
    b.Word(0x8001); // the class by number, then a new patch
    patch(b, "Second").String("info");
    seeds.Add("references", b.Get());

    b = ArchiveBuilder();
    b.Header(5, 2, 7, 7).Count(1).NewClass("CPatchItem", 7);
    b.WideString(u"Wide \u00C4 name").WideString(u"C:\\\u00DC.SBK").Int32(0).Int32(1).Int32(2);
    b.WideString(u"info");
    seeds.Add("wide-strings-other-schema", b.Get());

    b = ArchiveBuilder();
    b.Int32(1).Int32(0).Int32(0).Int32(0).Int32(200).String("bad bank").Int32(3).String("").Int32(4);
    b.String("C:\\OK.SBK").Int32(-1).Word(0xFFFF).DWord(1).NewClass("CPatchItem");
    b.Byte(0xFF).Word(5).Raw("Long5").Byte(0xFF).Word(0xFFFF).DWord(3).Raw("a.b");
    b.Int32(-7).Int32(300).Int32(2).Byte(0);
    seeds.Add("long-forms-and-odd-entries", b.Get());

    b = ArchiveBuilder();
    b.Header(0, 0, 0, 0).Count(1).Word(0x7FFF).DWord(0x80000000u | 0xFFFF);
    seeds.Add("big-class-tag", b.Get());
    b = ArchiveBuilder();
    b.Header(0, 0, 0, 0).Count(1).NewClass("CPatchItemList");
    seeds.Add("wrong-class", b.Get());
    b = ArchiveBuilder();
    b.Header(0, 0, 0, 0).Count(0xFFFF).Word(0).Word(0);
    seeds.Add("count-beyond-stream", b.Get());

    Bytes cut = Stored(header, 3, "cut");
    cut.resize(cut.size() / 2);
    seeds.Add("cut-in-patches", cut);
    Bytes noInfo = Stored({}, 2, "");
    noInfo.pop_back();
    seeds.Add("no-info-length", noInfo);
}

const RegisterSeeds registration("DocumentFile", Make);
} // namespace
