// Seeds of the clipboard stream target: payloads this program writes, and
// hand-made ones with references, nulls, 16-bit strings and lies.

#include "SeedSet.h"

#include "bank/ClipboardStream.h"
#include "bank/PatchItemListGuard.h"
#include "support/ArchiveBuilder.h"

namespace
{
Bytes Written(int count)
{
    CPatchItemList list;
    CPatchItemListGuard guard(list);
    for (int i = 0; i < count; ++i)
    {
        CPatchItem* patch = list.AddNew();
        patch->SetName("Patch " + std::to_string(i));
        patch->SetSourceFile(i % 2 ? "C:\\BANKS\\A.SBK" : "/waves/LOOP.WAV");
        patch->SetSourcePatch(i);
        patch->SetTargetPatch(i);
        patch->SetTargetBank(i % 2 ? 3 : -1);
    }
    return CClipboardStream::Write(list);
}

void Make(CSeedSet& seeds)
{
    seeds.Add("empty-list", Written(0));
    seeds.Add("one-patch", Written(1));
    seeds.Add("five-patches", Written(5));
    seeds.Add("empty-payload", Bytes{});

    ArchiveBuilder b;
    b.Count(5).NewClass("CPatchItem").PatchData("A", "C:\\A.SBK", 0, 1, 2);
    b.Word(2).Word(0).Word(0x8001).PatchData("B", "b.wav", 3, 200, 4).Word(3);
    seeds.Add("references-and-nulls", b.Get());

    b = ArchiveBuilder();
    b.Count(1)
        .NewClass("CPatchItem", 2)
        .WideString(u"\u00C4\u00D6")
        .WideString(u"\xD800x")
        .Int32(1)
        .Int32(2)
        .Int32(3);
    seeds.Add("wide-strings", b.Get());

    b = ArchiveBuilder();
    b.Count(2).Word(0x7FFF).DWord(0).Word(0x7FFF).DWord(0x80000000u | 0x7FFF);
    seeds.Add("big-tags", b.Get());

    b = ArchiveBuilder();
    b.Count(1).NewClass("CPatchItemX");
    seeds.Add("unknown-class", b.Get());
    b = ArchiveBuilder();
    b.Count(1).Word(0xFFFF).Word(1).Word(200);
    seeds.Add("class-name-too-long", b.Get());
    b = ArchiveBuilder();
    b.Count(3).Word(0x0001);
    seeds.Add("reference-never-made", b.Get());
    b = ArchiveBuilder();
    b.Count(1).NewClass("CPatchItem").Byte(0xFF).Word(0xFFFF).DWord(0xFFFFFFF0).Raw("short");
    seeds.Add("string-claims-more", b.Get());

    Bytes cut = Written(2);
    cut.resize(cut.size() - 5);
    seeds.Add("cut", cut);
}

const RegisterSeeds registration("ClipboardStream", Make);
} // namespace
