#include "platform/PathNames.h"

#include <gtest/gtest.h>

TEST(PathNames, FileTitleDropsFolderAndLastExtensionOnly)
{
    EXPECT_EQ(FileTitle("/home/user/banks/PIANO.WAV"), "PIANO");
    EXPECT_EQ(FileTitle("relative/strings.sbk"), "strings");
    EXPECT_EQ(FileTitle("plain"), "plain");
    EXPECT_EQ(FileTitle("two.dots.sbk"), "two.dots");
    // A dot in a folder name is no extension of the file.
    EXPECT_EQ(FileTitle("/banks.old/GM"), "GM");
    // A leading dot names a hidden file; it is no extension.
    EXPECT_EQ(FileTitle("/banks/.hidden"), ".hidden");
    EXPECT_EQ(FileTitle("/banks/.hidden.sbk"), ".hidden");
    EXPECT_EQ(FileTitle("trailing."), "trailing");
    EXPECT_EQ(FileTitle("/banks/"), "");
    EXPECT_EQ(FileTitle(""), "");
}
