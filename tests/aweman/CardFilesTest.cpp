// The stamp that tells the card and the engine a state file changed without
// reading it.

#include "cardstate/CardFiles.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

TEST(CardFiles, AStampShowsAReplacedFileEvenWithTheSameSizeAndTime)
{
    TempDir dir;
    const std::string path = CardFiles::StatePath(dir.Path());
    EXPECT_EQ(path, dir.Path() + "/card.state");
    EXPECT_EQ(FileStamp::Of(path), FileStamp()) << "missing: all zero";
    EXPECT_EQ(FileStamp::Of(path).Text(), "missing");

    dir.Write("card.state", Bytes{'a', 'b'});
    const FileStamp first = FileStamp::Of(path);
    EXPECT_EQ(first.size, 2u);
    EXPECT_EQ(FileStamp::Of(path), first) << "an untouched file keeps its stamp";
    EXPECT_NE(first.Text(), "missing");

    // Replaced by a rename, as the card writes it, with the old change time put back:
    // only the identity differs, and that is enough.
    struct stat old
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &old), 0);
    const std::string next = dir.Write("next", Bytes{'c', 'd'});
    const struct timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, next.c_str(), times, 0), 0);
    ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
    const FileStamp replaced = FileStamp::Of(path);
    EXPECT_EQ(replaced.size, first.size);
    EXPECT_EQ(replaced.seconds, first.seconds);
    EXPECT_NE(replaced, first);
    EXPECT_NE(replaced.Text(), first.Text());
}
