#pragma once
// A bank file of Soundshelf Manager 2.xx (.shb): INI text with the card's
// effects ("Awe"), whole bank files for user banks ("UserBanks", keys
// User1, User2, ...) and instruments ("Instrument-List", keys Instrument1,
// ...). Each list ends at its first empty or missing entry.
//
// Entries have fixed fields (positions from 0; separator characters are
// never looked at):
//   user bank    "BBB???path"               bank in 0-2, the path from 6 on
//   instrument   "SSS???path/name?PPPP"     slot in 0-2, synth bank 0
//                "SSS:BBB???path/name?PPPP" slot in 0-2, bank in 4-6
// where the text part (from 6, or from 10 with a bank) is a path, a "/",
// a name, and 5 closing characters whose last 4 are the source preset.
// Numbers are read within their field only, as atoi reads them (blanks, a
// sign, digits; no digits is 0). Values are kept as the bytes they are.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ShbUserBank
{
    int bank = 0; // 1..127
    std::string path;
};

struct ShbInstrument
{
    int targetPatch = -1; // 0..127, or -1 with targetBank -1 when out of range
    int targetBank = -1;  // 0..127, or -1
    std::string sourceFile;
    std::string name;
    int sourcePatch = -1;
};

class CShbFile
{
public:
    // Reads the file; false when it cannot be read (nothing is kept then).
    bool Load(const std::string& path);

    // atoi of the "Awe" values (0 when missing).
    int reverb = 0;
    int chorus = 0;
    std::vector<ShbUserBank> userBanks;
    std::vector<ShbInstrument> instruments;
    // Entries of the two lists that could not be read (too short, no "/",
    // a user bank outside 1..127); they are passed over, not read out of
    // bounds, and do not end their list.
    int skipped = 0;
    // Whether the file holds any of the values above (or skipped entries).
    bool HasEntries() const { return hasEntries; }

    // One entry; nothing when it cannot be read. A target bank or slot out
    // of range makes the instrument unassigned (both -1).
    static std::optional<ShbUserBank> ParseUserBank(std::string_view value);
    static std::optional<ShbInstrument> ParseInstrument(std::string_view value);

private:
    bool hasEntries = false;
};
