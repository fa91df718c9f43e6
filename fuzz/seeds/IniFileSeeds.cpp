// Seeds of the INI target: Soundshelf bank files as the import reads them, in
// the line endings, spellings and quirks Windows' INI reading accepts.

#include "SeedSet.h"

#include <string>

namespace
{
std::string Shb(const char* eol)
{
    std::string text;
    const auto line = [&](const std::string& s) { text += s + eol; };
    line("[Awe]");
    line("Reverb=4");
    line("Chorus= 2 ");
    line("");
    line("[UserBanks]");
    line("User1=002   C:\\BANKS\\DRUMS.SBK");
    line("User2=017 - C:\\BANKS\\SYNTH.SBK");
    line("[Instrument-List]");
    line("Instrument1=012:003   C:\\BANKS\\A.SBK/Piano 0024");
    line("Instrument2=005   C:\\SB\\GM.SBK/Strings 0048");
    line("Instrument3=no slash here");
    return text;
}

void Make(CSeedSet& seeds)
{
    seeds.Add("shb-crlf", Shb("\r\n"));
    seeds.Add("shb-lf", Shb("\n"));
    seeds.Add("shb-cr", Shb("\r"));
    seeds.Add("bom-and-comments", "\xEF\xBB\xBF; comment\r\n[awe]\r\n  ; another\r\nREVERB = 7\r\n");
    seeds.Add("quotes", "[Awe]\nReverb=\"3\"\nChorus='x'\n[UserBanks]\nUser1=\"unbalanced\nUser2=''\n");
    seeds.Add("duplicates",
              "[Awe]\nReverb=1\nreverb=2\n[AWE]\nChorus=5\n[UserBanks]\nUser1=001 a.sbk\nUser1=002 b.sbk\n");
    seeds.Add("keys-before-sections", "Reverb=9\n[Awe\nReverb=8\n[ Awe ]\nReverb=6\n[]\n=empty key\n");
    seeds.Add("long-value", "[Instrument-List]\nInstrument1=" + std::string(300, 'v') + "\n");
    seeds.Add("gap-in-numbers", "[UserBanks]\nUser1=001 a.sbk\nUser3=003 c.sbk\n");
    seeds.Add("no-equals", "[Awe]\nReverb\n\tChorus\t=\t\t1\t\n");
    static constexpr char binary[] = "[Awe]\0Reverb=1\x80\xff\n[\x01]\n";
    seeds.Add("binary", std::string_view(binary, sizeof binary - 1));
    seeds.Add("empty", std::string());
}

const RegisterSeeds registration("IniFile", Make);
} // namespace
