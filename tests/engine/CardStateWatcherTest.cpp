#include "engine/CardStateWatcher.h"
#include "platform/AtomicFile.h"
#include "support/RiffBuilder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(CardStateWatcher, ReadsOnceAndAgainOnlyWhenTheCardReplacedItsState)
{
    TempDir home;
    CCardStateWatcher watcher(home.Path());
    const auto fresh = watcher.ReadIfChanged();
    ASSERT_TRUE(fresh) << "no state yet: a fresh card";
    EXPECT_EQ(*fresh, CCardModel());
    EXPECT_FALSE(watcher.ReadIfChanged());

    CCardModel card;
    card.synthMode = 2;
    card.reverb = 6;
    ASSERT_TRUE(WriteWholeFileAtomic(watcher.StatePath(), card.Serialize()));
    auto read = watcher.ReadIfChanged();
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, card);
    EXPECT_FALSE(watcher.ReadIfChanged());

    // The same text written again is a new file: read again, the same card.
    ASSERT_TRUE(WriteWholeFileAtomic(watcher.StatePath(), card.Serialize()));
    read = watcher.ReadIfChanged();
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, card);

    watcher.Invalidate();
    EXPECT_TRUE(watcher.ReadIfChanged());
    EXPECT_FALSE(watcher.ReadIfChanged());
}

TEST(CardStateWatcher, DamagedOrUnreadableStateIsAFreshCard)
{
    TempDir home;
    CCardStateWatcher watcher(home.Path());
    CCardModel card;
    card.chorus = 7;
    const std::string good = card.Serialize();
    for (const std::string& damaged :
         {good.substr(0, good.size() - 1), std::string("\xff\xfe garbage"), std::string()})
    {
        ASSERT_TRUE(WriteWholeFileAtomic(watcher.StatePath(), damaged));
        const auto read = watcher.ReadIfChanged();
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, CCardModel());
    }
    // A folder where the state belongs.
    ASSERT_EQ(::unlink(watcher.StatePath().c_str()), 0);
    ASSERT_EQ(::mkdir(watcher.StatePath().c_str(), 0700), 0);
    const auto read = watcher.ReadIfChanged();
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, CCardModel());
    EXPECT_FALSE(watcher.ReadIfChanged());
    ASSERT_EQ(::rmdir(watcher.StatePath().c_str()), 0);
}
