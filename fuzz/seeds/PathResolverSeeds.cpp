// Seeds of the resolver target: a form byte, then a stored path of the kinds
// old documents hold, optionally a second line with a drive mapping.

#include "SeedSet.h"

namespace
{
void Make(CSeedSet& seeds)
{
    const auto add = [&](const char* name, std::uint8_t form, std::string_view path)
    { seeds.Add(name, WithLeadingByte(form, path)); };
    add("drive", 1, "SBK\\PIANO.SBK");
    add("drive-namesake", 1, "SBK\\GRAND\\PIANO.SBK");
    add("share", 2, "sub\\B.SBK");
    add("relative", 3, "doc\\sub\\DEEPER\\b.sbk");
    add("relative-up", 0, "sub\\up\\sub\\up\\A.SBK");
    add("posix", 4, "tmp/none.sbk");
    add("unmapped", 5, "x/y/A.sbk");
    add("deep", 1, "C.SBK");
    add("windows-1252", 1, "KL\xC4NGE.SBK");
    add("bad-drive", 0, "1:\\A.SBK");
    add("folder", 0, "FOLDER.SBK");
    add("mapping", 5, "A.SBK\nd:=/tmp");
    add("mapping-bad", 1, "A.SBK\n\\\\server=/tmp");
    add("empty", 0, "");
}

const RegisterSeeds registration("PathResolver", Make);
} // namespace
