// Which General MIDI set a card plays when the user chose none: the system's
// choice first, then the sets Debian packages, then the user's variable.

#include "platform/GeneralMidiSet.h"
#include "support/RiffBuilder.h"
#include "support/ScopedCardHome.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(GeneralMidiSet, TheSystemsChoiceComesFirstAndTheVariableOverAll)
{
    const ScopedEnvironment unset("TAMBERLY_GM_SOUNDFONT", "");
    TempDir sets;
    EXPECT_EQ(sets.File("TimGM6mb.sf2"), DefaultGeneralMidiSet(sets.Path())) << "named even when missing";
    sets.Write("FluidR3_GM.sf2", Bytes{1});
    EXPECT_EQ(sets.File("FluidR3_GM.sf2"), DefaultGeneralMidiSet(sets.Path()));
    sets.Write("TimGM6mb.sf2", Bytes{1});
    EXPECT_EQ(sets.File("TimGM6mb.sf2"), DefaultGeneralMidiSet(sets.Path()));
    // The alternatives system's link, followed to a file.
    std::filesystem::create_symlink(sets.File("FluidR3_GM.sf2"), sets.File("default-GM.sf2"));
    EXPECT_EQ(sets.File("default-GM.sf2"), DefaultGeneralMidiSet(sets.Path()));
    // A link to nothing is passed over.
    std::filesystem::remove(sets.File("FluidR3_GM.sf2"));
    EXPECT_EQ(sets.File("TimGM6mb.sf2"), DefaultGeneralMidiSet(sets.Path()));

    const ScopedEnvironment chosen("TAMBERLY_GM_SOUNDFONT", "/my/set.sf2");
    EXPECT_EQ("/my/set.sf2", DefaultGeneralMidiSet(sets.Path()));
}
