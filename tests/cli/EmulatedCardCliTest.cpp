// tamberly-cli card commands against the emulated card it finds beside itself.

#include "cli/EmulatedCardCli.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
class EmulatedCardCliTest : public EmulatedCardCli
{
protected:
    EmulatedCardCliTest() : orchestra(WriteOrchestra("orchestra.sbk")) {}

    // What card status reports; the command must succeed.
    std::string Status()
    {
        EXPECT_EQ(Cli({"card", "status"}), 0) << err;
        return out;
    }

    std::string orchestra;
};

const std::string kFreshHead = "Synth mode:   0 GM (General MIDI)\n"
                               "Reverb:       4\n"
                               "Chorus:       2\n";
} // namespace

TEST_F(EmulatedCardCliTest, AFreshCardAnswers)
{
    EXPECT_EQ(Status(), kFreshHead + "Sound memory: 28672 KB free of 28672 KB\n");
}

TEST_F(EmulatedCardCliTest, LoadingAndClearingMoveMemoryAndNames)
{
    ASSERT_EQ(Cli({"card", "load-bank", "2", orchestra}), 0) << err;
    ASSERT_EQ(Cli({"card", "load-preset", "3", "4", orchestra, "5"}), 0) << err;
    EXPECT_EQ(out, "003:004 loaded, 16 KB\n");
    EXPECT_EQ(Status(), kFreshHead +
                            "Sound memory: 28592 KB free of 28672 KB\n"
                            "Bank 002: Orchestra\n"
                            "  file: " +
                            orchestra +
                            "\n"
                            "  000 Violin\n"
                            "  005 Cello\n"
                            "Bank 003: (no bank file)\n"
                            "  004 Cello\n");

    // Refused: the file has no preset 9. The slot was cleared before the load.
    EXPECT_EQ(Cli({"card", "load-preset", "3", "4", orchestra, "9"}), 1);
    EXPECT_NE(err.find("refused"), std::string::npos) << err;

    ASSERT_EQ(Cli({"card", "mode", "mt"}), 0) << err;
    ASSERT_EQ(Cli({"card", "fx", "5", "7"}), 0) << err;
    ASSERT_EQ(Cli({"card", "load-preset", "0", "1", orchestra, "0"}), 0) << err;
    ASSERT_EQ(Cli({"card", "clear", "2"}), 0) << err;
    EXPECT_EQ(Status(), "Synth mode:   2 MT (MT-32)\n"
                        "Reverb:       5\n"
                        "Chorus:       7\n"
                        "Sound memory: 28670 KB free of 28672 KB\n");
    ASSERT_EQ(Cli({"card", "revert", "0", "1"}), 0) << err;
    EXPECT_EQ(Status(), "Synth mode:   2 MT (MT-32)\n"
                        "Reverb:       5\n"
                        "Chorus:       7\n"
                        "Sound memory: 28672 KB free of 28672 KB\n");
}
