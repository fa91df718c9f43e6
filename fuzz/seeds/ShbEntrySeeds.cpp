// Seeds of the .shb entry target: single entry values of both kinds (with and
// without a bank, short, signed, blank-padded, without "/") and whole bank
// files whose lists have gaps, skipped entries and out-of-range targets.

#include "SeedSet.h"

namespace
{
void Make(CSeedSet& seeds)
{
    seeds.Add("user-bank", "002   C:\\BANKS\\DRUMS.SBK");
    seeds.Add("user-bank-dash", "017 - /home/me/banks/synth.sbk");
    seeds.Add("user-bank-out-of-range", "128   a.sbk");
    seeds.Add("user-bank-short", "001 ab");
    seeds.Add("instrument", "012   C:\\BANKS\\A.SBK/Piano 0024");
    seeds.Add("instrument-bank", "012:003   C:\\BANKS\\A.SBK/Piano 0024");
    seeds.Add("instrument-signs", "-01:+05   x/y/z  -012");
    seeds.Add("instrument-no-slash", "005   no slash here 0001");
    seeds.Add("instrument-tail-short", "005   a.sbk/0001");
    seeds.Add("instrument-blank-fields", "  7:  9   /Empty Path 0000");
    seeds.Add(
        "file",
        "[Awe]\r\nReverb=4\r\nChorus= 2 \r\n[UserBanks]\r\nUser1=002   drums.sbk\r\nUser2=200   bad.sbk\r\n"
        "User3=017 - synth.sbk\r\n[Instrument-List]\r\nInstrument1=012:003   a.sbk/Piano 0024\r\n"
        "Instrument2=999   b.sbk/Out 0001\r\nInstrument3=short\r\nInstrument4=005   c.sbk/Last 0127\r\n");
    seeds.Add("file-gap",
              "[UserBanks]\nUser1=001 a.sbk\nUser3=003 c.sbk\n[Instrument-List]\nInstrument2=x\n");
    seeds.Add("file-effects-only", "[awe]\nREVERB=-3\nchorus=99999999999\n");
    seeds.Add("empty", std::string());
}

const RegisterSeeds registration("ShbEntry", Make);
} // namespace
