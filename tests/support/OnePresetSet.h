#pragma once
// A General MIDI set of one preset for the tests of the set's choice: bank 0
// program `program`, written as a SoundFont 2 file in dir, so that which set
// plays shows in which program sounds.

#include "platform/AtomicFile.h"
#include "platform/ByteStream.h"
#include "soundfont/SoundFont2Converter.h"
#include "support/RiffBuilder.h"
#include "support/SoundFontBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline std::string OnePresetSet(const TempDir& dir, int program)
{
    SoundFontBuilder bank;
    bank.SampleData(8192);
    const int sample = bank.AddSample(0, 4000);
    bank.AddPreset("Only", static_cast<std::uint16_t>(program), 0, {bank.AddInstrument("Only", {sample})});
    const Bytes sbk = bank.Build();
    CMemorySource in(sbk);
    std::vector<std::uint8_t> sf2;
    EXPECT_TRUE(CSoundFont2Converter().ConvertBank(in, sf2));
    const std::string path = dir.File("set-" + std::to_string(program) + ".sf2");
    EXPECT_TRUE(WriteWholeFileAtomic(path, std::string(sf2.begin(), sf2.end())));
    return path;
}
