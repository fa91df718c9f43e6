// Seeds of the card state target: states the card writes (fresh, a full mix
// of bank files, emptied slots and presets with names that need escaping), a
// preset line of the older form without a memory copy, and damaged states of
// the kinds a crash or a hand edit leaves.

#include "SeedSet.h"

#include "cardstate/CardModel.h"

namespace
{
CCardModel Mixed()
{
    CCardModel model;
    model.synthMode = 2;
    model.reverb = 7;
    model.chorus = 0;
    CCardModel::BankFile drums{"/banks/drums.sbk", "Drum Kit", 4096, {{0, "Standard"}, {25, "Room %"}}, {25}};
    model.bankFiles[1] = drums;
    model.bankFiles[127] = {"/banks/with space/x.sbk", "", 0, {}, {}};
    model.presets[{0, 0}] = {"/banks/piano.sbk", 3, "Grand\tPiano", 1024, "0123456789abcdef"};
    model.presets[{1, 25}] = {"/banks/a=b.sbk", 65535, "", 7, ""};
    model.presets[{127, 127}] = {"relative.sbk", 0, "\xC3\xA9t\xC3\xA9", 2147483648u, "z"};
    return model;
}

void Make(CSeedSet& seeds)
{
    seeds.Add("fresh", CCardModel().Serialize());
    const std::string mixed = Mixed().Serialize();
    seeds.Add("mixed", mixed);
    seeds.Add("old-preset-line",
              "tamberly card state 1\nsynth 0\neffects 4 2\npreset 3 4 5 100 =/a.sbk =Name\nend\n");
    seeds.Add("no-end", mixed.substr(0, mixed.size() - 4));
    seeds.Add("cut-line", mixed.substr(0, mixed.size() / 2));
    seeds.Add("twice-synth", "tamberly card state 1\nsynth 0\nsynth 1\neffects 4 2\nend\n");
    seeds.Add("out-of-range", "tamberly card state 1\nsynth 3\neffects 8 2\nbank 0 1 =a =b\nend\n");
    seeds.Add("emptied-before-bank", "tamberly card state 1\nsynth 0\neffects 4 2\nemptied 1 0\nend\n");
    seeds.Add("memory-escape",
              "tamberly card state 1\nsynth 0\neffects 4 2\npreset 1 1 0 1 =a =b =../x\nend\n");
    seeds.Add(
        "too-many-words",
        "tamberly card state 1\nsynth 0\neffects 4 2\nbank 1 2147483648 =a =b\nbank 2 2147483648 =a =b\n"
        "bank 3 18446744073709551615 =a =b\nend\n");
    seeds.Add("crlf", "tamberly card state 1\r\nsynth 0\r\neffects 4 2\r\nend\r\n");
    seeds.Add("empty", std::string());
}

const RegisterSeeds registration("CardState", Make);
} // namespace
